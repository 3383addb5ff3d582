#include "markup/MarkStyle.h"
#include "markup/Markup.h"
#include "markup/MarkupKeys.h"
#include "support/TestEnv.h"

#include <QFontInfo>
#include <QSet>

using namespace ombrel;
using ombrel::test::LibraryTest;

namespace {
QImage picture(int w = 400, int h = 300) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}
Markup plain(int w = 400, int h = 300) {
    return Markup(picture(w, h), std::nullopt, Qt::red);
}
Markup::Box mark(double x, double y, QString note = {}) {
    return Markup::Box(QRectF(x, y, 40, 20), note, false, {}, {}, 0);
}
Markup::Box blur(double x, double y) {
    return Markup::Box(QRectF(x, y, 40, 20), {}, true, {}, {}, 0);
}
} // namespace

using MarkupModel = LibraryTest;

TEST_F(MarkupModel, BlurBoxesTakeNoNumberAndDoNotShiftTheMarks) {
    Markup m = plain();
    m.boxes = {mark(0, 0), blur(50, 0), mark(100, 0), blur(150, 0), mark(200, 0)};
    EXPECT_EQ(m.number(0), 1);
    EXPECT_EQ(m.number(2), 2);
    EXPECT_EQ(m.number(4), 3);
    // A blur box reports the count of marks before it; it is never shown.
    EXPECT_EQ(m.number(1), 1);
}

TEST_F(MarkupModel, AddressReadsTheFirstIncludedLinkAndWritingReplacesAllLinks) {
    Markup m = plain();
    EXPECT_EQ(m.address(), std::nullopt);
    m.links = {{"https://a.example", false}, {"https://b.example", true}, {"https://c.example", true}};
    EXPECT_EQ(m.address(), QString("https://b.example"));
    m.setAddress(std::nullopt);
    EXPECT_TRUE(m.links.isEmpty());
    m.links = {{"https://a.example", true}, {"https://b.example", true}, {"https://c.example", false}};
    m.setAddress(QString("https://d.example"));
    ASSERT_EQ(m.links.size(), 1);
    EXPECT_EQ(m.links.first(), (Markup::PageLink{"https://d.example", true}));
}

TEST_F(MarkupModel, AnnotationsAreBoxesAWrittenCommentOrACropAndTheCropIsWhatIsKept) {
    Markup m = plain();
    EXPECT_FALSE(m.hasAnnotations());
    m.comment = "  \n\t \r\n ";
    EXPECT_FALSE(m.hasAnnotations()) << "white space alone is no comment";
    m.comment = " x ";
    EXPECT_TRUE(m.hasAnnotations());
    m.comment.clear();
    m.links = {{"https://a.example", true}};
    EXPECT_FALSE(m.hasAnnotations()) << "links are not annotations";
    EXPECT_EQ(m.keptImageRect(), QRectF(0, 0, 400, 300));
    m.cropImageRect = QRectF(12.5, 20, 100, 80);
    EXPECT_TRUE(m.hasAnnotations());
    EXPECT_EQ(m.keptImageRect(), QRectF(12.5, 20, 100, 80));
    m.cropImageRect.reset();
    m.boxes = {blur(0, 0)};
    EXPECT_TRUE(m.hasAnnotations());
}

TEST_F(MarkupModel, NewModelTakesCurrentColourAndNewBoxesTakeCurrentPaper) {
    HighlightPalette::setCurrentName("Green");
    NotePaper::setCurrent(3);
    const Markup m(picture(200, 100));
    EXPECT_EQ(m.color, HighlightPalette::colorNamed("Green"));
    ASSERT_TRUE(m.blurred.has_value());
    EXPECT_EQ(m.blurred->size(), QSize(200, 100));
    EXPECT_EQ(Markup::Box(QRectF(0, 0, 1, 1)).paper, 3);
    EXPECT_EQ(Markup::Box(QRectF(0, 0, 1, 1), {}, false, {}, {}, 1).paper, 1);
}

// MARK: Reading order

TEST_F(MarkupModel, OrganisingSortsRowsByTolerance) {
    Markup m = plain(1000, 1000); // tolerance max(30, 40) = 40
    m.boxes = {mark(500, 139, "c"), mark(50, 200, "d"), mark(100, 100, "a"), mark(300, 120, "b")};
    QStringList order;
    for (const auto& box : m.organisedBoxes())
        order << box.note;
    // 100, 120 and 139 are within 40 of each other: one row, left to right; 200 is a row below.
    EXPECT_EQ(order, QStringList({"A", "B", "C", "D"}));

    Markup small = plain(300, 200); // tolerance is at least 30
    small.boxes = {mark(200, 0, "right"), mark(0, 61, "below"), mark(10, 29, "left")};
    order.clear();
    for (const auto& box : small.organisedBoxes())
        order << box.note;
    EXPECT_EQ(order, QStringList({"Left", "Right", "Below"}));
}

