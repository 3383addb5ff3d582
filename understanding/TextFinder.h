#pragma once
// Text on a picture: recognising its lines (Tesseract), finding a query's words in them
// character by character, and finding private details (e-mail addresses, card numbers,
// passwords, keys, tokens and phone numbers) to blur.

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace ombrel {

namespace TextFinder {

// A run of a line's text: positions in UTF-16 code units, `end` excluded.
struct TextRange {
    qsizetype start = 0;
    qsizetype end = 0;
    bool operator==(const TextRange&) const = default;
};

// One recognised line of text.
struct Line {
    QString text;
    // The box of every code unit of `text` in picture pixels, as the recogniser placed its
    // symbol; a null rectangle where it placed none (the spaces between words).
    QList<QRectF> charBoxes;
    // How sure the recogniser was of the line's words, 0 to 100 (their mean).
    double confidence = 0;

    // The box around the characters of a range, or none when none of them has one.
    std::optional<QRectF> box(TextRange range) const;
    bool operator==(const Line&) const = default;
};

// One word as the recogniser read it: its text and the box of each code unit.
struct Word {
    QString text;
    QList<QRectF> charBoxes;
    double confidence = 0;
    QRectF box() const;
};

// The recogniser's line as the lines of a reading. Its layout analysis can run a line on
// across a page's columns: the cells of a table row, a side bar and the page beside it, a
// row of buttons. So the line is split where two words stand more than `columnGap` times
// the characters' median height apart, and at a drawn shape's edge read as a word ("|",
// "[": a mark reaching `edgeOverhang` times that height past the letters both above and
// below), which is dropped. Words are joined by one space with no box; a part's confidence
// is its words' mean.
QList<Line> splitLine(const QList<Word>& words);
inline constexpr double columnGap = 3.0;
inline constexpr double edgeOverhang = 0.25;

// Every found rectangle is grown by this on each side (pixels), then clipped to the picture.
inline constexpr double margin = 8;

// Words dropped in the second try of a text search.
const QSet<QString>& fillerWords();

// Recognises the lines of text on the picture. The quick level reads the picture as it is,
// once. The careful level also reads a copy enlarged `enlargement` times, which finds small
// text the quick level misses, and keeps the lines of both readings (`joined`): enlarging
// loses thin strokes such as underscores that the picture's own size keeps. It takes about
// three times as long as the quick level. Both turn a dark page over first, and language
// correction is off in both. Slow: call off the GUI thread. A picture that cannot be read
// gives no lines.
QList<Line> read(const QImage& picture, bool careful = true);
inline constexpr double enlargement = 2.0;
// Horizontal lines at least this long (pixels of the picture) are drawn lines, not text,
// and are painted over before reading.
inline constexpr int ruleLength = 40;
// Dark areas solid across a square this wide (pixels of the picture) are filled buttons or
// panels, whose light text is turned dark before reading.
inline constexpr int solidPanel = 13;
// Pages darker than this mean grey level (0 to 255) are inverted before reading.
inline constexpr double darkPageMean = 110;
// One reading at a scale of the picture, boxes in the picture's own pixels.
QList<Line> readAtScale(const QImage& picture, double scale);
// The careful reading's lines: the enlarged reading's, then the plain one's.
QList<Line> joined(const QList<Line>& enlarged, const QList<Line>& plain);
// Because a careful reading can hold the same text twice, a rectangle found in one line
// that another line's rectangle already covers by this share is not reported again.
inline constexpr double sameTextShare = 0.8;
bool coveredBy(const QRectF& box, const QList<QRectF>& others);

// The rectangles of the query's words in the lines, in picture pixels.
QList<QRectF> find(const QString& query, const QList<Line>& lines, QSize imageSize);
// Where the needle's letters and numbers occur in the haystack, ignoring case, spaces and
// punctuation; matches never overlap.
QList<TextRange> ranges(const QString& needle, const QString& haystack);
// The box of a range of a line, grown by `margin` and clipped to the picture.
std::optional<QRectF> rect(TextRange range, const Line& line, QSize imageSize);

// The patterns of private details, in the order they are applied.
const QStringList& privatePatterns();
// The ranges of private details in one line's text: every match of each pattern in order,
// then phone numbers. Ranges may overlap.
QList<TextRange> privateRanges(const QString& text);
// The rectangles of the private details of all lines, line by line.
QList<QRectF> privateAreas(const QList<Line>& lines, QSize imageSize);

} // namespace TextFinder

} // namespace ombrel
