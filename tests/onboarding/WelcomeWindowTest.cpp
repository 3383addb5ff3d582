#include "onboarding/WelcomeWindow.h"
#include "onboarding/OnboardingKeys.h"
#include "support/TestEnv.h"
#include "ui/Attention.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace ombrel;

class WelcomeWindowTest : public ombrel::test::LibraryTest {
  protected:
    void TearDown() override {
        delete WelcomeWindow::current();
        WelcomeWindow::cameraButtonFrame = nullptr;
        LibraryTest::TearDown();
    }
    WelcomeWindow* open() {
        WelcomeWindow* w = WelcomeWindow::present([this] { ++finishes; });
        settle(w);
        return w;
    }
    // Waits for a check of every row that starts after the permissions were changed.
    void settle(WelcomeWindow* w) {
        QSignalSpy refreshed(w, &WelcomeWindow::refreshed);
        ASSERT_TRUE(refreshed.wait(5000));
        if (!refreshed.wait(3000)) ADD_FAILURE() << "no second check";
    }
    bool shows(WelcomeWindow* w, int row) {
        return !w->tick(row)->isHidden() && w->allowButton(row)->isHidden();
    }
    int finishes = 0;
};

TEST_F(WelcomeWindowTest, OnlyStartUsingItCountsAsShownAndItPointsAtTheCamera) {
    EXPECT_FALSE(WelcomeWindow::hasBeenShown());
    WelcomeWindow* w = open();
    EXPECT_EQ(WelcomeWindow::present({}), w) << "a second request brings the open window forward";
    w->close(); // closed without finishing, e.g. by Escape
    ASSERT_TRUE(QTest::qWaitFor([] { return WelcomeWindow::current() == nullptr; }));
    EXPECT_FALSE(WelcomeWindow::hasBeenShown());
    EXPECT_EQ(finishes, 0);

    platform.access->screen = false; // not even screen access: finishing still counts
    WelcomeWindow::cameraButtonFrame = [] { return std::optional<QRect>(QRect(1800, 400, 44, 44)); };
    w = open();
    w->startButton()->click();
    EXPECT_TRUE(WelcomeWindow::hasBeenShown());
    EXPECT_EQ(finishes, 1);
    ASSERT_TRUE(QTest::qWaitFor([] { return WelcomeWindow::current() == nullptr; }));
    ASSERT_NE(Attention::current(), nullptr) << "the user's eye is drawn to the camera button";
    EXPECT_TRUE(Attention::current()->geometry().contains(QRect(1800, 400, 44, 44)));
}

TEST_F(WelcomeWindowTest, EachRowShowsItsPermissionAndTheNoteSaysWhetherTheScreenCanBeSeen) {
    platform.access->accessibility = false;
    platform.recording->access = MicrophoneAccess::Denied;
    WelcomeWindow* w = open();
    EXPECT_TRUE(shows(w, 0));
    EXPECT_FALSE(shows(w, 1));
    EXPECT_FALSE(shows(w, 2));
    EXPECT_EQ(w->note()->text(), "You're ready.");
    EXPECT_TRUE(w->startButton()->isDefault())
        << "with the screen allowed, Start Using It is the main button";

    platform.access->screen = false;
    platform.access->accessibility = true;
    platform.recording->access = MicrophoneAccess::Authorized;
    settle(w); // the once-a-second check sees changes made outside the program
    EXPECT_FALSE(shows(w, 0));
    EXPECT_TRUE(shows(w, 1));
    EXPECT_TRUE(shows(w, 2));
    EXPECT_EQ(
        w->note()->text(),
        "After turning on screen access, your computer may ask to quit and reopen the app. That's normal.");
    EXPECT_FALSE(w->startButton()->isDefault());

    platform.keys->available = false; // a display without XTest cannot press keys, whatever the bus says
    settle(w);
    EXPECT_FALSE(shows(w, 1));
}

TEST_F(WelcomeWindowTest, AllowSwitchesAccessibilityOnOrOpensItsSettingsAndTriesTheMicrophone) {
    platform.access->accessibility = false;
    platform.recording->access = MicrophoneAccess::Denied;
    platform.recording->answerWhenAsked = false;
    WelcomeWindow* w = open();

    platform.accessibility->trustGranted = false;
    w->allowButton(1)->click();
    EXPECT_EQ(platform.accessibility->trustRequests, 1);
    EXPECT_EQ(platform.accessibility->settingsOpened, 1) << "refused: its settings page opens";
    platform.accessibility->trustGranted = true;
    platform.accessibility->trustTurnsAccessOn = true;
    w->allowButton(1)->click();
    EXPECT_EQ(platform.accessibility->settingsOpened, 1);
    settle(w);
    EXPECT_TRUE(shows(w, 1)) << "switching accessibility on gives the tick";

    w->allowButton(2)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform.recording->settingsOpened == 1; }))
        << "no microphone to hear: the sound settings open";
    EXPECT_EQ(platform.recording->accessRequests, 1);
    platform.recording->answerWhenAsked = true;
    w->allowButton(2)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shows(w, 2); }));
    EXPECT_EQ(platform.recording->settingsOpened, 1);
}
