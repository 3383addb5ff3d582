// Zoom rendering of real video files made here with the ffmpeg program.
#include "recording/DemoZoom.h"
#include "RecordingTestSupport.h"
#include "recording/DemoZoomResample.h"
#include "recording/VideoThumbnails.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace ombrel;

namespace {

constexpr int W = 320, H = 180;

// The share of the pixels of a grey picture brighter than mid-grey.
double brightShare(const std::vector<uint8_t>& grey) {
    qsizetype bright = 0;
    for (uint8_t g : grey)
        bright += g > 128 ? 1 : 0;
    return double(bright) / double(grey.size());
}

std::vector<uint8_t> pictureAt(const QString& path, double t) {
    VideoThumbnails video(path, W, H);
    std::vector<uint8_t> grey;
    EXPECT_TRUE(video.greyFrameNear(t, 0.05, grey)) << path.toStdString() << " at " << t;
    return grey;
}

} // namespace

class DemoZoomTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = std::make_unique<QTemporaryDir>();
        // Black with a white band along the top 40 rows, and a tone: 4 s.
        source =
            test::makeVideo(dir->filePath("band.mp4"),
                            {"-f", "lavfi", "-i",
                             "color=c=black:s=320x180:r=30:d=4,drawbox=x=0:y=0:w=320:h=40:color=white:t=fill",
                             "-f", "lavfi", "-i", "sine=frequency=440:duration=4", "-c:v", "libx264",
                             "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest"});
    }
    static void TearDownTestSuite() { dir.reset(); }
    void SetUp() override {
        // The ffmpeg program is part of the test setup: without the video these cases fail.
        ASSERT_FALSE(source.isEmpty()) << "the ffmpeg program is missing or could not make the test video";
    }
    static inline std::unique_ptr<QTemporaryDir> dir;
    static inline QString source;
};

TEST(DemoZoomRules, TheCameraRectangleIsCentredClampedAndTurnedToATopLeftOriginInOnePlace) {
    // A click in the middle near the top edge: the camera zooms on the middle of the top.
    const ZoomPlan plan({{1.0, 0.5, 0.03}}, {}, {}, 6.0);
    const QSize size(1920, 1080);
    const double scale = plan.camera(3.0).scale, w = 1920 / scale, h = 1080 / scale;
    ASSERT_GT(scale, 1.4) << "zoomed in by then";
    EXPECT_EQ(plan.visibleRect(3.0, QSizeF(size)), QRectF(960 - w / 2, 1080 - h, w, h))
        << "the plan's rectangle touches the top, counted from the bottom";
    EXPECT_EQ(DemoZoom::sourceRect(plan, 3.0, size), QRectF(960 - w / 2, 0, w, h))
        << "which is row 0 of a decoded picture";
    EXPECT_EQ(DemoZoom::sourceRect(ZoomPlan(), 1.0, size), QRectF(0, 0, 1920, 1080)) << "no frames";
}

TEST(DemoZoomRules, TheRippleIsWholeInsideItsInnerRingFadesToItsEdgeAndGrowsAsItFades) {
    const auto half = DemoZoom::rippleLook(0.5, 1000);
    EXPECT_DOUBLE_EQ(DemoZoom::rippleOpacity(half, 0), half.opacity);
    EXPECT_DOUBLE_EQ(DemoZoom::rippleOpacity(half, half.innerRadius), half.opacity);
    EXPECT_NEAR(DemoZoom::rippleOpacity(half, (half.innerRadius + half.outerRadius) / 2), half.opacity / 2,
                1e-12);
    EXPECT_EQ(DemoZoom::rippleOpacity(half, half.outerRadius), 0);
    EXPECT_GT(half.outerRadius, DemoZoom::rippleLook(0, 1000).outerRadius);
    EXPECT_EQ(DemoZoom::rippleLook(1, 1000).opacity, 0) << "gone at its end";
}

TEST(DemoZoomResampling, ThePictureIsTakenAtTheCamerasFractionalPosition) {
    // A sharp vertical edge: columns 0–31 black, 32–63 at 200.
    constexpr int w = 64, h = 8;
    std::vector<uint8_t> edge(size_t(w * h));
    for (size_t i = 0; i < edge.size(); ++i)
        edge[i] = i % w < 32 ? 0 : 200;
    const DemoZoom::Plane source{edge.data(), w, w, h};
    std::vector<uint8_t> out(size_t(w * h));
    const DemoZoom::Plane to{out.data(), w, w, h};
    const auto at = [&](int x) { return int(out[size_t(3 * w + x)]); };

    // Unmoved, the edge stays sharp; moved by half a pixel, the pixel on it takes the value
    // half-way between the two sides.
    DemoZoom::resamplePlane(source, QRectF(0, 0, w, h), to);
    EXPECT_TRUE(at(31) == 0 && at(32) == 200) << at(31) << " " << at(32);
    DemoZoom::resamplePlane(source, QRectF(0.5, 0, w, h), to);
    EXPECT_TRUE(at(30) == 0 && at(31) == 100 && at(32) == 200) << at(30) << " " << at(31) << " " << at(32);
    // A quarter pixel gives a quarter of the step.
    DemoZoom::resamplePlane(source, QRectF(0.25, 0, w, h), to);
    EXPECT_NEAR(at(31), 50, 1);

    // Zoomed twice, a camera half a source pixel further right moves the picture by exactly
    // one output pixel: renders at x and x + 0.5 differ, and by the right amount.
    std::vector<uint8_t> at16(out.size()), at16half(out.size());
    DemoZoom::resamplePlane(source, QRectF(16, 2, 32, 4), {at16.data(), w, w, h});
    DemoZoom::resamplePlane(source, QRectF(16.5, 2, 32, 4), {at16half.data(), w, w, h});
    EXPECT_NE(at16, at16half);
    for (int x = 1; x < w - 2; ++x)
        EXPECT_EQ(at16half[size_t(3 * w + x)], at16[size_t(3 * w + x + 1)]) << "column " << x;
}

