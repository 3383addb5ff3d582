#include "ui/Permissions.h"
#include "support/TestEnv.h"

using namespace ombrel;

namespace {
struct Shown {
    QString title, message;
    QStringList buttons;
};
QList<Shown> shown;
int answer = 0;
int record(const QString& t, const QString& m, const QStringList& b) {
    shown.append({t, m, b});
    return answer;
}
} // namespace

class PermissionsTest : public ombrel::test::LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        shown.clear();
        answer = 0;
        Permissions::setPresenter(&record);
    }
    void TearDown() override {
        Permissions::setPresenter(nullptr);
        LibraryTest::TearDown();
    }
};

TEST_F(PermissionsTest, AFailureGivesTheGenericAdviceAndTheSystemsWords) {
    Permissions::explainFailure("Couldn't capture the screen", "The X server didn't hand over the screen.");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].title, "Couldn't capture the screen");
    EXPECT_EQ(
        shown[0].message,
        "Please try again. If it keeps happening, quit Ombrel Capture from the menu bar and open it again. "
        "If "
        "your disk is nearly full, free up some space first.\n\nYour computer said: The X server didn't hand "
        "over "
        "the screen.");
    EXPECT_FALSE(Permissions::failureMessage("").contains("said"));
}

TEST_F(PermissionsTest, WithoutScreenPermissionTheFailureExplainsThePermissionInstead) {
    platform.access->screen = false;
    answer = 1; // "Not Now"
    Permissions::explainFailure("Couldn't capture the screen", "denied");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].title, "Let Ombrel Capture see your screen");
    EXPECT_EQ(shown[0].buttons, (QStringList{"Open Settings", "Not Now"}));
    EXPECT_FALSE(Permissions::askToOpenSettings("t", "m"));
    answer = 0;
    EXPECT_TRUE(Permissions::askToOpenSettings("t", "m"));
}
