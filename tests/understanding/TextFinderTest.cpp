// Finding words in recognised lines, and reading real text off a picture.
#include "understanding/TextFinder.h"

#include "support/TestEnv.h"

#include <QFont>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <functional>

using namespace ombrel;
using namespace ombrel::TextFinder;

namespace {

// A line whose characters sit 10 px apart on a row at y = 100, 20 px high.
Line lineOf(const QString& text, double left = 100) {
    Line line{text, {}};
    for (qsizetype i = 0; i < text.size(); ++i)
        line.charBoxes.append(text.at(i) == QLatin1Char(' ') ? QRectF() : QRectF(left + 10 * i, 100, 9, 20));
    return line;
}

QStringList pieces(const QString& text, const QList<TextRange>& found) {
    QStringList out;
    for (const TextRange& r : found)
        out.append(text.mid(r.start, r.end - r.start));
    return out;
}

// The texts of lines, each of which must have one box per character.
QStringList texts(const QList<Line>& lines) {
    QStringList out;
    for (const Line& l : lines) {
        out.append(l.text);
        EXPECT_EQ(l.charBoxes.size(), l.text.size()) << l.text.toStdString();
    }
    return out;
}

QFont font(int pixels, const char* family = "DejaVu Sans") {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    return f;
}

// A picture of `size` on `ground`, painted over by `draw`.
QImage paint(QSize size, const QColor& ground, const std::function<void(QPainter&)>& draw) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(ground);
    {
        QPainter p(&picture);
        draw(p);
    }
    return picture;
}

} // namespace

TEST(TextFinderRanges, IgnoreCaseSpacesAndPunctuationAndNeverOverlap) {
    EXPECT_EQ(pieces("Please Sign in, then go", ranges("sign-in", "Please Sign in, then go")),
              QStringList{"Sign in"});
    EXPECT_EQ(pieces("aaaaaa", ranges("aaa", "aaaaaa")), (QStringList{"aaa", "aaa"}));
    EXPECT_EQ(pieces("aaaaa", ranges("aa", "aaaaa")), (QStringList{"aa", "aa"}));
    EXPECT_EQ(pieces("E-MAIL: x", ranges("email", "E-MAIL: x")), QStringList{"E-MAIL"});
    EXPECT_TRUE(ranges("?!", "a ?! b").isEmpty());
    EXPECT_TRUE(ranges("longer", "long").isEmpty());
    EXPECT_TRUE(ranges("x", "...").isEmpty());
    // Letters outside the basic plane count as one character each.
    const QString wide = QStringLiteral("go \U0001D400\U0001D401 now");
    EXPECT_EQ(pieces(wide, ranges(QStringLiteral("\U0001D400\U0001D401"), wide)),
              QStringList{QStringLiteral("\U0001D400\U0001D401")});
}

TEST(TextFinderRect, GrowsTheBoxByEightAndClipsToThePicture) {
    const Line line = lineOf("Save changes", 4);
    // "Save": characters 0 to 3, from x 4 to 4 + 30 + 9.
    EXPECT_EQ(rect({0, 4}, line, {1000, 1000}), QRectF(0, 92, 51, 36));
    EXPECT_EQ(rect({5, 12}, line, {100, 125}), QRectF(46, 92, 54, 33));
    EXPECT_FALSE(rect({4, 5}, line, {1000, 1000})); // only a space: no box
}

