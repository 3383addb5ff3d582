#include "platform/PrivateFiles.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sys/stat.h>

using namespace ombrel;

namespace {

int modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return int(st.st_mode & 0777);
}

dev_t deviceOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_dev;
}

void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class PrivateFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", saved); }
    QTemporaryDir runtime;
    QByteArray saved;
};

TEST_F(PrivateFilesTest, FoldersAndFilesAreOnlyTheUsersFromTheStart) {
    // A folder left by an older version with the default rights is narrowed, not trusted.
    QDir().mkpath(runtime.filePath("ombrel-capture"));
    ::chmod(QFile::encodeName(runtime.filePath("ombrel-capture")).constData(), 0755);
    const QString base = PrivateFiles::folder();
    EXPECT_EQ(base, runtime.filePath("ombrel-capture"));
    EXPECT_EQ(modeOf(base), 0700);

    const auto folder = PrivateFiles::makeFolder(QStringLiteral("phone-"));
    ASSERT_TRUE(folder.isOk()) << folder.message().toStdString();
    EXPECT_EQ(modeOf(folder.value()), 0700);
    EXPECT_TRUE(QFileInfo(folder.value()).fileName().startsWith(QStringLiteral("phone-")));

    const auto file = PrivateFiles::makeFile(QStringLiteral("part-"), QStringLiteral(".wav"),
                                             PrivateFiles::Size::Small, folder.value());
    ASSERT_TRUE(file.isOk());
    EXPECT_EQ(modeOf(file.value()), 0600);
    EXPECT_TRUE(file.value().endsWith(QStringLiteral(".wav")));
    EXPECT_NE(file.value(), PrivateFiles::makeFile(QStringLiteral("part-"), QStringLiteral(".wav"),
                                                   PrivateFiles::Size::Small, folder.value())
                                .value());
}

TEST_F(PrivateFilesTest, AMoveAcrossFileSystemsLeavesOnlyTheWholeFileUnderTheName) {
    // /dev/shm is a memory file system on every Linux desktop: a move from there to the
    // home folder crosses file systems.
    QTemporaryDir home(QDir::homePath() + QStringLiteral("/.ombrel-move-XXXXXX"));
    QTemporaryDir shm(QStringLiteral("/dev/shm/ombrel-move-XXXXXX"));
    ASSERT_TRUE(shm.isValid());
    ASSERT_NE(deviceOf(home.path()), deviceOf(shm.path()));
    const QString from = shm.filePath("raw.mp4");
    const QString to = home.filePath("Recording_V1.mp4");
    const QByteArray bytes(3 << 20, 'r');
    write(from, bytes);
    ::chmod(QFile::encodeName(from).constData(), 0600);
    write(to, "an older file of the same name");

    EXPECT_EQ(PrivateFiles::moveFile(from, to), QString());
    EXPECT_EQ(read(to), bytes);
    EXPECT_EQ(modeOf(to), 0600);
    EXPECT_FALSE(QFileInfo::exists(from));
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Recording_V1.mp4")});
}

TEST_F(PrivateFilesTest, AFailedMoveKeepsBothFilesAndSaysWhy) {
    const QString to = runtime.filePath("kept.png");
    write(to, "kept");
    const QString error = PrivateFiles::moveFile(runtime.filePath("missing.png"), to);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(read(to), QByteArray("kept"));
}
