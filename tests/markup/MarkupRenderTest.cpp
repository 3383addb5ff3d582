#include "markup/MarkupRender.h"
#include "markup/MarkStore.h"
#include "markup/MarkupSetup.h"
#include "support/TestEnv.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <cmath>

using namespace ombrel;
using ombrel::test::LibraryTest;

namespace {

QImage picture(int w, int h, QColor fill = QColor(240, 240, 240)) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// Fine black-and-white stripes: detail that a blur must wipe out.
QImage stripes(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, ((x / 2) % 2) ? 0xFFFFFFFF : 0xFF000000);
    return image;
}

Markup::Box mark(QRectF r, QString note = {}) {
    return Markup::Box(r, note, false, {}, {}, 0);
}
Markup::Box note(QRectF r, QString text = "A note", int paper = 0) {
    return Markup::Box(r, text, false, {}, {}, paper);
}

MarkLook listLook(QString size = "Auto") {
    return MarkLook{"System", size, "Thin", NoteLook::List};
}
const MarkLook sticky{"System", "Auto", "Thin", NoteLook::Sticky};
const MarkLook glass{"System", "Auto", "Thin", NoteLook::Glass};

QRectF onlyFrame(const Markup& markup, const MarkLook& look) {
    const auto frames = MarkupRender::noteFrames(markup, std::nullopt, look);
    EXPECT_EQ(frames.size(), 1u);
    return frames.empty() ? QRectF() : frames.front().imageRect;
}

double spread(const QImage& image, const QRect& r) {
    double sum = 0, sum2 = 0;
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const double v = qGray(image.pixel(x, y));
            sum += v;
            sum2 += v * v;
            ++n;
        }
    const double mean = sum / n;
    return std::sqrt(std::max(0.0, sum2 / n - mean * mean));
}

int countNear(const QImage& image, const QRect& r, QColor c, int tolerance = 40) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) +
                    std::abs(p.blue() - c.blue()) <=
                tolerance)
                ++n;
        }
    return n;
}

QString longText(int words) {
    QStringList w;
    for (int i = 0; i < words; ++i)
        w << QStringLiteral("word%1").arg(i);
    return w.join(' ');
}

} // namespace

using MarkupRendering = LibraryTest;
using NotePlacement = LibraryTest;
using NotePainting = LibraryTest;

TEST_F(MarkupRendering, SizesScaleWithTheKeptWidthBetweenTheirBounds) {
    Markup narrow(picture(1000, 600), std::nullopt, Qt::red);
    EXPECT_DOUBLE_EQ(MarkupRender::metrics(narrow, listLook()).baseFontSize, 22) << "never smaller";
    Markup wide(picture(6000, 100), std::nullopt, Qt::red);
    EXPECT_DOUBLE_EQ(MarkupRender::metrics(wide, listLook()).baseFontSize, 100) << "never larger";
    // The crop's width, not the picture's, sets the scale.
    wide.cropImageRect = QRectF(100, 0, 1200, 100);
    EXPECT_DOUBLE_EQ(MarkupRender::metrics(wide, listLook()).baseFontSize, 22);
}

TEST_F(MarkupRendering, ManyNotesShrinkUnlessTheUserChoseASize) {
    Markup markup(picture(3300, 2000), std::nullopt, Qt::red); // W / 66 = 50
    for (int i = 0; i < 8; ++i)
        markup.boxes.append(mark(QRectF(100 + i * 300, 100, 100, 100), "note"));
    EXPECT_DOUBLE_EQ(MarkupRender::metrics(markup, sticky).noteUnit, 50 * 0.65); // 1 - 0.07 × 5
    for (int i = 0; i < 8; ++i)
        markup.boxes.append(mark(QRectF(100 + i * 300, 900, 100, 100), "note"));
    EXPECT_DOUBLE_EQ(MarkupRender::metrics(markup, sticky).noteUnit, 50 * 0.62);
    EXPECT_DOUBLE_EQ(
        MarkupRender::metrics(markup, MarkLook{"System", "Large", "Thin", NoteLook::Sticky}).noteUnit,
        50 * 1.3);
    markup.boxes.remove(3, markup.boxes.size() - 3);
    EXPECT_DOUBLE_EQ(MarkupRender::metrics(markup, sticky).noteUnit, 50);
    EXPECT_DOUBLE_EQ(MarkupRender::metrics(markup, sticky).notePadding, 50 * 0.95);
}

