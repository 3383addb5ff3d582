// Elements found in the pixels: what a detected rectangle or salient object becomes, given
// the text lines around it, and how the page readings join them with accessibility.
#include "understanding/VisualReader.h"
#include "understanding/PageReadings.h"

#include "support/TestEnv.h"

#include <QSignalSpy>
#include <QTest>

using namespace ombrel;
using Kind = ScreenElement::Kind;

namespace {

constexpr int W = 1000, H = 800;

// A box in picture pixels as the image analysis answers it: normalised, origin bottom-left.
VisionBox detected(const QRectF& px, QSize size = {W, H}) {
    const double w = size.width(), h = size.height();
    return {QRectF(px.x() / w, (h - px.bottom()) / h, px.width() / w, px.height() / h), 0.9};
}

// A recognised line whose characters share `box` evenly (spaces get no box).
TextFinder::Line line(const QString& text, const QRectF& box) {
    TextFinder::Line l;
    l.text = text;
    l.confidence = 90;
    const double step = text.isEmpty() ? 0 : box.width() / text.size();
    for (qsizetype i = 0; i < text.size(); ++i)
        l.charBoxes.append(text.at(i).isSpace() ? QRectF()
                                                : QRectF(box.x() + i * step, box.y(), step, box.height()));
    return l;
}

QImage picture(QSize size = {W, H}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

ScreenElement el(Kind kind, const QString& title, QRectF rect) {
    return {kind, title, rect};
}

} // namespace

class VisualReaderTest : public test::LibraryTest {
  protected:
    // No reading of a page may outlive the fake platform it uses.
    void TearDown() override {
        PageReadings::waitForAll();
        LibraryTest::TearDown();
    }
    QList<ScreenElement> read(const QList<QRectF>& rects, const QList<TextFinder::Line>& lines = {},
                              const QList<QRectF>& objects = {}) {
        platform.vision->rectangleBoxes.clear();
        platform.vision->objectBoxes.clear();
        for (const QRectF& r : rects)
            platform.vision->rectangleBoxes.append(detected(r));
        for (const QRectF& r : objects)
            platform.vision->objectBoxes.append(detected(r));
        return VisualReader::elements(picture(), lines);
    }
};

TEST_F(VisualReaderTest, RectanglesNarrowerThanFortyOrLowerThanTwentyAreDropped) {
    const QList<ScreenElement> found =
        read({QRectF(10, 10, 39, 100), QRectF(10, 200, 100, 19.5), QRectF(300, 300, 40, 20)});
    EXPECT_EQ(found, (QList<ScreenElement>{el(Kind::Image, {}, QRectF(300, 300, 40, 20))}));
    EXPECT_EQ(platform.vision->rectangleRequests.size(), 1);
}

TEST_F(VisualReaderTest, OneShortTextInALowRectangleMakesAButtonElseASection) {
    // 0.11 × 800 = 88 high: a button; 0.12 × 800 = 96 high: too high for one.
    const QList<TextFinder::Line> lines{line("Save", QRectF(140, 130, 60, 20)),
                                        line("Open", QRectF(540, 130, 60, 20))};
    const QList<ScreenElement> found = read({QRectF(100, 100, 200, 88), QRectF(500, 100, 200, 96)}, lines);
    EXPECT_EQ(found, (QList<ScreenElement>{el(Kind::Button, "Save", QRectF(100, 100, 200, 88)),
                                           el(Kind::Section, {}, QRectF(500, 100, 200, 96)),
                                           el(Kind::Text, "Save", QRectF(132, 122, 76, 36)), // grown by 8
                                           el(Kind::Text, "Open", QRectF(532, 122, 76, 36))}));

    // Thirty characters still name a button, thirty-one make a section; a character outside
    // the basic plane counts once.
    const QRectF low(100, 100, 400, 40);
    for (const auto& [text, kind] :
         {std::pair{QString(30, QLatin1Char('a')), Kind::Button},
          {QString(31, QLatin1Char('b')), Kind::Section},
          {QString(29, QLatin1Char('c')) + QString::fromUcs4(U"\U0001F600"), Kind::Button}}) {
        const ScreenElement first = read({low}, {line(text, QRectF(120, 110, 300, 20))}).value(0);
        EXPECT_EQ(first, el(kind, kind == Kind::Button ? text : QString(), low)) << text.toStdString();
    }
}

TEST_F(VisualReaderTest, TwoTextsInsideMakeASectionAndTextsJustOverTheBorderStillCountAsInside) {
    // The second line's grown box reaches 5 px past the rectangle's bottom: within the 6 px slack.
    const QList<TextFinder::Line> lines{line("Name", QRectF(120, 110, 60, 20)),
                                        line("Email", QRectF(120, 160, 60, 20))};
    const QList<ScreenElement> found = read({QRectF(100, 100, 300, 83)}, lines);
    EXPECT_EQ(found.first(), el(Kind::Section, {}, QRectF(100, 100, 300, 83)));
    EXPECT_EQ(found.size(), 3);
}

TEST_F(VisualReaderTest, ARectangleCuttingThroughATextLineIsDroppedEntirely) {
    // The line's grown box (292…408 across) crosses the rectangle's right edge at 350.
    const QList<TextFinder::Line> lines{line("Total", QRectF(300, 130, 100, 20))};
    const QList<ScreenElement> found = read({QRectF(100, 100, 250, 60), QRectF(600, 100, 100, 40)}, lines);
    EXPECT_EQ(found, (QList<ScreenElement>{el(Kind::Image, {}, QRectF(600, 100, 100, 40)),
                                           el(Kind::Text, "Total", QRectF(292, 122, 116, 36))}));
    // Only touching the rectangle's edge is not cutting through it: the text is outside.
    const QList<ScreenElement> touching = read({QRectF(100, 100, 192, 60)}, lines);
    EXPECT_EQ(touching.first(), el(Kind::Image, {}, QRectF(100, 100, 192, 60)));
}

TEST_F(VisualReaderTest, SalientObjectsHoldingATextCentreOrMostOfThePictureAreDropped) {
    const QList<TextFinder::Line> lines{line("Caption", QRectF(520, 520, 80, 20))}; // centre (560, 530)
    const QList<QRectF> objects{
        QRectF(10, 10, 200, 200),   // a photo: kept
        QRectF(500, 500, 200, 200), // holds the caption's centre
        QRectF(0, 0, 1000, 640),    // exactly 80 % of the picture
        QRectF(0, 0, 999, 640),     // just under 80 %, but holds the caption's centre too
        QRectF(300, 50, 39, 100),   // too narrow
        QRectF(300, 300, 40, 40),   // the smallest kept
    };
    const QList<ScreenElement> found = read({}, lines, objects);
    EXPECT_EQ(found, (QList<ScreenElement>{el(Kind::Image, {}, QRectF(10, 10, 200, 200)),
                                           el(Kind::Image, {}, QRectF(300, 300, 40, 40)),
                                           el(Kind::Text, "Caption", QRectF(512, 512, 96, 36))}));
    // Without text a large object just under 80 % stays.
    const QList<ScreenElement> large = read({}, {}, {QRectF(0, 0, 999, 640)});
    EXPECT_EQ(large.size(), 1);
}

TEST_F(VisualReaderTest, OverlappingLinesAreTextsOfTheirOwn) {
    // A label drawn over another: both are texts, and the rectangle holding both is a section.
    const QList<TextFinder::Line> lines{line("Continue", QRectF(130, 120, 80, 20)),
                                        line("Contour", QRectF(131, 121, 79, 20))};
    const QList<ScreenElement> found = read({QRectF(100, 100, 160, 60)}, lines);
    EXPECT_EQ(found, (QList<ScreenElement>{el(Kind::Section, "", QRectF(100, 100, 160, 60)),
                                           el(Kind::Text, "Continue", QRectF(122, 112, 96, 36)),
                                           el(Kind::Text, "Contour", QRectF(123, 113, 95, 36))}));
}

TEST_F(VisualReaderTest, LinesWithoutTextOrBoxesGiveNoElements) {
    TextFinder::Line noBoxes;
    noBoxes.text = "ghost";
    const QList<ScreenElement> found =
        read({}, {line("", QRectF(10, 10, 50, 20)), noBoxes, line("Hi", QRectF(10, 40, 20, 20))});
    EXPECT_EQ(found, (QList<ScreenElement>{el(Kind::Text, "Hi", QRectF(2, 32, 36, 36))}));
}

TEST_F(VisualReaderTest, AFailingDetectorContributesNothingAndTheRestStillComesInOrder) {
    const QList<TextFinder::Line> lines{line("Hello", QRectF(700, 700, 50, 20))};
    platform.vision->failObjects = true;
    QList<ScreenElement> found = read({QRectF(100, 100, 100, 100)}, lines, {QRectF(400, 100, 100, 100)});
    EXPECT_EQ(found, (QList<ScreenElement>{el(Kind::Image, {}, QRectF(100, 100, 100, 100)),
                                           el(Kind::Text, "Hello", QRectF(692, 692, 66, 36))}));
    platform.vision->failObjects = false;
    platform.vision->failRectangles = true;
    found = read({QRectF(100, 100, 100, 100)}, lines, {QRectF(400, 100, 100, 100)});
    EXPECT_EQ(found, (QList<ScreenElement>{el(Kind::Image, {}, QRectF(400, 100, 100, 100)),
                                           el(Kind::Text, "Hello", QRectF(692, 692, 66, 36))}));
}

TEST_F(VisualReaderTest, APictureWithoutSourceGetsTheElementsFoundInItsPixels) {
    platform.vision->rectangleBoxes = {detected(QRectF(20, 20, 100, 50), {400, 300})};
    PageReadings readings(picture({400, 300}), std::nullopt);
    QSignalSpy spy(&readings, &PageReadings::elementsRead);
    readings.start(false);
    QList<ScreenElement> complete;
    bool done = false;
    readings.whenElements(&readings, [&](const QList<ScreenElement>& list) { complete = list, done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done && spy.size() == 2; }, 20000));
    EXPECT_TRUE(spy.at(0).at(0).value<QList<ScreenElement>>().isEmpty()); // no accessibility
    EXPECT_EQ(complete, (QList<ScreenElement>{el(Kind::Image, {}, QRectF(20, 20, 100, 50))}));
    EXPECT_EQ(spy.at(1).at(0).value<QList<ScreenElement>>(), complete);
}

