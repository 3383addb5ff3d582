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

    // The box around the characters of a range, or none when none of them has one.
    std::optional<QRectF> box(TextRange range) const;
    bool operator==(const Line&) const = default;
};

// Every found rectangle is grown by this on each side (pixels), then clipped to the picture.
inline constexpr double margin = 8;

// Words dropped in the second try of a text search.
const QSet<QString>& fillerWords();

// Recognises the lines of text on the picture. The quick level reads the picture as it is;
// the careful level reads an enlarged, cleaned-up copy, which finds small and low-contrast
// text the quick level misses and takes a few times longer. Slow: call off the GUI thread.
// A picture that cannot be read gives no lines.
QList<Line> read(const QImage& picture, bool careful = true);

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