TEST(TextFinderFind, TriesAllWordsThenTheMeaningfulOnes) {
    const QList<Line> lines{lineOf("Save changes"), lineOf("Cancel the order", 300)};
    const QSize size(2000, 1000);
    // "save button": not in the text as a whole, then "save" alone.
    const QList<QRectF> save = find("save button", lines, size);
    ASSERT_EQ(save.size(), 1);
    EXPECT_EQ(save.first(), QRectF(92, 92, 39 + 16, 36));
    // "the button": "thebutton" is nowhere and no meaningful word is left.
    EXPECT_TRUE(find("the button", lines, size).isEmpty());
    // "the order": the filler word is part of the first try and found with it.
    EXPECT_EQ(find("the order", lines, size).size(), 1);
    EXPECT_TRUE(find("  ", lines, size).isEmpty());
    // Every occurrence is marked: two lines a pixel apart (text drawn over text), or twice in one.
    EXPECT_EQ(find("save", {lineOf("Save changes"), lineOf("Save changes", 101)}, size).size(), 2);
    EXPECT_EQ(find("aa", {lineOf("aa aa")}, size).size(), 2);
}

TEST(TextFinderRead, ReadsRenderedTextAndPlacesItsCharacters) {
    const QImage picture = paint({900, 300}, Qt::white, [](QPainter& p) {
        p.setFont(font(18));
        p.drawText(40, 80, QStringLiteral("Account settings"));
        p.drawText(40, 180, QStringLiteral("Save changes"));
        p.drawText(420, 180, QStringLiteral("Cancel"));
    });
    for (bool careful : {false, true}) {
        const QList<Line> lines = read(picture, careful);
        const QList<QRectF> found = find("save", lines, picture.size());
        ASSERT_EQ(found.size(), 1) << "careful " << careful;
        // "Save" is drawn from x 40 with its baseline at y 180.
        EXPECT_NEAR(found.first().left(), 40 - margin, 3);
        EXPECT_NEAR(found.first().bottom(), 180 + margin, 5);
        EXPECT_LT(found.first().width(), 70);
        EXPECT_EQ(find("cancel", lines, picture.size()).size(), 1);
    }
    EXPECT_TRUE(read(QImage()).isEmpty());
    // Narrower than any line painted over.
    EXPECT_TRUE(read(paint({30, 20}, Qt::white, [](QPainter&) {}), true).isEmpty());

    // A cut-out of a name plate: dark writing on a mid-tone fill that covers the whole
    // picture. The fill is ground, not an upright line to be taken out with the writing.
    const QImage plate = paint({390, 72}, QColor(186, 153, 25), [](QPainter& p) {
        p.setFont(font(40));
        p.setPen(QColor(20, 20, 20));
        p.drawText(12, 52, QStringLiteral("Button Login"));
    });
    EXPECT_EQ(find("buttonlogin", read(plate), plate.size()).size(), 1);
}

namespace {

// Pages of several lines with the gaps between lines where a reading is cut into bands. The
// text is drawn without anti-aliasing: each band is thresholded on its own, and with only two
// greys every band's threshold falls where the whole picture's does, so that what is left
// to differ is the cutting and the sharing out.
QImage settingsPage() {
    return paint({1280, 720}, Qt::white, [](QPainter& p) {
        p.fillRect(0, 0, 1280, 40, QColor("#f3f4f6"));
        p.setFont(font(15));
        p.setPen(QColor("#1f2328"));
        p.drawText(16, 26, QStringLiteral("Account settings"));
        for (int i = 0; i < 12; ++i)
            p.drawText(60, 90 + i * 32,
                       QStringLiteral("Line %1 of the page: member%1@example.com was invited on 2024-05-%2.")
                           .arg(i + 1)
                           .arg(i + 10));
    });
}

QImage terminalPage() {
    return paint({1000, 500}, QColor("#101010"), [](QPainter& p) {
        p.setFont(font(16, "DejaVu Sans Mono"));
        p.setPen(QColor("#d0d0d0"));
        const char* commands[] = {"$ export GITHUB_TOKEN=ghp_R2d2C3p0x8Yw7Vq6",
                                  "$ git push origin main",
                                  "To github.com:ombrel/capture.git",
                                  "$ make -j2 install",
                                  "$ ls -la /var/log",
                                  "$ echo done"};
        for (int i = 0; i < 6; ++i)
            p.drawText(30, 50 + i * 70, QString::fromLatin1(commands[i]));
    });
}

// The lines in the order of their text, then of their place.
QList<Line> sorted(QList<Line> lines) {
    std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        const double aTop = a.box({0, a.text.size()}).value_or(QRectF()).top();
        const double bTop = b.box({0, b.text.size()}).value_or(QRectF()).top();
        return a.text != b.text ? a.text < b.text : aTop < bTop;
    });
    return lines;
}

