// Caption and note geometry, the crop in pixels, and edit files: the numbers the renderer
// and the editor's overlay share.
#include "video/CaptionPainter.h"
#include "video/VideoEditFile.h"
#include "video/VideoNotes.h"
#include "video/VideoRenderer.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace ombrel;

namespace {

CaptionStyle boxStyle() {
    CaptionStyle style;
    style.fullWidth = false;
    return style;
}

} // namespace

TEST(CaptionLayout, TheBaseSizeIsAThirtyFourthOfTheWidthButAtLeastThirteen) {
    const auto wide = CaptionPainter::layout("Hello", CaptionStyle(), QRectF(0, 0, 1920, 1080));
    EXPECT_DOUBLE_EQ(wide.basePointSize, 1920.0 / 34);
    EXPECT_NEAR(wide.basePointSize, 56.5, 0.05);
    EXPECT_DOUBLE_EQ(CaptionPainter::layout("Hello", CaptionStyle(), QRectF(0, 0, 320, 180)).basePointSize,
                     13);
    // Notes: a forty-eighth, at least 18 in a saved video and 12 on the screen.
    VideoEdit::TextNote note;
    note.text = "Note";
    EXPECT_DOUBLE_EQ(NoteLayout::make(note, 1920, NoteLayout::videoMinimum).basePointSize, 40);
    EXPECT_DOUBLE_EQ(NoteLayout::make(note, 320, NoteLayout::videoMinimum).basePointSize, 18);
    EXPECT_DOUBLE_EQ(NoteLayout::make(note, 320, NoteLayout::screenMinimum).basePointSize, 12);
}

TEST(CaptionLayout, AFullBarSpansTheWidthOnTheBottomEdgeAndABoxSitsAboveItCentred) {
    const QRectF video(0, 0, 1280, 720);
    const auto bar = CaptionPainter::layout("A few words", CaptionStyle(), video);
    EXPECT_DOUBLE_EQ(bar.box.left(), 0);
    EXPECT_DOUBLE_EQ(bar.box.width(), 1280);
    EXPECT_DOUBLE_EQ(bar.box.bottom(), 720) << "flush on the bottom edge";
    EXPECT_EQ(bar.radius, 0);

    const auto box = CaptionPainter::layout("A few words", boxStyle(), video);
    EXPECT_LT(box.box.width(), 1280 / 2.0);
    EXPECT_NEAR(box.box.center().x(), 640, 1e-9);
    EXPECT_NEAR(box.box.bottom(), 720 - 0.05 * 720, 1e-9);
    EXPECT_GT(box.radius, 0);
    EXPECT_TRUE(box.box.contains(box.textRect)) << "the words sit inside their box";
    const double face = CaptionStyle().text.fontAt(box.basePointSize).pointSizeF();
    EXPECT_NEAR(box.box.width() - (box.textRect.width() - 2), 3 * 0.45 * face, 1e-9);
    EXPECT_NEAR(box.box.height() - (box.textRect.height() - 1), 2 * 0.45 * face, 1e-9);

    // A long text wraps at 0.84 of the width and the box never leaves the picture.
    const QString longText(400, QLatin1Char('m'));
    const auto wrapped = CaptionPainter::layout(longText, boxStyle(), video);
    EXPECT_LE(wrapped.textRect.width(), 0.84 * 1280 + 2 + 1);
    EXPECT_LE(wrapped.box.width(), 1280);
    EXPECT_GT(wrapped.box.height(), 3 * box.box.height()) << "several lines";

    CaptionStyle top = boxStyle();
    top.position = "Top";
    EXPECT_NEAR(CaptionPainter::layout("Hi", top, video).box.top(), 0.05 * 720, 1e-9);
    top.position = "Middle";
    EXPECT_NEAR(CaptionPainter::layout("Hi", top, video).box.center().y(), 360, 1e-9);
}

TEST(CaptionLayout, ACaptionInACroppedAreaIsLaidOutInsideIt) {
    const QRectF crop(100, 50, 400, 300);
    const auto laid = CaptionPainter::layout("Inside", CaptionStyle(), crop);
    EXPECT_DOUBLE_EQ(laid.box.left(), 100);
    EXPECT_DOUBLE_EQ(laid.box.right(), 500);
    EXPECT_DOUBLE_EQ(laid.box.bottom(), 350);
    // The picture of a caption is the size of its box and drawn where the box is.
    const auto picture = CaptionPainter::picture("Inside", CaptionStyle(), QSize(400, 300));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->image.size(), picture->box.size().toSize());
    EXPECT_EQ(qAlpha(picture->image.pixel(2, 2)), int(0.82 * 255 + 0.5)) << "the black bar at 0.82";
}

