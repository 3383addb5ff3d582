#include "video/VideoNotes.h"

#include <QPainterPath>
#include <cmath>

namespace ombrel {

NoteLayout NoteLayout::make(const VideoEdit::TextNote& note, double videoWidth, double minimumPointSize) {
    NoteLayout out;
    out.basePointSize = std::max(minimumPointSize, videoWidth / 48);
    const TextAttributes attributes = note.style.attributes(out.basePointSize);
    out.words = std::make_shared<const WrappedText>(note.text, attributes, 0.6 * videoWidth, false);
    out.pad = attributes.font.pointSizeF() * 0.6;
    out.size = out.words->size() + QSizeF(2 * out.pad, 2 * out.pad);
    out.background = note.style.backgroundColor();
    return out;
}

void NoteLayout::paint(QPainter& painter, QPointF topLeft) const {
    if (background) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(topLeft, size), pad, pad);
        painter.fillPath(shape, *background);
        painter.restore();
    }
    words->draw(painter, QRectF(topLeft + QPointF(pad, pad), words->size()));
}

} // namespace ombrel
