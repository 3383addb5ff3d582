#pragma once
// Image analysis of a picture: bordered rectangles (buttons, panels, cards) and salient
// objects (photos, icons, logos). Both answer boxes normalised to the picture, 0 to 1 on
// each axis, with the origin at the BOTTOM-left corner and y growing upward; callers turn
// them into picture pixels themselves. Stateless and safe to call from any thread.

#include "platform/Outcome.h"

#include <QImage>
#include <QList>
#include <QRectF>

namespace ombrel {

// What a rectangle detection looks for.
struct RectangleRequest {
    // Most rectangles answered, the most confident first.
    int maximumObservations = 40;
    // Shortest side a rectangle may have, as a fraction of the picture's smaller side.
    double minimumSize = 0.02;
    // Smallest ratio of the shorter side to the longer one (0 to 1).
    double minimumAspectRatio = 0.08;
    // Most a corner may differ from a right angle, in degrees.
    double quadratureTolerance = 12;
    // Least confidence (0 to 1) of an answered rectangle.
    double minimumConfidence = 0.5;
};

// One found rectangle or object.
struct VisionBox {
    QRectF box;            // normalised, origin bottom-left, y upward
    double confidence = 0; // 0 to 1
    friend bool operator==(const VisionBox&, const VisionBox&) = default;
};

class Vision {
  public:
    virtual ~Vision() = default;

    // The rectangles on the picture, at most `request.maximumObservations`, most confident
    // first. Fails on a picture that cannot be analysed (null or empty).
    virtual Outcome<QList<VisionBox>> rectangles(const QImage& picture, const RectangleRequest& request) = 0;

    // The objects that stand out from their surroundings, most salient first. Fails on a
    // picture that cannot be analysed.
    virtual Outcome<QList<VisionBox>> salientObjects(const QImage& picture) = 0;
};

} // namespace ombrel
