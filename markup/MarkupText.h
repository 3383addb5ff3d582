#pragma once
// Styled text for marks: runs of text with their own font and colour, grouped into
// paragraphs with indents, tab stops and spacing, measured at a width and drawn into a
// rectangle. Sizes are image pixels: fonts carry their pixel size as their point size,
// which is converted here for the device the text is laid out on.

#include <QColor>
#include <QFont>
#include <QList>
#include <QPainter>
#include <QString>
#include <memory>

class QTextDocument;

namespace ombrel {

// The device that text is laid out on.
QPaintDevice* textDevice();
// A font whose point size is a pixel size, turned into the real points of textDevice().
QFont onTextDevice(QFont font);

// The advance width and line height of a single line of text.
QSizeF measuredLine(const QString& text, const QFont& font);
// The font's own distance from one line to the next.
double lineSpacing(const QFont& font);
// Draws a single line with its top-left corner at `topLeftPx`.
void drawLine(QPainter& painter, const QString& text, const QFont& font, const QColor& color,
              QPointF topLeftPx);

struct TextRun {
    QString text;
    QFont font;
    QColor color;
};

struct ParagraphStyle {
    double headIndent = 0; // where wrapped lines (and the first tab stop) begin
    double spacingAfter = 0;
    bool tabAtHeadIndent = false;
    double lineHeightPx = 0; // 0: the font's own line spacing
};

class StyledText {
  public:
    StyledText();
    ~StyledText();
    StyledText(StyledText&&) noexcept;
    StyledText& operator=(StyledText&&) noexcept;

    void addParagraph(const QList<TextRun>& runs, const ParagraphStyle& style = {});
    bool isEmpty() const { return paragraphs == 0; }

    // The height of the text wrapped at `width`, unbounded in height.
    double height(double width) const;
    // Draws the text wrapped at the rectangle's width, clipped to the rectangle.
    void draw(QPainter& painter, const QRectF& imageRect) const;

  private:
    std::unique_ptr<QTextDocument> document;
    int paragraphs = 0;
};

} // namespace ombrel
