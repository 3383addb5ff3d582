// Crash reports at the next launch: which report is chosen, what its summary says, and
// what the user sees (or does not) with automatic sending on and off.
#include "LocalServer.h"
#include "UpdateFixtures.h"
#include "support/TestEnv.h"
#include "ui/GlassPrompt.h"
#include "ui/Toast.h"
#include "updates/CrashCheck.h"
#include "updates/UpdatesConfig.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace ombrel;
using ombrel::test::LocalServer;
using ombrel::test::writeFile;

namespace {

// The summary of a report made of a header line and a body, as compact JSON text.
QString summarise(const QByteArray& header, const QByteArray& body) {
    const auto summary = CrashCheck::summary(header + '\n' + body);
    return summary ? QString::fromUtf8(QJsonDocument(*summary).toJson(QJsonDocument::Compact))
                   : QStringLiteral("<none>");
}
// One member of the summary of a report with an empty header.
QJsonValue member(const char* name, const QByteArray& body) {
    return CrashCheck::summary("{}\n" + body).value_or(QJsonObject()).value(QLatin1String(name));
}

const QByteArray images = R"("usedImages":[{"name":"ombrel-capture"},{"name":"libQt6Core.so.6"}])";

} // namespace

TEST(CrashSummary, TakesTheCrashedThreadsFramesByImageAndOffsetOrSymbol) {
    // Frames without an image, with one out of range and without an offset included.
    const QByteArray body = R"({"cpuType":"X86-64",)" + images + R"(,"threads":[
        {"frames":[{"imageIndex":1,"imageOffset":5}]},
        {"triggered":true,"frames":[{"imageIndex":0,"imageOffset":4096},
            {"imageIndex":1,"imageOffset":77,"symbol":"qt_message_fatal"},{"imageOffset":8},
            {"imageIndex":-1,"imageOffset":9},{"imageIndex":2,"imageOffset":10},{"imageIndex":0}]}]})";
    EXPECT_EQ(summarise(R"({"app_version":"2.1","build_version":"ab12","os_version":"Debian 12"})", body),
              R"({"build":"ab12","cpu":"X86-64","exception":"","frames":["ombrel-capture +4096",)"
              R"("libQt6Core.so.6 qt_message_fatal","? +8","? +9","? +10","ombrel-capture +0"],)"
              R"("macos":"Debian 12","reason":"","version":"2.1"})");
}

TEST(CrashSummary, UsesTheFirstThreadWhenNoneIsMarkedAndKeepsThirtyFrames) {
    QByteArrayList many;
    for (int i = 0; i < 45; ++i)
        many.append(R"({"imageIndex":0,"imageOffset":)" + QByteArray::number(i) + '}');
    const QJsonArray frames =
        member("frames", "{" + images + R"(,"threads":[{"frames":[)" + many.join(',') + "]}]}").toArray();
    ASSERT_EQ(frames.size(), 30);
    EXPECT_EQ(frames.last(), "ombrel-capture +29");
    EXPECT_EQ(summarise("{}", R"({"threads":[]})"),
              R"({"build":"","cpu":"","exception":"","frames":[],"macos":"","reason":"","version":""})");
    // Text that is not two JSON objects has no summary.
    for (const char* text : {"{\"app_version\":\"1\"}", "[1]\n{}", "{}\nnot json"})
        EXPECT_FALSE(CrashCheck::summary(text)) << text;
}

TEST(CrashSummary, JoinsTheExceptionAndCutsTheReasonAt500Characters) {
    EXPECT_EQ(member("exception", R"({"exception":{"type":"SEGV_MAPERR","signal":"SIGSEGV"}})"),
              "SEGV_MAPERR SIGSEGV");
    EXPECT_EQ(member("exception", R"({"exception":{"type":"EXC_CRASH"}})"), "EXC_CRASH");
    EXPECT_EQ(member("exception", R"({"exception":{"type":5}})"), "");

    // A body whose application information holds `texts`, then `more` members.
    const auto asi = [](const QString& texts, const QByteArray& more = {}) {
        return R"({"asi":{"a":[)" + texts.toUtf8() + "]}" + more + "}";
    };
    const QByteArray aborted = R"(,"termination":{"indicator":"Aborted"})";
    EXPECT_EQ(member("reason", asi('"' + QString(2000, 'x') + '"')).toString().size(), 500);
    EXPECT_EQ(member("reason", R"({"asi":{})" + aborted + "}"), "Aborted");
    EXPECT_EQ(member("reason", asi(R"("boom","at line 3")", aborted)), "boom at line 3 Aborted");
    // Characters, not bytes or halves of an emoji: 499 letters and a whole flag.
    const QString letters(499, QLatin1Char('a'));
    EXPECT_EQ(member("reason", asi('"' + letters + QStringLiteral("🇬🇧🇬🇧\""))),
              letters + QStringLiteral("🇬🇧"));
}

class CrashCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        folder = dir.filePath(QStringLiteral("crash-reports"));
        Defaults::useFile(dir.filePath(QStringLiteral("settings.ini")));
        platform = installFakePlatform(dir.filePath(QStringLiteral("Trash")));
        configure(QStringLiteral("support@ombrel.invalid"));
        Defaults::set(Keys::crashReportsAddress, server.url(QStringLiteral("/api/crash")).toString());
    }
    void TearDown() override {
        if (GlassPrompt* p = CrashCheck::prompt()) delete p;
        UpdatesConfig::use({});
        Defaults::useFile(QString());
    }
    void configure(const QString& supportEmail) {
        UpdatesConfig::use({QStringLiteral("https://ombrel.invalid"), {}, {}, {}, supportEmail});
    }
    QString report(const QString& name, const QDateTime& modified, const QByteArray& text = goodReport) {
        const QString path = folder + QLatin1Char('/') + name;
        writeFile(path, text);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::Append) &&
                    file.setFileTime(modified, QFileDevice::FileModificationTime));
        return path;
    }
    bool promptShown() { return CrashCheck::prompt() && CrashCheck::prompt()->isVisible(); }

    static inline const QByteArray goodReport = R"({"app_version":"2.0"})"
                                                "\n"
                                                R"({"termination":{"indicator":"Segmentation fault"}})";
    QTemporaryDir dir;
    QString folder;
    FakePlatformHandles platform;
    LocalServer server;
    const QDateTime seen = QDateTime::currentDateTimeUtc().addSecs(-3600);
};

