#include "video/CaptionPainter.h"

#include <QPainterPath>
#include <cmath>

namespace ombrel {

TextAttributes CaptionPainter::attributes(const CaptionStyle& style, double p) {
    TextAttributes a = style.text.attributes(p);
    if (!style.text.backgroundColor()) {
        const bool blackText = a.color == QColor(Qt::black);
        const QColor around = blackText ? QColor(Qt::white) : QColor(Qt::black);
        a.shadow = TextShadow{around, 0.28 * p, QPointF(0, 1)};
        QColor stroke = around;
        stroke.setAlphaF(0.85f);
        a.strokeColor = stroke;
        a.strokeWidth = 0.03 * a.font.pointSizeF(); // 3 % of the face's size, over the fill
    }
    return a;
}

CaptionPainter::Layout CaptionPainter::layout(const QString& text, const CaptionStyle& style,
                                              const QRectF& area) {
    const double W = area.width(), H = area.height();
    const double p = std::max(13.0, W / 34);
    const TextAttributes a = attributes(style, p);
    auto words = std::make_shared<const WrappedText>(text, a, 0.84 * W, true);
    const QSizeF measured = words->size();
    const double w = std::ceil(measured.width()), h = std::ceil(measured.height());
    const double face = a.font.pointSizeF();
    const double pad = face * 0.45;

    const double boxWidth = style.fullWidth ? W : std::min(w + 3 * pad, W);
    const double boxHeight = h + 2 * pad;
    const double margin = style.fullWidth ? 0 : 0.05 * H;
    double top;
    if (style.position == QLatin1String("Top"))
        top = area.top() + margin;
    else if (style.position == QLatin1String("Middle"))
        top = area.center().y() - boxHeight / 2;
    else
        top = area.bottom() - boxHeight - margin;

    Layout out;
    out.box = QRectF(area.center().x() - boxWidth / 2, top, boxWidth, boxHeight);
    out.textRect = QRectF(area.center().x() - w / 2 - 1, top + pad, w + 2, h + 1);
    out.words = std::move(words);
    out.radius = style.fullWidth ? 0 : 0.55 * face;
    out.basePointSize = p;
    return out;
}

void CaptionPainter::paint(QPainter& painter, const Layout& layout, const CaptionStyle& style) {
    if (const auto background = style.text.backgroundColor()) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(layout.box, layout.radius, layout.radius);
        painter.fillPath(shape, *background);
        painter.restore();
    }
    if (layout.words) layout.words->draw(painter, layout.textRect);
}

std::optional<CaptionPainter::Picture> CaptionPainter::picture(const QString& text, const CaptionStyle& style,
                                                               QSize videoSize) {
    const Layout laid = layout(text, style, QRectF(QPointF(0, 0), QSizeF(videoSize)));
    const QSize size(int(std::lround(laid.box.width())), int(std::lround(laid.box.height())));
    if (size.isEmpty()) return std::nullopt;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(-laid.box.topLeft());
    paint(painter, laid, style);
    painter.end();
    return Picture{image, laid.box};
}

} // namespace ombrel
