// Reading content maps from real video files, made here with the ffmpeg program.
#include "RecordingTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace ombrel;
using namespace ombrel::test;
using Inspect = ContentMapInspector;

namespace {

class ContentMapRead : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        if (ffmpeg.isEmpty()) return;
        dir = std::make_unique<QTemporaryDir>();
        // 2.5 s of a plain colour, then 3.5 s of a test pattern.
        colourThenPattern =
            make("colour-then-pattern.mp4",
                 {"-f", "lavfi", "-i", "color=c=0x3050a0:s=640x360:r=30:d=2.5", "-f", "lavfi", "-i",
                  "testsrc=s=640x360:r=30:d=3.5", "-filter_complex", "[0:v][1:v]concat=n=2:v=1[v]", "-map",
                  "[v]", "-c:v", "libx264", "-pix_fmt", "yuv420p"});
        // White with a small dark square (where the pointer will be) and a large framed box.
        pointerAndBox =
            make("pointer-and-box.mp4",
                 {"-f", "lavfi", "-i",
                  "color=c=white:s=480x270:r=30:d=2,drawbox=x=102:y=102:w=4:h=4:color=black:t=fill,"
                  "drawbox=x=300:y=50:w=100:h=100:color=black:t=4",
                  "-c:v", "libx264", "-qp", "0", "-pix_fmt", "yuv420p"});
    }
    static void TearDownTestSuite() { dir.reset(); }

    void SetUp() override {
        if (ffmpeg.isEmpty()) GTEST_SKIP() << "the ffmpeg program is not installed";
        ASSERT_FALSE(colourThenPattern.isEmpty());
        ASSERT_FALSE(pointerAndBox.isEmpty());
    }

    static QString make(const QString& name, const QStringList& arguments) {
        const QString path = dir->filePath(name);
        QProcess process;
        process.start(ffmpeg, QStringList{"-v", "error", "-y"} + arguments + QStringList{path});
        if (!process.waitForFinished(120000) || process.exitCode() != 0) {
            ADD_FAILURE() << "ffmpeg failed: " << process.readAllStandardError().toStdString();
            return QString();
        }
        return path;
    }

    static inline QString ffmpeg;
    static inline std::unique_ptr<QTemporaryDir> dir;
    static inline QString colourThenPattern;
    static inline QString pointerAndBox;
};

} // namespace

TEST_F(ContentMapRead, TakesOneGridPerSecondOffTheCallingThreadAndSeesWhereThePictureHasContent) {
    const std::optional<ContentMap> map = ContentMap::read(colourThenPattern, {}, 6.0).result();
    ASSERT_TRUE(map);
    EXPECT_EQ(Inspect::times(*map), (std::vector<double>{0, 1, 2, 3, 4, 5}));
    for (int i : {0, 1, 2})
        EXPECT_EQ(Inspect::sampleShare(*map, i), 0.0) << "the plain colour at " << i << " s";
    for (int i : {3, 4, 5})
        EXPECT_GT(Inspect::sampleShare(*map, i), 0.1) << "the pattern at " << i << " s";

    // The plain part is unusable, so nothing there is blank; the pattern answers queries.
    EXPECT_FALSE(map->nearestContent(0.5, 0.5, 1.0, 1.0));
    EXPECT_TRUE(map->nearestContent(0.5, 0.5, 4.0, 1.0));
}

TEST_F(ContentMapRead, LongDurationsSpaceTheThumbnailsAndSkipTimesWithoutAPicture) {
    // 600 s asks for 240 thumbnails 2.5 s apart; the 6 s video has pictures for three of them.
    const std::optional<ContentMap> map = ContentMap::readNow(colourThenPattern, {}, 600.0);
    ASSERT_TRUE(map);
    EXPECT_EQ(Inspect::times(*map), (std::vector<double>{0, 2.5, 5.0}));
    EXPECT_GT(Inspect::sampleShare(*map, 1), 0.1) << "the picture shown at 2.5 s is the pattern's first";
}

TEST_F(ContentMapRead, TakesThePointerOutOfEachGrid) {
    const ContentMap::Cells* cells = nullptr;
    const std::optional<ContentMap> plain = ContentMap::readNow(pointerAndBox, {}, 2.0);
    ASSERT_TRUE(plain);
    ASSERT_EQ(plain->sampleCount(), 2);
    cells = &Inspect::cellsAt(*plain, 1);
    EXPECT_TRUE(cell(*cells, 10, 10)) << "the small square looks like content";
    EXPECT_TRUE(cell(*cells, 5, 30)) << "a corner of the box";
    EXPECT_FALSE(cell(*cells, 20, 20));

    // The pointer rests on the square; far outside the picture positions are clamped to its edge.
    const Path pointer{{0.0, 103.0 / 480, 103.0 / 270}, {5.0, 103.0 / 480, 103.0 / 270}};
    const std::optional<ContentMap> cleaned = ContentMap::readNow(pointerAndBox, pointer, 2.0);
    ASSERT_TRUE(cleaned);
    for (int i = 0; i < cleaned->sampleCount(); ++i) {
        EXPECT_FALSE(cell(Inspect::cellsAt(*cleaned, i), 10, 10)) << "sample " << i;
        EXPECT_TRUE(cell(Inspect::cellsAt(*cleaned, i), 5, 30)) << "sample " << i;
    }
    const Path outside{{0.0, -4.0, 9.0}};
    EXPECT_TRUE(ContentMap::readNow(pointerAndBox, outside, 2.0));
}

TEST_F(ContentMapRead, AnswersNothingWithoutADurationOrAReadableVideo) {
    EXPECT_FALSE(ContentMap::readNow(colourThenPattern, {}, std::nullopt));
    EXPECT_FALSE(ContentMap::readNow(colourThenPattern, {}, 0.0));
    EXPECT_FALSE(ContentMap::readNow(colourThenPattern, {}, -5.0));
    EXPECT_FALSE(ContentMap::readNow(dir->filePath("missing.mp4"), {}, 6.0));

    const QString text = dir->filePath("not-a-video.mp4");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a video\n");
    f.close();
    EXPECT_FALSE(ContentMap::readNow(text, {}, 6.0));

    // A recording cut short: its index, written at the end, is missing.
    QFile whole(colourThenPattern);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const QString cut = dir->filePath("cut.mp4");
    QFile half(cut);
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    half.write(bytes.left(bytes.size() / 2));
    half.close();
    EXPECT_FALSE(ContentMap::readNow(cut, {}, 6.0));
}
