#include "TextFinder.h"

#include <QRegularExpression>
#include "understanding/CodePoints.h"


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
        if (QChar::isLetterOrNumber(c))
            out.append({QChar::toLower(c), start, end});
    });
    return out;
}

QStringList wordsOf(const QString& query) {
    return query.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

} // namespace

bool coveredBy(const QRectF& box, const QList<QRectF>& others) {
    const double area = box.width() * box.height();
    for (const QRectF& other : others) {
        const QRectF both = other.intersected(box);
        if (area > 0 && both.width() * both.height() >= sameTextShare * area)
            return true;
    }
    return false;
}

std::optional<QRectF> Line::box(TextRange range) const {
    std::optional<QRectF> out;
    for (qsizetype i = std::max<qsizetype>(range.start, 0); i < range.end && i < charBoxes.size(); ++i) {
        const QRectF& b = charBoxes.at(i);
        if (b.isNull())
            continue;
        out = out ? out->united(b) : b;
    }
    return out;
}

const QSet<QString>& fillerWords() {
    static const QSet<QString> words{
        QStringLiteral("a"),     QStringLiteral("an"),   QStringLiteral("the"),  QStringLiteral("button"),
        QStringLiteral("btn"),   QStringLiteral("link"), QStringLiteral("field"), QStringLiteral("box"),
        QStringLiteral("icon"),  QStringLiteral("menu"), QStringLiteral("tab"),  QStringLiteral("text"),
        QStringLiteral("label")};
    return words;
}

QList<TextRange> ranges(const QString& needle, const QString& haystack) {
    QList<TextRange> out;
    QList<char32_t> wanted;
    for (const Letter& l : letters(needle))
        wanted.append(l.c);
    if (wanted.isEmpty())
        return out;
    const QList<Letter> line = letters(haystack);
    if (line.size() < wanted.size())
        return out;
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
    if (!b)
        return std::nullopt;
    const QRectF grown = b->adjusted(-margin, -margin, margin, margin);
    const QRectF clipped = grown.intersected(QRectF(QPointF(0, 0), QSizeF(imageSize)));
    if (clipped.isEmpty())
        return std::nullopt;
    return clipped;
}

QList<QRectF> find(const QString& query, const QList<Line>& lines, QSize imageSize) {
    const QStringList words = wordsOf(query);
    QStringList meaningful;
    for (const QString& w : words)
        if (!fillerWords().contains(w))
            meaningful.append(w);
    for (const QStringList& attempt : {words, meaningful}) {
        if (attempt.isEmpty())
            continue;
        const QString phrase = attempt.join(QLatin1Char(' '));
        QList<QRectF> found;
        for (const Line& line : lines) {
            const qsizetype fromEarlierLines = found.size();
            for (const TextRange& r : ranges(phrase, line.text))
                if (auto box = rect(r, line, imageSize); box && !coveredBy(*box, found.first(fromEarlierLines)))
                    found.append(*box);
        }
        if (!found.isEmpty())
            return found;
    }
    return {};
}

} // namespace ombrel::TextFinder
