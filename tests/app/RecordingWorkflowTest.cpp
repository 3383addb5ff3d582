// The recording workflow of the shell: its menu, the microphone question, what is shown
// while recording and saving, and quitting during a recording. Recordings are real files
// made from the fake platform's pictures.
#include "ShellTestSupport.h"
#include "app/ButtonPanel.h"
#include "library/CaptureStore.h"
#include "library/RecentPanel.h"
#include "platform/Defaults.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace ombrel;
using namespace ombrel::test;

TEST(FormatTime, MinutesAndSecondsUnderAnHourThenHours) {
    EXPECT_EQ(AppDelegate::formatTime(0), "00:00");
    EXPECT_EQ(AppDelegate::formatTime(59.9), "00:59") << "seconds are cut, not rounded";
    EXPECT_EQ(AppDelegate::formatTime(61), "01:01");
    EXPECT_EQ(AppDelegate::formatTime(3599.99), "59:59");
    EXPECT_EQ(AppDelegate::formatTime(3600), "1:00:00");
    EXPECT_EQ(AppDelegate::formatTime(3725), "1:02:05");
    EXPECT_EQ(AppDelegate::formatTime(-4), "00:00");
}

class RecordingWorkflow : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        platform.screens->displayList = {{1, QRect(0, 0, 640, 360), true, QStringLiteral("screen")}};
        launch();
    }
    void startWholeScreen() {
        app->toggleRecording();
        ASSERT_TRUE(app->recordingMenu());
        item(app->recordingMenu(), "Record Whole Screen")->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->recorder() != nullptr; }, 5000));
    }
};

TEST_F(RecordingWorkflow, TheMenuOffersTheScreenThenOtherProgramsWindowsBrowsersFirstAndTheTwoChecks) {
    const qint64 own = platform.windows->myPid;
    platform.windows->windowList = {
        windowInfo(1, 10, "org.gnome.TextEditor",
                   "Notes about the quarterly figures for the board meeting next week",
                   QRect(0, 0, 800, 600)),
        windowInfo(2, 11, "Chromium", "Chat", QRect(0, 0, 1000, 700)),
        windowInfo(3, 12, "Tiny", "Small", QRect(0, 0, 200, 600)),                       // not wider than 200
        windowInfo(4, own, "com.ombrel.capture.tests", "Editor", QRect(0, 0, 900, 600)), // ours
        windowInfo(5, 13, "Xmessage", "", QRect(0, 0, 400, 300)),                        // no title
        windowInfo(6, 14, "Panel", "Top bar", QRect(0, 0, 1920, 300), WindowKind::Normal,
                   1), // not a normal window
    };
    app->toggleRecording();
    QMenu* menu = app->recordingMenu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(titles(menu), (QStringList{"Record Whole Screen", "—", "Record One Window", "Chromium: Chat",
                                         "TextEditor: Notes about the quarterly figures for the bo", "—",
                                         "With Sound", "Zoom and Follow My Pointer"}));
    EXPECT_FALSE(item(menu, "Record One Window")->isEnabled());
    EXPECT_TRUE(item(menu, "With Sound")->isChecked());
    EXPECT_TRUE(item(menu, "Zoom and Follow My Pointer")->isChecked());

    item(menu, "With Sound")->trigger();
    EXPECT_TRUE(Defaults::get(Keys::recordWithoutSound));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->recordingMenu() != menu; }, 2000))
        << "the menu opens again";
    EXPECT_FALSE(item(app->recordingMenu(), "With Sound")->isChecked());
    item(app->recordingMenu(), "Zoom and Follow My Pointer")->trigger();
    EXPECT_TRUE(Defaults::get(Keys::recordWithoutZoom));
    EXPECT_FALSE(app->zoomsOnClicks());
}

TEST_F(RecordingWorkflow, ScreenCaptureNotAllowedExplainsInsteadOfOpeningTheMenu) {
    platform.access->screen = false;
    app->toggleRecording();
    EXPECT_FALSE(app->recordingMenu());
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].title, "Let Ombrel Capture see your screen");
}

TEST_F(RecordingWorkflow, ARefusedMicrophoneIsExplainedAndTheRecordingGoesOnWithoutSound) {
    platform.recording->access = MicrophoneAccess::Denied;
    EXPECT_FALSE(app->microphoneAllowed());
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].title, "Recording without your voice");
    EXPECT_TRUE(
        alerts[0].message.endsWith("You can turn it on in Settings > Privacy & Security > Microphone."))
        << "where this desktop keeps the switch";

    platform.recording->access = MicrophoneAccess::NotDetermined;
    platform.recording->answerWhenAsked = true;
    EXPECT_TRUE(app->microphoneAllowed()) << "asked once, and the answer is used";
    EXPECT_EQ(platform.recording->accessRequests, 1);

    Defaults::set(Keys::recordWithoutSound, true);
    alerts.clear();
    platform.recording->access = MicrophoneAccess::Denied;
    EXPECT_FALSE(app->microphoneAllowed());
    EXPECT_TRUE(alerts.isEmpty()) << "with \"With Sound\" off nobody is asked";
}

