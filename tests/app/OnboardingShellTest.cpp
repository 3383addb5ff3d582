#include "ShellTestSupport.h"
#include "onboarding/HelpWindow.h"
#include "onboarding/OnboardingKeys.h"
#include "onboarding/WelcomeWindow.h"
#include "onboarding/WhatsNew.h"

#include <QPushButton>
#include <QTest>

using namespace ombrel;
using namespace ombrel::test;

class OnboardingShellTest : public ShellTest {
  protected:
    void TearDown() override {
        if (HelpWindow::exists()) HelpWindow::shared().close();
        if (WhatsNew::window()) delete WhatsNew::window();
        ShellTest::TearDown();
    }
    static bool helpShown() { return HelpWindow::exists() && HelpWindow::shared().isVisible(); }
};

TEST_F(OnboardingShellTest, AFreshStartWelcomesTheUserAndTheHelpPageFollowsTheWelcome) {
    launch();
    WelcomeWindow* welcome = WelcomeWindow::current();
    ASSERT_NE(welcome, nullptr);
    EXPECT_FALSE(helpShown()) << "the help page waits for the welcome";
    welcome->startButton()->click();
    EXPECT_TRUE(helpShown());
    // The release notes stay away from a new user, and the version is remembered.
    ASSERT_TRUE(
        QTest::qWaitFor([] { return Defaults::has(OnboardingKeys::whatsNewSeenVersion.name); }, 5000));
    EXPECT_EQ(WhatsNew::window(), nullptr);
    HelpWindow::shared().close();
    launch();
    EXPECT_EQ(WelcomeWindow::current(), nullptr);
    EXPECT_FALSE(helpShown()) << "the help page opens by itself only once";
}

TEST_F(OnboardingShellTest, TheMenuOpensHelpAndWhatsNewAndTheHelpPageNamesEveryWorkingItem) {
    Defaults::set(OnboardingKeys::welcomeShown, true);
    Defaults::set(OnboardingKeys::hasSeenHelp, true);
    launch();
    item(app->appMenu(), "What's New")->trigger();
    ASSERT_NE(WhatsNew::window(), nullptr);
    EXPECT_EQ(WhatsNew::window()->entries().value(0).version, WhatsNew::installedVersion());
    item(app->appMenu(), "Help and What This Can Do")->trigger();
    ASSERT_TRUE(helpShown());
    // Every item that does something today is explained on the help page.
    const QString help = HelpWindow::shared().toPlainText();
    QStringList missing;
    for (QMenu* menu : {app->appMenu(), app->settingsMenu()})
        for (const QAction* a : menu->actions()) {
            if (a->isSeparator() || !a->isEnabled() || a->menu()) continue;
            QString title = a->text();
            title.remove(QStringLiteral("…"));
            if (title.startsWith("Quit") || title == "Designed by Ombrel Studio") continue;
            if (!help.contains(title)) missing << title;
        }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(", ").toStdString();
}
