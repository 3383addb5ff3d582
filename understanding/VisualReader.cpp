#include "VisualReader.h"

#include "platform/Platform.h"
#include "understanding/CodePoints.h"

#include <algorithm>

namespace ombrel::VisualReader {

namespace {

qsizetype characters(const QString& text) {
    qsizetype n = 0;
    forEachCodePoint(text, [&](char32_t, qsizetype, qsizetype) { ++n; });
    return n;
}

bool within(const QRectF& inner, const QRectF& outer) {
    return inner.left() >= outer.left() && inner.top() >= outer.top() && inner.right() <= outer.right() &&
           inner.bottom() <= outer.bottom();
}

// The two rectangles share some area (touching edges do not count).
bool overlap(const QRectF& a, const QRectF& b) {
    return a.left() < b.right() && b.left() < a.right() && a.top() < b.bottom() && b.top() < a.bottom();
}

// One text element per line (the careful reading reads each text once).
QList<ScreenElement> textElements(const QList<TextFinder::Line>& lines, QSize size) {
    QList<ScreenElement> texts;
    for (const TextFinder::Line& line : lines) {
        const std::optional<QRectF> r = TextFinder::rect({0, line.text.size()}, line, size);
        if (line.text.isEmpty() || !r) continue;
        texts.append({ScreenElement::Kind::Text, line.text, *r});
    }
    return texts;
}

// What one detected rectangle is, from the texts around it; none when it cuts through text.
std::optional<ScreenElement> rectangleElement(const QRectF& r, const QList<ScreenElement>& texts,
                                              QSize size) {
    if (r.width() < smallestRectangleWidth || r.height() < smallestRectangleHeight) return std::nullopt;
    const QRectF grown = r.adjusted(-borderTolerance, -borderTolerance, borderTolerance, borderTolerance);
    QList<const ScreenElement*> inside;
    for (const ScreenElement& t : texts) {
        if (within(t.imageRect, grown))
            inside.append(&t);
        else if (overlap(t.imageRect, r)) // a shape behind the text, not a control
            return std::nullopt;
    }
    if (inside.size() == 1 && characters(inside.first()->title) <= longestButtonText &&
        r.height() < highestButton * size.height())
        return ScreenElement{ScreenElement::Kind::Button, inside.first()->title, r};
    return ScreenElement{inside.isEmpty() ? ScreenElement::Kind::Image : ScreenElement::Kind::Section, {}, r};
}

} // namespace

RectangleRequest rectangleRequest() {
    RectangleRequest request;
    request.maximumObservations = maximumRectangles;
    request.minimumSize = minimumRectangleSize;
    request.minimumAspectRatio = minimumAspectRatio;
    request.quadratureTolerance = quadratureTolerance;
    request.minimumConfidence = minimumConfidence;
    return request;
}

QRectF toPicture(const QRectF& b, QSize size) {
    const double w = size.width(), h = size.height();
    return QRectF(b.left() * w, (1 - b.bottom()) * h, b.width() * w, b.height() * h);
}

QList<ScreenElement> objects(const QImage& picture, QSize size, const QList<ScreenElement>& textBlocks) {
    QList<ScreenElement> out;
    const auto found = Platform::vision().salientObjects(picture);
    if (!found) return out;
    const double area = double(size.width()) * size.height();
    for (const VisionBox& b : found.value()) {
        const QRectF r = toPicture(b.box, size);
        if (r.width() < smallestObject || r.height() < smallestObject ||
            r.width() * r.height() >= largestObject * area)
            continue;
        if (std::any_of(textBlocks.begin(), textBlocks.end(),
                        [&](const ScreenElement& t) { return r.contains(t.imageRect.center()); }))
            continue;
        out.append({ScreenElement::Kind::Image, {}, r});
    }
    return out;
}

QList<ScreenElement> elements(const QImage& picture, const QList<TextFinder::Line>& lines) {
    const QSize size = picture.size();
    if (size.isEmpty()) return {};
    const QList<ScreenElement> texts = textElements(lines, size);

    QList<ScreenElement> out;
    if (const auto found = Platform::vision().rectangles(picture, rectangleRequest())) {
        for (const VisionBox& b : found.value())
            if (auto e = rectangleElement(toPicture(b.box, size), texts, size)) out.append(*e);
    }
    out.append(objects(picture, size, texts));
    out.append(texts);
    return out;
}

} // namespace ombrel::VisualReader