double farthest(const QRectF& a, const QRectF& b) {
    return std::max({std::abs(a.left() - b.left()), std::abs(a.top() - b.top()),
                     std::abs(a.right() - b.right()), std::abs(a.bottom() - b.bottom())});
}

} // namespace

TEST(TextFinderRead, ADarkTerminalIsReadUnderscoresAndAll) {
    const QImage picture = terminalPage();
    const QList<Line> lines = read(picture, true);
    EXPECT_EQ(find("git push origin main", lines, picture.size()).size(), 1);
    // The plain reading keeps the underscores that the enlarged one loses, so the key is
    // blurred from its prefix to its end.
    EXPECT_TRUE(
        std::any_of(lines.begin(), lines.end(), [](const Line& l) { return l.text.contains("ghp_R2d2"); }));
    const QFontMetricsF metrics(font(16, "DejaVu Sans Mono"), &picture);
    const double keyLeft = 30 + metrics.horizontalAdvance(QStringLiteral("$ export GITHUB_TOKEN="));
    const double keyRight = keyLeft + metrics.horizontalAdvance(QStringLiteral("ghp_R2d2C3p0x8Yw7Vq6"));
    const QList<QRectF> areas = privateAreas(lines, picture.size());
    EXPECT_TRUE(std::any_of(areas.begin(), areas.end(), [&](const QRectF& a) {
        return a.left() <= keyLeft && a.right() >= keyRight && a.contains(keyLeft, 45);
    }));
}

// Bands cut between lines and read side by side by several recognisers read what one
// recogniser reads in the whole picture: the same lines, letter for letter, in the same places.
// The careful reading built on the quick one reads each line once.
// (Each band is thresholded on its own: on a page with a side bar beside the text, where a
// band's threshold differs from the whole picture's, an anti-aliased letter can come out
// differently, and the recogniser's boxes of single characters can move by a few pixels.)
TEST(TextFinderRead, TheBandsReadSideBySideGiveTheLinesOfOneWholeReading) {
    for (const bool settings : {false, true}) {
        const QImage picture = settings ? settingsPage() : terminalPage();
        const QList<Line> quick = read(picture, false);
        const QList<Line> split = sorted(quick);
        const QList<Line> whole = sorted(readWhole(picture));
        ASSERT_GE(whole.size(), 6);
        ASSERT_EQ(texts(split), texts(whole));
        for (qsizetype i = 0; i < whole.size(); ++i) {
            const TextRange all{0, whole[i].text.size()};
            EXPECT_LE(farthest(split[i].box(all).value_or(QRectF()), whole[i].box(all).value_or(QRectF())),
                      1.0)
                << whole[i].text.toStdString();
        }
        // The careful reading made from the quick one is the careful reading, each line once
        // (also where two bands overlap and read a line with a letter of difference).
        const QList<Line> carefulLines = readCarefully(picture, quick);
        const QStringList careful = texts(sorted(carefulLines));
        EXPECT_EQ(careful, texts(sorted(read(picture, true))));
        EXPECT_EQ(QSet<QString>(careful.begin(), careful.end()).size(), careful.size())
            << "a line read twice";
        EXPECT_GE(careful.size(), whole.size());
        if (settings) EXPECT_EQ(find("account settings", carefulLines, picture.size()).size(), 1);
    }
}