TEST_F(RecordingWorkflow, RecordingShowsTheOutlineAndTimeThenSavesAndAnnouncesTheFile) {
    Defaults::set(Keys::recordWithoutZoom, true);
    QSignalSpy saved(app.get(), &AppDelegate::recordingSaved);
    startWholeScreen();
    EXPECT_TRUE(item(app->appMenu(), "Stop Recording"));
    ASSERT_TRUE(app->recordingFrame());
    EXPECT_TRUE(app->recordingFrame()->isVisible());
    EXPECT_EQ(app->recordingFrame()->border()->pillText(), "Recording whole screen");
    EXPECT_EQ(app->recordingFrame()->geometry(), QRect(0, 0, 640, 360));
    // The record button turns into the stop button, with the time and the voice bars beside it.
    FloatingButton* button = app->buttonPanel()->record();
    RecordingStrip* strip = app->buttonPanel()->strip();
    EXPECT_EQ(button->symbolName(), "stop.fill");
    EXPECT_TRUE(button->isAlert());
    EXPECT_TRUE(button->isPulsing());
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(app->timeLabelText(), "00:00");
    const QRect buttonGlobal(button->mapToGlobal(QPoint(0, 0)), button->size());
    EXPECT_TRUE(strip->geometry().right() < buttonGlobal.left() ||
                strip->geometry().left() > buttonGlobal.right())
        << "beside the record button, not over it";
    EXPECT_TRUE(strip->voiceBars()->isVisibleTo(strip)) << "with sound, the bars show";
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip->voiceBars()->shownLevel() > 0.5; }, 3000))
        << "the fake microphone's tone (level about 1.4, so 1) reaches the bars";
    EXPECT_EQ(platform.sounds->wavs.size(), 1) << "the start chime";

    ASSERT_TRUE(QTest::qWaitFor([&] { return app->timeLabelText() == "00:01"; }, 3000));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(16, 16)); // the record button stops
    EXPECT_EQ(button->symbolName(), "hourglass");
    EXPECT_FALSE(button->isAlert());
    EXPECT_EQ(app->timeLabelText(), "Saving…");
    EXPECT_FALSE(strip->voiceBars()->isVisibleTo(strip)) << "saving shows the text alone";
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(16, 16));
    EXPECT_EQ(platform.sounds->wavs.size(), 2) << "the stop chime, and no second stop while saving";
    EXPECT_FALSE(app->recordingFrame()->isVisible());

    ASSERT_TRUE(QTest::qWaitFor([&] { return saved.size() == 1; }, 20000));
    const QString file = saved.at(0).at(0).toString();
    EXPECT_TRUE(QFileInfo(file).isFile());
    EXPECT_TRUE(CaptureStore::all().contains(QFileInfo(file).absoluteFilePath()) ||
                CaptureStore::all().contains(file));
    EXPECT_FALSE(app->recorder());
    EXPECT_FALSE(strip->isVisible());
    EXPECT_EQ(button->symbolName(), "record.circle");
    EXPECT_FALSE(button->isPulsing());
    EXPECT_TRUE(item(app->appMenu(), "Record…"));
    EXPECT_TRUE(alerts.isEmpty());
    ASSERT_TRUE(app->hasRecentPanel());
    EXPECT_TRUE(app->recentPanel().isVisible()) << "the Recent panel shows the new recording";
    const QRect buttons = app->buttonPanel()->frameGeometry();
    const QRect recent = app->recentPanel().frameGeometry();
    EXPECT_FALSE(recent.intersects(buttons)) << "beside the floating buttons, not over them";
    EXPECT_LT(std::min(std::abs(recent.right() - buttons.left()), std::abs(buttons.right() - recent.left())),
              40)
        << "next to them, not in a corner of the screen";
}

TEST_F(RecordingWorkflow, WithTheZoomOnTheLabelSaysZoomingWhileTheVideoIsRendered) {
    platform.recording->pointerAt = QPoint(320, 180);
    QSignalSpy saved(app.get(), &AppDelegate::recordingSaved);
    startWholeScreen();
    QTest::qWait(600);
    app->toggleRecording();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->timeLabelText() == "Zooming…"; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved.size() == 1; }, 20000));
}

TEST_F(RecordingWorkflow, AFailedStartSaysSoAndLeavesNothingRunning) {
    platform.recording->failOpen = QStringLiteral("That display is no longer connected.");
    app->toggleRecording();
    item(app->recordingMenu(), "Record Whole Screen")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !alerts.isEmpty(); }, 5000));
    EXPECT_EQ(alerts[0].title, "Couldn't start recording");
    EXPECT_TRUE(alerts[0].message.contains("That display is no longer connected."));
    EXPECT_FALSE(app->recorder());
    EXPECT_FALSE(app->isStartingRecording());
}

TEST_F(RecordingWorkflow, QuittingDuringARecordingSavesItFirst) {
    Defaults::set(Keys::recordWithoutZoom, true);
    QSignalSpy saved(app.get(), &AppDelegate::recordingSaved);
    startWholeScreen();
    QTest::qWait(400);
    EXPECT_FALSE(app->applicationShouldTerminate()) << "termination waits for the recording";
    EXPECT_EQ(app->timeLabelText(), "Saving…");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app->recorder(); }, 20000));
    EXPECT_EQ(saved.size(), 0) << "the program quits instead of showing the recording";
    EXPECT_EQ(CaptureStore::all().size(), 1) << "but the recording is in the library";
    EXPECT_TRUE(app->applicationShouldTerminate());
}
