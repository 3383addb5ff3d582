#pragma once
// Rectangle detection and salient objects with OpenCV: rectangles from the picture's edges,
// objects from a spectral-residual saliency map, kept where they stand apart from their
// surroundings. No trained model is needed.

#include "platform/Vision.h"

namespace ombrel {

class OpenCvVision : public Vision {
  public:
    Outcome<QList<VisionBox>> rectangles(const QImage& picture, const RectangleRequest& request) override;
    Outcome<QList<VisionBox>> salientObjects(const QImage& picture) override;

    // Edge detection: hysteresis thresholds of the gradient (L1 norm of the Sobel
    // derivatives). The low one still sees a light grey border (#dcdcdc) on white.
    static constexpr double edgeLow = 30;
    static constexpr double edgeHigh = 80;
    // An outline is straightened into a polygon within this share of its length.
    static constexpr double polygonTolerance = 0.02;
    // An outline with more corners (rounded corners) still counts as a rectangle when it
    // fills this share of its smallest enclosing rectangle.
    static constexpr double roundedFill = 0.92;
    // A point of a found side is backed by the picture when an edge lies this close (pixels).
    static constexpr int supportReach = 2;
    // Two rectangles whose edges all lie this close (pixels) are one rectangle seen twice
    // (the outer and inner outline of a border line).
    static constexpr double sameRectangleSlack = 5;

    // Saliency is computed on a copy this wide (height in proportion): fine enough to
    // separate a thumbnail from the text around it, coarse enough to ignore letters.
    static constexpr int saliencyWidth = 160;
    // A saliency cell is salient when it exceeds the map's mean by this many deviations.
    static constexpr double salientDeviations = 2.0;
    // Objects answered at most, and the fewest saliency cells an object spans on each side.
    static constexpr int maximumObjects = 12;
    static constexpr int smallestObjectCells = 3;
    // An object's colours differ at least this much (Bhattacharyya distance, 0 to 1) from
    // those of a ring around it a quarter of its size wide. A photo on a page scores about
    // 0.7; the stretches of page that the saliency map also singles out (a window's corner,
    // the ends of lines of text, a blank margin) score below 0.5.
    static constexpr double standsApart = 0.5;
    // A picture whose grey levels deviate less than this from their mean is plain.
    static constexpr double plainDeviation = 1.0;
};

} // namespace ombrel