namespace {

// A word of `text` from x, its characters `advance` wide and `height` high on top y.
Word word(const QString& text, double x, double y = 100, double height = 15, double advance = 9,
          double confidence = 90) {
    Word w{text, {}, confidence};
    for (qsizetype i = 0; i < text.size(); ++i)
        w.charBoxes.append(QRectF(x + i * advance, y, advance - 1, height));
    return w;
}

} // namespace

TEST(TextFinderSplitLine, ColumnsOfATableRowBecomeLinesOfTheirOwn) {
    const QList<Line> lines =
        splitLine({word("member0@example.com", 313, 100, 15, 9, 80), word("Admin", 696, 100, 15, 9, 60),
                   word("Last", 1001), word("seen", 1042), word("2", 1083)});
    EXPECT_EQ(texts(lines), (QStringList{"member0@example.com", "Admin", "Last seen 2"}));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_DOUBLE_EQ(lines[0].confidence, 80);
    EXPECT_DOUBLE_EQ(lines[1].confidence, 60);
    // The space between two words of a part has no box; the words keep theirs.
    EXPECT_TRUE(lines[2].charBoxes[4].isNull());
    EXPECT_EQ(lines[2].box({5, 9}), QRectF(1042, 100, 35, 15));
}

TEST(TextFinderSplitLine, WordsAtOrdinarySpacingStayOneLine) {
    // Gaps of 7 and of 44 pixels (just under three heights of 15): still one line; 46: two.
    EXPECT_EQ(texts(splitLine({word("The", 10), word("quick", 43), word("reading", 131)})),
              (QStringList{"The quick reading"}));
    EXPECT_EQ(texts(splitLine({word("The", 10), word("quick", 82)})), (QStringList{"The", "quick"}));
    EXPECT_TRUE(splitLine({}).isEmpty());
}

TEST(TextFinderSplitLine, AButtonsBorderReadAsABarSplitsTheLineAndIsDropped) {
    // "Save changes | [ Cancel | [ Invite": each button's sides read as thin marks twice the
    // words' height.
    Word bar = word("|", 460, 92, 28, 2);
    Word open = word("[", 480, 90, 30, 2);
    Word bar2 = word("|", 640, 92, 28, 2);
    Word open2 = word("[", 660, 90, 30, 2);
    EXPECT_EQ(texts(splitLine({word("Save", 329), word("changes", 370), bar, open, word("Cancel", 500), bar2,
                               open2, word("Invite", 680)})),
              (QStringList{"Save changes", "Cancel", "Invite"}));
    // Two buttons side by side: their facing sides read as one wide bar.
    EXPECT_EQ(texts(splitLine(
                  {word("Login", 155), word("|", 216, 93, 37, 14), word("Login", 250), word("with", 298)})),
              (QStringList{"Login", "Login with"}));
}

TEST(TextFinderSplitLine, PipesSlashesAndLettersWrittenInTheTextStayText) {
    // Letters as a font sets them: x-height letters 11 high, "l" and "h" up to the
    // ascender, "g" and "p" down to the descender; a pipe or a slash spans both, a little more.
    auto letters = [](const QString& text, double x) {
        Word w{text, {}, 90};
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            const double top = QStringLiteral("lhdkbtIHD/|").contains(c) ? 100 : 104;
            const double bottom = QStringLiteral("gpqy/|").contains(c) ? 119 : 115;
            w.charBoxes.append(
                QRectF(x + i * 9, c == '|' ? top - 1 : top, 8, bottom - top + (c == '|' ? 1 : 0)));
        }
        return w;
    };
    EXPECT_EQ(texts(splitLine({letters("ls", 10), letters("|", 35), letters("grep", 50)})),
              (QStringList{"ls | grep"}));
    EXPECT_EQ(texts(splitLine({letters("Home", 10), letters("/", 52), letters("Docs", 67)})),
              (QStringList{"Home / Docs"}));
    EXPECT_EQ(texts(splitLine({word("I", 10), word("see", 25)})), (QStringList{"I see"}));
}

