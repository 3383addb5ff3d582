#include "RecordingTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace ombrel;
using namespace ombrel::test;
using Camera = ZoomPlan::Camera;

namespace {

constexpr double step = ZoomPlan::step;
double timeOf(size_t frame) {
    return double(frame) * step;
}

// The first frame whose scale exceeds 1, or the number of frames.
size_t firstZoomedFrame(const ZoomPlan& plan) {
    const auto& f = plan.frames();
    for (size_t i = 0; i < f.size(); ++i)
        if (f[i].scale > 1.0) return i;
    return f.size();
}

// The last frame at the highest scale (the eased scale can reach 1.8 exactly and stay there).
size_t peakFrame(const ZoomPlan& plan) {
    const auto& f = plan.frames();
    size_t peak = 0;
    for (size_t i = 1; i < f.size(); ++i)
        if (f[i].scale >= f[peak].scale) peak = i;
    return peak;
}

} // namespace

TEST(ZoomPlanPosition, InterpolatesBetweenSamplesAndHoldsAtTheEnds) {
    const Path path{{1.0, 0.2, 0.4}, {2.0, 0.6, 0.0}, {2.0, 0.8, 0.8}};
    // Before the start: no extrapolation; at a repeated time: the first sample; after the end: the last.
    const struct {
        double t, x, y;
    } rows[] = {{-3, 0.2, 0.4}, {1.0, 0.2, 0.4}, {1.25, 0.3, 0.3}, {2.0, 0.6, 0.0}, {9.0, 0.8, 0.8}};
    for (const auto& row : rows) {
        const QPointF p = ZoomPlanInspector::position(path, row.t);
        EXPECT_DOUBLE_EQ(p.x(), row.x) << "t=" << row.t;
        EXPECT_DOUBLE_EQ(p.y(), row.y) << "t=" << row.t;
    }
}

TEST(ZoomPlanBuild, FrameCountFollowsTheDurationOrTheLastEvent) {
    EXPECT_EQ(ZoomPlan({{5, 0.5, 0.5}}, {}, {}, 600.0).frames().size(), 18002u);

    // Without a duration the track runs 6 s past the last sample (a click here), whatever the
    // order in which clicks were given.
    const ZoomPlan derived({{7.0, 0.5, 0.5}, {2.0, 0.1, 0.1}}, still(0, 3, 0.5, 0.5));
    EXPECT_EQ(derived.frames().size(), size_t(std::trunc(13.0 / step)) + 2);

    const ZoomPlan empty({}, {}, {3.0}, 10.0);
    EXPECT_TRUE(empty.frames().empty()) << "scrolls alone give no path";
    EXPECT_EQ(empty.camera(4), (Camera{1.0, 0.5, 0.5}));
    EXPECT_EQ(empty.visibleRect(4, {1920, 1080}), QRectF(0, 0, 1920, 1080));
}

TEST(ZoomPlanZoom, ComingToRestOnContentZoomsButNotOnABlankSpot) {
    // Moves from (0.2, 0.5) at 0.2 per s from the start, rests at (0.6, 0.5) from 2 s.
    Path path = sampled(0, 10, [](double t) { return QPointF(0.2 + 0.2 * std::clamp(t, 0.0, 2.0), 0.5); });
    const ZoomPlan onContent({}, path, {}, 10.0, nullptr);
    // The speed over the 0.2 s window (looked at 0.15 s ahead) falls below 0.12 per s just before
    // 2 s; 0.35 s of rest later it zooms.
    ASSERT_LT(firstZoomedFrame(onContent), onContent.frames().size());
    EXPECT_NEAR(timeOf(firstZoomedFrame(onContent)), 2.0 + ZoomPlan::settleTime, 0.1);

    // Content only in the top-left corner: the resting spot is blank, so the rest is no reason to zoom.
    ContentMap::Cells corner{};
    fillCells(corner, 0, 0, 4, 4);
    const ContentMap map = mapOf(corner);
    const ZoomPlan onBlank({}, path, {}, 10.0, &map);
    EXPECT_EQ(firstZoomedFrame(onBlank), onBlank.frames().size());
}