TEST_F(CrashCheckTest, TheNewestReportOfThisProgramAfterTheLastLookIsChosen) {
    report(QStringLiteral("OmbrelCapture-old.ips"), seen);
    EXPECT_FALSE(CrashCheck::newestReport(folder, seen)) << "a report at the last look's moment is not newer";
    const QString newer = report(QStringLiteral("OmbrelCapture-b.ips"), seen.addSecs(20));
    report(QStringLiteral("OmbrelCapture-a.ips"), seen.addSecs(10));
    for (const char* other :
         {"Other-z.ips", "ombrelcapture-z.ips", "OmbrelCapture-z.crash", "OmbrelCapture-z.ips.txt"})
        report(QString::fromLatin1(other), seen.addSecs(30));
    const auto found = CrashCheck::newestReport(folder, seen);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path, newer);
    EXPECT_FALSE(CrashCheck::newestReport(dir.filePath(QStringLiteral("missing")), seen));
}

TEST_F(CrashCheckTest, TheFirstLaunchOnlyNotesTheTime) {
    report(QStringLiteral("OmbrelCapture-1.ips"), seen);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    CrashCheck::run(folder, now);
    EXPECT_EQ(UpdatesSettings::date(Keys::lastCrashSeen), now);
    QTest::qWait(300);
    EXPECT_TRUE(server.requests.isEmpty());
    EXPECT_FALSE(promptShown());
}

TEST_F(CrashCheckTest, AReportIsSummarisedPostedAndToldOnlyWhenTaken) {
    UpdatesSettings::setDate(Keys::lastCrashSeen, seen);
    report(QStringLiteral("OmbrelCapture-1.ips"), seen.addSecs(60));
    CrashCheck::run(folder, QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Toast::currentText().isEmpty(); }, 10000));
    ASSERT_EQ(server.requests.size(), 1);
    const auto& sent = server.requests.first();
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.path, "/api/crash");
    EXPECT_EQ(sent.contentType, "application/json");
    const QJsonObject summary = QJsonDocument::fromJson(sent.body).object();
    EXPECT_EQ(summary.value("version"), "2.0");
    EXPECT_EQ(summary.value("reason"), "Segmentation fault");
    EXPECT_FALSE(promptShown());

    // Each report goes once; a refused post shows nothing.
    const QPointer<QWidget> firstToast = Toast::panel();
    server.status = 201;
    UpdatesSettings::setDate(Keys::lastCrashSeen, seen.addSecs(60));
    report(QStringLiteral("OmbrelCapture-2.ips"), seen.addSecs(120));
    CrashCheck::run(folder, QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests.size() == 2; }, 10000));
    QTest::qWait(200);
    EXPECT_TRUE(!Toast::panel() || Toast::panel() == firstToast.data()) << "no new toast";
    CrashCheck::run(folder, QDateTime::currentDateTimeUtc());
    QTest::qWait(200);
    EXPECT_EQ(server.requests.size(), 2);
}

TEST_F(CrashCheckTest, WithReportsOffTheUserIsOfferedAnEmailWithTheReport) {
    CrashCheck::setSendsAutomatically(false);
    EXPECT_TRUE(Defaults::get(Keys::crashReportsOff));
    UpdatesSettings::setDate(Keys::lastCrashSeen, seen);
    const QString path = report(QStringLiteral("OmbrelCapture-1.ips"), seen.addSecs(60));
    CrashCheck::run(folder, QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(promptShown());
    GlassPrompt* prompt = CrashCheck::prompt();
    prompt->primaryButton()->click();
    EXPECT_FALSE(prompt->isVisible());
    ASSERT_EQ(platform.workspace->mails.size(), 1);
    const FakeWorkspace::Mail& mail = platform.workspace->mails.first();
    EXPECT_EQ(mail.to, QStringList{QStringLiteral("support@ombrel.invalid")});
    EXPECT_EQ(mail.attachment, path);
    QTest::qWait(100);
    EXPECT_TRUE(server.requests.isEmpty()) << "nothing is sent without the user";
}

TEST_F(CrashCheckTest, AnUnreadableReportLeadsToTheOfferAndWithoutAnAddressToNothing) {
    UpdatesSettings::setDate(Keys::lastCrashSeen, seen);
    report(QStringLiteral("OmbrelCapture-1.ips"), seen.addSecs(60), "not a report");
    CrashCheck::run(folder, seen.addSecs(100));
    EXPECT_TRUE(promptShown()) << "automatic sending on, but nothing to send: the e-mail is offered";
    CrashCheck::prompt()->secondaryButton()->click();
    EXPECT_FALSE(promptShown());

    configure(QString());
    CrashCheck::setSendsAutomatically(false);
    report(QStringLiteral("OmbrelCapture-2.ips"), seen.addSecs(200));
    CrashCheck::run(folder, seen.addSecs(300));
    QTest::qWait(100);
    EXPECT_FALSE(promptShown());
    EXPECT_TRUE(server.requests.isEmpty());
}
