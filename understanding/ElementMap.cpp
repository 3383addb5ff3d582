#include "ElementMap.h"

#include "understanding/CodePoints.h"
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace ombrel::ElementMap {

namespace {

using Kind = ScreenElement::Kind;

double area(const QRectF& r) {
    return std::abs(r.width() * r.height());
}

bool near(const QRectF& a, const QRectF& b) {
    return std::abs(a.left() - b.left()) < originSlack && std::abs(a.top() - b.top()) < originSlack &&
           std::abs(a.width() - b.width()) < sizeSlack && std::abs(a.height() - b.height()) < sizeSlack;
}

// An empty needle matches nothing.
bool contains(const QString& compactHaystack, const QString& compactNeedle) {
    return !compactNeedle.isEmpty() && compactHaystack.contains(compactNeedle);
}

} // namespace

const QHash<QString, Kind>& kindWords() {
    static const QHash<QString, Kind> words = [] {
        QHash<QString, Kind> w;
        const auto put = [&w](Kind kind, std::initializer_list<const char*> list) {
            for (const char* word : list)
                w.insert(QString::fromLatin1(word), kind);
        };
        put(Kind::Button, {"button", "btn", "buttons"});
        put(Kind::Link, {"link", "links"});
        put(Kind::Image,
            {"image", "images", "picture", "pictures", "photo", "photos", "icon", "icons", "logo"});
        put(Kind::Field, {"field", "fields", "input", "inputs", "box", "search"});
        put(Kind::Text, {"text", "heading", "title", "label"});
        put(Kind::Section, {"section", "sections", "panel", "card", "menu", "sidebar"});
        return w;
    }();
    return words;
}

const QSet<QString>& fillerWords() {
    static const QSet<QString> words{QStringLiteral("a"),   QStringLiteral("an"),  QStringLiteral("the"),
                                     QStringLiteral("my"),  QStringLiteral("all"), QStringLiteral("this"),
                                     QStringLiteral("that")};
    return words;
}

QString compact(const QString& text) {
    QString out;
    out.reserve(text.size());
    forEachCodePoint(text, [&out](char32_t c, qsizetype, qsizetype) {
        if (QChar::isLetterOrNumber(c)) out.append(QString::fromUcs4(&c, 1).toLower());
    });
    return out;
}

QList<ScreenElement> merged(const QList<ScreenElement>& elements) {
    QList<ScreenElement> out;
    for (const ScreenElement& e : elements) {
        const bool duplicate = std::any_of(out.cbegin(), out.cend(), [&e](const ScreenElement& kept) {
            return near(kept.imageRect, e.imageRect);
        });
        if (!duplicate) out.append(e);
    }
    return out;
}

std::optional<ScreenElement> element(QPointF p, const QList<ScreenElement>& elements) {
    std::optional<ScreenElement> best;
    double bestArea = 0;
    for (const ScreenElement& e : elements) {
        const QRectF r = e.imageRect.normalized();
        if (p.x() < r.left() || p.x() >= r.right() || p.y() < r.top() || p.y() >= r.bottom()) continue;
        if (!best || area(r) < bestArea) {
            best = e;
            bestArea = area(r);
        }
    }
    return best;
}

QList<ScreenElement> find(const QString& query, const QList<ScreenElement>& elements, int limit) {
    QStringList words = query.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    words.removeIf([](const QString& w) { return fillerWords().contains(w); });
    if (words.isEmpty()) return {};

    std::optional<Kind> kind;
    QStringList textWords;
    for (const QString& w : words) {
        const auto k = kindWords().constFind(w);
        if (k == kindWords().cend())
            textWords.append(w);
        else if (!kind)
            kind = *k; // the first kind word decides
    }
    const QString text = compact(textWords.join(QLatin1Char(' ')));
    const QString allWords = compact(words.join(QLatin1Char(' ')));

    QList<ScreenElement> results;
    if (kind)
        for (const ScreenElement& e : elements)
            if (e.kind == *kind && (text.isEmpty() || contains(compact(e.title), text))) results.append(e);
    if (results.isEmpty())
        for (const ScreenElement& e : elements)
            if (contains(compact(e.title), allWords)) results.append(e);
    if (results.isEmpty() && !text.isEmpty())
        for (const ScreenElement& e : elements)
            if (contains(compact(e.title), text)) results.append(e);

    // Exact titles first, then smaller before larger; ties keep their order.
    const QString key = text.isEmpty() ? allWords : text;
    std::stable_sort(results.begin(), results.end(), [&key](const ScreenElement& a, const ScreenElement& b) {
        const bool aExact = compact(a.title) == key;
        const bool bExact = compact(b.title) == key;
        if (aExact != bExact) return aExact;
        return area(a.imageRect) < area(b.imageRect);
    });
    if (results.size() > limit) results.resize(limit);
    return results;
}

} // namespace ombrel::ElementMap