TEST_F(MarkupModel, OrganisingPutsBlurBoxesLastInTheirOwnOrderAndLeavesTheirNotes) {
    Markup m = plain();
    Markup::Box b1 = blur(300, 0);
    b1.note = "  keep   me ";
    m.boxes = {b1, mark(200, 200, "second"), blur(0, 0), mark(0, 0, "first")};
    const auto boxes = m.organisedBoxes();
    ASSERT_EQ(boxes.size(), 4);
    EXPECT_EQ(boxes[0].note, "First");
    EXPECT_EQ(boxes[1].note, "Second");
    EXPECT_TRUE(boxes[2].hides);
    EXPECT_EQ(boxes[2].imageRect.x(), 300);
    EXPECT_EQ(boxes[2].note, "  keep   me ");
    EXPECT_EQ(boxes[3].imageRect.x(), 0);
    m.boxes = boxes;
    EXPECT_EQ(m.number(0), 1);
    EXPECT_EQ(m.number(1), 2);
}

TEST_F(MarkupModel, TidyingTrimsCollapsesDropsListNumbersAndCapitalises) {
    EXPECT_EQ(tidiedNote("  click\n\n  the   button\t now "), "Click the button now");
    EXPECT_EQ(tidiedNote("3. open menu"), "Open menu");
    EXPECT_EQ(tidiedNote("12)   see here"), "See here");
    EXPECT_EQ(tidiedNote("12 apples"), "12 apples") << "a number without . or ) is text";
    EXPECT_EQ(tidiedNote("1.5 seconds"), "5 seconds") << "the list pattern wins, as written";
    EXPECT_EQ(tidiedNote("élan"), "Élan");
    EXPECT_EQ(tidiedNote(" \n "), "");
}

TEST_F(MarkupModel, OrganisingManyBoxesWithFuzzyRowsIsStableAndComplete) {
    // The fuzzy row rule is not a strict order; sorting must neither crash nor lose boxes.
    Markup m = plain(2000, 2000); // tolerance 80
    for (int i = 0; i < 200; ++i)
        m.boxes.append(mark((i * 37) % 1900, (i * 53) % 1900, QString::number(i)));
    const auto boxes = m.organisedBoxes();
    ASSERT_EQ(boxes.size(), 200);
    QSet<QString> notes;
    for (const auto& b : boxes)
        notes.insert(b.note);
    EXPECT_EQ(notes.size(), 200);
    // Adjacent boxes are either in one row, left to right, or in rows going down.
    for (qsizetype i = 1; i < boxes.size(); ++i) {
        const QRectF a = boxes[i - 1].imageRect, b = boxes[i].imageRect;
        EXPECT_FALSE(std::abs(a.top() - b.top()) > 80 && b.top() < a.top()) << i;
    }
}

// MARK: Styles and their settings

TEST_F(MarkupModel, SettingsDefaultAreStoredUnderTheirKeysAndUnknownValuesFallBack) {
    EXPECT_TRUE(MarkStyle::isAuto());
    EXPECT_EQ(HighlightPalette::current(), HighlightPalette::systemRed);
    EXPECT_EQ(NoteLooks::current(), NoteLook::List);
    MarkStyle::setSizeName("Large");
    MarkStyle::setBorderName("Thick");
    NoteLooks::setCurrent(NoteLook::Glass);
    EXPECT_EQ(Defaults::store().value("noteLookChoiceV2").toString(), "glass");
    EXPECT_NE(MarkStyle::sizeScale(), 1.0);
    EXPECT_NE(MarkStyle::borderScale(), 1.0);

    MarkStyle::setSizeName("Huge");
    MarkStyle::setBorderName("Fat");
    EXPECT_DOUBLE_EQ(MarkStyle::sizeScale(), 1.0);
    EXPECT_DOUBLE_EQ(MarkStyle::borderScale(), 1.0);
    EXPECT_FALSE(MarkStyle::isAuto());
    Defaults::set(MarkupKeys::noteLook, "bubbles");
    EXPECT_EQ(NoteLooks::current(), NoteLook::List);
    NotePaper::setCurrent(9);
    EXPECT_EQ(NotePaper::current(), 4);
    HighlightPalette::setCurrentName("Mauve");
    EXPECT_EQ(HighlightPalette::current(), HighlightPalette::systemRed);
    EXPECT_EQ(MarkStyle::font(30, QFont::Medium, "Nonsense").family(),
              MarkStyle::font(30, QFont::Medium, "System").family());
}

TEST_F(MarkupModel, NumberColourKeepsContrastOnTheBadge) {
    // Around the 3:1 contrast threshold (luminance 0.3): grey 147 is below it, 150 above.
    const struct {
        QColor badge, number;
    } rows[] = {{QColor(147, 147, 147), Qt::white},
                {QColor(150, 150, 150), HighlightPalette::darkInk},
                {Qt::yellow, HighlightPalette::darkInk},
                {Qt::black, Qt::white},
                {QColor(), Qt::white}};
    for (const auto& row : rows)
        EXPECT_EQ(HighlightPalette::numberColor(row.badge), row.number) << row.badge.name().toStdString();
}