TEST_F(MarkupRendering, FlattenedPictureIsTheKeptPartPlusTheStrip) {
    Markup markup(picture(800, 600), std::nullopt, Qt::red);
    markup.cropImageRect = QRectF(100, 50, 300, 200);
    auto png = MarkupRender::pngData(markup, listLook());
    ASSERT_TRUE(png);
    QImage out = QImage::fromData(*png, "PNG");
    EXPECT_EQ(out.size(), QSize(300, 200));

    markup.boxes = {mark(QRectF(150, 100, 50, 50), "   ")};
    markup.comment = "  \n ";
    EXPECT_EQ(MarkupRender::flattened(markup, listLook())->size(), QSize(300, 200))
        << "blank comments: no strip";

    markup.comment = "A comment";
    const auto m = MarkupRender::metrics(markup, listLook());
    ASSERT_GT(m.stripHeight, 0);
    out = *MarkupRender::flattened(markup, listLook());
    EXPECT_EQ(out.size(), QSize(300, int(std::lround(200 + m.stripHeight))));
}

TEST_F(MarkupRendering, StripShowsOnTheDarkenedHighlightAndGrowsWithComments) {
    Markup markup(picture(800, 1200), std::nullopt, QColor(200, 40, 40));
    const MarkLook look = listLook("Medium");
    double lastHeight = MarkupRender::metrics(markup, look).stripHeight;
    EXPECT_EQ(lastHeight, 0);
    markup.comment = "Picture comment";
    for (int i = 0; i < 6; ++i) {
        const double height = MarkupRender::metrics(markup, look).stripHeight;
        EXPECT_GT(height, lastHeight) << i;
        lastHeight = height;
        markup.boxes.append(mark(QRectF(10 + i * 100, 10, 50, 50), "Comment number " + QString::number(i)));
    }
    lastHeight = MarkupRender::metrics(markup, look).stripHeight;
    // A blur box and a mark without comment add no line; an element name alone does.
    markup.boxes.append(Markup::Box(QRectF(0, 0, 5, 5), "secret", true, {}, {}, 0));
    markup.boxes.append(mark(QRectF(0, 0, 5, 5)));
    EXPECT_EQ(MarkupRender::metrics(markup, look).stripHeight, lastHeight);
    markup.boxes.append(Markup::Box(QRectF(0, 0, 5, 5), "", false, QString("Save"), {}, 0));
    EXPECT_GT(MarkupRender::metrics(markup, look).stripHeight, lastHeight);
    markup.links = {{"https://included.example", true}, {"https://left-out.example", false}};
    const double withLink = MarkupRender::metrics(markup, look).stripHeight;
    markup.links.append({"https://second.example", true});
    EXPECT_GT(MarkupRender::metrics(markup, look).stripHeight, withLink);

    const QImage out = *MarkupRender::flattened(markup, look);
    EXPECT_GT(countNear(out, QRect(0, 1200, out.width(), out.height() - 1200), Qt::white, 30), 200)
        << "the strip's text is written below the picture";

    // Other looks put the mark comments on notes: only the page lines and picture comment stay.
    EXPECT_LT(
        MarkupRender::metrics(markup, MarkLook{"System", "Medium", "Thin", NoteLook::Sticky}).stripHeight,
        lastHeight);
}

