// Reading content maps from real video files, made here with the ffmpeg program.
#include "RecordingTestSupport.h"

#include <QFile>
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
        dir = std::make_unique<QTemporaryDir>();
        // 2.5 s of a plain colour, then 3.5 s of a test pattern.
        colourThenPattern =
            makeVideo(dir->filePath("colour-then-pattern.mp4"),
                      {"-f", "lavfi", "-i", "color=c=0x3050a0:s=640x360:r=30:d=2.5", "-f", "lavfi", "-i",
                       "testsrc=s=640x360:r=30:d=3.5", "-filter_complex", "[0:v][1:v]concat=n=2:v=1[v]",
                       "-map", "[v]", "-c:v", "libx264", "-pix_fmt", "yuv420p"});
        // White with a small dark square (where the pointer will be) and a large framed box.
        pointerAndBox =
            makeVideo(dir->filePath("pointer-and-box.mp4"),
                      {"-f", "lavfi", "-i",
                       "color=c=white:s=480x270:r=30:d=2,drawbox=x=102:y=102:w=4:h=4:color=black:t=fill,"
                       "drawbox=x=300:y=50:w=100:h=100:color=black:t=4",
                       "-c:v", "libx264", "-qp", "0", "-pix_fmt", "yuv420p"});
    }
    static void TearDownTestSuite() { dir.reset(); }
    void SetUp() override {
        // The ffmpeg program is part of the test setup: without the videos these cases fail.
        ASSERT_FALSE(colourThenPattern.isEmpty() || pointerAndBox.isEmpty()) << "ffmpeg is missing or failed";
    }

    static inline std::unique_ptr<QTemporaryDir> dir;
    static inline QString colourThenPattern;
    static inline QString pointerAndBox;
};

} // namespace

TEST_F(ContentMapRead, TakesOneGridPerSecondOffTheCallingThreadAndSpacesThemOutOverLongDurations) {
    const std::optional<ContentMap> map = ContentMap::read(colourThenPattern, {}, 6.0).result();
    ASSERT_TRUE(map);
    EXPECT_EQ(Inspect::times(*map), (std::vector<double>{0, 1, 2, 3, 4, 5}));
    for (int i = 0; i < 6; ++i) {
        const double share = Inspect::sampleShare(*map, i);
        EXPECT_TRUE(i < 3 ? share == 0.0 : share > 0.1)
            << "the plain colour, then the pattern, at " << i << " s";
    }
    // The plain part is unusable, so nothing there is blank; the pattern answers queries.
    EXPECT_FALSE(map->nearestContent(0.5, 0.5, 1.0, 1.0));
    EXPECT_TRUE(map->nearestContent(0.5, 0.5, 4.0, 1.0));

    // 600 s asks for 240 thumbnails 2.5 s apart; the 6 s video has pictures for three of them.
    const std::optional<ContentMap> spaced = ContentMap::readNow(colourThenPattern, {}, 600.0);
    ASSERT_TRUE(spaced);
    EXPECT_EQ(Inspect::times(*spaced), (std::vector<double>{0, 2.5, 5.0}));
    EXPECT_GT(Inspect::sampleShare(*spaced, 1), 0.1) << "the picture shown at 2.5 s is the pattern's first";
}

TEST_F(ContentMapRead, TakesThePointerOutOfEachGrid) {
    const std::optional<ContentMap> plain = ContentMap::readNow(pointerAndBox, {}, 2.0);
    ASSERT_TRUE(plain);
    ASSERT_EQ(plain->sampleCount(), 2);
    const ContentMap::Cells& cells = Inspect::cellsAt(*plain, 1);
    EXPECT_TRUE(cell(cells, 10, 10)) << "the small square looks like content";
    EXPECT_TRUE(cell(cells, 5, 30)) << "a corner of the box";
    EXPECT_FALSE(cell(cells, 20, 20));

    // The pointer rests on the square; far outside the picture positions are clamped to its edge.
    const Path pointer{{0.0, 103.0 / 480, 103.0 / 270}, {5.0, 103.0 / 480, 103.0 / 270}};
    const std::optional<ContentMap> cleaned = ContentMap::readNow(pointerAndBox, pointer, 2.0);
    ASSERT_TRUE(cleaned);
    for (int i = 0; i < cleaned->sampleCount(); ++i) {
        EXPECT_FALSE(cell(Inspect::cellsAt(*cleaned, i), 10, 10)) << "sample " << i;
        EXPECT_TRUE(cell(Inspect::cellsAt(*cleaned, i), 5, 30)) << "sample " << i;
    }
    EXPECT_TRUE(ContentMap::readNow(pointerAndBox, Path{{0.0, -4.0, 9.0}}, 2.0));
}

TEST_F(ContentMapRead, AnswersNothingWithoutADurationOrAReadableVideo) {
    for (const std::optional<double> duration :
         {std::optional<double>(), std::optional(0.0), std::optional(-5.0)})
        EXPECT_FALSE(ContentMap::readNow(colourThenPattern, {}, duration)) << duration.value_or(999);
    EXPECT_FALSE(ContentMap::readNow(dir->filePath("missing.mp4"), {}, 6.0));

    QFile whole(colourThenPattern);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    // Text, and a recording cut short: its index, written at the end, is missing.
    for (const QByteArray& content : {QByteArray("this is not a video\n"), bytes.left(bytes.size() / 2)}) {
        QFile broken(dir->filePath("broken.mp4"));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write(content) == content.size());
        broken.close();
        EXPECT_FALSE(ContentMap::readNow(broken.fileName(), {}, 6.0)) << content.size() << " bytes";
    }
}