TEST(DemoZoomResampling, TheColourPlanesAreCutAtHalfTheLumaPosition) {
    // A 4:2:0 picture whose luma and colour planes both step at the same place (luma column
    // 32, colour column 16); a 1.5-pixel move must shift both the same distance.
    AVFrame* source = av_frame_alloc();
    AVFrame* zoomed = av_frame_alloc();
    for (AVFrame* f : {source, zoomed}) {
        f->format = AV_PIX_FMT_YUV420P;
        f->width = 64;
        f->height = 16;
        ASSERT_GE(av_frame_get_buffer(f, 0), 0);
    }
    for (int plane = 0; plane < 3; ++plane) {
        const int pw = plane ? 32 : 64, ph = plane ? 8 : 16;
        for (int y = 0; y < ph; ++y)
            for (int x = 0; x < pw; ++x)
                source->data[plane][y * source->linesize[plane] + x] = x < pw / 2 ? 20 : 220;
    }
    DemoZoom::resamplePicture(source, QRectF(3, 0, 64, 16), zoomed);
    const auto row = [&](int plane) { return zoomed->data[plane] + 4 * zoomed->linesize[plane]; };
    // The luma edge moved 3 pixels left; the colour edge 1.5 of its pixels: the in-between value.
    EXPECT_EQ((std::vector<int>{row(0)[28], row(0)[29], row(1)[13], row(1)[14], row(2)[14], row(2)[15]}),
              (std::vector<int>{20, 220, 20, 120, 120, 220}));
    av_frame_free(&source);
    av_frame_free(&zoomed);
}

TEST_F(DemoZoomTest, AClickNearTheTopZoomsOnTheTopOfThePictureAndKeepsSizeLengthAndSound) {
    const QString out = dir->filePath("zoomed.mp4");
    const ZoomPlan plan({{0.6, 0.5, 0.05}}, {}, {}, 4.0);
    double lastProgress = -1;
    const auto rendered = DemoZoom::render(plan, source, out, [&](double f) { lastProgress = f; });
    ASSERT_TRUE(rendered) << rendered.message().toStdString();
    EXPECT_EQ(lastProgress, 1.0);
    EXPECT_FALSE(QFileInfo::exists(out + ".part"));

    VideoThumbnails zoomed(out, 16, 9);
    ASSERT_TRUE(zoomed.isOpen());
    EXPECT_NEAR(zoomed.durationSeconds().value_or(0), 4.0, 0.15);
    const test::VideoFacts facts = test::probe(out);
    EXPECT_EQ(facts.size, QSize(W, H));
    EXPECT_TRUE(facts.audio) << "the sound is kept";
    // The band covers 40 of 180 rows; zoomed on the top by 1.8 it covers about 72.
    const double before = brightShare(pictureAt(source, 2.5));
    const double after = brightShare(pictureAt(out, 2.5));
    EXPECT_NEAR(before, 40.0 / 180, 0.03);
    EXPECT_NEAR(after, 72.0 / 180, 0.06)
        << "the top of the picture, enlarged (the bottom would show no band)";
    // Before the camera moves, the picture is the source's.
    EXPECT_NEAR(brightShare(pictureAt(out, 0.0)), before, 0.03);
}

TEST_F(DemoZoomTest, APlanWithoutFramesOnlyReencodesButRipplesAreStillDrawn) {
    const QString out = dir->filePath("plain.mp4");
    ASSERT_TRUE(DemoZoom::render(ZoomPlan(), source, out));
    const auto a = pictureAt(source, 2.0);
    const auto b = pictureAt(out, 2.0);
    ASSERT_EQ(a.size(), b.size());
    double difference = 0;
    for (size_t i = 0; i < a.size(); ++i)
        difference += std::abs(int(a[i]) - int(b[i]));
    EXPECT_LT(difference / double(a.size()), 2.0);

    // A click on the black part: the light-blue ripple brightens it just after the press.
    ZoomPlan withClick({{1.0, 0.5, 0.75}}, {}, {}, 4.0);
    // Without pointer travel the camera only zooms on the click itself; the ripple is drawn either way.
    const QString rippled = dir->filePath("ripple.mp4");
    ASSERT_TRUE(DemoZoom::render(withClick, source, rippled));
    const auto during = pictureAt(rippled, 1.1);
    const QRectF shown = DemoZoom::sourceRect(withClick, 1.1, QSize(W, H));
    // Where the click lands in the output picture.
    const int x = int((0.5 * W - shown.x()) * W / shown.width());
    const int y = int((0.75 * H - shown.y()) * H / shown.height());
    ASSERT_TRUE(x >= 0 && x < W && y >= 0 && y < H);
    EXPECT_GT(during[size_t(y * W + x)], 40) << "black turned light blue under the ripple";
    EXPECT_LT(pictureAt(rippled, 2.5)[size_t(y * W + x)], 30) << "gone after 0.55 s";
}

TEST_F(DemoZoomTest, ASourceThatCannotBeReadFailsWithoutLeavingAFile) {
    const QString out = dir->filePath("never.mp4");
    const auto rendered = DemoZoom::render(ZoomPlan(), dir->filePath("missing.mp4"), out);
    EXPECT_TRUE(!rendered && !rendered.message().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(out));
    EXPECT_FALSE(QFileInfo::exists(out + ".part"));
}
