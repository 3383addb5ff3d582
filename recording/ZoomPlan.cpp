#include "recording/ZoomPlan.h"

#include "recording/ContentMap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ombrel {

namespace {

// Window over which the pointer's speed is measured.
constexpr double speedWindowSeconds = 0.2;
// Any speed above this counts as the pointer having moved at all.
constexpr double movedSpeed = 0.01;
// A pointer that settles within this long after moving earns a zoom.
constexpr double recentMoveSeconds = 0.95;
// A scroll keeps the zoom for this long.
constexpr double scrollHoldSeconds = 0.6;
// Easing rates (per second) of the zoom and of the camera centre.
constexpr double scaleEasingRate = 5.0;
constexpr double cameraEasingRate = 6.0;
// Share of half the visible size within which the pointer may wander without moving the camera.
constexpr double deadZoneFactor = 0.55;
// How far a settled pointer draws the aim towards itself each frame.
constexpr double settlePull = 0.35;
// A centre chosen for its content is given up once the target is farther from it than this
// share of half the visible size.
constexpr double keepInViewFactor = 0.85;
// Below this zoom the camera jumps to its target rather than gliding.
constexpr double snappingScale = 1.05;
// How far from a blank spot the camera looks for content.
constexpr double contentSearchRadius = 0.2;
// Without a known duration the track runs this long past the last sample.
constexpr double endMarginSeconds = 4.0 + 2.0;

// True when some time in the sorted list lies strictly closer than `window` to t.
bool anyWithin(const std::vector<double>& sortedTimes, double t, double window) {
    const auto it = std::lower_bound(sortedTimes.begin(), sortedTimes.end(), t);
    if (it != sortedTimes.end() && std::abs(*it - t) < window) return true;
    return it != sortedTimes.begin() && std::abs(*std::prev(it) - t) < window;
}

// True when some time s in the sorted list has s ≤ t and t − s < hold.
bool anyRecent(const std::vector<double>& sortedTimes, double t, double hold) {
    const auto it = std::upper_bound(sortedTimes.begin(), sortedTimes.end(), t);
    return it != sortedTimes.begin() && t - *std::prev(it) < hold;
}

} // namespace

ZoomPlan::ZoomPlan(std::vector<Click> clicks, std::vector<PointerSample> pointer,
                   std::vector<double> scrollTimes, std::optional<double> durationSeconds,
                   const ContentMap* content)
    : clicks_(std::move(clicks)) {
    std::vector<PointerSample> path = std::move(pointer);
    path.reserve(path.size() + clicks_.size());
    for (const Click& c : clicks_)
        path.push_back({c.time, c.x, c.y});
    std::stable_sort(path.begin(), path.end(),
                     [](const PointerSample& a, const PointerSample& b) { return a.time < b.time; });
    if (path.empty()) return;

    const double lastClickSeconds = clicks_.empty() ? 0.0 : clicks_.back().time;
    const double endSeconds =
        durationSeconds ? *durationSeconds : std::max(path.back().time, lastClickSeconds) + endMarginSeconds;

    std::vector<double> clickTimes;
    clickTimes.reserve(clicks_.size());
    for (const Click& c : clicks_)
        clickTimes.push_back(c.time);
    frames_ = simulate(path, clickTimes, scrollTimes, endSeconds, content);
}

QPointF ZoomPlan::position(const std::vector<PointerSample>& path, double t) {
    const auto found = std::lower_bound(path.begin(), path.end(), t,
                                        [](const PointerSample& s, double time) { return s.time < time; });
    if (found == path.end()) return {path.back().x, path.back().y};
    if (found == path.begin()) return {found->x, found->y};
    const PointerSample& a = *std::prev(found);
    const PointerSample& b = *found;
    const double span = std::max(b.time - a.time, 0.0001);
    const double f = (t - a.time) / span;
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f};
}

