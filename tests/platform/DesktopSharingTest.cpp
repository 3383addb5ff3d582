#include "platform/linux/DesktopSharing.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace ombrel;

namespace {

void write(const QString& path, const QByteArray& bytes, QFile::Permissions permissions = {}) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    if (permissions) f.setPermissions(permissions);
}

QStringList ids(const QList<ShareApplication>& apps) {
    QStringList out;
    for (const ShareApplication& app : apps)
        out << app.id;
    return out;
}

} // namespace

// The desktop's applications are read from a made-up data folder only (set before anything in
// this process asks about applications), with the system's list of kinds of files.
TEST(DesktopSharing, OffersTheApplicationsThatOpenEveryFileAndHandsThemTheFiles) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray savedData = qgetenv("XDG_DATA_HOME"), savedDirs = qgetenv("XDG_DATA_DIRS"),
                     savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
    qputenv("XDG_DATA_DIRS", home.filePath("system").toLocal8Bit());
    // The kinds of files are the system's; its applications are not.
    QDir().mkpath(home.filePath("system"));
    ASSERT_TRUE(QFile::link("/usr/share/mime", home.filePath("system/mime")));
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());

    // A viewer that notes the files it was started with.
    const QString noted = home.filePath("opened.txt");
    write(home.filePath("viewer.sh"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + noted.toUtf8() + "'\n",
          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto entry = [&](const char* id, const QByteArray& types, const QByteArray& more = {}) {
        write(home.filePath("data/applications/") + id,
              "[Desktop Entry]\nType=Application\nName=" + QByteArray(id).replace(".desktop", "") +
                  "\nExec=" + home.filePath("viewer.sh").toUtf8() + " %F\nMimeType=" + types + "\n" + more);
    };
    entry("viewer.desktop", "image/png;image/jpeg;");
    entry("paint.desktop", "image/png;");
    entry("hidden.desktop", "image/png;", "NoDisplay=true\n");
    entry("player.desktop", "video/mp4;");
    entry("com.ombrel.capture.tests.desktop", "image/png;image/jpeg;video/mp4;");
    // The index the desktop's database tool keeps beside the entries.
    write(home.filePath("data/applications/mimeinfo.cache"),
          "[MIME "
          "Cache]\nimage/png=viewer.desktop;paint.desktop;hidden.desktop;com.ombrel.capture.tests.desktop;\n"
          "image/jpeg=viewer.desktop;com.ombrel.capture.tests.desktop;\n"
          "video/mp4=player.desktop;com.ombrel.capture.tests.desktop;\n");
    write(home.filePath("config/mimeapps.list"), "[Default Applications]\nimage/png=paint.desktop\n");

    const QString png = home.filePath("a.png"), jpeg = home.filePath("b.jpg"), mp4 = home.filePath("c.mp4");
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    picture.save(png);
    picture.save(jpeg);
    write(mp4, "not really a video");

    DesktopSharing sharing(QStringLiteral("com.ombrel.capture.tests"));
    EXPECT_EQ(ids(sharing.applicationsFor({png})), (QStringList{"paint.desktop", "viewer.desktop"}))
        << "the default first; hidden ones and this program left out";
    EXPECT_EQ(ids(sharing.applicationsFor({png, jpeg})), QStringList{"viewer.desktop"});
    EXPECT_EQ(ids(sharing.applicationsFor({mp4})), QStringList{"player.desktop"});
    EXPECT_TRUE(sharing.applicationsFor({png, mp4}).isEmpty()) << "nothing opens both";
    EXPECT_FALSE(sharing.canMail()) << "no application takes mailto: links here";

    ASSERT_TRUE(sharing.openWith("viewer.desktop", {png, jpeg}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(noted).size() > 0; }, 10000));
    QFile opened(noted);
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(opened.readAll()).split('\n', Qt::SkipEmptyParts), (QStringList{png, jpeg}));
    EXPECT_FALSE(sharing.openWith("nothing.desktop", {png}));

    qputenv("XDG_DATA_HOME", savedData);
    qputenv("XDG_DATA_DIRS", savedDirs);
    qputenv("XDG_CONFIG_HOME", savedConfig);
}
