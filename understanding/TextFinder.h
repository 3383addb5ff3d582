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

// Recognises the lines of text on the picture. The picture is cut into horizontal bands at
// rows without ink, between lines, and the bands are read side by side by one recogniser per
// core (at most `largestRecogniserCount`). The quick level reads every band at the picture's
// size. The careful level reads each band once at the scale that suits its letters: bands
// whose letters are lower than `smallLetters` pixels are read enlarged `enlargement` times,
// which finds small text the quick level misses; the others as the quick level reads them,
// which keeps thin strokes such as underscores. Both turn a dark page over first, and
// language correction is off in both. Slow: call off the GUI thread. A picture that cannot
// be read gives no lines.
QList<Line> read(const QImage& picture, bool careful = true);
// The careful reading of a picture whose quick reading is `quick`: the quick reading's lines
// in the bands the careful level reads at the picture's size, and the enlarged bands read.
QList<Line> readCarefully(const QImage& picture, const QList<Line>& quick);
// The whole picture read by one recogniser at its own size, without bands: what the quick
// reading gives the same lines as.
QList<Line> readWhole(const QImage& picture);
inline constexpr double enlargement = 2.0;
inline constexpr double smallLetters = 10;
inline constexpr int largestRecogniserCount = 4;
// Bands per recogniser, so that one done early takes another band.
inline constexpr int bandsPerRecogniser = 2;
// Rows of ink closer than this are one strip, never cut apart; strips lower than
// `thinnestStrip` rows (an underscore, a row of dots) join their neighbour.
inline constexpr int stripGap = 3;
inline constexpr int thinnestStrip = 5;
// Horizontal lines at least this long (pixels of the picture) are drawn lines, not text,
// and are painted over before reading.
inline constexpr int ruleLength = 40;
// Dark areas solid across a square this wide (pixels of the picture) are filled buttons or
// panels, whose light text is turned dark before reading.
inline constexpr int solidPanel = 13;
// Pages darker than this mean grey level (0 to 255) are inverted before reading.
inline constexpr double darkPageMean = 110;

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
