#pragma once
// Walking a string by Unicode code points, with where each one stands.

#include <QString>

namespace ombrel {

// Calls `visit(codePoint, start, end)` for each code point of `text`; `start` and `end`
// are its UTF-16 positions (`end` excluded). A lone surrogate is passed as it is.
template <class Visit> void forEachCodePoint(const QString& text, Visit visit) {
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            visit(QChar::surrogateToUcs4(c, text.at(i + 1)), i, i + 2);
            i += 2;
        } else {
            visit(char32_t(c.unicode()), i, i + 1);
            ++i;
        }
    }
}

} // namespace ombrel