TEST(ZoomPlanZoom, ClickZoomsAboutLookAheadEarlyAndEasesOutFourSecondsAfterTheLastReason) {
    const double click = 3.0;
    const ZoomPlan plan({{click, 0.4, 0.6}}, still(0, 10, 0.4, 0.6));
    const auto& f = plan.frames();
    const size_t first = firstZoomedFrame(plan);
    ASSERT_LT(first, f.size());
    EXPECT_NEAR(timeOf(first), click - ZoomPlan::lookAhead, step);
    EXPECT_NEAR(f[first].scale, 1 + 0.8 * (1 - std::exp(-5 * step)), 1e-12) << "eases at 5 per s";

    const size_t peak = peakFrame(plan);
    EXPECT_NEAR(timeOf(peak), click - ZoomPlan::lookAhead + ZoomPlan::idleOut, 2 * step);
    EXPECT_GT(f[peak].scale, 1.79);
    for (size_t i = first + 1; i < f.size(); ++i)
        ASSERT_TRUE(i <= peak ? f[i].scale >= f[i - 1].scale : f[i].scale <= f[i - 1].scale)
            << "eases in without dipping, then out, frame " << i;
    EXPECT_LT(f[peak + 15].scale, f[peak].scale - 0.3);
    EXPECT_LT(f.back().scale, 1.001);
    EXPECT_NEAR(plan.camera(click + 1).x, 0.4, 1e-12) << "a still pointer keeps the camera on it";
}

TEST(ZoomPlanZoom, ScrollsHoldTheZoom) {
    const std::vector<double> scrolls{2.0, 2.3, 2.6, 2.9, 3.2, 3.5, 3.8, 4.1, 4.4, 4.7, 5.0};
    const ZoomPlan plan({}, still(0, 12, 0.5, 0.5), scrolls, 12.0);
    EXPECT_NEAR(timeOf(firstZoomedFrame(plan)), 2.0 - ZoomPlan::lookAhead, step);
    // Each scroll keeps the zoom 0.6 s; the last one (seen 0.15 s early) plus 4 s ends it.
    EXPECT_NEAR(timeOf(peakFrame(plan)), 5.0 + 0.6 - ZoomPlan::lookAhead + ZoomPlan::idleOut, 2 * step);
}

TEST(ZoomPlanZoom, FastTravelDropsTo135AndSlowingReturnsTo18) {
    // Still on a clicked spot, then round a circle at 1.5 per s for 2 s, then still again.
    const auto at = [](double t) {
        const double angle = 5.0 * std::clamp(t - 2.0, 0.0, 2.0);
        return QPointF(0.5 + 0.3 * std::cos(angle), 0.5 + 0.3 * std::sin(angle));
    };
    const ZoomPlan plan({{1.0, 0.8, 0.5}}, sampled(0, 10, at), {}, 10.0);
    EXPECT_GT(plan.camera(1.9).scale, 1.6);
    for (double t = 2.5; t <= 3.8; t += step)
        ASSERT_GE(plan.camera(t).scale, ZoomPlan::travelScale - 1e-9) << "travel does not zoom out, t=" << t;
    EXPECT_NEAR(plan.camera(3.8).scale, ZoomPlan::travelScale, 0.01);
    EXPECT_GT(plan.camera(6.0).scale, 1.79);
}

TEST(ZoomPlanZoom, MovingKeepsAZoomButDoesNotStartOne) {
    // Round and round at 0.3 per s (neither still nor travelling fast) for 20 s.
    const auto circle = [](double t) {
        return QPointF(0.5 + 0.2 * std::cos(1.5 * t), 0.5 + 0.2 * std::sin(1.5 * t));
    };
    const ZoomPlan unzoomed({}, sampled(0, 20, circle), {}, 20.0);
    EXPECT_EQ(firstZoomedFrame(unzoomed), unzoomed.frames().size());
    for (size_t i = 0; i < unzoomed.frames().size(); ++i) {
        const Camera& c = unzoomed.frames()[i];
        ASSERT_EQ(QPointF(c.x, c.y), circle(std::min(timeOf(i) + ZoomPlan::lookAhead, 20.0)))
            << "unzoomed, the camera sits on the pointer ahead, frame " << i;
    }

    const ZoomPlan clicked({{1.0, circle(1.0).x(), circle(1.0).y()}}, sampled(0, 20, circle), {}, 20.0);
    for (double t = 3.0; t <= 20.0; t += 0.5)
        ASSERT_GT(clicked.camera(t).scale, 1.79) << "still zoomed at " << t << " s, long after the click";
}

