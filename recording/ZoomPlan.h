#pragma once
// The automatic camera of a recording: from the pointer positions, clicks and scroll moments
// sampled while recording, a zoom scale and centre for every 1/30 s of the video.
//
// Positions are normalised to the recorded area: x from 0 (left) to 1 (right), y from 0 (top)
// to 1 (bottom). Times are seconds from the start of the recording; speeds are normalised
// units per second. Only `visibleRect` and `ripple` answer in pixels of the output picture,
// whose origin is at the bottom left with y upward.

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>
#include <vector>

namespace ombrel {

class ContentMap;

class ZoomPlan {
  public:
    // One primary mouse press inside the recorded area.
    struct Click {
        double time = 0; // seconds
        double x = 0;    // normalised
        double y = 0;    // normalised
    };

    // One pointer position sampled inside the recorded area.
    struct PointerSample {
        double time = 0;
        double x = 0;
        double y = 0;
    };

    // The camera at one moment: 1.0 shows the whole picture, 1.8 shows 1/1.8 of its width and
    // height; (x, y) is the normalised point it centres on.
    struct Camera {
        double scale = 1.0;
        double x = 0.5;
        double y = 0.5;
        bool operator==(const Camera&) const = default;
    };

    // The click ripple to draw at one moment.
    struct Ripple {
        QPointF pointPixelsYUp; // the click, in output pixels with the origin at the bottom left
        double progress = 0;    // 0 at the press, approaching 1 when the ripple ends
    };

    static constexpr double step = 1.0 / 30.0;    // seconds between camera frames
    static constexpr double maxScale = 1.8;       // zoom while the user works at one spot
    static constexpr double travelScale = 1.35;   // zoom while the pointer travels fast
    static constexpr double settledSpeed = 0.12;  // per second; below this the pointer is still
    static constexpr double fastSpeed = 0.9;      // per second; above this the pointer travels
    static constexpr double settleTime = 0.35;    // seconds still before zooming in on the pointer
    static constexpr double idleOut = 4.0;        // seconds without a reason before zooming out
    static constexpr double lookAhead = 0.15;     // seconds the camera anticipates the pointer
    static constexpr double rippleSeconds = 0.55; // how long a click ripple lasts

    // Builds the camera track. Clicks also count as pointer samples. `scrollTimes` are the
    // moments of scroll-wheel activity. The track ends at `durationSeconds` when known,
    // otherwise 6 s after the last sample. `content` (may be null) steers the camera away from
    // empty areas; it is only read during construction.
    explicit ZoomPlan(std::vector<Click> clicks, std::vector<PointerSample> pointer = {},
                      std::vector<double> scrollTimes = {}, std::optional<double> durationSeconds = {},
                      const ContentMap* content = nullptr);
    ZoomPlan() : ZoomPlan(std::vector<Click>{}) {}

    // The camera at any time, interpolated between frames; before the start it is the first
    // frame, after the end the last, and with no frames the whole picture.
    Camera camera(double atSeconds) const;

    // The rectangle, in pixels of a picture of `pictureSizePixels` with the origin at the bottom
    // left, that the camera shows at that time. It never leaves the picture.
    QRectF visibleRect(double atSeconds, QSizeF pictureSizePixels) const;

    // The ripple of the last click (in list order) pressed less than `rippleSeconds` before.
    std::optional<Ripple> ripple(double atSeconds, QSizeF pictureSizePixels) const;

    // The clicks passed in, unchanged.
    const std::vector<Click>& clicks() const { return clicks_; }

    // The camera track itself, frame i at time i · step, for writing the plan out.
    const std::vector<Camera>& frames() const { return frames_; }

  private:
    friend class ContentMap; // reads pointer positions with the same interpolation
    friend struct ZoomPlanInspector;

    // The pointer at time t on a path sorted by time: linear between samples, held at the ends.
    static QPointF position(const std::vector<PointerSample>& pathSortedByTime, double atSeconds);

    static std::vector<Camera> simulate(const std::vector<PointerSample>& pathSortedByTime,
                                        const std::vector<double>& clickTimes,
                                        const std::vector<double>& scrollTimes, double endSeconds,
                                        const ContentMap* content);

    std::vector<Click> clicks_;
    std::vector<Camera> frames_;
};

} // namespace ombrel
