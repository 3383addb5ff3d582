#pragma once
// Access to the private workings of the zoom planner and the content map, and builders of
// pointer paths and content grids for the recording tests.

#include "recording/ContentMap.h"
#include "recording/ZoomPlan.h"

#include <functional>
#include <vector>

namespace ombrel {

struct ZoomPlanInspector {
    static QPointF position(const std::vector<ZoomPlan::PointerSample>& path, double t) {
        return ZoomPlan::position(path, t);
    }
};

struct ContentMapInspector {
    static ContentMap::Cells cells(const QImage& picture) { return ContentMap::cells(picture); }
    static ContentMap::Cells withoutPointer(const ContentMap::Cells& cells, double x, double y) {
        return ContentMap::withoutPointer(cells, x, y);
    }
    static std::vector<double> times(const ContentMap& map) {
        std::vector<double> out;
        for (const auto& s : map.samples_)
            out.push_back(s.time);
        return out;
    }
    static const ContentMap::Cells& cellsAt(const ContentMap& map, int index) {
        return map.samples_.at(index).cells;
    }
    static double sampleShare(const ContentMap& map, int index) { return map.samples_.at(index).share; }
    static bool usable(const ContentMap& map, int index) {
        return ContentMap::usable(map.samples_.at(index));
    }
    static double share(const ContentMap& map, int index, double x0, double y0, double x1, double y1) {
        return ContentMap::share(map.samples_.at(index), x0, y0, x1, y1);
    }
};

namespace test {

using Path = std::vector<ZoomPlan::PointerSample>;

// Samples of `at(t)` every 1/60 s from `fromSeconds` to `toSeconds` inclusive.
inline Path sampled(double fromSeconds, double toSeconds, const std::function<QPointF(double)>& at) {
    Path path;
    for (int i = 0;; ++i) {
        const double t = fromSeconds + i / 60.0;
        if (t > toSeconds + 1e-9) break;
        const QPointF p = at(t);
        path.push_back({t, p.x(), p.y()});
    }
    return path;
}

inline Path still(double fromSeconds, double toSeconds, double x, double y) {
    return sampled(fromSeconds, toSeconds, [=](double) { return QPointF(x, y); });
}

inline void append(Path& path, const Path& more) {
    path.insert(path.end(), more.begin(), more.end());
}

inline ContentMap::Cells noCells() {
    return ContentMap::Cells{};
}
inline ContentMap::Cells allCells() {
    ContentMap::Cells c;
    c.fill(true);
    return c;
}
inline void setCell(ContentMap::Cells& cells, int row, int column, bool on = true) {
    cells[row * ContentMap::columns + column] = on;
}
inline bool cell(const ContentMap::Cells& cells, int row, int column) {
    return cells[row * ContentMap::columns + column];
}
// Fills the cells of rows [r0, r1) and columns [c0, c1).
inline void fillCells(ContentMap::Cells& cells, int r0, int c0, int r1, int c1) {
    for (int r = r0; r < r1; ++r)
        for (int c = c0; c < c1; ++c)
            setCell(cells, r, c);
}
inline ContentMap mapOf(const ContentMap::Cells& cells) {
    return ContentMap({{0.0, cells}});
}

} // namespace test
} // namespace ombrel