TEST_F(MarkupRendering, AutoSizeShrinksInStepsToFitTheBudget) {
    Markup markup(picture(1200, 400), std::nullopt, Qt::red); // base 22, budget max(136, 66)
    const MarkLook look = listLook();
    const double base = 22;
    const double budget = 0.34 * 400;
    QList<double> seen;
    for (int n = 0; n < 40; ++n) {
        const double size = MarkupRender::stripFontSize(markup, look);
        const double factor = size / base;
        // Only the documented steps occur.
        static constexpr double steps[] = {1.0, 0.9, 0.8, 0.7, 0.62};
        const bool step = std::any_of(std::begin(steps), std::end(steps),
                                      [&](double f) { return std::abs(f - factor) < 1e-9; });
        ASSERT_TRUE(step) << factor;
        if (factor > 0.62) {
            EXPECT_LE(MarkupRender::stripHeight(markup, look, size), budget);
            if (factor < 1.0) { // the step above did not fit
                EXPECT_GT(MarkupRender::stripHeight(markup, look, size + 0.1 * base), budget);
            }
        } else {
            EXPECT_GT(MarkupRender::stripHeight(markup, look, 0.7 * base), budget);
        }
        if (seen.isEmpty() || seen.last() != factor) seen.append(factor);
        markup.boxes.append(mark(QRectF(10, 10, 20, 20), longText(6)));
    }
    EXPECT_EQ(seen.first(), 1.0);
    EXPECT_NEAR(seen.last(), 0.62, 1e-9) << "many comments end at the floor";
    EXPECT_GE(seen.size(), 3) << "it passes through intermediate steps";
    // A chosen size is used as it is, whatever the length.
    EXPECT_DOUBLE_EQ(MarkupRender::stripFontSize(markup, listLook("Small")), base * 0.8);
}

TEST_F(MarkupRendering, BadgeStaysWhollyInsideTheKeptPart) {
    Markup markup(picture(800, 600, Qt::white), std::nullopt, QColor(0, 0, 255));
    markup.cropImageRect = QRectF(200, 100, 400, 300);
    markup.boxes = {mark(QRectF(200, 100, 100, 60)), mark(QRectF(560, 380, 40, 20))};
    const QImage out = *MarkupRender::flattened(markup, listLook());
    const double d = 26 * 1.05;
    const double circleArea = M_PI * d * d / 4;
    // Top-left corner: the whole disc (minus its number) lies in the output's corner.
    const int topLeft = countNear(out, QRect(0, 0, int(d) + 2, int(d) + 2), Qt::blue, 60);
    EXPECT_GT(topLeft, circleArea * 0.6);
    // A box in the bottom-right corner pushes its badge up and left, still whole.
    const QRect corner(int(400 - 100 - d), int(300 - 40 - d), int(d) + 80, int(d) + 40);
    const int bottomRight = countNear(out, corner.intersected(out.rect()), Qt::blue, 60);
    EXPECT_GT(bottomRight, circleArea * 0.6);
    // The number is drawn in the contrasting colour inside the disc.
    EXPECT_GT(countNear(out, QRect(0, 0, int(d), int(d)), Qt::white, 30), 10);
}

TEST_F(MarkupRendering, BlurBoxesHideTheDetailUnderThem) {
    Markup markup(stripes(700, 400));
    ASSERT_TRUE(markup.blurred);
    markup.boxes = {Markup::Box(QRectF(100, 100, 300, 200), "", true, {}, {}, 0)};
    const QImage out = *MarkupRender::flattened(markup, listLook());
    const QRect inside(140, 140, 220, 120);
    const QRect outside(450, 100, 200, 200);
    EXPECT_GT(spread(out, outside), 100) << "the stripes outside stay";
    EXPECT_LT(spread(out, inside), 12) << "the stripes inside are gone";
    EXPECT_NEAR(qGray(out.pixel(250, 200)), 127, 40) << "what is left is the average grey";

    // Without a blurred copy the box is solid black.
    markup.blurred.reset();
    const QImage black = *MarkupRender::flattened(markup, listLook());
    EXPECT_EQ(black.pixelColor(250, 200), QColor(Qt::black));
    EXPECT_EQ(countNear(black, inside, Qt::black, 0), inside.width() * inside.height());
}

