#include "TestEnv.h"

#include "library/CaptureStore.h"
#include "platform/Defaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ombrel::test {

void LibraryTest::SetUp() {
    ASSERT_TRUE(dir.isValid());
    CaptureStore::setFolder(dir.filePath(QStringLiteral("Pictures/Ombrel Capture")));
    CaptureStore::forgetReservedNames();
    Defaults::useFile(dir.filePath(QStringLiteral("settings.ini")));
    platform = installFakePlatform(dir.filePath(QStringLiteral("Trash")));
}

void LibraryTest::TearDown() {
    Defaults::useFile(QString());
    CaptureStore::setFolder(QString());
    CaptureStore::setWordsReader({});
}

QString LibraryTest::libraryPath(const QString& relative) const {
    const QString root = CaptureStore::folder();
    return relative.isEmpty() ? root : root + QLatin1Char('/') + relative;
}

QString LibraryTest::makeFile(const QString& relative, const QDateTime& modified, const QByteArray& bytes) {
    const QString path = libraryPath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) ADD_FAILURE() << "cannot write " << path.toStdString();
    f.write(bytes);
    f.close(); // closing after a write would stamp the file with now: set the time afterwards
    if (!f.open(QIODevice::Append) || !f.setFileTime(modified, QFileDevice::FileModificationTime))
        ADD_FAILURE() << "cannot set the time of " << path.toStdString();
    f.close();
    return path;
}

} // namespace ombrel::test
