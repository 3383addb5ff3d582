#include "markup/MarkupRender.h"
#include "support/TestEnv.h"

using namespace ombrel;
using ombrel::test::LibraryTest;

namespace {

QImage picture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    return image;
}

Markup::Box mark(QRectF r, QString note = "A note", int paper = 0) {
    return Markup::Box(r, note, false, {}, {}, paper);
}

const MarkLook sticky{"System", "Auto", "Thin", NoteLook::Sticky};
const MarkLook glass{"System", "Auto", "Thin", NoteLook::Glass};

QRectF onlyFrame(const Markup& markup, const MarkLook& look) {
    const auto frames = MarkupRender::noteFrames(markup, std::nullopt, look);
    EXPECT_EQ(frames.size(), 1u);
    return frames.empty() ? QRectF() : frames.front().imageRect;
}

int countNear(const QImage& image, const QRect& r, QColor c, int tolerance) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor p = image.pixelColor(x, y);
            n += std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) +
                     std::abs(p.blue() - c.blue()) <=
                 tolerance;
        }
    return n;
}

} // namespace

using NotePlacement = LibraryTest;

TEST_F(NotePlacement, AFreeNoteGoesRightOfItsBox) {
    Markup markup(picture(3000, 2000), std::nullopt, Qt::red);
    const QRectF R(1000, 800, 200, 100);
    markup.boxes = {mark(R)};
    const auto m = MarkupRender::metrics(markup, sticky);
    const QRectF frame = onlyFrame(markup, sticky);
    EXPECT_DOUBLE_EQ(frame.left(), R.right() + m.noteUnit * 1.4);
    EXPECT_DOUBLE_EQ(frame.top(), R.top());
    EXPECT_DOUBLE_EQ(frame.width(), std::min(std::max(220.0, m.noteUnit * 13), 3000 * 0.5));
    EXPECT_GE(frame.height(), m.noteUnit * 6) << "a sticky note is at least six units tall";
}

TEST_F(NotePlacement, ANoteThatWouldCoverItsOwnBoxAtTheEdgeGoesLeft) {
    Markup markup(picture(3000, 2000), std::nullopt, Qt::red);
    const QRectF R(2700, 800, 300, 100); // flush with the right edge
    markup.boxes = {mark(R)};
    const auto m = MarkupRender::metrics(markup, sticky);
    const QRectF frame = onlyFrame(markup, sticky);
    EXPECT_DOUBLE_EQ(frame.right(), R.left() - m.noteUnit * 1.4);
    EXPECT_DOUBLE_EQ(frame.top(), R.top());
}

TEST_F(NotePlacement, ANoteAvoidsOtherBoxesAndEarlierNotes) {
    Markup markup(picture(3000, 2000), std::nullopt, Qt::red);
    const QRectF R(1000, 800, 200, 100);
    // Boxes to the right and to the left: the note goes below (third candidate).
    markup.boxes = {mark(R), mark(QRectF(1230, 700, 700, 260), ""), mark(QRectF(300, 700, 680, 260), "")};
    const auto m = MarkupRender::metrics(markup, glass);
    QRectF frame = onlyFrame(markup, glass);
    EXPECT_DOUBLE_EQ(frame.left(), R.left());
    EXPECT_DOUBLE_EQ(frame.top(), R.bottom() + m.noteUnit * 1.4);

    // Two marks in one place: the second note keeps off the first one.
    Markup twins(picture(3000, 2000), std::nullopt, Qt::red);
    twins.boxes = {mark(R, "first"), mark(R, "second")};
    const auto frames = MarkupRender::noteFrames(twins, std::nullopt, glass);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_DOUBLE_EQ(frames[0].imageRect.left(), R.right() + m.noteUnit * 1.4);
    EXPECT_DOUBLE_EQ(frames[1].imageRect.right(), R.left() - m.noteUnit * 1.4);
    EXPECT_FALSE(frames[0].imageRect.intersects(frames[1].imageRect));
}

TEST_F(NotePlacement, EqualOverlapKeepsTheEarlierCandidate) {
    Markup markup(picture(3000, 2000), std::nullopt, Qt::red);
    const QRectF R(1000, 800, 200, 100);
    // A blur box over the whole picture overlaps every place equally.
    markup.boxes = {Markup::Box(QRectF(0, 0, 3000, 2000), "", true, {}, {}, 0), mark(R)};
    const auto m = MarkupRender::metrics(markup, sticky);
    const QRectF frame = onlyFrame(markup, sticky);
    EXPECT_DOUBLE_EQ(frame.left(), R.right() + m.noteUnit * 1.4);
}