TEST(ZoomPlanCamera, DeadZoneKeepsTheCameraStillUntilThePointerLeavesItOrRests) {
    const double dead = 0.55 * 0.5 / ZoomPlan::maxScale;
    // Zoomed in at the centre until about 9 s.
    const std::vector<ZoomPlan::Click> clicks{{1.0, 0.5, 0.5}, {3.0, 0.5, 0.5}, {5.0, 0.5, 0.5}};

    // Within the dead zone: to 0.62 during 6.0…6.6 s at 0.2 per s, then rest.
    const auto shortMove = [](double t) { return QPointF(0.5 + 0.2 * std::clamp(t - 6.0, 0.0, 0.6), 0.5); };
    const ZoomPlan within(clicks, sampled(0, 12, shortMove), {}, 12.0);
    const auto& f = within.frames();
    EXPECT_GT(f[size_t(6.1 / step)].scale, 1.79);
    for (size_t i = size_t(std::ceil(6.1 / step)); timeOf(i) <= 6.4; ++i)
        ASSERT_TRUE(f[i].x == f[i - 1].x && f[i].y == f[i - 1].y)
            << "the camera stays put while the pointer moves inside the zone, frame " << i;
    EXPECT_LT(within.camera(6.4).x, 0.52);
    EXPECT_GT(within.camera(9.0).x, 0.61) << "resting for 0.35 s pulls the camera towards the pointer";

    // Beyond it: on to 0.9 during 6…8 s. The camera is dragged so that the pointer stays near the
    // zone's edge.
    const auto longMove = [](double t) { return QPointF(0.5 + 0.2 * std::clamp(t - 6.0, 0.0, 2.0), 0.5); };
    const ZoomPlan beyond(clicks, sampled(0, 12, longMove), {}, 12.0);
    EXPECT_GT(beyond.camera(7.9).x - beyond.camera(6.4).x, 0.1);
    for (double t = 6.0; t < 7.8; t += step)
        ASSERT_LT(longMove(t + ZoomPlan::lookAhead).x() - beyond.camera(t).x, dead + 0.05) << "t=" << t;
    // Following at a steady speed, the camera trails the zone's edge by the easing lag (6 per s):
    // each frame it closes the share k of the gap while the pointer moves on by 0.2 · step.
    const double k = 1 - std::exp(-6 * step);
    const double lag = 0.2 * step * (1 - k) / k;
    EXPECT_NEAR(longMove(7.6 + ZoomPlan::lookAhead).x() - beyond.camera(7.6).x, dead + lag, 0.002);
}

TEST(ZoomPlanCamera, QueriesBeforeBetweenAndAfterTheFrames) {
    const ZoomPlan plan({{1.0, 0.2, 0.3}}, sampled(0, 4, [](double t) { return QPointF(0.1 * t, 0.3); }));
    const auto& f = plan.frames();
    for (double before : {-5.0, 0.0, std::nan("")})
        EXPECT_EQ(plan.camera(before), f.front()) << before;
    EXPECT_EQ(plan.camera(1e9), f.back());
    const Camera between = plan.camera(40.5 * step);
    EXPECT_NEAR(between.scale, (f[40].scale + f[41].scale) / 2, 1e-12);
    EXPECT_NEAR(between.x, (f[40].x + f[41].x) / 2, 1e-12);
}

TEST(ZoomPlanRipple, LastsFiveFiftyMillisecondsAndTheLaterClickInTheListWins) {
    const QSizeF picture(1000, 500);
    const ZoomPlan one({{2.0, 0.25, 0.2}});
    EXPECT_FALSE(one.ripple(1.999, picture));
    const auto start = one.ripple(2.0, picture);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->pointPixelsYUp, QPointF(250, 400));
    EXPECT_EQ(start->progress, 0.0);
    EXPECT_NEAR(one.ripple(2.275, picture)->progress, 0.5, 1e-12);
    EXPECT_TRUE(one.ripple(2.549, picture));
    EXPECT_FALSE(one.ripple(2.55, picture)) << "ends exactly 0.55 s after the press";

    const ZoomPlan two({{2.0, 0.1, 0.1}, {2.2, 0.9, 0.9}});
    EXPECT_EQ(two.ripple(2.1, picture)->pointPixelsYUp, QPointF(100, 450));
    const auto later = two.ripple(2.3, picture);
    EXPECT_EQ(later->pointPixelsYUp, QPointF(900, 50));
    EXPECT_NEAR(later->progress, 0.1 / 0.55, 1e-12);
    EXPECT_EQ(two.ripple(2.6, picture)->pointPixelsYUp, QPointF(900, 50)) << "the first one has ended";

    // List order decides, not time order.
    const ZoomPlan reversed({{2.2, 0.9, 0.9}, {2.0, 0.1, 0.1}});
    EXPECT_EQ(reversed.ripple(2.3, picture)->pointPixelsYUp, QPointF(100, 450));
    EXPECT_EQ(reversed.clicks().front().time, 2.2) << "clicks are kept as given";
}

