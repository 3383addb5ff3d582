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

TEST_F(ScrollCaptureSessionTest, PromptSaysWhatToDoAndSitsInTheBottomRightCorner) {
    session = makeSession(QStringLiteral("Firefox"));
    EXPECT_EQ(session->heading(), QStringLiteral("Scroll down slowly"));
    EXPECT_EQ(session->detail(),
              QStringLiteral("Scroll Firefox from top to bottom. Press Done when you reach the end."));
    EXPECT_EQ(session->primaryButton()->text(), QStringLiteral("Done"));
    EXPECT_EQ(session->secondaryButton()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(ScrollCaptureSession::message(QString()),
              QStringLiteral("Scroll the window from top to bottom. Press Done when you reach the end."));

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
    clock.advance(1);
    EXPECT_EQ(platform.screens->grabs, 2);
    clock.advance(3 * ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(platform.screens->grabs, 5);
    EXPECT_EQ(deliveries, 0);
}

TEST_F(ScrollCaptureSessionTest, AtMostOneFrameIsInFlightAndASlowFrameOnlyLowersTheRate) {
    std::vector<ScrollCaptureSession::FrameDelivery> waiting;
    QList<QSize> asked;
    session = makeSession();
    session->setFrameSource([&](WindowId id, QSize sizePx, ScrollCaptureSession::FrameDelivery deliver) {
        EXPECT_EQ(id, pageWindow);
        asked << sizePx;
        waiting.push_back(std::move(deliver));
    });
    showPageAt(0);
    session->begin();
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(asked.first(), QSize(64, headerPx + viewportPx + footerPx))
        << "frames are taken at the window's size";
    EXPECT_TRUE(session->isBusy());

    clock.advance(5 * ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(waiting.size(), 1u) << "ticks while a frame is in flight take no other frame";

    waiting.back()(Outcome<QImage>::ok(frameAt(0)));
    EXPECT_FALSE(session->isBusy());
    EXPECT_EQ(session->stitcher().height(), headerPx + viewportPx + footerPx);

    clock.advance(ScrollCaptureSession::frameIntervalMs);
    ASSERT_EQ(waiting.size(), 2u) << "the next tick after the frame arrived takes the next one";
    waiting.back()(Outcome<QImage>::ok(frameAt(scrollPx)));
    EXPECT_EQ(session->stitcher().height(), headerPx + viewportPx + scrollPx);
}

TEST_F(ScrollCaptureSessionTest, DoneDeliversTheStitchedPictureOnceAndStopsTheFrames) {
    showPageAt(0);
    session = makeSession();
    QSignalSpy ended(session.get(), &ScrollCaptureSession::ended);
    session->begin();
    ScrollStitcher reference;
    reference.add(frameAt(0));
    for (int i = 1; i <= 6; ++i) {
        showPageAt(i * scrollPx);
        reference.add(frameAt(i * scrollPx));
        clock.advance(ScrollCaptureSession::frameIntervalMs);
    }
    const int grabs = platform.screens->grabs;

    session->primaryButton()->click();
    ASSERT_EQ(deliveries, 1);
    EXPECT_EQ(delivered.height(), headerPx + viewportPx + 6 * scrollPx)
        << "the header once, the page, no footer";
    EXPECT_EQ(delivered.width(), 64);
    EXPECT_EQ(firstDifferentRow(delivered, reference.finished()), -1);
    EXPECT_EQ(firstDifferentRow(delivered.copy(0, 0, 64, headerPx + viewportPx + 6 * scrollPx),
                                page.frame(header, 0, viewportPx + 6 * scrollPx, GreyRows{0, 1})),
              -1);
    EXPECT_FALSE(session->isVisible());
    EXPECT_FALSE(session->isRunning());
    EXPECT_EQ(ended.count(), 1);

    showPageAt(7 * scrollPx);
    clock.advance(10 * ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(platform.screens->grabs, grabs) << "no frame is taken after Done";
    session->primaryButton()->click();
    session->dismiss();
    EXPECT_EQ(deliveries, 1) << "the picture is delivered once";
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(ScrollCaptureSessionTest, CancelDeliversNothingAndStopsTheFrames) {
    showPageAt(0);
    session = makeSession();
    QSignalSpy ended(session.get(), &ScrollCaptureSession::ended);
    session->begin();
    showPageAt(scrollPx);
    clock.advance(ScrollCaptureSession::frameIntervalMs);
    const int grabs = platform.screens->grabs;

    session->secondaryButton()->click();
    EXPECT_FALSE(session->isVisible());
    EXPECT_EQ(ended.count(), 1);
    clock.advance(10 * ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(platform.screens->grabs, grabs);
    session->primaryButton()->click();
    EXPECT_EQ(deliveries, 0) << "Cancel never delivers, not even on a later Done";
}

TEST_F(ScrollCaptureSessionTest, DoneBeforeAnyFrameDeliversNoPicture) {
    // The window has no contents to read: every grab fails.
    session = makeSession();
    session->begin();
    clock.advance(2 * ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(platform.screens->grabs, 3);
    session->finish();
    ASSERT_EQ(deliveries, 1);
    EXPECT_TRUE(delivered.isNull());
}

TEST_F(ScrollCaptureSessionTest, AFailedGrabAddsNothingAndTheNextTickTriesAgain) {
    session = makeSession();
    session->begin();
    EXPECT_EQ(platform.screens->grabs, 1);
    EXPECT_FALSE(session->isBusy()) << "a failed grab clears the frame in flight";
    EXPECT_EQ(session->stitcher().height(), 0);

    showPageAt(0);
    clock.advance(ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(platform.screens->grabs, 2);
    EXPECT_EQ(session->stitcher().height(), headerPx + viewportPx + footerPx);

    platform.screens->windowContent.remove(pageWindow);
    clock.advance(ScrollCaptureSession::frameIntervalMs);
    showPageAt(scrollPx);
    clock.advance(ScrollCaptureSession::frameIntervalMs);
    EXPECT_EQ(platform.screens->grabs, 4);
    session->finish();
    EXPECT_EQ(delivered.height(), headerPx + viewportPx + scrollPx);
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
