#pragma once
// A 40-second session of someone reading a documentation page with the pointer, and how
// steady the zoom camera planned over it is. Shared by the camera benchmark and the planner's
// tests.
//
// The page is bench/pages/article.png: bench/pages/article.html as Chromium shows it in a
// 1920 × 1080 window (a column of section links, a heading, paragraphs, a code block and an
// empty bottom third), kept as a grey picture. Its content map is read from that picture.
//
// The pointer follows the text the way readers do: short hops along a line with pauses, a
// quick sweep back to the start of the next line, travel between parts of the page, a rest on
// the empty area, a long look with the hand off the mouse (long enough for the camera to zoom
// out) and clicks. In the hand it shakes by about a pixel; it lands on whole pixels, sampled
// 60 times a second.

#include "recording/ContentMap.h"
#include "recording/ZoomPlan.h"

#include <QImage>
#include <QPointF>
#include <cmath>
#include <random>
#include <vector>

namespace ombrel::bench {

struct ReadingSession {
    std::vector<ZoomPlan::PointerSample> pointer;
    std::vector<ZoomPlan::Click> clicks;
    double durationSeconds = 40;
    ContentMap content;
    // The span during which the pointer rests on the empty bottom part of the page.
    double blankRestFrom = 0, blankRestTo = 0;
};

namespace readingDetail {

constexpr double pageWidth = 1920, pageHeight = 1080;

class PointerScript {
  public:
    explicit PointerScript(QPointF startPixels) : at_(startPixels), rng_(17) {}

    // Held still, apart from the hand's shake.
    void rest(double seconds) { moveTo(at_, seconds); }

    // Left alone: the hand is off the mouse and the pointer does not move at all.
    void park(double seconds) {
        for (int i = 0; i < int(std::lround(seconds * 60)); ++i) {
            t_ += 1.0 / 60;
            pointer.push_back({t_, std::round(at_.x()) / pageWidth, std::round(at_.y()) / pageHeight});
        }
        shakeX_ = shakeY_ = 0;
    }

    // A smooth start-and-stop movement (minimum jerk) to `to`.
    void glide(QPointF to, double seconds) { moveTo(to, seconds); }

    // Along a line of text to `to` in hops of 60–160 px, each taking 0.15–0.35 s, with pauses
    // of 0.1–0.5 s between them.
    void read(QPointF to) {
        std::uniform_real_distribution<double> hop(60, 160), hopTime(0.15, 0.35), pause(0.1, 0.5);
        while (std::abs(to.x() - at_.x()) > 1) {
            const double dx =
                std::copysign(std::min(hop(rng_), std::abs(to.x() - at_.x())), to.x() - at_.x());
            moveTo(QPointF(at_.x() + dx, to.y()), hopTime(rng_));
            rest(pause(rng_));
        }
    }

    void click() {
        clicks_.push_back({t_, std::round(at_.x()) / pageWidth, std::round(at_.y()) / pageHeight});
    }
    double now() const { return t_; }

    std::vector<ZoomPlan::PointerSample> pointer;
    const std::vector<ZoomPlan::Click>& clicks() const { return clicks_; }

  private:
    void moveTo(QPointF to, double seconds) {
        const QPointF from = at_;
        const int samples = std::max(1, int(std::lround(seconds * 60)));
        std::normal_distribution<double> shake(0, 0.35);
        for (int i = 1; i <= samples; ++i) {
            const double f = double(i) / samples;
            const double s = f * f * f * (10 - 15 * f + 6 * f * f);
            // The shake drifts and is pulled back, staying within about a pixel.
            shakeX_ = shakeX_ * 0.8 + shake(rng_);
            shakeY_ = shakeY_ * 0.8 + shake(rng_);
            const QPointF p = from + (to - from) * s;
            t_ += 1.0 / 60;
            pointer.push_back(
                {t_, std::round(p.x() + shakeX_) / pageWidth, std::round(p.y() + shakeY_) / pageHeight});
        }
        at_ = to;
    }

