#pragma once
// The top-level windows of the X server and whose they are, and the root window's own
// background: what display grabs need to paint our own windows out of a picture.

#include "XConnection.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>
#include <unordered_map>
#include <vector>

namespace ombrel::x11 {

struct TopLevel {
    xcb_window_t frame;
    QRect rect; // root coordinates, border included
    uint8_t depth;
    bool ours;
};

// Whose each top-level window is, once known (true: ours).
using OwnershipCache = std::unordered_map<xcb_window_t, bool>;

// The viewable top-level windows, bottom to top, each marked when it belongs to the process
// `ownPid` or to a program of the class `ownClass`. With `known`, windows met before are not
// asked again, which spares the round trips when this runs for every frame of a recording.
std::vector<TopLevel> viewableTopLevels(const XConnection& x, qint64 ownPid, const QString& ownClass,
                                        OwnershipCache* known = nullptr);

// The root window's own background over `wanted` (global): the wallpaper pixmap when a
// setter published one, else the colour the root shows on the display `displayArea`
// (pictured in `displayShot`) where no window at all covers it.
QImage rootBackground(const XConnection& x, QRect wanted, QRect displayArea, const QImage& displayShot,
                      const QRegion& allWindows);

} // namespace ombrel::x11
