// Rendering real video files with edits: sound kept or dropped, notes and captions drawn
// at their times, the crop, the command line, and failures that leave nothing behind.
#include "video/VideoRenderer.h"
#include "VideoFiles.h"
#include "video/CaptionPainter.h"
#include "video/VideoNotes.h"
#include "video/VideoRenderCommand.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace ombrel;
using namespace ombrel::test;

namespace {

constexpr int W = 320, H = 180;

bool isGrey(QRgb px) {
    return std::abs(qRed(px) - 128) < 20 && std::abs(qGreen(px) - 128) < 20 && std::abs(qBlue(px) - 128) < 20;
}
bool isYellow(QRgb px) {
    return qRed(px) > 200 && qGreen(px) > 170 && qBlue(px) < 120;
}

// Nothing but the named files in the folder: no hidden part of an export stays.
QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class VideoRendererTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir = std::make_unique<QTemporaryDir>();
        withSound = dir->filePath("two-tones.mp4");
        silent = dir->filePath("silent.mp4");
        if (!makeVideo(withSound, QSize(W, H), 4, 2) || !makeVideo(silent, QSize(W, H), 3, 0))
            withSound.clear();
    }
    static void TearDownTestSuite() { dir.reset(); }
    void SetUp() override {
        if (withSound.isEmpty()) GTEST_SKIP() << "the ffmpeg program is missing or failed";
        out = std::make_unique<QTemporaryDir>();
    }
    QString output(const QString& name) const { return out->filePath(name); }

    static inline std::unique_ptr<QTemporaryDir> dir;
    static inline QString withSound, silent;
    std::unique_ptr<QTemporaryDir> out;
};

TEST_F(VideoRendererTest, EverySoundTrackIsKeptUnlessMutedAndASilentSourceRendersToo) {
    const auto kept = VideoRenderer::render(VideoEdit(), withSound, output("kept.mp4"));
    ASSERT_TRUE(kept) << kept.message().toStdString();
    const Streams k = streamsOf(output("kept.mp4"));
    EXPECT_EQ(k.videos, 1);
    EXPECT_EQ(k.audios, 2) << "both sound tracks";
    EXPECT_NEAR(k.seconds, 4.0, 0.2);

    VideoEdit muted;
    muted.isMuted = true;
    double progress = -1;
    ASSERT_TRUE(
        VideoRenderer::render(muted, withSound, output("muted.mp4"), [&](double f) { progress = f; }));
    EXPECT_EQ(streamsOf(output("muted.mp4")).audios, 0);
    EXPECT_EQ(progress, 1.0);

    const auto fromSilent = VideoRenderer::render(VideoEdit(), silent, output("silent.mp4"));
    ASSERT_TRUE(fromSilent) << fromSilent.message().toStdString();
    EXPECT_EQ(streamsOf(output("silent.mp4")).audios, 0);
    EXPECT_EQ(filesIn(out->path()), (QStringList{"kept.mp4", "muted.mp4", "silent.mp4"}));
    EXPECT_EQ(QFile::permissions(output("kept.mp4")) & (QFile::ReadOther | QFile::ReadGroup), 0)
        << "written private from the first byte";
}

TEST_F(VideoRendererTest, ACaptionIsDrawnInTheBottomBandOnlyWhileItIsShown) {
    VideoEdit edit;
    edit.captionStyle = CaptionStyle(); // a black bar along the bottom
    edit.captions = {{1.0, 1.5, "Hello there"}};
    ASSERT_TRUE(VideoRenderer::render(edit, withSound, output("caption.mp4")));
    const QRectF band = CaptionPainter::layout("Hello there", edit.captionStyle, QRectF(0, 0, W, H)).box;
    const QPoint inBand(6, int(band.center().y()));
    const QPoint above(6, int(band.top()) - 8);

    const QImage during = frameAt(output("caption.mp4"), 1.5, out->path());
    ASSERT_FALSE(during.isNull());
    EXPECT_LT(qGray(during.pixel(inBand)), 60) << "the bar darkens the bottom";
    EXPECT_TRUE(isGrey(during.pixel(above))) << "nothing above the band";
    for (double t : {0.5, 3.0})
        EXPECT_TRUE(isGrey(frameAt(output("caption.mp4"), t, out->path()).pixel(inBand)))
            << "at " << t << " s";
}

