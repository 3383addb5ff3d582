#pragma once
// Lays out and paints one caption in a caption style. The renderer makes caption pictures
// with it, and the editor's overlay lays captions out with the same rules on the shown
// video, so what the user sees while editing is what the saved version shows.
//
// Rectangles have their origin at the top left of the picture the caption is laid out in,
// y downward.

#include "video/VideoEdit.h"
#include "video/VideoText.h"

#include <QImage>
#include <QPainter>
#include <memory>
#include <optional>

namespace ombrel {

class CaptionPainter {
  public:
    struct Layout {
        QRectF box;      // the caption's background shape
        QRectF textRect; // where the words are drawn
        std::shared_ptr<const WrappedText> words;
        double radius = 0; // corner radius of the box
        double basePointSize = 0;
    };

    // Lays `text` out in `style` within `area` (a video picture, or the part a crop keeps):
    // base size p = max(13, width / 34), words at most 0.84 of the width wide, a padding
    // of 0.45 of the face's size, and the box at the style's position.
    static Layout layout(const QString& text, const CaptionStyle& style, const QRectF& area);
    // Fills the box (when the style has a background) and draws the words.
    static void paint(QPainter& painter, const Layout& layout, const CaptionStyle& style);

    struct Picture {
        QImage image; // just the size of the box, transparent around a rounded box
        QRectF box;   // where it goes in the video picture
    };
    // The caption laid out in a whole video picture of `videoSize`, as an image of its box.
    static std::optional<Picture> picture(const QString& text, const CaptionStyle& style, QSize videoSize);

    // The attributes of caption words at base size p: those of the text style, and without a
    // background an outline for legibility (black, or white around black words).
    static TextAttributes attributes(const CaptionStyle& style, double basePointSize);
};

} // namespace ombrel