TEST_F(NotePlacement, ADraggedNoteStaysWhereItWasPutButInsideTheKeptPart) {
    Markup markup(picture(3000, 2000), std::nullopt, Qt::red);
    markup.boxes = {Markup::Box(QRectF(1000, 800, 200, 100), "moved", false, {}, QPointF(40, 50), 0)};
    EXPECT_EQ(onlyFrame(markup, glass).topLeft(), QPointF(40, 50));
    markup.boxes[0].notePosition = QPointF(2990, -30);
    const QRectF frame = onlyFrame(markup, glass);
    EXPECT_DOUBLE_EQ(frame.right(), 3000);
    EXPECT_DOUBLE_EQ(frame.top(), 0);
    markup.cropImageRect = QRectF(500, 500, 1500, 1000);
    EXPECT_EQ(onlyFrame(markup, glass).topRight(), QPointF(2000, 500));
}

TEST_F(NotePlacement, NoteWidthShrinksWithTheNumberOfNotes) {
    Markup markup(picture(600, 4000), std::nullopt, Qt::red); // unit 20, natural width 260
    auto widthWith = [&](int n) {
        markup.boxes.clear();
        for (int i = 0; i < n; ++i)
            markup.boxes.append(mark(QRectF(10, 10 + i * 600, 50, 50), "x"));
        return MarkupRender::noteFrames(markup, std::nullopt, glass).front().imageRect.width();
    };
    EXPECT_DOUBLE_EQ(widthWith(1), 260);
    EXPECT_DOUBLE_EQ(widthWith(4), 240);
    EXPECT_DOUBLE_EQ(widthWith(6), 180);
}

TEST_F(NotePlacement, OnlyMarksWithWordsOrBeingTypedShowNotes) {
    Markup markup(picture(2000, 1500), std::nullopt, Qt::red);
    markup.boxes = {mark(QRectF(100, 100, 100, 100), "  "),
                    Markup::Box(QRectF(500, 100, 100, 100), "hidden", true),
                    mark(QRectF(900, 100, 100, 100), "shown")};
    auto frames = MarkupRender::noteFrames(markup, std::nullopt, glass);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].box, 2);
    frames = MarkupRender::noteFrames(markup, qsizetype(0), glass);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].box, 0);
    EXPECT_TRUE(MarkupRender::noteFrames(markup, std::nullopt, MarkLook{}).empty())
        << "the list look has no notes";

    const auto m = MarkupRender::metrics(markup, glass, qsizetype(0));
    const auto typing = MarkupRender::noteTypingRect(markup, 0, glass);
    ASSERT_TRUE(typing);
    EXPECT_EQ(*typing,
              frames[0].imageRect.adjusted(m.notePadding, m.notePadding, -m.notePadding, -m.notePadding));
    EXPECT_FALSE(MarkupRender::noteTypingRect(markup, 1, glass)) << "blur boxes have no note";
    EXPECT_GE(frames[0].imageRect.height(), m.noteUnit * 3.2);
}

TEST_F(NotePlacement, LongerNotesAreTaller) {
    Markup markup(picture(2000, 3000), std::nullopt, Qt::red);
    markup.boxes = {mark(QRectF(100, 100, 100, 100), "Short")};
    const double shortHeight = onlyFrame(markup, glass).height();
    markup.boxes[0].note =
        QString("A much longer note that has to wrap over many lines of the bubble ").repeated(4);
    EXPECT_GT(onlyFrame(markup, glass).height(), shortHeight * 2);
    markup.boxes[0].element = QString("Save button");
    const double withElement = onlyFrame(markup, glass).height();
    markup.boxes[0].element.reset();
    EXPECT_GT(withElement, onlyFrame(markup, glass).height());
}

using NotePainting = LibraryTest;

TEST_F(NotePainting, StickyNotesArePaperWithInkAndGlassBubblesAreDark) {
    Markup markup(picture(2000, 1200), std::nullopt, Qt::red);
    markup.boxes = {mark(QRectF(400, 400, 200, 100), "Press here to continue", 1)};
    const QRectF frame = onlyFrame(markup, sticky);
    const QRect middle =
        frame.adjusted(frame.width() * 0.2, frame.height() * 0.2, -frame.width() * 0.2, -frame.height() * 0.2)
            .toRect();

    const QImage paper = *MarkupRender::flattened(markup, sticky);
    const PaperColors pink = NotePaper::colors()[1];
    EXPECT_GT(countNear(paper, middle, pink.top, 24), middle.width() * middle.height() / 2);
    const int ink = countNear(paper, frame.toRect(), pink.ink, 90);
    EXPECT_GT(ink, 50) << "the note's words are written in the paper's ink";

    QImage typing(2000, 1200, QImage::Format_RGB32);
    {
        QPainter p(&typing);
        MarkupRender::paint(p, markup, PaintOptions{{}, false, qsizetype(0)}, sticky);
    }
    EXPECT_LT(countNear(typing, frame.toRect(), pink.ink, 90), ink / 4) << "the note being typed has no text";

    const QRectF bubbleFrame = onlyFrame(markup, glass);
    const QImage bubble = *MarkupRender::flattened(markup, glass);
    EXPECT_LT(qGray(bubble.pixel(bubbleFrame.toRect().bottomRight() - QPoint(30, 30))), 60);
    EXPECT_GT(countNear(bubble, bubbleFrame.toRect(), Qt::white, 60), 50) << "white text";
}
