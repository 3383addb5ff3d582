#include "video/VideoText.h"

#include "markup/MarkupText.h"

#include <QGlyphRun>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <cmath>

namespace ombrel {

WrappedText::WrappedText(const QString& text, const TextAttributes& attributes, double maxWidth, bool centred)
    : m_layout(std::make_unique<QTextLayout>(text, onTextDevice(attributes.font), textDevice())),
      m_attributes(attributes), m_maxWidth(std::max(1.0, maxWidth)), m_centred(centred) {
    QTextOption option(centred ? Qt::AlignHCenter : Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(Qt::LayoutDirectionAuto);
    m_layout->setTextOption(option);
    m_layout->setCacheEnabled(true);
    m_layout->beginLayout();
    double y = 0, widest = 0;
    for (;;) {
        QTextLine line = m_layout->createLine();
        if (!line.isValid()) break;
        line.setLineWidth(m_maxWidth);
        line.setPosition(QPointF(0, y));
        y += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    m_layout->endLayout();
    m_size = text.isEmpty() ? QSizeF(0, 0) : QSizeF(widest, y);
}

WrappedText::~WrappedText() = default;
WrappedText::WrappedText(WrappedText&&) noexcept = default;
WrappedText& WrappedText::operator=(WrappedText&&) noexcept = default;

namespace {

// The outlines of all letters of the layout, placed as it draws them from (0, 0).
QPainterPath letterPath(const QTextLayout& layout) {
    QPainterPath path;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i)
            path.addPath(font.pathForGlyph(glyphs[i]).translated(positions[i]));
    }
    return path;
}

} // namespace

void WrappedText::drawLetters(QPainter& painter, QPointF origin, const QColor& colour) const {
    if (m_attributes.strokeWidth > 0) {
        // Letters with an outline are drawn as shapes: filled, then stroked around.
        const QPainterPath path = letterPath(*m_layout).translated(origin);
        painter.fillPath(path, colour);
        const QColor outline = colour == m_attributes.color ? m_attributes.strokeColor : colour;
        painter.strokePath(
            path, QPen(outline, m_attributes.strokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        return;
    }
    painter.setPen(colour);
    m_layout->draw(&painter, origin);
}

void WrappedText::draw(QPainter& painter, const QRectF& rect) const {
    if (m_size.isEmpty()) return;
    // Centred lines are centred within the layout's full width; that width is centred on the rectangle.
    const QPointF origin =
        m_centred ? QPointF(rect.center().x() - m_maxWidth / 2, rect.top()) : rect.topLeft();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (const auto& shadow = m_attributes.shadow; shadow && shadow->color.alpha() > 0) {
        // A blurred shadow: the letters drawn small and smoothly scaled back up spread over
        // about the blur radius, at a cost that does not grow with the radius.
        const double blur = std::max(0.0, shadow->blurRadius);
        const double step = std::max(1.0, blur / 1.5);
        const double margin = blur + m_attributes.strokeWidth + 2;
        const double left = m_centred ? (m_maxWidth - m_size.width()) / 2 : 0;
        const QRectF area(origin.x() + left - margin, origin.y() - margin, m_size.width() + 2 * margin,
                          m_size.height() + 2 * margin);
        QImage small(int(std::ceil(area.width() / step)) + 1, int(std::ceil(area.height() / step)) + 1,
                     QImage::Format_ARGB32_Premultiplied);
        if (!small.isNull()) {
            small.fill(Qt::transparent);
            {
                QPainter p(&small);
                p.setRenderHint(QPainter::Antialiasing);
                p.scale(1 / step, 1 / step);
                p.translate(-area.topLeft());
                drawLetters(p, origin, shadow->color);
            }
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(area.topLeft() + shadow->offset, QSizeF(small.size()) * step), small);
        }
    }
    drawLetters(painter, origin, m_attributes.color);
    painter.restore();
}

} // namespace ombrel
