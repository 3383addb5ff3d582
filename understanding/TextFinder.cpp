#include "TextFinder.h"

#include <algorithm>
#include <limits>

#include "understanding/CodePoints.h"
#include <QRegularExpression>

namespace ombrel::TextFinder {

namespace {

// A letter or number of a text, lower-cased, with where it stands.
struct Letter {
    char32_t c;
    qsizetype start, end;
};

QList<Letter> letters(const QString& text) {
    QList<Letter> out;
    forEachCodePoint(text, [&out](char32_t c, qsizetype start, qsizetype end) {
        if (QChar::isLetterOrNumber(c)) out.append({QChar::toLower(c), start, end});
    });
    return out;
}

QStringList wordsOf(const QString& query) {
    return query.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

} // namespace

namespace {

// The box around the placed boxes from `from` up to `to` (excluded), or none when none of
// them is placed.
std::optional<QRectF> unitedBoxes(const QList<QRectF>& boxes, qsizetype from, qsizetype to) {
    std::optional<QRectF> out;
    for (qsizetype i = std::max<qsizetype>(from, 0); i < to && i < boxes.size(); ++i) {
        const QRectF& b = boxes.at(i);
        if (!b.isNull()) out = out ? out->united(b) : b;
    }
    return out;
}

} // namespace

QRectF Word::box() const {
    return unitedBoxes(charBoxes, 0, charBoxes.size()).value_or(QRectF());
}

namespace {

// One or two bar-like marks, which may be a drawn shape's edge read as characters.
bool looksLikeBars(const Word& word) {
    static const QString bars = QStringLiteral("|[](){}!lI1/\\");
    if (word.text.isEmpty() || word.text.size() > 2) return false;
    return std::all_of(word.text.begin(), word.text.end(), [](QChar c) { return bars.contains(c); });
}

// Where the line's letters reach: from the top of its tallest letters to the bottom of its
// descenders, over the characters no more than `tallestLetter` times the median height (a
// character box that took in a border is taller and does not count).
struct InkBand {
    double top = 0, bottom = 0, height = 0; // height: the characters' median height
    bool valid() const { return height > 0; }
};

constexpr double tallestLetter = 1.6;

InkBand inkBand(const QList<Word>& words) {
    QList<QRectF> boxes;
    for (const Word& w : words)
        if (!looksLikeBars(w))
            for (const QRectF& b : w.charBoxes)
                if (!b.isNull()) boxes.append(b);
    if (boxes.isEmpty()) return {};
    QList<double> heights;
    for (const QRectF& b : boxes)
        heights.append(b.height());
    std::sort(heights.begin(), heights.end());
    InkBand band{std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
                 heights.at(heights.size() / 2)};
    for (const QRectF& b : boxes)
        if (b.height() <= tallestLetter * band.height) {
            band.top = std::min(band.top, b.top());
            band.bottom = std::max(band.bottom, b.bottom());
        }
    return band;
}

// A box reaching well past the letters both above and below: drawn, not written.
bool reachesPastInk(const QRectF& b, const InkBand& ink) {
    const double overhang = edgeOverhang * ink.height;
    return b.top() < ink.top - overhang && b.bottom() > ink.bottom + overhang;
}

// A drawn shape's edge: bar-like marks reaching past the letters above and below, at most
// half as wide as tall (two buttons' facing sides can make one mark). A pipe, a slash or a
// bracket written in the text stays within the letters' reach.
bool isShapeEdge(const Word& word, const InkBand& ink) {
    const QRectF b = word.box();
    return looksLikeBars(word) && reachesPastInk(b, ink) && b.width() <= 0.5 * b.height();
}

} // namespace

QList<Line> splitLine(const QList<Word>& words) {
    const InkBand ink = inkBand(words);
    // A character box that took in a line it touches (a button's border) is given the
    // letters' band instead.
    auto trimmed = [&](Word w) {
        if (!ink.valid() || looksLikeBars(w)) return w;
        for (QRectF& b : w.charBoxes)
            if (!b.isNull() && reachesPastInk(b, ink))
                b = QRectF(b.left(), ink.top, b.width(), ink.bottom - ink.top);
        return w;
    };

    QList<Line> lines;
    Line line;
    double confidenceSum = 0;
    int count = 0;
    QRectF previous;
    auto flush = [&] {
        if (!line.text.trimmed().isEmpty()) {
            line.confidence = count ? confidenceSum / count : 0;
            lines.append(line);
        }
        line = {};
        confidenceSum = 0;
        count = 0;
        previous = {};
    };
    for (const Word& original : words) {
        const Word w = trimmed(original);
        const QRectF b = w.box();
        if (ink.valid() && isShapeEdge(w, ink)) {
            flush();
            continue;
        }
        if (!previous.isNull() && !b.isNull() && ink.valid() &&
            b.left() - previous.right() > columnGap * ink.height)
            flush();
        if (count > 0) {
            line.text.append(QLatin1Char(' '));
            line.charBoxes.append(QRectF());
        }
        line.text.append(w.text);
        line.charBoxes.append(w.charBoxes);
        confidenceSum += w.confidence;
        ++count;
        if (!b.isNull()) previous = b;
    }
    flush();
    return lines;
}

std::optional<QRectF> Line::box(TextRange range) const {
    return unitedBoxes(charBoxes, range.start, range.end);
}

const QSet<QString>& fillerWords() {
    static const QSet<QString> words{QStringLiteral("a"),      QStringLiteral("an"),  QStringLiteral("the"),
                                     QStringLiteral("button"), QStringLiteral("btn"), QStringLiteral("link"),
                                     QStringLiteral("field"),  QStringLiteral("box"), QStringLiteral("icon"),
                                     QStringLiteral("menu"),   QStringLiteral("tab"), QStringLiteral("text"),
                                     QStringLiteral("label")};
    return words;
}

QList<TextRange> ranges(const QString& needle, const QString& haystack) {
    QList<TextRange> out;
    QList<char32_t> wanted;
    for (const Letter& l : letters(needle))
        wanted.append(l.c);
    if (wanted.isEmpty()) return out;
    const QList<Letter> line = letters(haystack);
    if (line.size() < wanted.size()) return out;
    qsizetype i = 0;
    while (i + wanted.size() <= line.size()) {
        bool same = true;
        for (qsizetype k = 0; k < wanted.size() && same; ++k)
            same = line.at(i + k).c == wanted.at(k);
        if (same) {
            out.append({line.at(i).start, line.at(i + wanted.size() - 1).end});
            i += wanted.size(); // matches never overlap
        } else {
            ++i;
        }
    }
    return out;
}

std::optional<QRectF> rect(TextRange range, const Line& line, QSize imageSize) {
    const std::optional<QRectF> b = line.box(range);
    if (!b) return std::nullopt;
    const QRectF grown = b->adjusted(-margin, -margin, margin, margin);
    const QRectF clipped = grown.intersected(QRectF(QPointF(0, 0), QSizeF(imageSize)));
    if (clipped.isEmpty()) return std::nullopt;
    return clipped;
}

QList<QRectF> find(const QString& query, const QList<Line>& lines, QSize imageSize) {
    const QStringList words = wordsOf(query);
    QStringList meaningful;
    for (const QString& w : words)
        if (!fillerWords().contains(w)) meaningful.append(w);
    for (const QStringList& attempt : {words, meaningful}) {
        if (attempt.isEmpty()) continue;
        const QString phrase = attempt.join(QLatin1Char(' '));
        QList<QRectF> found;
        for (const Line& line : lines)
            for (const TextRange& r : ranges(phrase, line.text))
                if (auto box = rect(r, line, imageSize)) found.append(*box);
        if (!found.isEmpty()) return found;
    }
    return {};
}

} // namespace ombrel::TextFinder
