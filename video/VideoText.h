#pragma once
// Text of notes and captions, wrapped at a width, measured with the face it is drawn in
// and drawn with its shadow and outline. Fonts carry their size in the units of the picture
// they are drawn on as their point size (a 40-point note on a video is 40 pixels tall,
// on the screen 40 logical pixels), as the mark-up text does.

#include "video/VideoEdit.h"

#include <QPainter>
#include <QTextLayout>
#include <memory>

namespace ombrel {

class WrappedText {
  public:
    // Lays `text` out in lines no wider than `maxWidth` (breaking at spaces, inside a word
    // only when it is longer than a line); `centred` lines are centred on each other.
    WrappedText(const QString& text, const TextAttributes& attributes, double maxWidth, bool centred);
    ~WrappedText();
    WrappedText(WrappedText&&) noexcept;
    WrappedText& operator=(WrappedText&&) noexcept;

    // The width of the widest line and the height of all lines.
    QSizeF size() const { return m_size; }
    const TextAttributes& attributes() const { return m_attributes; }

    // Draws the lines with their top-left corner at the rectangle's (centred lines centred
    // on its middle), the shadow first, then the letters with their outline.
    void draw(QPainter& painter, const QRectF& rect) const;

  private:
    void drawLetters(QPainter& painter, QPointF origin, const QColor& colour) const;

    std::unique_ptr<QTextLayout> m_layout;
    TextAttributes m_attributes;
    double m_maxWidth;
    bool m_centred;
    QSizeF m_size;
};

} // namespace ombrel
