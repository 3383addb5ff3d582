// Installing an unpacked, checked update: the swap by renames, the start check with the
// old bundle put back, and the working folders left behind by none of it.
#include "updates/Installer.h"
#include "UpdateFixtures.h"
#include "platform/PrivateFiles.h"
#include "support/TestEnv.h"
#include "updates/Archive.h"
#include "updates/Bundle.h"
#include "updates/Manifest.h"
#include "updates/UpdatesConfig.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

using namespace ombrel;
using ombrel::test::makeBundle;
using ombrel::test::makeKeyPair;
using ombrel::test::snapshot;

namespace {
const QString team = QStringLiteral("7QK4M2X9TD");
} // namespace

class InstallerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(makeKeyPair(path("maker.pem"), path("maker.pub.pem")));
        UpdatesConfig::use(
            {QStringLiteral("https://ombrel.invalid"), {}, team, QStringLiteral("com.ombrel.capture"), {}});
        installIn(dir.path());
    }
    void TearDown() override { UpdatesConfig::use({}); }
    QString path(const QString& name) const { return dir.filePath(name); }

    // The running bundle, version 1.0, in `parent`.
    void installIn(const QString& parent) {
        running = parent + QStringLiteral("/installed/ombrel-capture");
        QDir(running).removeRecursively();
        makeBundle(running, QStringLiteral("1.0"), true, QStringLiteral("com.ombrel.capture"),
                   path("maker.pub.pem"));
        target = Installer::targetFor(running);
    }
    // A signed update archive of version `version` whose bundle folder is `folderName`.
    QString updateArchive(const QString& version, bool starts = true,
                          const QString& folderName = QStringLiteral("ombrel-capture")) {
        const QString staging = path(QStringLiteral("staging-") + version + QLatin1Char('/') + folderName);
        makeBundle(staging, version, starts, QStringLiteral("com.ombrel.capture"), path("maker.pub.pem"));
        EXPECT_TRUE(Signing::signBundle(staging, path("maker.pem"), team));
        signedSnapshot = snapshot(staging);
        const QString archive = path(QStringLiteral("update-") + version + QStringLiteral(".zip"));
        EXPECT_EQ(Archive::pack(staging, folderName, archive), QString());
        return archive;
    }
    QString work() {
        const QString folder = path(QStringLiteral("work-%1").arg(++works));
        QDir().mkpath(folder);
        return folder;
    }

    QTemporaryDir dir;
    QString running;
    Installer::Target target;
    QStringList signedSnapshot;
    int works = 0;
};

TEST_F(InstallerTest, AGoodUpdateTakesThePlaceOfTheBundle) {
    const QString archive = updateArchive(QStringLiteral("2.0"));
    const QString folder = work();
    EXPECT_EQ(Installer::installArchive(archive, folder, target, QStringLiteral("2.0")), QString());
    EXPECT_EQ(snapshot(running), signedSnapshot);
    // The old bundle waits in the working folder, which the installation removes at its end.
    EXPECT_EQ(ombrel::Bundle::readInfo(folder + QStringLiteral("/unpacked/ombrel-capture"))->version,
              QStringLiteral("1.0"));
    EXPECT_EQ(QDir(path("installed")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("ombrel-capture")});
}

TEST_F(InstallerTest, ANewVersionThatDoesNotStartIsSwappedBack) {
    const auto before = snapshot(running);
    const QString archive = updateArchive(QStringLiteral("2.0"), false);
    EXPECT_EQ(Installer::installArchive(archive, work(), target, QStringLiteral("2.0")),
              QStringLiteral(
                  "Couldn't replace the app: the new version didn't start, so the one you had is back."));
    EXPECT_EQ(snapshot(running), before);
}

TEST_F(InstallerTest, TheSignedVersionMustBeTheOneOfferedAndTheFolderTheBundles) {
    const auto before = snapshot(running);
    EXPECT_EQ(Installer::installArchive(updateArchive(QStringLiteral("1.5")), work(), target,
                                        QStringLiteral("2.0")),
              Updater::notSigned);
    EXPECT_EQ(Installer::installArchive(
                  updateArchive(QStringLiteral("2.0"), true, QStringLiteral("Ombrel Capture")), work(),
                  target, QStringLiteral("2.0")),
              Updater::notSigned);
    EXPECT_EQ(snapshot(running), before);
}

TEST_F(InstallerTest, ABundleOnAnotherDiskIsCopiedBesideItThenSwapped) {
    QTemporaryDir otherDisk(QStringLiteral("/dev/shm/ombrel-installer-test-XXXXXX"));
    ASSERT_TRUE(otherDisk.isValid());
    installIn(otherDisk.path());
    const QString archive = updateArchive(QStringLiteral("2.0"));
    EXPECT_EQ(Installer::installArchive(archive, work(), target, QStringLiteral("2.0")), QString());
    EXPECT_EQ(snapshot(running), signedSnapshot);
    // Neither the copy's passing name nor the old bundle is left beside it.
    EXPECT_EQ(QDir(otherDisk.filePath(QStringLiteral("installed")))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("ombrel-capture")});
}

TEST_F(InstallerTest, ADownloadThatFailsLeavesNoWorkingFolder) {
    const QString workFolders = PrivateFiles::folder(PrivateFiles::Size::Large);
    auto leftovers = [&] {
        return QDir(workFolders).entryList({QStringLiteral("ombrel-update-*")}, QDir::Dirs | QDir::Hidden);
    };
    const QStringList before = leftovers();
    const auto bundleBefore = snapshot(running);
    QTcpServer closed; // a port that was free a moment ago
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();

    EXPECT_EQ(Installer::install({QStringLiteral("2.0"),
                                  QStringLiteral("https://127.0.0.1:%1/u.zip").arg(port),
                                  QString(64, QLatin1Char('a')),
                                  {}},
                                 target),
              Updater::couldNotDownload);
    EXPECT_EQ(leftovers(), before);
    EXPECT_EQ(snapshot(running), bundleBefore);
}
