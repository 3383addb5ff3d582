#include "onboarding/WhatsNew.h"
#include "onboarding/HelpWindow.h"
#include "onboarding/OnboardingKeys.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTest>

using namespace ombrel;

namespace {
QList<ReleaseNotes> notes(const QStringList& versions) {
    QList<ReleaseNotes> out;
    for (const QString& v : versions)
        out.append({v, "Version " + v, {"A change in " + v}});
    return out;
}
QStringList versions(const QList<ReleaseNotes>& list) {
    QStringList out;
    for (const ReleaseNotes& n : list)
        out << n.version;
    return out;
}
} // namespace

TEST(WhatsNewVersions, AreComparedPieceByPieceAsNumbers) {
    EXPECT_TRUE(WhatsNew::isNewer("1.10", "1.9"));
    EXPECT_FALSE(WhatsNew::isNewer("1.9", "1.10"));
    EXPECT_FALSE(WhatsNew::isNewer("2.0", "2"));
    EXPECT_FALSE(WhatsNew::isNewer("2", "2.0"));
    EXPECT_TRUE(WhatsNew::isNewer("1.2.1", "1.2"));
    EXPECT_FALSE(WhatsNew::isNewer("1.4", "1.4"));
    EXPECT_FALSE(WhatsNew::isNewer("1.beta", "1.0")) << "a piece that is not a number counts as 0";
    EXPECT_TRUE(WhatsNew::isNewer("1.1", "1.beta"));
}

TEST(WhatsNewUnseen, OffersTheVersionsSinceTheLastSeenOneNewestFirstAndNeverAFutureOne) {
    // 1.2 to 1.5 with notes up to 1.6: 1.5, 1.4 and 1.3; 1.6 is not out for this user.
    EXPECT_EQ(versions(WhatsNew::unseen(notes({"1.3", "1.6", "1.4", "1.5", "1.2", "1.1"}), "1.5", "1.2")),
              (QStringList{"1.5", "1.4", "1.3"}));
    // 1.2 to 1.9 with seven newer entries: only the three newest.
    EXPECT_EQ(
        versions(WhatsNew::unseen(notes({"1.3", "1.4", "1.5", "1.6", "1.7", "1.8", "1.9"}), "1.9", "1.2")),
        (QStringList{"1.9", "1.8", "1.7"}));
    // No version seen before, and not a new install: only the newest entry.
    EXPECT_EQ(versions(WhatsNew::unseen(notes({"1.3", "1.10", "1.9", "2.0"}), "1.10", std::nullopt)),
              (QStringList{"1.10"}));
    EXPECT_TRUE(WhatsNew::unseen(notes({"1.3"}), "1.3", "1.3").isEmpty());
}

TEST(WhatsNewNotes, AFileWithABrokenEntryIsUnreadableAndTheShippedNotesCoverThisVersion) {
    EXPECT_EQ(WhatsNew::decode(R"([{"version":"1.2","headline":"H","changes":["a","b"]}])"),
              (QList<ReleaseNotes>{{"1.2", "H", {"a", "b"}}}));
    EXPECT_TRUE(WhatsNew::decode(R"([{"version":"1.2","headline":"H","changes":["a"]},{"version":"1.3"}])")
                    .isEmpty());
    EXPECT_TRUE(WhatsNew::decode(R"([{"version":1.2,"headline":"H","changes":[]}])").isEmpty());
    EXPECT_TRUE(WhatsNew::decode("not json").isEmpty());
    // The notes in the program say what this version brought.
    const QList<ReleaseNotes> shipped = WhatsNew::shipped();
    ASSERT_FALSE(shipped.isEmpty());
    EXPECT_EQ(WhatsNew::unseen(shipped, WhatsNew::installedVersion(), std::nullopt).value(0).version,
              WhatsNew::installedVersion())
        << "releases.json has no entry for version " << WhatsNew::installedVersion().toStdString();
    for (const ReleaseNotes& n : shipped) {
        EXPECT_FALSE(n.headline.isEmpty());
        EXPECT_FALSE(n.changes.isEmpty());
    }
}

