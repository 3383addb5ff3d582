#include "platform/linux/LinuxServices.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace ombrel;

namespace {
void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class LinuxServices : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        saved = {qgetenv("XDG_DATA_HOME"), qgetenv("XDG_CONFIG_HOME")};
        qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
        QStandardPaths::setTestModeEnabled(false);
    }
    void TearDown() override {
        qputenv("XDG_DATA_HOME", saved.first);
        qputenv("XDG_CONFIG_HOME", saved.second);
        QStandardPaths::setTestModeEnabled(true);
    }
    QTemporaryDir home;
    QPair<QByteArray, QByteArray> saved;
};

TEST_F(LinuxServices, TheFreedesktopTrashTakesAFileAndPutsItBackWithoutItsRecord) {
    // The trash must live on the same file system as the file, in the user's data folder.
    const QString file = home.filePath("data/pictures/shot.png");
    write(file, "png");
    FreedesktopTrash trash;
    const auto trashed = trash.moveToTrash(file);
    ASSERT_TRUE(trashed.has_value());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(trashed->startsWith(home.filePath("data/Trash/files/")));
    const QString info = home.filePath("data/Trash/info/") + QFileInfo(*trashed).fileName() + ".trashinfo";
    EXPECT_TRUE(QFileInfo::exists(info));

    write(file, "a new file in the way");
    EXPECT_FALSE(trash.putBack(*trashed, file)) << "never overwrites";
    QFile::remove(file);
    QDir(home.filePath("data/pictures")).removeRecursively();
    ASSERT_TRUE(trash.putBack(*trashed, file));
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(info)) << "the trash forgets the file";
    EXPECT_FALSE(trash.putBack(*trashed, file));
    EXPECT_FALSE(trash.moveToTrash(home.filePath("data/missing.png")).has_value());
}

TEST_F(LinuxServices, TheLoginItemIsAnAutostartEntryStartingThisProgram) {
    AutostartLoginItem item("com.ombrel.capture.tests", "/opt/ombrel capture/bin/ombrel-capture");
    EXPECT_EQ(item.entryPath(), home.filePath("config/autostart/com.ombrel.capture.tests.desktop"));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.enable(), "");
    EXPECT_TRUE(item.isEnabled());
    QFile f(item.entryPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray entry = f.readAll();
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("Exec=\"/opt/ombrel capture/bin/ombrel-capture\"\n"));
    EXPECT_EQ(item.disable(), "");
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.disable(), "") << "turning off twice is fine";
}

TEST_F(LinuxServices, AnAutostartEntryTheUserHidWithTheDesktopCountsAsOff) {
    AutostartLoginItem item("com.ombrel.capture.tests", "/usr/bin/ombrel-capture");
    write(item.entryPath(), "[Desktop Entry]\nType=Application\nExec=x\nHidden=true\n");
    EXPECT_FALSE(item.isEnabled());
}

TEST_F(LinuxServices, AnUnwritableAutostartFolderIsReportedInWords) {
    write(home.filePath("config/autostart"), "a file where the folder should be");
    AutostartLoginItem item("com.ombrel.capture.tests", "/usr/bin/ombrel-capture");
    EXPECT_FALSE(item.enable().isEmpty());
    EXPECT_FALSE(item.isEnabled());
}
