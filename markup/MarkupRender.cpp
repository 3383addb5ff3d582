#include "MarkupRender.h"

#include "MarkupParts.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QPainterPath>
#include <cmath>

namespace ombrel {

using namespace render_parts;

MarkLook MarkLook::current() {
    return MarkLook{MarkStyle::fontName(), MarkStyle::sizeName(), MarkStyle::borderName(),
                    NoteLooks::current()};
}

namespace MarkupRender {

namespace {

void paintBadge(QPainter& painter, const Markup& markup, const MarkupMetrics& m, const QRectF& boxRect,
                int number) {
    const QRectF keptRect = markup.keptImageRect();
    const double d = m.badgeUnit * 1.05;
    // Centred on the box's top-left corner, but never outside the kept part.
    const double x = std::min(std::max(boxRect.left() - d / 2, keptRect.left()), keptRect.right() - d);
    const double y = std::min(std::max(boxRect.top() - d / 2, keptRect.top()), keptRect.bottom() - d);
    const QRectF circle(x, y, d, d);
    painter.setPen(Qt::NoPen);
    painter.setBrush(markup.color);
    painter.drawEllipse(circle);

    const QString text = QString::number(number);
    const QFont font = MarkStyle::systemFont(m.badgeUnit * 0.65, QFont::ExtraBold);
    const QSizeF size = measuredLine(text, font);
    drawLine(painter, text, font, HighlightPalette::numberColor(markup.color),
             circle.center() - QPointF(size.width() / 2, size.height() / 2));
}

void paintBlurBoxes(QPainter& painter, const Markup& markup, const MarkupMetrics& m) {
    const double radius = m.fontSize * 0.25;
    for (const Markup::Box& box : markup.boxes) {
        if (!box.hides) continue;
        const QRectF boxRect = box.imageRect.normalized();
        QPainterPath rounded;
        rounded.addRoundedRect(boxRect, radius, radius);
        if (markup.blurred) {
            painter.save();
            painter.setClipPath(rounded, Qt::IntersectClip);
            // Only the part under the box is drawn; the clip keeps the rounded corners.
            const QRectF sourceRect = boxRect.intersected(QRectF(QPointF(0, 0), markup.blurred->size()));
            painter.drawImage(sourceRect, *markup.blurred, sourceRect);
            painter.restore();
        } else {
            painter.fillPath(rounded, Qt::black);
        }
    }
}

void paintCropShade(QPainter& painter, const Markup& markup) {
    const QRectF imageRect(QPointF(0, 0), markup.image.size());
    const QRectF cropRect = markup.cropImageRect->normalized();
    QPainterPath outside;
    outside.setFillRule(Qt::OddEvenFill);
    outside.addRect(imageRect);
    outside.addRect(cropRect);
    painter.fillPath(outside, QColor::fromRgbF(0, 0, 0, 0.55f));
    painter.setPen(QPen(Qt::white, std::max(3.0, markup.image.width() / 800.0), Qt::SolidLine, Qt::SquareCap,
                        Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cropRect);
}

} // namespace

bool laysOutText(const Markup& markup) {
    const QRectF keptRect = markup.keptImageRect();
    return std::isfinite(keptRect.width()) && std::isfinite(keptRect.height()) && keptRect.width() > 0 &&
           keptRect.width() <= maxTextWidth;
}

MarkupMetrics metrics(const Markup& markup, const MarkLook& look, std::optional<qsizetype> editing) {
    MarkupMetrics m;
    const QRectF keptRect = markup.keptImageRect();
    const double W = keptRect.width();
    m.keptWidth = W;
    m.baseFontSize = std::max(22.0, W / 60);
    std::tie(m.fontSize, m.stripHeight) = stripSizeAndHeight(markup, look);
    m.padding = m.fontSize * 0.7;
    m.textWidth = W - 2 * m.padding;
    m.lineWidth = std::max(1.5, W / 1400) * MarkStyle::borderScale(look.borderName);
    m.badgeUnit = std::max(26.0, W / 46);
    m.notesShown = notesShown(markup, editing);
    // Many notes get smaller, down to 62 %, unless the user chose a size.
    const double noteScale = MarkStyle::isAuto(look.sizeName)
                                 ? std::max(0.62, 1 - 0.07 * std::max(0, m.notesShown - 3))
                                 : MarkStyle::sizeScale(look.sizeName);
    m.noteUnit = std::max(20.0, W / 66) * noteScale;
    m.notePadding = m.noteUnit * 0.95;
    m.canvasSize = QSizeF(W, keptRect.height() + m.stripHeight);
    return m;
}

double stripFontSize(const Markup& markup, const MarkLook& look) {
    return stripSizeAndHeight(markup, look).first;
}

double stripHeight(const Markup& markup, const MarkLook& look, double sizePx) {
    return stripHeightFor(stripText(markup, look, sizePx), markup.keptImageRect().width(), sizePx);
}

void paint(QPainter& painter, const Markup& markup, const PaintOptions& options, const MarkLook& look) {
    const MarkupMetrics m = metrics(markup, look, options.editing);
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);

