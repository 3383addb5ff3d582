// What is drawn while recording: the outline with its pill, following a window, and the
// level bars; and the events a recording keeps, read back as the zoom commands read them.
#include "recording/RecordingFrame.h"
#include "recording/ZoomPlanCommand.h"
#include "support/TestEnv.h"

#include <QJsonDocument>
#include <QTest>

using namespace ombrel;

class RecordingFrameTest : public ombrel::test::LibraryTest {};

TEST_F(RecordingFrameTest, OnlyTheOutlineAndThePillAreThereTheRestShowsTheScreen) {
    RecordingBorderView border(QStringLiteral("whole screen"));
    const QSize size(1280, 720);
    const QRegion drawn = border.drawnRegion(size);
    EXPECT_TRUE(drawn.contains(QPoint(3, 360))) << "the 4-pixel outline, inset by 2";
    EXPECT_TRUE(drawn.contains(QPoint(1276, 700)));
    EXPECT_FALSE(drawn.contains(QPoint(640, 360))) << "the middle is left to the screen";
    EXPECT_FALSE(drawn.contains(QPoint(8, 360))) << "just inside the outline";
    const QRect pill = border.pillRect(size);
    EXPECT_TRUE(drawn.contains(pill.center()));
    EXPECT_FALSE(drawn.contains(pill.topLeft())) << "its rounded corners let the screen show";

    const QRect small = border.pillRect(QSize(120, 30));
    EXPECT_GE(small.left(), 0) << "kept within a small area";
    EXPECT_LE(small.top(), 30 - small.height());
}

TEST_F(RecordingFrameTest, TheOutlineFollowsTheRecordedWindow) {
    WindowInfo w;
    w.id = 42;
    w.frameGlobal = QRect(100, 100, 500, 400);
    platform.windows->windowList = {w};
    RecordingFrame frame(QStringLiteral("Notes"));
    frame.show(w.frameGlobal, WindowId(42));
    EXPECT_EQ(frame.geometry(), QRect(100, 100, 500, 400));
    EXPECT_TRUE(frame.isFollowing());
    platform.windows->windowList[0].frameGlobal = QRect(300, 200, 600, 400);
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.geometry() == QRect(300, 200, 600, 400); }, 2000));
    platform.windows->windowList.clear(); // closed: the outline stays where it was
    QTest::qWait(RecordingFrame::followIntervalMs * 2);
    EXPECT_EQ(frame.geometry(), QRect(300, 200, 600, 400));
    frame.dismiss();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_FALSE(frame.isFollowing());

    RecordingFrame screen(QStringLiteral("whole screen"));
    screen.show(QRect(0, 0, 800, 600));
    EXPECT_FALSE(screen.isFollowing()) << "a screen does not move";
}

TEST_F(RecordingFrameTest, VoiceBarsJumpUpToALevelAndFallBackSlowly) {
    VoiceBars bars;
    bars.start();
    bars.update(0.3);
    bars.update(0.8);
    bars.update(0.2); // quieter moments do not pull the bars down at once
    EXPECT_DOUBLE_EQ(bars.shownLevel(), 0.8);
    bars.update(4.0);
    EXPECT_DOUBLE_EQ(bars.shownLevel(), 1.0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bars.shownLevel() < 0.3; }, 2000));
    bars.stop();
    EXPECT_EQ(bars.shownLevel(), 0.0);
}

TEST(RecordingEvents, TheEventsARecordingKeepsAreReadBackAsTheZoomCommandsReadThem) {
    ZoomEvents events{4.5, {{1.25, 0.5, 0.02}}, {{0.0, 0.4, 0.4}, {0.05, 0.41, 0.4}}, {2.0, 2.5}};
    QJsonObject expected = QJsonDocument::fromJson(R"({"duration": 4.5,
        "clicks": [{"time": 1.25, "x": 0.5, "y": 0.02}],
        "pointer": [{"time": 0, "x": 0.4, "y": 0.4}, {"time": 0.05, "x": 0.41, "y": 0.4}],
        "scrolls": [2, 2.5]})")
                               .object();
    for (const bool known : {true, false}) { // an unknown length stays unknown
        if (!known) {
            events.durationSeconds.reset();
            expected["duration"] = QJsonValue();
        }
        const QJsonObject written = zoomEventsToJson(events);
        EXPECT_EQ(written, expected) << QJsonDocument(written).toJson().toStdString();
        const auto parsed = parseZoomEvents(QJsonDocument(written).toJson());
        ASSERT_TRUE(std::holds_alternative<ZoomEvents>(parsed));
        EXPECT_EQ(zoomEventsToJson(std::get<ZoomEvents>(parsed)), expected) << "read back as written";
    }
}
