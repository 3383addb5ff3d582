#pragma once
// Rules over a page's element list: dropping near-duplicates, picking the element under
// the pointer, and searching by words ("login button", "images", "the save link").

#include "understanding/ScreenElement.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QSet>

namespace ombrel {

namespace ElementMap {

// Elements nearer than this in both origin coordinates and closer than `sizeSlack` in both
// sizes count as the same element when merging (pixels, strict).
inline constexpr double originSlack = 6;
inline constexpr double sizeSlack = 12;
inline constexpr int defaultLimit = 200;

// Words that name a kind of element, lower-case.
const QHash<QString, ScreenElement::Kind>& kindWords();
// Words ignored by the element search.
const QSet<QString>& fillerWords();

// The string lower-cased with only its letters and numbers kept.
QString compact(const QString& text);

// The list without near-duplicates; the first of each group survives.
QList<ScreenElement> merged(const QList<ScreenElement>& elements);

// The smallest element containing the point (left and top edges in, right and bottom
// out); the earliest of equal areas.
std::optional<ScreenElement> element(QPointF imagePoint, const QList<ScreenElement>& elements);

// The elements matching the query, best first, at most `limit`.
QList<ScreenElement> find(const QString& query, const QList<ScreenElement>& elements,
                          int limit = defaultLimit);

} // namespace ElementMap

} // namespace ombrel