TEST_F(MarkupRendering, HeavyBlurPixellatesThenSmoothes) {
    // Half black, half white: after the blur the edge is a wide smooth ramp.
    QImage half = picture(1400, 200, Qt::black);
    for (int y = 0; y < 200; ++y)
        for (int x = 700; x < 1400; ++x)
            half.setPixel(x, y, 0xFFFFFFFF);
    const auto blurred = MarkupRender::heavyBlur(half);
    ASSERT_TRUE(blurred);
    EXPECT_EQ(blurred->size(), half.size());
    EXPECT_LT(qGray(blurred->pixel(100, 100)), 5);
    EXPECT_GT(qGray(blurred->pixel(1300, 100)), 250);
    const int mid = qGray(blurred->pixel(700, 100));
    EXPECT_TRUE(mid > 40 && mid < 215) << mid;
    for (int x = 640; x < 760; ++x) // a smooth ramp: neighbouring columns differ only a little
        ASSERT_LE(std::abs(qGray(blurred->pixel(x + 1, 100)) - qGray(blurred->pixel(x, 100))), 10) << x;
    EXPECT_FALSE(MarkupRender::heavyBlur(QImage()));
}

TEST_F(MarkupRendering, FrozenScreenShadesOutsideTheCropAndShowsNoStrip) {
    Markup markup(picture(800, 600, Qt::white), std::nullopt, Qt::red);
    markup.cropImageRect = QRectF(200, 150, 400, 300);
    markup.comment = "Comment that would make a strip";
    QImage screen(800, 600, QImage::Format_RGB32);
    {
        QPainter p(&screen);
        MarkupRender::paint(p, markup, PaintOptions{{}, true, {}}, listLook());
    }
    const int shaded = qGray(screen.pixel(50, 50));
    EXPECT_LT(shaded, 200) << "outside the crop is shaded";
    EXPECT_EQ(screen.pixelColor(400, 300), QColor(Qt::white));
    EXPECT_EQ(qGray(screen.pixel(400, 595)), shaded) << "no strip is painted over the picture";
}

TEST_F(MarkupRendering, ExtremeGeometryFromAFileRendersOrFailsCleanly) {
    Markup markup(picture(400, 300), std::nullopt, Qt::red);
    markup.boxes = {mark(QRectF(-1e9, -1e9, 2e9, 2e9), "huge"),
                    mark(QRectF(300, 200, -250, -150), "inverted"),
                    Markup::Box(QRectF(1e6, 1e6, 10, 10), "", true, {}, {}, 99),
                    Markup::Box(QRectF(10, 10, 10, 10), "far note", false, {}, QPointF(-1e12, 1e12), -7)};
    for (NoteLook noteLook : {NoteLook::List, NoteLook::Sticky, NoteLook::Glass}) {
        const auto png = MarkupRender::pngData(markup, MarkLook{"System", "Auto", "Thin", noteLook});
        ASSERT_TRUE(png);
        EXPECT_EQ(QImage::fromData(*png).width(), 400);
    }
    markup.cropImageRect = QRectF(0, 0, 1e9, 1e9);
    EXPECT_FALSE(MarkupRender::pngData(markup, listLook())) << "too large to make";
    markup.cropImageRect = QRectF(10, 10, -20, 30);
    EXPECT_FALSE(MarkupRender::pngData(markup, listLook())) << "nothing kept";
}

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
        {"free", {note(R)}, R, sticky, 'r'},
        {"on the right it would cover its own box", {note(atEdge)}, atEdge, sticky, 'l'},
        {"boxes right and left, free below and above: below comes first",
         {note(R), note(QRectF(1230, 800, 700, 100), ""), note(QRectF(300, 800, 680, 100), "")},
         R,
         glass,
         'b'},
        {"a blur box over everything overlaps every place equally", {coverAll, note(R)}, R, sticky, 'r'},
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
    twins.boxes = {note(R, "first"), note(R, "second")};
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
            markup.boxes.append(note(QRectF(10, 10 + i * 600, 50, 50), "x"));
        return MarkupRender::noteFrames(markup, std::nullopt, glass).front().imageRect.width();
    };
    EXPECT_DOUBLE_EQ(widthWith(1), 260);
    EXPECT_DOUBLE_EQ(widthWith(4), 240);
    EXPECT_DOUBLE_EQ(widthWith(6), 180);
}