// Generated sessions: random walks with pauses and jumps, clicks, scrolls and sometimes a content
// map that changes over time. Odd seeds wander outside the recorded area.
TEST(ZoomPlanProperties, ScaleAndCameraStayInBoundsGlideAndTheVisibleRectangleStaysInThePicture) {
    const double maxScaleStep = (ZoomPlan::maxScale - 1) * (1 - std::exp(-5 * step)) + 1e-12;
    const double maxCameraStep = 1 - std::exp(-6 * step) + 1e-12; // aim and centre both lie in 0…1
    const QSizeF sizes[] = {{1920, 1080}, {1280, 800}, {333, 999}};
    int zoomedFrames = 0;
    for (unsigned seed = 1; seed <= 80; ++seed) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> unit(0, 1);
        const bool outside = seed % 2;
        std::uniform_real_distribution<double> coordinate(outside ? -0.3 : 0.0, outside ? 1.3 : 1.0);
        const auto clamp = [&](double v) { return std::clamp(v, coordinate.min(), coordinate.max()); };
        Path pointer;
        std::vector<ZoomPlan::Click> clicks;
        std::vector<double> scrolls;
        const double length = 10 + 40 * unit(rng);
        double x = coordinate(rng), y = coordinate(rng), vx = 0, vy = 0;
        for (double t = 0; t < length; t += 1.0 / 60) {
            const double r = unit(rng);
            if (r < 0.002) { // jump
                x = coordinate(rng);
                y = coordinate(rng);
            } else if (r < 0.02) { // new direction, sometimes a stop
                const double speed = unit(rng) < 0.3 ? 0 : 2.0 * unit(rng), angle = 6.2832 * unit(rng);
                vx = speed * std::cos(angle);
                vy = speed * std::sin(angle);
            }
            x = clamp(x + vx / 60);
            y = clamp(y + vy / 60);
            pointer.push_back({t, x, y});
            if (unit(rng) < 0.006) clicks.push_back({t, x, y});
            if (unit(rng) < 0.004) scrolls.push_back(t);
        }
        std::shuffle(clicks.begin(), clicks.end(), rng); // out of order is allowed
        const std::optional<double> duration =
            unit(rng) < 0.5 ? std::optional<double>(length + 2 * unit(rng) - 1) : std::nullopt;
        std::optional<ContentMap> content;
        if (unit(rng) < 0.5) {
            std::vector<std::pair<double, ContentMap::Cells>> grids;
            for (double t = 0; t < length; t += 1 + 3 * unit(rng)) {
                ContentMap::Cells cells{};
                for (int block = int(4 * unit(rng)); block > 0; --block) {
                    const int r0 = int(unit(rng) * ContentMap::rows),
                              c0 = int(unit(rng) * ContentMap::columns);
                    fillCells(cells, r0, c0, std::min(ContentMap::rows, r0 + 1 + int(10 * unit(rng))),
                              std::min(ContentMap::columns, c0 + 1 + int(16 * unit(rng))));
                }
                grids.emplace_back(t, cells);
            }
            content = ContentMap(grids);
        }
        const ZoomPlan plan(clicks, pointer, scrolls, duration, content ? &*content : nullptr);

        const auto& f = plan.frames();
        ASSERT_FALSE(f.empty());
        for (size_t i = 0; i < f.size(); ++i) {
            ASSERT_TRUE(f[i].scale >= 1.0 && f[i].scale <= ZoomPlan::maxScale)
                << "seed " << seed << " frame " << i;
            ASSERT_TRUE(outside || (f[i].x >= 0 && f[i].x <= 1 && f[i].y >= 0 && f[i].y <= 1))
                << "seed " << seed;
            if (i == 0) continue;
            ASSERT_LE(std::abs(f[i].scale - f[i - 1].scale), maxScaleStep)
                << "seed " << seed << " frame " << i;
            if (!outside && f[i].scale >= 1.05) {
                ++zoomedFrames;
                ASSERT_LE(std::abs(f[i].x - f[i - 1].x), maxCameraStep) << "seed " << seed << " frame " << i;
                ASSERT_LE(std::abs(f[i].y - f[i - 1].y), maxCameraStep) << "seed " << seed << " frame " << i;
            }
        }
        for (int k = 0; k < 200; ++k) {
            const double t = -1 + (timeOf(f.size()) + 2) * unit(rng);
            const QSizeF& size = sizes[k % 3];
            const QRectF r = plan.visibleRect(t, size);
            ASSERT_TRUE(r.x() >= -1e-9 && r.y() >= -1e-9 && r.right() <= size.width() + 1e-9 &&
                        r.bottom() <= size.height() + 1e-9)
                << "seed " << seed << " t=" << t;
            ASSERT_GE(r.width(), size.width() / ZoomPlan::maxScale - 1e-9);
        }
    }
    EXPECT_GT(zoomedFrames, 10000) << "the sessions exercise the zoomed-in camera";
}
