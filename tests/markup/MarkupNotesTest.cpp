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

TEST_F(NotePlacement, ANoteGoesRightOfItsBoxElseLeftElseBelowAndATieKeepsTheEarlierPlace) {
    const QRectF R(1000, 800, 200, 100),
        atEdge(2700, 800, 300, 100); // the second is flush with the right edge
    const Markup::Box coverAll(QRectF(0, 0, 3000, 2000), "", true, {}, {}, 0);
    const struct {
        const char* what;
        QList<Markup::Box> boxes;
        QRectF box;
        MarkLook look;
        char side;
    } rows[] = {
        {"free", {mark(R)}, R, sticky, 'r'},
        {"on the right it would cover its own box", {mark(atEdge)}, atEdge, sticky, 'l'},
        {"boxes to the right and the left",
         {mark(R), mark(QRectF(1230, 700, 700, 260), ""), mark(QRectF(300, 700, 680, 260), "")},
         R,
         glass,
         'b'},
        {"a blur box over everything overlaps every place equally", {coverAll, mark(R)}, R, sticky, 'r'},
    };
    for (const auto& row : rows) {
        Markup markup(picture(3000, 2000), std::nullopt, Qt::red);
        markup.boxes = row.boxes;
        const double unit = MarkupRender::metrics(markup, row.look).noteUnit, gap = unit * 1.4;
        const QRectF frame = onlyFrame(markup, row.look);
        EXPECT_DOUBLE_EQ(frame.width(), std::min(std::max(220.0, unit * 13), 3000 * 0.5)) << row.what;
        EXPECT_GE(frame.height(), unit * (row.look.noteLook == NoteLook::Sticky ? 6 : 3.2)) << row.what;
        const QPointF expected = row.side == 'r' ? QPointF(row.box.right() + gap, row.box.top())
                                 : row.side == 'l'
                                     ? QPointF(row.box.left() - gap - frame.width(), row.box.top())
                                     : QPointF(row.box.left(), row.box.bottom() + gap);
        EXPECT_NEAR(frame.left(), expected.x(), 1e-9) << row.what;
        EXPECT_NEAR(frame.top(), expected.y(), 1e-9) << row.what;
    }

    // Two marks in one place: the second note keeps off the first one.
    Markup twins(picture(3000, 2000), std::nullopt, Qt::red);
    twins.boxes = {mark(R, "first"), mark(R, "second")};
    const double gap = MarkupRender::metrics(twins, glass).noteUnit * 1.4;
    const auto frames = MarkupRender::noteFrames(twins, std::nullopt, glass);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_DOUBLE_EQ(frames[0].imageRect.left(), R.right() + gap);
    EXPECT_DOUBLE_EQ(frames[1].imageRect.right(), R.left() - gap);
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
