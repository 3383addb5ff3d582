#pragma once
// The two coordinate spaces of the desktop, and the screen the user is on.
//
// Windows are placed in Qt's logical pixels; the X server, RandR, window frames and grabs
// speak device pixels. With a device pixel ratio other than 1 (QT_SCALE_FACTOR, or a
// high-density screen) the two differ: each screen keeps its origin, and distances within
// it are divided by its ratio. Every conversion goes through here, so no rectangle of one
// space is ever passed as one of the other.

#include "Screens.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <optional>

class QScreen;

namespace ombrel::ScreenSpace {

// The pure conversions for one screen whose top left is `origin` (the same in both
// spaces) and whose ratio is `ratio`.
QRect toLogical(const QRect& devicePx, QPoint origin, qreal ratio);
QRect toDevice(const QRect& logical, QPoint origin, qreal ratio);
QPoint toLogical(QPoint devicePx, QPoint origin, qreal ratio);
QPoint toDevice(QPoint logical, QPoint origin, qreal ratio);

// The same over the screens Qt knows: the screen that holds the rectangle's centre
// (else the nearest one) gives the origin and the ratio.
QRect toLogical(const QRect& devicePx);
QRect toDevice(const QRect& logical);
QPoint toLogical(QPoint devicePx);
QPoint toDevice(QPoint logical);
// How many device pixels one logical pixel of the screen at `logical` covers.
qreal ratioAt(QPoint logical);

// Keeps `frame` inside `area`, moving it and shrinking it only when it does not fit.
QRect keepInside(QRect frame, const QRect& area);
// A frame of `size` beside `anchor`, `gap` away from it: on the side of `area` with more
// room, level with the anchor's centre, and pulled inside the area. Panels that belong to
// the floating buttons (the capture picker, the editor, the recording strip) open there.
QRect beside(QSize size, const QRect& anchor, const QRect& area, int gap);

// The screen under the pointer, else the primary screen, else the first; null without any.
// This is the "main screen": captures, new windows, prompts and toasts go there.
QScreen* mainScreen();
// The Qt screen showing a display of the screen grabber.
QScreen* screenOf(const DisplayInfo& display);
// The display at the device-pixel point `devicePx`, else the primary one, else the first.
std::optional<DisplayInfo> displayAt(const QList<DisplayInfo>& displays, QPoint devicePx);
// The display under the pointer (see `displayAt`).
std::optional<DisplayInfo> displayUnderPointer();

} // namespace ombrel::ScreenSpace