TEST(VideoCrop, HalfOfAThousandAndOneBySixHundredAndOneIsFiveHundredByThreeHundred) {
    EXPECT_EQ(VideoRenderer::cropPixels(QRectF(0.25, 0.25, 0.5, 0.5), QSize(1001, 601)).size(),
              QSize(500, 300));
    EXPECT_EQ(VideoRenderer::cropPixels(std::nullopt, QSize(1001, 601)), QRect(0, 0, 1001, 601));
    const QRect tiny = VideoRenderer::cropPixels(QRectF(0.999, 0.999, 0.0001, 0.0001), QSize(640, 360));
    EXPECT_EQ(tiny.size(), QSize(2, 2)) << "never below 2";
    EXPECT_TRUE(QRect(0, 0, 640, 360).contains(tiny)) << "kept inside the picture";
    // The top-left-origin crop lands on the same rows of the picture.
    EXPECT_EQ(VideoRenderer::cropPixels(QRectF(0, 0, 0.5, 0.25), QSize(640, 360)), QRect(0, 0, 320, 90));
    EXPECT_EQ(VideoRenderer::cropPixels(QRectF(0.5, 0.75, 0.5, 0.25), QSize(640, 360)),
              QRect(320, 270, 320, 90));
}

TEST(VideoNotes, ANoteImageIsItsTextPlusPaddingAndEmptyTextHasNone) {
    VideoEdit::TextNote note;
    EXPECT_FALSE(VideoRenderer::noteImage(note, 1920));
    note.text = "Click Save";
    const auto image = VideoRenderer::noteImage(note, 1920);
    ASSERT_TRUE(image);
    const NoteLayout laid = NoteLayout::make(note, 1920, NoteLayout::videoMinimum);
    EXPECT_NEAR(laid.pad, 0.6 * 40, 1e-9);
    EXPECT_EQ(image->width(), int(std::ceil(laid.words->size().width() + 48)));
    EXPECT_GT(qAlpha(image->pixel(image->width() / 2, 3)), 200) << "filled with the Ombrel background";
    EXPECT_EQ(qAlpha(image->pixel(0, 0)), 0) << "rounded corners";
    // A long note wraps at 0.6 of the width.
    note.text = QString(300, QLatin1Char('x')).replace(QRegularExpression("(x{10})"), "\\1 ");
    EXPECT_LE(VideoRenderer::noteImage(note, 1920)->width(), int(0.6 * 1920 + 48 + 1));
}

TEST(VideoEditFiles, AnEditReadsBackAndBadFilesSayWhatIsWrong) {
    VideoEdit edit;
    edit.crop = QRectF(0.1, 0.2, 0.5, 0.4);
    edit.isMuted = true;
    VideoEdit::TextNote note;
    note.text = "Hello";
    note.x = 0.3;
    note.style.color = "Red";
    edit.notes = {note};
    edit.captions = {{1, 2, "Words"}};
    edit.captionStyle = CaptionStyle::looks().at(4);
    const auto back = parseVideoEdit(QJsonDocument(videoEditJson(edit)).toJson());
    ASSERT_TRUE(std::holds_alternative<VideoEdit>(back)) << std::get<QString>(back).toStdString();
    EXPECT_EQ(std::get<VideoEdit>(back), edit);

    const auto problem = [](const char* json) {
        const auto r = parseVideoEdit(json);
        return std::holds_alternative<QString>(r) ? std::get<QString>(r).toStdString()
                                                  : std::string("accepted");
    };
    EXPECT_EQ(problem("{}"), "accepted");
    EXPECT_NE(problem("[1]").find("one JSON object"), std::string::npos);
    EXPECT_NE(problem("{\"crop\": [0, 0, 1]}").find("\"crop\" must be [x, y, width, height]"),
              std::string::npos);
    EXPECT_NE(problem("{\"crop\": [0.5, 0, 0.6, 1]}").find("inside the picture"), std::string::npos);
    EXPECT_NE(problem("{\"notes\": [{\"text\": \"a\"}, {\"time\": \"soon\"}]}").find("Note 2: \"time\""),
              std::string::npos);
    EXPECT_NE(problem("{\"notes\": [{\"x\": 2}]}").find("Note 1: \"x\" and \"y\""), std::string::npos);
    EXPECT_NE(problem("{\"captionStyle\": {\"text\": {\"size\": 0}}}").find("\"size\""), std::string::npos);
    EXPECT_NE(problem("{\"isMuted\": \"yes\"}").find("\"isMuted\" must be true or false"), std::string::npos);
    EXPECT_NE(problem("{nope").find("isn't JSON"), std::string::npos);
}