std::vector<ZoomPlan::Camera> ZoomPlan::simulate(const std::vector<PointerSample>& path,
                                                 const std::vector<double>& clickTimes,
                                                 const std::vector<double>& scrollTimes, double endSeconds,
                                                 const ContentMap* content) {
    std::vector<Camera> frames;
    if (!std::isfinite(endSeconds)) return frames;

    // Sorted copies answer "is there a click or scroll near this moment" by binary search.
    std::vector<double> clicks = clickTimes;
    std::sort(clicks.begin(), clicks.end());
    std::vector<double> scrolls = scrollTimes;
    std::sort(scrolls.begin(), scrolls.end());

    constexpr double minusInfinity = -std::numeric_limits<double>::infinity();
    const double scaleEasing = 1.0 - std::exp(-scaleEasingRate * step);
    const double cameraEasing = 1.0 - std::exp(-cameraEasingRate * step);

    double scale = 1.0;
    QPointF cameraCentre = position(path, 0);
    QPointF target = cameraCentre;
    double stillSeconds = 0;
    double lastMoveSeconds = minusInfinity;
    double lastFocusSeconds = minusInfinity;
    // The content decision in force: a better-filled centre to aim at, or that there is none
    // near, and the target it was made for. Asking the map afresh every frame, at an aim that
    // the settle pull keeps dragging, makes its answer flip on and off and the camera shake;
    // a decision is kept until the target really moves away from it.
    bool decided = false;
    std::optional<QPointF> decidedCentre;
    QPointF decidedForTarget;

    const long long lastIndex = static_cast<long long>(std::trunc(endSeconds / step)) + 1;
    if (lastIndex >= 0) frames.reserve(static_cast<size_t>(lastIndex) + 1);
    for (long long i = 0; i <= lastIndex; ++i) {
        const double t = double(i) * step;

        // Where the pointer will be, and how fast it goes there.
        const double ahead = t + lookAhead;
        const QPointF p = position(path, ahead);
        const QPointF q = position(path, ahead - speedWindowSeconds);
        const double speed = std::hypot(p.x() - q.x(), p.y() - q.y()) / speedWindowSeconds;

        const bool blank = content && content->isBlank(p.x(), p.y(), t);
        if (blank) {
            if (const auto near = content->nearestContent(p.x(), p.y(), t, contentSearchRadius))
                target = *near;
        } else {
            target = p;
        }

        if (speed > movedSpeed) lastMoveSeconds = t;
        if (speed < settledSpeed)
            stillSeconds += step;
        else
            stillSeconds = 0;

        // Reasons to be zoomed in: coming to rest on content shortly after moving, moving while
        // already zoomed, a click or a scroll.
        if (stillSeconds >= settleTime && t - lastMoveSeconds < recentMoveSeconds && !blank)
            lastFocusSeconds = t;
        if (speed > movedSpeed && t - lastFocusSeconds < idleOut) lastFocusSeconds = t;
        if (anyWithin(clicks, ahead, step)) {
            lastFocusSeconds = t;
            stillSeconds = settleTime;
        }
        if (anyRecent(scrolls, ahead, scrollHoldSeconds)) {
            lastFocusSeconds = t;
            stillSeconds = settleTime;
        }

        double goal = 1.0;
        if (t - lastFocusSeconds < idleOut) goal = speed > fastSpeed ? travelScale : maxScale;
        scale += (goal - scale) * scaleEasing;

        if (scale < snappingScale) {
            cameraCentre = target;
            decided = false;
        } else {
            // The target may wander inside a dead zone around the centre; beyond it the camera
            // is dragged so that the target sits on the zone's edge.
            const double dead = (0.5 / scale) * deadZoneFactor;
            QPointF aim = cameraCentre;
            if (std::abs(target.x() - cameraCentre.x()) > dead)
                aim.setX(target.x() > cameraCentre.x() ? target.x() - dead : target.x() + dead);
            if (std::abs(target.y() - cameraCentre.y()) > dead)
                aim.setY(target.y() > cameraCentre.y() ? target.y() - dead : target.y() + dead);

            const double pull = stillSeconds >= settleTime ? settlePull : 0.0;
            aim += (target - aim) * pull;

            if (decided) {
                const QPointF moved = target - decidedForTarget;
                const bool targetMoved = std::abs(moved.x()) > dead / 2 || std::abs(moved.y()) > dead / 2;
                // A held centre must keep the target well inside the view.
                const double keep = (0.5 / scale) * keepInViewFactor;
                const bool targetLeaving =
                    decidedCentre && (std::abs(target.x() - decidedCentre->x()) > keep ||
                                      std::abs(target.y() - decidedCentre->y()) > keep);
                if (targetMoved || targetLeaving) decided = false;
            }
            if (content && !decided) {
                decided = true;
                decidedCentre = content->bestCenter(aim.x(), aim.y(), target, scale, t);
                decidedForTarget = target;
            }
            if (decided && decidedCentre) aim = *decidedCentre;

            cameraCentre += (aim - cameraCentre) * cameraEasing;
        }
        frames.push_back({scale, cameraCentre.x(), cameraCentre.y()});
    }
    return frames;
}

ZoomPlan::Camera ZoomPlan::camera(double atSeconds) const {
    if (frames_.empty()) return {};
    const size_t count = frames_.size();
    // NaN and negative times both mean the first frame.
    const double f = (atSeconds > 0 ? atSeconds : 0.0) / step;
    const size_t i = f >= double(count - 1) ? count - 1 : static_cast<size_t>(std::trunc(f));
    const size_t j = std::min(i + 1, count - 1);
    const double w = f - double(i);
    const Camera& a = frames_[i];
    const Camera& b = frames_[j];
    return {a.scale + (b.scale - a.scale) * w, a.x + (b.x - a.x) * w, a.y + (b.y - a.y) * w};
}

QRectF ZoomPlan::visibleRect(double atSeconds, QSizeF pictureSizePixels) const {
    const Camera c = camera(atSeconds);
    const double pictureWidth = pictureSizePixels.width();
    const double pictureHeight = pictureSizePixels.height();
    const double w = pictureWidth / c.scale;
    const double h = pictureHeight / c.scale;
    const double centreX = c.x * pictureWidth;
    const double centreY = (1.0 - c.y) * pictureHeight;
    const double originX = std::min(std::max(centreX - w / 2, 0.0), pictureWidth - w);
    const double originY = std::min(std::max(centreY - h / 2, 0.0), pictureHeight - h);
    return {originX, originY, w, h};
}

std::optional<ZoomPlan::Ripple> ZoomPlan::ripple(double atSeconds, QSizeF pictureSizePixels) const {
    for (auto it = clicks_.rbegin(); it != clicks_.rend(); ++it) {
        if (it->time <= atSeconds && atSeconds < it->time + rippleSeconds)
            return Ripple{
                QPointF(it->x * pictureSizePixels.width(), (1.0 - it->y) * pictureSizePixels.height()),
                (atSeconds - it->time) / rippleSeconds};
    }
    return std::nullopt;
}

} // namespace ombrel
