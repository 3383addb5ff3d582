#pragma once
// The look of one text note on a video of a given width: its words wrapped at 0.6 of the
// width, padded by 0.6 of the face's size on every side, on its background as a rounded
// rectangle. The renderer and the editor's overlay both draw notes through this, so a note
// looks the same while editing as in the saved version.

#include "video/VideoEdit.h"
#include "video/VideoText.h"

#include <QPainter>
#include <memory>

namespace ombrel {

struct NoteLayout {
    // The smallest base size of note text in a saved video (pixels) and on the screen (points).
    static constexpr double videoMinimum = 18;
    static constexpr double screenMinimum = 12;

    // Base size p = max(minimum, videoWidth / 48).
    static NoteLayout make(const VideoEdit::TextNote& note, double videoWidth, double minimumPointSize);

    QSizeF size;    // the note's frame: the words plus the padding
    double pad = 0; // also the corner radius
    double basePointSize = 0;
    std::shared_ptr<const WrappedText> words;
    std::optional<QColor> background;

    // Draws the note with its frame's top-left corner at `topLeft`.
    void paint(QPainter& painter, QPointF topLeft) const;
};

} // namespace ombrel
