// Finding words in recognised lines, and reading real text off a picture.
#include "understanding/TextFinder.h"

#include "support/TestEnv.h"

#include <QFont>
#include <QPainter>

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

} // namespace

TEST(TextFinderRanges, IgnoreCaseSpacesAndPunctuationAndNeverOverlap) {
    EXPECT_EQ(pieces("Please Sign in, then go", ranges("sign-in", "Please Sign in, then go")), QStringList{"Sign in"});
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
}

TEST(TextFinderRead, ADarkTerminalIsReadUnderscoresAndAll) {
    QImage picture(900, 300, QImage::Format_RGB32);
    picture.fill(QColor("#101010"));
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(14);
    const QString prompt = QStringLiteral("$ export GITHUB_TOKEN=");
    const QString key = QStringLiteral("ghp_R2d2C3p0x8Yw7Vq6");
    {
        QPainter p(&picture);
        p.setFont(font);
        p.setPen(QColor("#d0d0d0"));
        p.drawText(40, 80, prompt + key);
        p.drawText(40, 180, QStringLiteral("Save changes"));
    }
    const QList<Line> lines = read(picture, true);
    EXPECT_EQ(find("save changes", lines, picture.size()).size(), 1);
    // The plain reading keeps the underscores that the enlarged one loses, so the key is
    // blurred from its prefix to its end.
    bool keptUnderscore = false;
    for (const Line& line : lines)
        keptUnderscore = keptUnderscore || line.text.contains(QStringLiteral("ghp_R2d2"));
    EXPECT_TRUE(keptUnderscore);
    const QFontMetricsF metrics(font, &picture);
    const double keyLeft = 40 + metrics.horizontalAdvance(prompt);
    const double keyRight = keyLeft + metrics.horizontalAdvance(key);
    bool covered = false;
    for (const QRectF& area : privateAreas(lines, picture.size()))
        covered = covered || (area.left() <= keyLeft && area.right() >= keyRight && area.contains(keyLeft, 75));
    EXPECT_TRUE(covered);
}

TEST(TextFinderRead, ReadsRenderedTextAndPlacesItsCharacters) {
    QImage picture(900, 300, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter p(&picture);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(18);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(40, 80, QStringLiteral("Account settings"));
        p.drawText(40, 180, QStringLiteral("Save changes"));
        p.drawText(420, 180, QStringLiteral("Cancel"));
    }
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
}

TEST(TextFinderFind, TheSameWordReadTwiceInACarefulReadingIsMarkedOnce) {
    // The enlarged and the plain reading of one line, boxes a pixel apart.
    Line enlarged = lineOf("Save changes");
    Line plain = lineOf("Save changes", 101);
    const QList<QRectF> found = find("save", TextFinder::joined({enlarged}, {plain}), {2000, 1000});
    EXPECT_EQ(found.size(), 1);
    // Two words on two different places stay two.
    EXPECT_EQ(find("save", {lineOf("Save"), lineOf("Save", 600)}, {2000, 1000}).size(), 2);
    // Within one line, every occurrence counts.
    EXPECT_EQ(find("aa", {lineOf("aa aa")}, {2000, 1000}).size(), 2);
}
