// The crash handler in a real process that really crashes: the report it leaves, and
// that a clean exit leaves none.
#include "support/TestEnv.h"
#include "updates/CrashCheck.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

using namespace ombrel;

namespace {

struct Crash {
    int signal = 0;         // what ended the probe, 0 for a normal exit
    QStringList reports;    // report files left
    QStringList otherFiles; // anything else left in the folder
    QJsonObject summary;
};

Crash crashProbe(const QString& folder, const QString& how) {
    QProcess probe;
    probe.start(QStringLiteral(CRASHPROBE), {folder, how});
    probe.waitForFinished(60000);
    Crash crash;
    if (probe.exitStatus() == QProcess::CrashExit) crash.signal = probe.exitCode();
    const QDir dir(folder);
    crash.reports = dir.entryList({QStringLiteral("OmbrelCapture-*.ips")}, QDir::Files);
    crash.otherFiles = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& r : crash.reports)
        crash.otherFiles.removeAll(r);
    if (crash.reports.size() == 1) {
        QFile file(dir.filePath(crash.reports.first()));
        if (file.open(QIODevice::ReadOnly))
            crash.summary = CrashCheck::summary(file.readAll()).value_or(QJsonObject());
        EXPECT_EQ(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), 0) << "reports are private";
    }
    return crash;
}

} // namespace

class CrashHandlerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString folder() const { return dir.filePath(QStringLiteral("crash-reports")); }
    QTemporaryDir dir;
};

TEST_F(CrashHandlerTest, ASegmentationFaultLeavesAReportNamingTheFaultingFrame) {
    const Crash crash = crashProbe(folder(), QStringLiteral("segv"));
    EXPECT_EQ(crash.signal, SIGSEGV) << "the process still dies of its signal";
    ASSERT_EQ(crash.reports.size(), 1);
    EXPECT_TRUE(crash.otherFiles.isEmpty()) << crash.otherFiles.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(crash.summary.value("version"), "7.7.7");
    EXPECT_FALSE(crash.summary.value("build").toString().isEmpty());
    EXPECT_EQ(crash.summary.value("exception"), "SEGV_MAPERR SIGSEGV");
    EXPECT_EQ(crash.summary.value("reason"), "Segmentation fault");
    const QJsonArray frames = crash.summary.value("frames").toArray();
    ASSERT_GE(frames.size(), 3);
    EXPECT_TRUE(frames.first().toString().startsWith(QStringLiteral("crashprobe +")))
        << frames.first().toString().toStdString();
    EXPECT_TRUE(std::any_of(frames.begin(), frames.end(), [](const QJsonValue& f) {
        return f.toString().startsWith(QStringLiteral("libc.so"));
    })) << "the frames below main lie in the C library";
}

TEST_F(CrashHandlerTest, AFatalMessageOrUncaughtExceptionBecomesTheReasonAndACleanExitLeavesNothing) {
    const Crash fatal = crashProbe(folder(), QStringLiteral("fatal"));
    EXPECT_EQ(fatal.signal, SIGABRT);
    EXPECT_EQ(fatal.summary.value("exception"), "SI_TKILL SIGABRT");
    EXPECT_EQ(fatal.summary.value("reason"), "The canvas lost its picture Aborted");
    QDir(folder()).removeRecursively();

    const Crash uncaught = crashProbe(folder(), QStringLiteral("exception"));
    EXPECT_EQ(uncaught.signal, SIGABRT);
    EXPECT_EQ(uncaught.summary.value("reason"), "Uncaught exception: no page to send Aborted");
    QDir(folder()).removeRecursively();

    const Crash clean = crashProbe(folder(), QStringLiteral("clean"));
    EXPECT_EQ(clean.signal, 0);
    EXPECT_EQ(clean.reports + clean.otherFiles, QStringList()) << "a clean exit leaves nothing";
}