    QPointF at_;
    double t_ = 0;
    double shakeX_ = 0, shakeY_ = 0;
    std::mt19937 rng_;
    std::vector<ZoomPlan::Click> clicks_;
};

} // namespace readingDetail

// The session over `page` (the picture of bench/pages/article.png). Positions below are
// pixels of the 1920 × 1080 page: text lines start at x = 300, the section links sit at
// x ≈ 120, the code block spans y ≈ 298–543 and nothing is drawn below y ≈ 800.
inline ReadingSession readingSession(const QImage& page) {
    using readingDetail::PointerScript;
    ReadingSession s;
    PointerScript p(QPointF(1000, 640));
    p.pointer.push_back({0, 1000 / readingDetail::pageWidth, 640 / readingDetail::pageHeight});
    p.rest(1.0);
    // The first paragraph, line by line.
    p.glide({300, 79}, 0.7);
    p.read({1100, 79});
    p.glide({300, 101}, 0.35);
    p.read({700, 101});
    p.rest(1.2);
    p.click();
    p.glide({300, 137}, 0.4);
    p.read({1000, 137});
    // A section link on the left.
    p.glide({120, 88}, 0.6);
    p.rest(0.5);
    p.click();
    p.rest(1.0);
    // Down the code block, line by line, clicking one line.
    p.glide({400, 298}, 0.6);
    for (int line = 1; line < 8; ++line) {
        p.glide({400 + 12.0 * (line % 3), 298 + 19.0 * line}, 0.25);
        p.rest(line == 5 ? 0.9 : 0.3);
        if (line == 5) p.click();
    }
    // The paragraph below it.
    p.glide({300, 584}, 0.5);
    p.read({800, 584});
    // A rest on the empty bottom of the page.
    p.glide({1100, 930}, 0.6);
    s.blankRestFrom = p.now();
    p.rest(1.5);
    p.click();
    p.rest(1.5);
    s.blankRestTo = p.now();
    // The last paragraph after a long look at it without moving (the camera zooms out), then
    // a click and a rest to the end.
    p.glide({300, 679}, 0.6);
    p.park(7.0);
    p.read({1000, 679});
    p.click();
    p.rest(std::max(0.0, s.durationSeconds - p.now()));

    s.pointer = std::move(p.pointer);
    s.clicks = p.clicks();
    s.content = ContentMap({{0.0, ContentMap::cells(page)}});
    return s;
}

inline ZoomPlan planOf(const ReadingSession& s) {
    return ZoomPlan(s.clicks, s.pointer, {}, s.durationSeconds, &s.content);
}

// How much the camera centre shakes while zoomed in. A reversal is a frame where the centre's
// movement along one axis turns back, counting only moves of at least a fiftieth of a pixel
// on a 1920-pixel-wide picture; frames below a zoom of 1.05 (where the camera jumps rather
// than glides) are not counted and break the run.
struct Steadiness {
    int zoomedFrames = 0;
    int reversals = 0;
    double zoomedMinutes() const { return zoomedFrames * ZoomPlan::step / 60; }
    double reversalsPerZoomedMinute() const { return zoomedFrames ? reversals / zoomedMinutes() : 0; }
    // When the camera zooms in past 1.05 and back out below it, in seconds.
    std::vector<std::pair<double, double>> zoomedSpans;
};

inline Steadiness steadinessOf(const ZoomPlan& plan) {
    constexpr double zoomedScale = 1.05;
    constexpr double smallestMove = 1e-5;
    Steadiness out;
    const auto& f = plan.frames();
    int lastSign[2] = {0, 0};
    for (size_t i = 0; i < f.size(); ++i) {
        const bool zoomed = f[i].scale >= zoomedScale;
        const double t = double(i) * ZoomPlan::step;
        if (!zoomed) {
            if (!out.zoomedSpans.empty() && out.zoomedSpans.back().second < 0)
                out.zoomedSpans.back().second = t;
            lastSign[0] = lastSign[1] = 0;
            continue;
        }
        if (out.zoomedSpans.empty() || out.zoomedSpans.back().second >= 0) out.zoomedSpans.push_back({t, -1});
        ++out.zoomedFrames;
        if (i == 0 || f[i - 1].scale < zoomedScale) continue;
        const double moves[2] = {f[i].x - f[i - 1].x, f[i].y - f[i - 1].y};
        for (int axis = 0; axis < 2; ++axis) {
            if (std::abs(moves[axis]) < smallestMove) continue;
            const int sign = moves[axis] > 0 ? 1 : -1;
            if (lastSign[axis] != 0 && sign != lastSign[axis]) ++out.reversals;
            lastSign[axis] = sign;
        }
    }
    if (!out.zoomedSpans.empty() && out.zoomedSpans.back().second < 0)
        out.zoomedSpans.back().second = double(f.size()) * ZoomPlan::step;
    return out;
}

} // namespace ombrel::bench