    painter.drawImage(QPointF(0, 0), markup.image);
    paintBlurBoxes(painter, markup, m);

    painter.setBrush(Qt::NoBrush);
    for (qsizetype i = 0; i < markup.boxes.size(); ++i) {
        const Markup::Box& box = markup.boxes[i];
        if (box.hides) continue;
        const double width = options.selected == i ? 2 * m.lineWidth : m.lineWidth;
        painter.setPen(QPen(markup.color, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.drawRect(box.imageRect.normalized());
    }
    for (qsizetype i = 0; i < markup.boxes.size(); ++i)
        if (!markup.boxes[i].hides)
            paintBadge(painter, markup, m, markup.boxes[i].imageRect.normalized(), markup.number(i));

    paintNotes(painter, markup, look, m, options.editing);

    if (options.frozenScreen) {
        if (markup.cropImageRect) paintCropShade(painter, markup);
    } else {
        paintStrip(painter, markup, look, m);
    }
    painter.restore();
}

std::optional<QImage> flattened(const Markup& markup, const MarkLook& look) {
    const MarkupMetrics m = metrics(markup, look);
    const double width = std::round(m.canvasSize.width());
    const double height = std::round(m.canvasSize.height());
    if (!(width >= 1 && height >= 1) || width * height > maxCanvasPixels) return std::nullopt;
    const QSize size{static_cast<int>(width), static_cast<int>(height)};
    // An opaque picture whose kept part lies inside it needs no alpha channel.
    const QRectF keptRect = markup.keptImageRect();
    const bool opaque =
        !markup.image.hasAlphaChannel() && QRectF(QPointF(0, 0), markup.image.size()).contains(keptRect);
    QImage canvas(size, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) return std::nullopt;
    canvas.fill(Qt::transparent);
    canvas.setColorSpace(QColorSpace::SRgb);
    {
        QPainter painter(&canvas);
        if (!painter.isActive()) return std::nullopt;
        painter.translate(-keptRect.topLeft());
        paint(painter, markup, PaintOptions{}, look);
    }
    return canvas;
}

std::optional<QByteArray> pngData(const Markup& markup, const MarkLook& look) {
    const auto image = flattened(markup, look);
    if (!image) return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(*image)) return std::nullopt;
    return png;
}

std::vector<NoteFrame> noteFrames(const Markup& markup, std::optional<qsizetype> editing,
                                  const MarkLook& look) {
    return placeNotes(markup, look, metrics(markup, look, editing), editing);
}

std::optional<QRectF> noteTypingRect(const Markup& markup, qsizetype index, const MarkLook& look) {
    const MarkupMetrics m = metrics(markup, look, index);
    for (const NoteFrame& note : placeNotes(markup, look, m, index))
        if (note.box == index)
            return note.imageRect.adjusted(m.notePadding, m.notePadding, -m.notePadding, -m.notePadding);
    return std::nullopt;
}

} // namespace MarkupRender

} // namespace ombrel