TEST_F(NotePlacement, OnlyMarksWithWordsOrBeingTypedShowNotes) {
    Markup markup(picture(2000, 1500), std::nullopt, Qt::red);
    markup.boxes = {note(QRectF(100, 100, 100, 100), "  "),
                    Markup::Box(QRectF(500, 100, 100, 100), "hidden", true),
                    note(QRectF(900, 100, 100, 100), "shown")};
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
    markup.boxes = {note(QRectF(100, 100, 100, 100), "Short")};
    const double shortHeight = onlyFrame(markup, glass).height();
    markup.boxes[0].note =
        QString("A much longer note that has to wrap over many lines of the bubble ").repeated(4);
    EXPECT_GT(onlyFrame(markup, glass).height(), shortHeight * 2);
    markup.boxes[0].element = QString("Save button");
    const double withElement = onlyFrame(markup, glass).height();
    markup.boxes[0].element.reset();
    EXPECT_GT(withElement, onlyFrame(markup, glass).height());
}

TEST_F(NotePainting, StickyNotesArePaperWithInkAndGlassBubblesAreDark) {
    Markup markup(picture(2000, 1200), std::nullopt, Qt::red);
    markup.boxes = {note(QRectF(400, 400, 200, 100), "Press here to continue", 1)};
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

class RenderCommand : public LibraryTest {
  protected:
    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(work.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return f.fileName();
    }
    QTemporaryDir work;
};

TEST_F(RenderCommand, RendersAPictureWithAMarksFileOrALibraryPictureFromItsSideFiles) {
    const QString pic = work.filePath("in.png"), out = work.filePath("out.png");
    ASSERT_TRUE(picture(640, 360).save(pic));
    const QString marks =
        write("marks.json", R"({"boxes":[{"rect":[[10,10],[100,50]],"note":"Here","hides":false,)"
                            R"("paper":0}],"comment":"","crop":[[0,0],[320,180]]})");
    EXPECT_EQ(renderCommand({pic, "--marks", marks, "--output", out}), 0);
    EXPECT_EQ(QImage(out).width(), 320);
    EXPECT_GT(QImage(out).height(), 180) << "the numbered comment makes a strip";

    const QString shot = makeFile("2026-12-04/Shot_V1.png", QDateTime::currentDateTime());
    Markup m(picture(300, 200), std::nullopt, Qt::red);
    m.cropImageRect = QRectF(0, 0, 150, 100);
    MarkStore::save(m, shot);
    EXPECT_EQ(renderCommand({shot, "--output", out}), 0);
    EXPECT_EQ(QImage(out).size(), QSize(150, 100));
}

TEST_F(RenderCommand, FailsClearlyOnBadInput) {
    const QString pic = work.filePath("in.png"), out = work.filePath("o.png");
    ASSERT_TRUE(picture(64, 64).save(pic));
    const QString junk = write("junk.json", "{\"boxes\":[");
    EXPECT_EQ(renderCommand({}), 2);
    EXPECT_EQ(renderCommand({pic}), 2) << "no output";
    EXPECT_EQ(renderCommand({pic, "--output"}), 2);
    EXPECT_EQ(renderCommand({pic, "--bogus", "--output", out}), 2);
    EXPECT_EQ(renderCommand({work.filePath("none.png"), "--marks", junk, "--output", out}), 1);
    EXPECT_EQ(renderCommand({pic, "--marks", junk, "--output", out}), 1);
    EXPECT_EQ(renderCommand({pic, "--output", out}), 1) << "no side files";
    EXPECT_EQ(renderCommand({pic, "--marks", work.filePath("none.json"), "--output", out}), 1);
    const QString good = write("good.json", R"({"boxes":[],"comment":"x"})");
    EXPECT_EQ(renderCommand({pic, "--marks", good, "--output", work.filePath("no/such/dir/o.png")}), 1);
    EXPECT_FALSE(QFileInfo::exists(out));
}
