#pragma once
// Displays and grabs of displays and windows.

#include "Outcome.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>

namespace ombrel {

using WindowId = quint64;

struct DisplayInfo {
    quint32 id = 0;     // stable for the session; what `grabDisplay` takes
    QRect globalRectPx; // position and size in global pixels, origin top left of the primary screen
    bool primary = false;
    QString name; // output name such as "DP-1", or "screen" for a whole X screen
    friend bool operator==(const DisplayInfo&, const DisplayInfo&) = default;
};

class ScreenGrabber {
  public:
    virtual ~ScreenGrabber() = default;

    // Every display, the primary first. Empty only when no display can be read at all.
    virtual QList<DisplayInfo> displays() = 0;

    // One picture of the display `id`, scaled so that neither side exceeds `outputSize`
    // (the caller computes the size; the grabber resamples smoothly to exactly that size).
    // Windows of this process never appear in the picture: they are left out of the
    // composition or hidden for the grab and put back afterwards. The cursor is not drawn.
    // Fails Permanent for an unknown id, Temporary when the X server refused the read.
    virtual Outcome<QImage> grabDisplay(quint32 id, QSize outputSize) = 0;

    // One picture of the top-level window `window` alone, without the shadow or frame the
    // window manager draws, even when other windows cover it, scaled to `outputSize`.
    // Fails Permanent when the window is gone or is not viewable.
    virtual Outcome<QImage> grabWindow(WindowId window, QSize outputSize) = 0;

    // The size of a window's own contents in pixels, or an empty size when it is gone.
    virtual QSize windowSize(WindowId window) = 0;
};

} // namespace ombrel