class WhatsNewLaunch : public ombrel::test::LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        const QString path = dir.filePath("releases.json");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QJsonArray entries;
        for (const QString& v :
             {QStringLiteral("0.0.1"), QStringLiteral("0.0.2"), WhatsNew::installedVersion()})
            entries.append(
                QJsonObject{{"version", v}, {"headline", "In " + v}, {"changes", QJsonArray{"x"}}});
        file.write(QJsonDocument(entries).toJson());
        file.close();
        WhatsNew::useNotesFile(path);
    }
    void TearDown() override {
        if (WhatsNew::window()) delete WhatsNew::window();
        WhatsNew::useNotesFile({});
        LibraryTest::TearDown();
    }
    QString seen() const { return Defaults::get(OnboardingKeys::whatsNewSeenVersion); }
};

TEST_F(WhatsNewLaunch, ANewInstallRemembersTheVersionAndShowsNothing) {
    WhatsNew::showIfUpdated(true);
    EXPECT_EQ(seen(), WhatsNew::installedVersion());
    EXPECT_EQ(WhatsNew::window(), nullptr);
    WhatsNew::showIfUpdated(false);
    EXPECT_EQ(WhatsNew::window(), nullptr) << "the same version launched again shows nothing";
}

TEST_F(WhatsNewLaunch, AnUpdateShowsTheNotesSinceTheLastSeenVersionOnce) {
    Defaults::set(OnboardingKeys::whatsNewSeenVersion, QStringLiteral("0.0.1"));
    WhatsNew::showIfUpdated(false);
    ASSERT_NE(WhatsNew::window(), nullptr);
    EXPECT_EQ(versions(WhatsNew::window()->entries()), (QStringList{WhatsNew::installedVersion(), "0.0.2"}));
    EXPECT_EQ(seen(), WhatsNew::installedVersion());
    WhatsNew::window()->gotItButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([] { return WhatsNew::window() == nullptr; })) << "Got It closes the window";
    WhatsNew::showIfUpdated(false);
    EXPECT_EQ(WhatsNew::window(), nullptr);
    // The menu's What's New shows the newest entry whenever asked.
    WhatsNew::showLatest();
    ASSERT_NE(WhatsNew::window(), nullptr);
    EXPECT_EQ(versions(WhatsNew::window()->entries()), QStringList{WhatsNew::installedVersion()});
}

TEST_F(WhatsNewLaunch, UnreadableNotesShowNothingButTheVersionIsStillRemembered) {
    WhatsNew::useNotesFile(dir.filePath("missing.json"));
    Defaults::set(OnboardingKeys::whatsNewSeenVersion, QStringLiteral("0.0.1"));
    WhatsNew::showIfUpdated(false);
    EXPECT_EQ(WhatsNew::window(), nullptr);
    EXPECT_EQ(seen(), WhatsNew::installedVersion());
}

TEST_F(WhatsNewLaunch, TheHelpPageOpensByItselfOnlyTheFirstTime) {
    HelpWindow::presentOnFirstLaunch();
    ASSERT_TRUE(HelpWindow::exists());
    HelpWindow& help = HelpWindow::shared();
    EXPECT_TRUE(help.isVisible());
    EXPECT_TRUE(Defaults::get(OnboardingKeys::hasSeenHelp));
    EXPECT_EQ(help.windowTitle(), "Ombrel Capture Help");
    EXPECT_TRUE(help.toPlainText().contains("Send to Chat")) << "the page is loaded from the resources";
    EXPECT_GE(help.width(), HelpWindow::minimumSizePt.width());
    help.close();
    HelpWindow::presentOnFirstLaunch();
    EXPECT_FALSE(help.isVisible()) << "only the first launch opens it";
    HelpWindow::present();
    EXPECT_TRUE(help.isVisible()) << "the same window comes back from the menu";
    help.close();
}
