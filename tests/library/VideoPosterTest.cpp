// The first frame of real video files, made here with the ffmpeg program.
#include "library/VideoPoster.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ombrel;

namespace {

class VideoPosterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        if (ffmpeg.isEmpty()) GTEST_SKIP() << "the ffmpeg program is not installed";
    }
    // A 1 s video: red for its first half second, then blue; with `rotate`, red above blue
    // all along and a display rotation stored.
    QString make(const QString& name, int width, int height, int rotate = 0) {
        const QString path = dir.filePath(name), size = QString("s=%1x%2").arg(width).arg(height);
        if (!rotate) {
            run(QString("-f lavfi -i color=c=red:%1:r=10:d=0.5 -f lavfi -i color=c=blue:%1:r=10:d=0.5 "
                        "-filter_complex [0][1]concat=n=2:v=1 -pix_fmt yuv420p")
                    .arg(size)
                    .split(' ')
                << path);
            return path;
        }
        // Red above, blue below, to see which way it turns; the display rotation is stored by
        // copying the stream with the rotate tag.
        const QString plain = dir.filePath("plain-" + name);
        run(QString(
                "-f lavfi -i color=c=red:%1:r=10:d=1,drawbox=y=%2:w=%3:h=%2:c=blue:t=fill -pix_fmt yuv420p")
                .arg(size)
                .arg(height / 2)
                .arg(width)
                .split(' ')
            << plain);
        run({"-i", plain, "-c", "copy", "-metadata:s:v:0", QString("rotate=%1").arg(rotate), path});
        return path;
    }
    void run(const QStringList& args) {
        QProcess p;
        p.start(ffmpeg, QStringList{"-loglevel", "error", "-y"} + args);
        EXPECT_TRUE(p.waitForFinished(30000)) << "ffmpeg did not finish";
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    QString ffmpeg;
    QTemporaryDir dir;
};

bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 30 && std::abs(a.green() - b.green()) < 30 &&
           std::abs(a.blue() - b.blue()) < 30;
}

} // namespace

TEST_F(VideoPosterTest, TheFirstFrameInColourFittedIntoTheBox) {
    const QImage poster = VideoPoster::firstFrame(make("wide.mp4", 640, 360), QSize(480, 480));
    ASSERT_FALSE(poster.isNull());
    EXPECT_EQ(poster.size(), QSize(480, 270));
    EXPECT_TRUE(near(poster.pixelColor(240, 135), Qt::red)) << "the frame at time zero, not a later one";
}

TEST_F(VideoPosterTest, AVideoThatAsksToBeTurnedIsShownTurned) {
    const QImage poster = VideoPoster::firstFrame(make("turned.mp4", 640, 360, 90), QSize(480, 480));
    ASSERT_FALSE(poster.isNull());
    EXPECT_EQ(poster.size(), QSize(270, 480)) << "upright, as a player shows it";
    // Turned the way ffmpeg's own player turns it (checked with `ffmpeg -i turned.mp4 -frames:v 1`):
    // this tag turns it a quarter anticlockwise, so the red top of the picture is now on the left.
    EXPECT_TRUE(near(poster.pixelColor(40, 240), Qt::red)) << poster.pixelColor(40, 240).name().toStdString();
    EXPECT_TRUE(near(poster.pixelColor(230, 240), Qt::blue))
        << poster.pixelColor(230, 240).name().toStdString();
}

TEST_F(VideoPosterTest, AFileWithoutVideoGivesNothing) {
    const QString path = dir.filePath("broken.mp4");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a video at all");
    f.close();
    EXPECT_TRUE(VideoPoster::firstFrame(path).isNull());
    EXPECT_TRUE(VideoPoster::firstFrame(dir.filePath("missing.mp4")).isNull());
}