TEST_F(VideoRendererTest, TwoNotesAtTheSameMomentAreBothDrawnAtTheirPlaces) {
    VideoEdit edit;
    VideoEdit::TextNote a;
    a.time = 0.5;
    a.duration = 2;
    a.x = 0.05;
    a.y = 0.05;
    a.text = "One";
    a.style.background = "Yellow";
    VideoEdit::TextNote b = a;
    b.time = 1.0;
    b.x = 0.55;
    b.y = 0.6;
    b.text = "Two";
    edit.notes = {a, b};
    ASSERT_TRUE(VideoRenderer::render(edit, silent, output("notes.mp4")));
    const NoteLayout laid = NoteLayout::make(a, W, NoteLayout::videoMinimum);
    const auto leftMiddle = [&](const VideoEdit::TextNote& n) {
        return QPoint(int(n.x * W + laid.pad / 2), int(n.y * H + laid.size.height() / 2));
    };
    const QImage both = frameAt(output("notes.mp4"), 1.5, out->path());
    EXPECT_TRUE(isYellow(both.pixel(leftMiddle(a)))) << "the first note";
    EXPECT_TRUE(isYellow(both.pixel(leftMiddle(b)))) << "and the second, shown at the same moment";
    const QImage firstOnly = frameAt(output("notes.mp4"), 0.7, out->path());
    EXPECT_TRUE(isYellow(firstOnly.pixel(leftMiddle(a))));
    EXPECT_TRUE(isGrey(firstOnly.pixel(leftMiddle(b)))) << "not yet shown";
}

TEST_F(VideoRendererTest, ACropGivesAnEvenSizeAndKeepsItsPartOfThePicture) {
    // The right half of the picture is white, the left grey; a crop of the right part keeps white.
    const QString halves = output("halves.mp4");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i",
                        "color=c=gray:s=320x180:r=30:d=2,drawbox=x=160:y=0:w=160:h=180:color=white:t=fill",
                        "-c:v", "libx264", "-pix_fmt", "yuv420p", halves}));
    VideoEdit edit;
    edit.crop = QRectF(0.52, 0.1, 0.453, 0.51); // 144.96 × 91.8 pixels
    ASSERT_TRUE(VideoRenderer::render(edit, halves, output("cropped.mp4")));
    EXPECT_EQ(streamsOf(output("cropped.mp4")).size, QSize(144, 90));
    const QImage picture = frameAt(output("cropped.mp4"), 1.0, out->path());
    EXPECT_GT(qGray(picture.pixel(4, 45)), 230) << "the white half";
}

TEST_F(VideoRendererTest, AFailureReportsWhyAndLeavesNothingBehind) {
    QFile notVideo(output("notes.txt"));
    ASSERT_TRUE(notVideo.open(QIODevice::WriteOnly));
    notVideo.write("this is no video");
    notVideo.close();
    const auto unreadable = VideoRenderer::render(VideoEdit(), output("notes.txt"), output("never.mp4"));
    EXPECT_FALSE(unreadable);
    EXPECT_FALSE(unreadable.message().isEmpty());
    const auto nowhere = VideoRenderer::render(VideoEdit(), silent, output("missing/folder/never.mp4"));
    EXPECT_FALSE(nowhere);
    EXPECT_TRUE(nowhere.message().contains("missing/folder")) << nowhere.message().toStdString();
    // A file whose pictures stop half-way: what is there renders, nothing is left over.
    QFile::copy(withSound, output("cut.mp4"));
    QFile cut(output("cut.mp4"));
    ASSERT_TRUE(cut.open(QIODevice::ReadWrite));
    cut.resize(cut.size() / 3);
    cut.close();
    VideoRenderer::render(VideoEdit(), output("cut.mp4"), output("from-cut.mp4"));
    QStringList left = filesIn(out->path());
    left.removeAll("from-cut.mp4");
    EXPECT_EQ(left, (QStringList{"cut.mp4", "notes.txt"}));
}

TEST_F(VideoRendererTest, TheCommandRendersAnEditFileAndRefusesBadOnes) {
    QFile edit(output("edit.json"));
    ASSERT_TRUE(edit.open(QIODevice::WriteOnly));
    edit.write(
        R"({"crop": [0, 0, 0.5, 0.5], "isMuted": true, "captions": [{"time": 0, "duration": 1, "text": "Hi"}]})");
    edit.close();
    EXPECT_EQ(videoRenderCommand({silent, output("edit.json"), "--output", output("cli.mp4")}), 0);
    EXPECT_EQ(streamsOf(output("cli.mp4")).size, QSize(160, 90));

    QFile bad(output("bad.json"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(R"({"notes": [{"time": -1}]})");
    bad.close();
    EXPECT_EQ(videoRenderCommand({silent, output("bad.json"), "--output", output("bad.mp4")}), 1);
    EXPECT_EQ(videoRenderCommand({silent, output("edit.json"), "--output", silent}), 1)
        << "never over the source";
    EXPECT_EQ(videoRenderCommand({output("nothing.mp4"), output("edit.json"), "--output", output("x.mp4")}),
              1);
    EXPECT_EQ(videoRenderCommand({silent, output("edit.json")}), 2) << "no output named";
    EXPECT_FALSE(QFile::exists(output("bad.mp4")));
    EXPECT_FALSE(QFile::exists(output("x.mp4")));
}
