#pragma once
// Renders a finished recording again through the zoom camera: every picture is cropped to
// what the camera shows and scaled back up to the full size, a soft light-blue ripple is
// drawn where the user clicked, and the sound is kept as it is. Decoding and encoding are
// FFmpeg's.

#include "platform/Outcome.h"
#include "recording/ZoomPlan.h"

#include <QFuture>
#include <QRectF>
#include <QSize>
#include <QString>
#include <functional>

namespace ombrel::DemoZoom {

// Told how far the rendering has come, 0 to 1, from the rendering thread.
using Progress = std::function<void(double fraction)>;

// Writes the zoomed video to `to` (whole: a partly written file never carries that name)
// and answers when it is complete, or why it failed.
Outcome<bool> render(const ZoomPlan& plan, const QString& from, const QString& to,
                     const Progress& progress = {});

// The same work on a worker thread.
QFuture<Outcome<bool>> apply(ZoomPlan plan, QString from, QString to, Progress progress = {});

// The part of a picture of `pictureSize` that the camera shows at `atSeconds`, in pixels
// with the origin at the top left as decoded pictures have it. The plan answers with the
// origin at the bottom left; this is the one place where that is turned over.
QRectF sourceRect(const ZoomPlan& plan, double atSeconds, QSize pictureSize);

// The ripple's look at `progress` (0 at the press, 1 at its end) on a picture `width` wide.
struct RippleLook {
    double outerRadius; // pixels; nothing is drawn at or beyond it
    double innerRadius; // pixels; full opacity within it
    double opacity;     // 0…1 inside the inner radius
};
RippleLook rippleLook(double progress, double width);
// The ripple's opacity at `distance` pixels from its centre.
double rippleOpacity(const RippleLook& look, double distance);

} // namespace ombrel::DemoZoom
