#include "MarkupText.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>

namespace ombrel {

QPaintDevice* textDevice() {
    // A new image has the application's default resolution, which the text layout takes as
    // its unit: margins, indents and tab stops are then laid out unscaled.
    static QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    return &device;
}

// Fonts come with their pixel size as point size; the layout device wants real points.
QFont onTextDevice(QFont font) {
    const int dpi = textDevice()->logicalDpiY();
    font.setPointSizeF(font.pointSizeF() * 72.0 / (dpi > 0 ? dpi : 72));
    return font;
}

namespace {

struct OneLine {
    QTextLayout layout;
    QSizeF size;
    OneLine(const QString& text, const QFont& font) : layout(text, onTextDevice(font), textDevice()) {
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid()) {
            line.setLineWidth(1e7);
            line.setPosition(QPointF(0, 0));
            size = QSizeF(line.naturalTextWidth(), line.height());
        }
        layout.endLayout();
    }
};

} // namespace

double lineSpacing(const QFont& font) {
    return QFontMetricsF(onTextDevice(font), textDevice()).lineSpacing();
}

QSizeF measuredLine(const QString& text, const QFont& font) {
    return OneLine(text, font).size;
}

void drawLine(QPainter& painter, const QString& text, const QFont& font, const QColor& color,
              QPointF topLeftPx) {
    OneLine line(text, font);
    painter.save();
    painter.setPen(color);
    line.layout.draw(&painter, topLeftPx);
    painter.restore();
}

StyledText::StyledText() : document(std::make_unique<QTextDocument>()) {
    document->documentLayout()->setPaintDevice(textDevice());
    document->setDocumentMargin(0);
    document->setUndoRedoEnabled(false);
}

StyledText::~StyledText() = default;
StyledText::StyledText(StyledText&&) noexcept = default;
StyledText& StyledText::operator=(StyledText&&) noexcept = default;

void StyledText::addParagraph(const QList<TextRun>& runs, const ParagraphStyle& style) {
    QTextBlockFormat block;
    block.setLeftMargin(style.headIndent);
    block.setTextIndent(-style.headIndent);
    block.setBottomMargin(style.spacingAfter);
    if (style.lineHeightPx > 0) block.setLineHeight(style.lineHeightPx, QTextBlockFormat::FixedHeight);
    if (style.tabAtHeadIndent)
        block.setTabPositions({QTextOption::Tab(style.headIndent, QTextOption::LeftTab)});

    QTextCursor cursor(document.get());
    cursor.movePosition(QTextCursor::End);
    if (paragraphs == 0)
        cursor.setBlockFormat(block);
    else
        cursor.insertBlock(block);
    for (const TextRun& run : runs) {
        QTextCharFormat format;
        format.setFont(onTextDevice(run.font), QTextCharFormat::FontPropertiesAll);
        format.setForeground(run.color);
        cursor.insertText(run.text, format);
    }
    if (paragraphs == 0 && !runs.isEmpty()) document->setDefaultFont(onTextDevice(runs.first().font));
    ++paragraphs;
}

double StyledText::height(double width) const {
    if (paragraphs == 0) return 0;
    document->setTextWidth(std::max(1.0, width));
    // The spacing after the last paragraph is not part of the text's height.
    return document->documentLayout()->documentSize().height();
}

void StyledText::draw(QPainter& painter, const QRectF& imageRect) const {
    if (paragraphs == 0) return;
    document->setTextWidth(std::max(1.0, imageRect.width()));
    painter.save();
    painter.translate(imageRect.topLeft());
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(QPointF(0, 0), imageRect.size());
    painter.setClipRect(context.clip, Qt::IntersectClip);
    document->documentLayout()->draw(&painter, context);
    painter.restore();
}

} // namespace ombrel
