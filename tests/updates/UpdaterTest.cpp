// The update check: version order, the daily rule, digests, feeds, and the offer from the
// first click to its end (installing itself is in InstallerTest and end to end).
#include "updates/Updater.h"
#include "LocalServer.h"
#include "UpdateFixtures.h"
#include "support/TestEnv.h"
#include "ui/GlassPrompt.h"
#include "ui/Permissions.h"
#include "updates/UpdatesConfig.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>

using namespace ombrel;
using ombrel::test::LocalServer;

TEST(UpdaterRules, VersionsCompareTheirNumbersAndSilentChecksRunOnceADay) {
    for (const auto& [newer, older] : {std::pair{"1.10", "1.9"}, {"2.0.1", "2.0"}, {"10.0", "9.9.9"}})
        EXPECT_TRUE(Updater::isNewer(newer, older) && !Updater::isNewer(older, newer))
            << newer << " " << older;
    for (const auto& [a, b] : {std::pair{"1.2", "1.2"}, {"1.01", "1.1"}})
        EXPECT_FALSE(Updater::isNewer(a, b) || Updater::isNewer(b, a))
            << a << " and " << b << " are the same";

    const QDateTime now = QDateTime::currentDateTimeUtc();
    EXPECT_FALSE(Updater::isDue(now.addSecs(-86399), now));
    EXPECT_TRUE(Updater::isDue(now.addSecs(-86400), now));
    EXPECT_TRUE(Updater::isDue(std::nullopt, now));
    EXPECT_TRUE(Updater::isDue(now.addSecs(3600), now))
        << "a clock turned back must not stop checks for good";
}

TEST(UpdaterRules, DigestsMatchInEitherCase) {
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash("data", QCryptographicHash::Sha256).toHex());
    EXPECT_TRUE(Updater::matches("data", digest.toUpper()) && Updater::matches("data", digest));
    EXPECT_FALSE(Updater::matches("data.", digest));
    EXPECT_FALSE(Updater::matches("data", QString()));
}

TEST(UpdaterRules, AFeedNeedsItsThreeStringsAndAtMostStringNotes) {
    const auto feed = Updater::decodeFeed(R"({"version":"2.0","url":"https://x/u.zip","sha256":"ab"})");
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->url, QStringLiteral("https://x/u.zip"));
    EXPECT_FALSE(feed->notes);
    EXPECT_EQ(Updater::decodeFeed(R"({"version":"2.0","url":"u","sha256":"ab","notes":"New"})")->notes,
              QStringLiteral("New"));
    EXPECT_TRUE(Updater::decodeFeed(R"({"version":"2.0","url":"u","sha256":"ab","notes":null})"));
    for (const char* bad :
         {R"({"version":"2.0","url":"u"})", R"({"version":2,"url":"u","sha256":"ab"})",
          R"({"version":"2.0","url":"u","sha256":"ab","notes":5})", R"(["2.0"])", "not json"})
        EXPECT_FALSE(Updater::decodeFeed(bad)) << bad;
}

namespace {
QList<QStringList> alerts;
int recordAlert(const QString& title, const QString& message, const QStringList&) {
    alerts.append({title, message});
    return 0;
}
} // namespace

class UpdaterCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Defaults::useFile(dir.filePath(QStringLiteral("settings.ini")));
        platform = installFakePlatform(dir.filePath(QStringLiteral("Trash")));
        alerts.clear();
        Permissions::setPresenter(recordAlert);
        configure(QString());
        Defaults::set(Keys::updatesFeed, server.url(QStringLiteral("/updates.json")).toString());
        Updater::setBundle(QString());
    }
    void TearDown() override {
        if (GlassPrompt* p = Updater::prompt()) delete p;
        Updater::setInstallForTests(nullptr);
        Updater::setQuit(nullptr);
        Permissions::setPresenter(nullptr);
        UpdatesConfig::use({});
        Defaults::useFile(QString());
    }
    void offerVersion(const QByteArray& version, const QByteArray& notes = {}) {
        server.body = R"({"version":")" + version +
                      R"(","url":"https://ombrel.invalid/u.zip","sha256":"ab")" +
                      (notes.isEmpty() ? QByteArray() : R"(,"notes":")" + notes + '"') + "}";
    }
    bool waitForPrompt() {
        return QTest::qWaitFor([] { return Updater::prompt() && Updater::prompt()->isVisible(); }, 10000);
    }
    // The program's site and identifier, with `team` (none: nothing can be installed).
    void configure(const QString& team) {
        UpdatesConfig::use(
            {QStringLiteral("https://ombrel.invalid"), {}, team, QStringLiteral("com.ombrel.capture"), {}});
    }
    // The team and a bundle to replace: "Update Now" installs.
    void allowInstalling() {
        configure(QStringLiteral("7QK4M2X9TD"));
        Updater::setBundle(dir.filePath(QStringLiteral("ombrel-capture")));
    }

    QTemporaryDir dir;
    FakePlatformHandles platform;
    LocalServer server;
};

TEST_F(UpdaterCheckTest, ASilentCheckWaitsADayAManualOneNever) {
    offerVersion("0.0.1");
    const QDateTime hourAgo = QDateTime::currentDateTimeUtc().addSecs(-3600);
    UpdatesSettings::setDate(Keys::lastUpdateCheck, hourAgo);
    Updater::check(false);
    QTest::qWait(200);
    EXPECT_TRUE(server.requests.isEmpty());
    EXPECT_LE(qAbs(UpdatesSettings::date(Keys::lastUpdateCheck)->secsTo(hourAgo)), 1);

    UpdatesSettings::setDate(Keys::lastUpdateCheck, hourAgo.addDays(-1));
    Updater::check(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests.size() == 1; }, 10000));
    EXPECT_LT(UpdatesSettings::date(Keys::lastUpdateCheck)->secsTo(QDateTime::currentDateTimeUtc()), 5);
    QTest::qWait(100);
    EXPECT_TRUE(alerts.isEmpty()) << "a silent check says nothing when up to date";

    Updater::check(true);
    ASSERT_TRUE(QTest::qWaitFor([] { return !alerts.isEmpty(); }, 10000));
    EXPECT_EQ(alerts.first().first(), QStringLiteral("You're up to date"));
    EXPECT_TRUE(alerts.first().last().contains(Updater::currentVersion()));
}

