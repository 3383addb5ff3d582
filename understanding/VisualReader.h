#pragma once
// User-interface elements found in the pixels of any picture: bordered rectangles
// (buttons, panels, cards), salient objects (photos, icons, logos) and the lines of text
// of the careful text reading. Works where accessibility sees nothing, such as a picture
// opened from a file. Slow (two image-analysis passes): call off the GUI thread.

#include "platform/Vision.h"
#include "understanding/ScreenElement.h"
#include "understanding/TextFinder.h"

#include <QImage>
#include <QList>

namespace ombrel {

namespace VisualReader {

// What the rectangle detection is asked for.
inline constexpr int maximumRectangles = 40;
inline constexpr double minimumRectangleSize = 0.02; // of the picture's smaller side
inline constexpr double minimumAspectRatio = 0.08;
inline constexpr double quadratureTolerance = 12; // degrees
inline constexpr double minimumConfidence = 0.5;
// Rectangles narrower or lower than this are dropped (pixels).
inline constexpr double smallestRectangleWidth = 40;
inline constexpr double smallestRectangleHeight = 20;
// A text lies inside a rectangle when it lies within it grown by this on every side (pixels).
inline constexpr double borderTolerance = 6;
// A rectangle around one text of at most this many characters, lower than
// `highestButton` × the picture's height, is a button.
inline constexpr qsizetype longestButtonText = 30;
inline constexpr double highestButton = 0.12;
// Salient objects smaller than this on either side, or covering `largestObject` × the
// picture's area or more, are dropped.
inline constexpr double smallestObject = 40;
inline constexpr double largestObject = 0.8;

// The request the rectangle detection is given.
RectangleRequest rectangleRequest();

// A box from the image analysis (normalised, origin bottom-left) in pixels of a picture of
// `size` (origin top-left, y downward).
QRectF toPicture(const QRectF& normalised, QSize size);

// The elements of the picture: rectangles (buttons, sections, images), then salient
// objects (images), then the text lines (texts). A failing analysis contributes nothing.
QList<ScreenElement> elements(const QImage& picture, const QList<TextFinder::Line>& lines);

// The salient objects of the picture as image elements, leaving out the tiny, the
// nearly whole picture, and any holding the centre of one of `textBlocks`.
QList<ScreenElement> objects(const QImage& picture, QSize size, const QList<ScreenElement>& textBlocks);

} // namespace VisualReader

} // namespace ombrel