TEST(TextFinderSplitLine, ACharacterBoxThatTookInABorderKeepsToItsLine) {
    // "Cancel" whose C box runs from the button's top border to its bottom one.
    Word cancel = word("Cancel", 535);
    cancel.charBoxes[0] = QRectF(535, 88, 8, 31);
    const QList<Line> lines = splitLine({word("[", 480, 88, 31, 2), cancel});
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].text, "Cancel");
    EXPECT_EQ(lines[0].box({0, 6}), QRectF(535, 100, 53, 15));
}

TEST(TextFinderRead, TheWordInsideALoneDrawnBoxIsRead) {
    // The recogniser alone takes a box drawn around a word for a picture and skips the word.
    const QImage picture = paint({1280, 800}, QColor(90, 127, 168), [](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(QRect(200, 150, 880, 500), Qt::white);
        p.setPen(QPen(QColor(96, 96, 96), 2));
        p.setBrush(QColor(240, 240, 240));
        p.drawRoundedRect(QRect(500, 400, 280, 60), 8, 8);
        p.setFont(font(30));
        p.setPen(Qt::black);
        p.drawText(QRect(500, 400, 280, 60), Qt::AlignCenter, QStringLiteral("Continue"));
        p.setFont(font(26));
        p.drawText(260, 230, QStringLiteral("Almost done. Check your details, then continue."));
    });
    for (bool careful : {false, true}) {
        const QList<Line> lines = read(picture, careful);
        const QList<QRectF> found = find("Continue", lines, picture.size());
        ASSERT_EQ(found.size(), 2) << (careful ? "careful" : "quick"); // the sentence's and the button's
        EXPECT_TRUE(std::any_of(found.begin(), found.end(), [](const QRectF& r) {
            return QRectF(500, 400, 280, 60).contains(r.center());
        }));
    }
}

TEST(TextFinderRead, TextOnFilledButtonsAndPanelsIsRead) {
    const struct {
        QImage picture;
        QStringList words;
    } pages[]{
        // A dark side panel with its menu, a page of text and a green primary button: light text.
        {paint({1280, 600}, Qt::white,
               [](QPainter& p) {
                   p.setRenderHint(QPainter::Antialiasing);
                   p.setFont(font(15));
                   p.fillRect(QRect(0, 0, 240, 600), QColor(36, 41, 47));
                   p.setPen(QColor(230, 237, 243));
                   p.drawText(24, 60, QStringLiteral("Repositories"));
                   p.drawText(24, 100, QStringLiteral("Discussions"));
                   p.setPen(QColor(31, 35, 40));
                   p.drawText(300, 60, QStringLiteral("Your changes are ready to be saved."));
                   p.setPen(Qt::NoPen);
                   p.setBrush(QColor(45, 164, 78));
                   p.drawRoundedRect(QRect(300, 120, 160, 36), 6, 6);
                   p.setPen(Qt::white);
                   p.drawText(QRect(300, 120, 160, 36), Qt::AlignCenter, QStringLiteral("Save changes"));
               }),
         {"save changes", "repositories", "discussions", "ready to be saved"}},
        // Dark text on a highlighted card of a mid tone.
        {paint({900, 300}, Qt::white,
               [](QPainter& p) {
                   p.fillRect(QRect(40, 60, 420, 120), QColor(120, 150, 200));
                   p.setFont(font(16));
                   p.drawText(60, 110, QStringLiteral("Selected invoice number"));
                   p.drawText(60, 150, QStringLiteral("Due on the first of May"));
               }),
         {"selected invoice", "first of may"}},
    };
    for (const auto& page : pages)
        for (bool careful : {false, true}) {
            const QList<Line> lines = read(page.picture, careful);
            for (const QString& words : page.words)
                EXPECT_FALSE(find(words, lines, page.picture.size()).isEmpty())
                    << words.toStdString() << (careful ? " (careful)" : " (quick)");
        }
}