TEST_F(VisualReaderTest, AccessibilityElementsComeFirstAndWinOverTheSameRectangleFoundInPixels) {
    auto app = std::make_shared<FakeNode>();
    auto window = app->add("frame", QRectF(0, 0, 400, 300));
    window->add("push button", QRectF(100, 100, 120, 40), "Login");
    platform.accessibleTree->apps.insert(77, app);
    // The same button seen in the pixels a few pixels off, and a picture nothing else names.
    platform.vision->rectangleBoxes = {detected(QRectF(103, 98, 124, 44), {400, 300}),
                                       detected(QRectF(10, 200, 100, 60), {400, 300})};
    PageReadings readings(picture({400, 300}), AccessibilityReader::Source{77, QRectF(0, 0, 400, 300)});
    QSignalSpy spy(&readings, &PageReadings::elementsRead);
    readings.start(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.size() == 2; }, 20000));
    const auto first = spy.at(0).at(0).value<QList<ScreenElement>>();
    const auto complete = spy.at(1).at(0).value<QList<ScreenElement>>();
    EXPECT_EQ(first, (QList<ScreenElement>{el(Kind::Button, "Login", QRectF(100, 100, 120, 40))}));
    EXPECT_EQ(complete, (QList<ScreenElement>{el(Kind::Button, "Login", QRectF(100, 100, 120, 40)),
                                              el(Kind::Image, {}, QRectF(10, 200, 100, 60))}));
}