TEST_F(UpdaterCheckTest, AManualCheckThatCannotReadTheFeedSaysSo) {
    server.body = R"({"version":"99.0","url":"https://ombrel.invalid/u.zip"})"; // no digest: no feed
    Updater::check(true);
    ASSERT_TRUE(QTest::qWaitFor([] { return !alerts.isEmpty(); }, 10000));
    EXPECT_EQ(alerts.takeFirst().first(), QStringLiteral("Couldn't check for updates"));
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    Defaults::set(Keys::updatesFeed,
                  QStringLiteral("http://127.0.0.1:%1/updates.json").arg(closed.serverPort()));
    closed.close();
    Updater::check(true);
    ASSERT_TRUE(QTest::qWaitFor([] { return !alerts.isEmpty(); }, 10000));
    EXPECT_EQ(alerts.first().first(), QStringLiteral("Couldn't check for updates"));
    EXPECT_EQ(Updater::prompt(), nullptr);
}

TEST_F(UpdaterCheckTest, WithoutATeamTheOfferSendsTheUserToTheWebSite) {
    offerVersion("99.0");
    Updater::check(true);
    ASSERT_TRUE(waitForPrompt());
    GlassPrompt* prompt = Updater::prompt();
    EXPECT_EQ(prompt->heading(), QStringLiteral("Version 99.0 is ready"));
    EXPECT_EQ(prompt->detail(), QStringLiteral("A newer Ombrel Capture is available.")) << "without notes";
    EXPECT_EQ(prompt->primaryButton()->text(), QStringLiteral("Get It"));
    prompt->primaryButton()->click();
    EXPECT_FALSE(prompt->isVisible());
    EXPECT_EQ(platform.workspace->opened, QList<QUrl>{QUrl(QStringLiteral("https://ombrel.invalid"))});
}

TEST_F(UpdaterCheckTest, TheOfferWaitsForAnotherPromptOnScreen) {
    GlassPrompt crashOffer(QStringLiteral("No Thanks"), 400);
    crashOffer.say(QStringLiteral("Sorry, it closed unexpectedly"), QString(), QStringLiteral("Send Report"));
    crashOffer.open();
    offerVersion("99.0");
    Updater::check(true);
    ASSERT_TRUE(QTest::qWaitFor([] { return Updater::prompt() != nullptr; }, 10000));
    QTest::qWait(500);
    EXPECT_FALSE(Updater::prompt()->isVisible());
    crashOffer.dismiss();
    EXPECT_TRUE(waitForPrompt());
}

TEST_F(UpdaterCheckTest, AFailedInstallationSaysWhyAndCloses) {
    allowInstalling();
    std::atomic<bool> release{false};
    Updater::setInstallForTests([&](const Updater::Feed& feed) {
        while (!release)
            QThread::msleep(5);
        return feed.version == QLatin1String("99.0") ? Updater::didNotMatch : QString();
    });
    offerVersion("99.0", "Faster captures.");
    Updater::check(true);
    ASSERT_TRUE(waitForPrompt());
    QPointer<GlassPrompt> prompt = Updater::prompt();
    EXPECT_EQ(prompt->detail(), QStringLiteral("Faster captures."));
    ASSERT_EQ(prompt->primaryButton()->text(), QStringLiteral("Update Now"));
    prompt->primaryButton()->click();
    EXPECT_EQ(prompt->heading(), QStringLiteral("Updating…"));
    EXPECT_FALSE(prompt->primaryButton()->isEnabled());
    // Another check while it installs leaves the offer alone.
    Updater::check(true);
    QTest::qWait(300);
    EXPECT_EQ(Updater::prompt(), prompt.data());

    release = true;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return prompt->heading() == QLatin1String("The update didn't install"); }, 10000));
    EXPECT_EQ(prompt->detail(), Updater::didNotMatch);
    EXPECT_EQ(prompt->primaryButton()->text(), QStringLiteral("Close"));
    EXPECT_TRUE(prompt->primaryButton()->isEnabled());
    prompt->primaryButton()->click();
    EXPECT_FALSE(prompt->isVisible());
}

TEST_F(UpdaterCheckTest, AnInstalledUpdateStartsTheNewVersionAndQuits) {
    allowInstalling();
    const QString marker = dir.filePath(QStringLiteral("started"));
    test::writeFile(Updater::bundle() + QStringLiteral("/bin/ombrel-capture"),
                    "#!/bin/sh\necho \"$OMBREL_REPLACES_PID\" > '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(Updater::bundle() + QStringLiteral("/bin/ombrel-capture"),
                          QFile::ReadOwner | QFile::ExeOwner);
    bool quit = false;
    Updater::setQuit([&] { quit = true; });
    Updater::setInstallForTests([](const Updater::Feed&) { return QString(); });
    offerVersion("99.0");
    Updater::check(true);
    ASSERT_TRUE(waitForPrompt());
    Updater::prompt()->primaryButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return quit; }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(marker).size() > 0; }, 10000));
    QFile started(marker);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll().trimmed(), QByteArray::number(QCoreApplication::applicationPid()))
        << "the new version learns which instance to wait for";
}
