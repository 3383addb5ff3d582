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
#include <optional>

namespace ombrel::test {
namespace {

constexpr WindowId pageWindow = 0x400001;
constexpr int headerPx = 60;
constexpr int viewportPx = 300;
constexpr int footerPx = 40;
constexpr int scrollPx = 50;

class ScrollCaptureSessionTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        window.id = pageWindow;
        window.pid = 777;
        window.title = QStringLiteral("A long page");
        window.frameGlobal = QRect(100, 100, 64, headerPx + viewportPx + footerPx);
    }
    void TearDown() override {
        session.reset();
        LibraryTest::TearDown();
    }

    // What the window shows with the page scrolled down by `offsetPx` rows.
    QImage frameAt(int offsetPx) const { return page.frame(header, offsetPx, viewportPx, footer); }
    void showPageAt(int offsetPx) { platform.screens->windowContent[pageWindow] = frameAt(offsetPx); }

    std::unique_ptr<ScrollCaptureSession> makeSession(const QString& appName = QStringLiteral("Pages")) {
        auto s = std::make_unique<ScrollCaptureSession>(window, appName, [this](const QImage& picture) {
            ++deliveries;
            delivered = picture;
        });
        return s;
    }

    ManualScheduler clock;
    GreyRows page{2000, 11};
    GreyRows header{headerPx, 12};
    GreyRows footer{footerPx, 13};
    WindowInfo window;
    std::unique_ptr<ScrollCaptureSession> session;
    int deliveries = 0;
    QImage delivered;
};

TEST_F(ScrollCaptureSessionTest, PromptNamesTheApplicationSitsInTheCornerAndLeavesTheFocusAlone) {
    session = makeSession(QStringLiteral("Firefox"));
    EXPECT_TRUE(session->detail().contains(QStringLiteral("Scroll Firefox ")));
    showPageAt(0);
    session->begin();
    ASSERT_TRUE(session->isVisible());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect placed = session->frameGeometry();
    EXPECT_EQ(area.right() - placed.right(), ScrollCaptureSession::cornerMargin);
    EXPECT_EQ(area.bottom() - placed.bottom(), ScrollCaptureSession::cornerMargin);
    EXPECT_TRUE(session->windowFlags() & Qt::WindowDoesNotAcceptFocus)
        << "the prompt must not take the focus from the page being scrolled";
}

TEST_F(ScrollCaptureSessionTest, TakesAFrameAtOnceAndThenEveryThreeTenthsOfASecond) {
    showPageAt(0);
    session = makeSession();
    session->begin();
    EXPECT_EQ(platform.screens->grabs, 1);
    EXPECT_EQ(session->stitcher().height(), headerPx + viewportPx + footerPx);
    clock.advance(ScrollCaptureSession::frameIntervalMs - 1);
    EXPECT_EQ(platform.screens->grabs, 1);
    clock.advance(1 + 3 * ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(platform.screens->grabs, 5);
    EXPECT_EQ(deliveries, 0);
}

TEST_F(ScrollCaptureSessionTest, AtMostOneFrameIsInFlightAndASlowFrameOnlyLowersTheRate) {
    std::vector<ScrollCaptureSession::FrameDelivery> waiting;
    session = makeSession();
    session->setFrameSource([&](WindowId id, QSize sizePx, ScrollCaptureSession::FrameDelivery deliver) {
        EXPECT_EQ(id, pageWindow);
        EXPECT_EQ(sizePx, QSize(64, headerPx + viewportPx + footerPx))
            << "frames are taken at the window's size";
        waiting.push_back(std::move(deliver));
    });
    session->begin();
    ASSERT_EQ(waiting.size(), 1u);
    clock.advance(5 * ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(waiting.size(), 1u) << "ticks while a frame is in flight take no other frame";

    waiting.back()(Outcome<QImage>::ok(frameAt(0)));
    EXPECT_FALSE(session->isBusy());
    clock.advance(ScrollCaptureSession::frameIntervalMs);
    ASSERT_EQ(waiting.size(), 2u) << "the next tick after the frame arrived takes the next one";
    waiting.back()(Outcome<QImage>::ok(frameAt(scrollPx)));
    EXPECT_EQ(session->stitcher().height(), headerPx + viewportPx + scrollPx);
}

TEST_F(ScrollCaptureSessionTest, DoneDeliversTheStitchedPictureOnceCancelNothingAndBothStopTheFrames) {
    for (const bool done : {true, false}) {
        SCOPED_TRACE(done ? "Done" : "Cancel");
        deliveries = 0;
        platform.screens->grabs = 0;
        showPageAt(0);
        session = makeSession();
        QSignalSpy ended(session.get(), &ScrollCaptureSession::ended);
        session->begin();
        for (int i = 1; i <= 6; ++i) {
            showPageAt(i * scrollPx);
            clock.advance(ScrollCaptureSession::frameIntervalMs);
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
        clock.advance(10 * ScrollCaptureSession::frameIntervalMs);
        EXPECT_EQ(platform.screens->grabs, 7) << "no frame is taken after the end";
        session->primaryButton()->click();
        session->dismiss();
        EXPECT_EQ(deliveries, done ? 1 : 0) << "delivered at most once, and never after Cancel";
        EXPECT_EQ(ended.count(), 1);
    }
}

TEST_F(ScrollCaptureSessionTest, AFailedGrabAddsNothingAndTheNextTickTriesAgain) {
    session = makeSession(); // the window has no contents to read yet: grabs fail
    session->begin();
    EXPECT_EQ(platform.screens->grabs, 1);
    EXPECT_FALSE(session->isBusy()) << "a failed grab clears the frame in flight";
    showPageAt(0);
    clock.advance(ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(session->stitcher().height(), headerPx + viewportPx + footerPx);
    platform.screens->windowContent.remove(pageWindow);
    clock.advance(ScrollCaptureSession::frameIntervalMs);
    showPageAt(scrollPx);
    clock.advance(ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(platform.screens->grabs, 4);
    session->finish();
    EXPECT_EQ(delivered.height(), headerPx + viewportPx + scrollPx);

    platform.screens->windowContent.remove(pageWindow); // Done before any frame: no picture
    session = makeSession();
    session->begin();
    session->finish();
    ASSERT_EQ(deliveries, 2);
    EXPECT_TRUE(delivered.isNull());
}

TEST_F(ScrollCaptureSessionTest, AFrameArrivingAfterTheEndOrTheSessionIsIgnored) {
    std::vector<ScrollCaptureSession::FrameDelivery> waiting;
    session = makeSession();
    session->setFrameSource([&](WindowId, QSize, ScrollCaptureSession::FrameDelivery deliver) {
        waiting.push_back(std::move(deliver));
    });
    showPageAt(0);
    session->begin();
    ASSERT_EQ(waiting.size(), 1u);
    session->finish();
    EXPECT_EQ(deliveries, 1);
    EXPECT_TRUE(delivered.isNull());
    waiting.back()(Outcome<QImage>::ok(frameAt(0)));
    EXPECT_EQ(session->stitcher().height(), 0) << "a frame of an ended capture is not stitched";

    session = makeSession();
    session->setFrameSource([&](WindowId, QSize, ScrollCaptureSession::FrameDelivery deliver) {
        waiting.push_back(std::move(deliver));
    });
    session->begin();
    session.reset();
    waiting.back()(Outcome<QImage>::ok(frameAt(0))); // must not touch the destroyed capture
    clock.advance(3 * ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(waiting.size(), 2u);
}

} // namespace
} // namespace ombrel::test
