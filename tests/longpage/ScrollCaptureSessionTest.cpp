// The long-page capture's prompt and frame timer, over the fake platform and a clock the
// tests move themselves.
#include "longpage/ScrollCaptureSession.h"

#include "../sending/ManualScheduler.h"
#include "StitchPages.h"
#include "support/TestEnv.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <memory>

namespace ombrel::test {
namespace {

constexpr WindowId pageWindow = 0x400001;
constexpr int viewportPx = 300;
constexpr int framePx = 60 + viewportPx + 40; // header, viewport, footer
constexpr int scrollPx = 50;
constexpr int tickMs = ScrollCaptureSession::frameIntervalMs;

class ScrollCaptureSessionTest : public LibraryTest {
  protected:
    void TearDown() override {
        session.reset();
        LibraryTest::TearDown();
    }

    // What the window shows with the page scrolled down by `offsetPx` rows.
    QImage frameAt(int offsetPx) const { return page.frame(header, offsetPx, viewportPx, footer); }
    void showPageAt(int offsetPx) { platform.screens->windowContent[pageWindow] = frameAt(offsetPx); }

    void makeSession(const QString& appName = QStringLiteral("Pages")) {
        WindowInfo window;
        window.id = pageWindow;
        window.frameGlobal = QRect(100, 100, 64, framePx);
        session = std::make_unique<ScrollCaptureSession>(window, appName, [this](const QImage& picture) {
            ++deliveries;
            delivered = picture;
        });
    }
    // A session whose frames wait in `waiting` until the test delivers them.
    void makeHeldSession() {
        makeSession();
        session->setFrameSource(
            [this](WindowId id, QSize sizePx, ScrollCaptureSession::FrameDelivery deliver) {
                EXPECT_EQ(id, pageWindow);
                EXPECT_EQ(sizePx, QSize(64, framePx)) << "frames are taken at the window's size";
                waiting.push_back(std::move(deliver));
            });
    }

    ManualScheduler clock;
    GreyRows page{2000, 11}, header{60, 12}, footer{40, 13};
    std::unique_ptr<ScrollCaptureSession> session;
    std::vector<ScrollCaptureSession::FrameDelivery> waiting;
    int deliveries = 0;
    QImage delivered;
};

TEST_F(ScrollCaptureSessionTest, PromptNamesTheApplicationSitsInTheCornerAndLeavesTheFocusAlone) {
    makeSession(QStringLiteral("Firefox"));
    EXPECT_TRUE(session->detail().contains(QStringLiteral("Scroll Firefox ")));
    EXPECT_TRUE(ScrollCaptureSession::message({}).contains(QStringLiteral("Scroll the window ")))
        << "an application without a name";
    session->begin();
    ASSERT_TRUE(session->isVisible());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect placed = session->frameGeometry();
    EXPECT_EQ(area.right() - placed.right(), ScrollCaptureSession::cornerMargin);
    EXPECT_EQ(area.bottom() - placed.bottom(), ScrollCaptureSession::cornerMargin);
    EXPECT_TRUE(session->windowFlags() & Qt::WindowDoesNotAcceptFocus)
        << "the prompt must not take the focus from the page being scrolled";
}

TEST_F(ScrollCaptureSessionTest, TakesAFrameAtOnceAndThenEveryTickAndAFailedGrabIsTriedAgain) {
    makeSession(); // the window has no contents to read yet: grabs fail
    session->begin();
    EXPECT_EQ(platform.screens->grabs, 1);
    EXPECT_FALSE(session->isBusy()) << "a failed grab clears the frame in flight";
    showPageAt(0);
    clock.advance(tickMs - 1);
    EXPECT_EQ(platform.screens->grabs, 1);
    clock.advance(1);
    EXPECT_EQ(session->stitcher().height(), framePx);
    platform.screens->windowContent.remove(pageWindow);
    clock.advance(tickMs);
    showPageAt(scrollPx);
    clock.advance(tickMs);
    EXPECT_EQ(platform.screens->grabs, 4);
    EXPECT_EQ(deliveries, 0);
    session->finish();
    EXPECT_EQ(delivered.height(), framePx - 40 + scrollPx);
}

TEST_F(ScrollCaptureSessionTest, AtMostOneFrameIsInFlightAndASlowFrameOnlyLowersTheRate) {
    makeHeldSession();
    session->begin();
    ASSERT_EQ(waiting.size(), 1u);
    clock.advance(5 * tickMs);
    EXPECT_EQ(waiting.size(), 1u) << "ticks while a frame is in flight take no other frame";
    waiting.back()(Outcome<QImage>::ok(frameAt(0)));
    EXPECT_FALSE(session->isBusy());
    clock.advance(tickMs);
    ASSERT_EQ(waiting.size(), 2u) << "the next tick after the frame arrived takes the next one";
    waiting.back()(Outcome<QImage>::ok(frameAt(scrollPx)));
    EXPECT_EQ(session->stitcher().height(), framePx - 40 + scrollPx);
}

TEST_F(ScrollCaptureSessionTest, DoneDeliversTheStitchedPictureOnceCancelNothingAndBothStopTheFrames) {
    for (const bool done : {true, false}) {
        SCOPED_TRACE(done ? "Done" : "Cancel");
        deliveries = 0;
        platform.screens->grabs = 0;
        showPageAt(0);
        makeSession();
        QSignalSpy ended(session.get(), &ScrollCaptureSession::ended);
        session->begin();
        for (int i = 1; i <= 6; ++i) {
            showPageAt(i * scrollPx);
            clock.advance(tickMs);
        }
        (done ? session->primaryButton() : session->secondaryButton())->click();
        ASSERT_EQ(deliveries, done ? 1 : 0);
        if (done) { // the header once, the page, no footer
            const QImage expected = page.frame(header, 0, viewportPx + 6 * scrollPx, GreyRows{0, 1});
            EXPECT_EQ(firstDifferentRow(delivered, expected), -1);
        }
        EXPECT_FALSE(session->isVisible());
        EXPECT_EQ(ended.count(), 1);

        showPageAt(7 * scrollPx);
        clock.advance(10 * tickMs);
        EXPECT_EQ(platform.screens->grabs, 7) << "no frame is taken after the end";
        session->primaryButton()->click();
        session->dismiss();
        EXPECT_EQ(deliveries, done ? 1 : 0) << "delivered at most once, and never after Cancel";
        EXPECT_EQ(ended.count(), 1);
    }
}

TEST_F(ScrollCaptureSessionTest, DoneBeforeAnyFrameDeliversNoPictureAndLateFramesAreIgnored) {
    makeHeldSession();
    session->begin();
    session->finish();
    ASSERT_EQ(deliveries, 1);
    EXPECT_TRUE(delivered.isNull());
    ASSERT_EQ(waiting.size(), 1u) << "the first frame is asked for at once";
    waiting.back()(Outcome<QImage>::ok(frameAt(0)));
    EXPECT_EQ(session->stitcher().height(), 0) << "a frame of an ended capture is not stitched";

    makeHeldSession();
    session->begin();
    session.reset();
    ASSERT_EQ(waiting.size(), 2u);
    waiting.back()(Outcome<QImage>::ok(frameAt(0))); // must not touch the destroyed capture
    clock.advance(3 * tickMs);
    EXPECT_EQ(waiting.size(), 2u);
}

} // namespace
} // namespace ombrel::test
