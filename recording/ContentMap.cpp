#include "recording/ContentMap.h"

#include "recording/VideoThumbnails.h"

#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>

namespace ombrel {

namespace {

// A thumbnail is taken at most this often, and at most this many per video.
constexpr double minThumbnailSpacingSeconds = 1.0;
constexpr int maxThumbnails = 240;
// How far from the requested time a thumbnail may be taken.
constexpr double thumbnailToleranceSeconds = 0.4;
// A pointer cell with fewer true neighbours than this is the arrow, not content.
constexpr int connectedNeighbours = 3;
// Half-size of the neighbourhood around the pointer that is cleaned.
constexpr int pointerReachCells = 2;
// isBlank looks at a square of ±0.05 of the width, i.e. ±0.05 · 16/9 of the height.
constexpr double blankHalfWidth = 0.05;
constexpr double blankHalfHeight = 0.05 * 16.0 / 9.0;
constexpr double blankShare = 0.02;
// bestCenter: a view at least this full is good enough; a candidate must beat the current
// aim by this much; candidates lie on a 5 × 5 lattice of this fraction of the view.
constexpr double enoughFilled = 0.5;
constexpr double requiredGain = 0.04;
constexpr double keepMarginFactor = 0.85;
constexpr double candidateSpacing = 0.15;
constexpr double distancePenalty = 0.25;

// trunc/ceil of a normalised coordinate times the grid size, clamped before converting so that
// coordinates far outside 0…1 stay defined.
int cellFloor(double v, int lo, int hi) {
    const double cell = std::trunc(v);
    return !(cell >= lo) ? lo : cell > hi ? hi : int(cell); // NaN counts as the low end
}
int cellCeil(double v, int lo, int hi) {
    const double cell = std::ceil(v);
    return !(cell >= lo) ? lo : cell > hi ? hi : int(cell); // NaN counts as the low end
}

} // namespace

ContentMap::ContentMap(std::vector<std::pair<double, Cells>> gridsByTime) {
    std::stable_sort(gridsByTime.begin(), gridsByTime.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    samples_.reserve(gridsByTime.size());
    for (const auto& [time, grid] : gridsByTime) {
        Sample s;
        s.time = time;
        s.cells = grid;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c)
                s.sums[(r + 1) * sumsStride + c + 1] =
                    int32_t(grid[r * columns + c]) + s.sums[r * sumsStride + c + 1] +
                    s.sums[(r + 1) * sumsStride + c] - s.sums[r * sumsStride + c];
        s.share = double(s.sums.back()) / double(cellCount);
        samples_.push_back(s);
    }
}

ContentMap::Cells ContentMap::cellsOfGrey(const uint8_t* grey) {
    Cells out{};
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            int darkest = 255;
            int brightest = 0;
            for (int py = r * pixelsPerCell; py < (r + 1) * pixelsPerCell; ++py) {
                const uint8_t* row = grey + py * thumbnailWidth + c * pixelsPerCell;
                for (int px = 0; px < pixelsPerCell; ++px) {
                    darkest = std::min<int>(darkest, row[px]);
                    brightest = std::max<int>(brightest, row[px]);
                }
            }
            out[r * columns + c] = brightest - darkest >= contrast;
        }
    }
    return out;
}

ContentMap::Cells ContentMap::cells(const QImage& picture) {
    QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    if (grey.size() != QSize(thumbnailWidth, thumbnailHeight))
        grey = grey.scaled(thumbnailWidth, thumbnailHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Scan lines of a QImage may be padded; copy them into a tight 480-byte-per-row bitmap.
    std::vector<uint8_t> tight(size_t(thumbnailWidth) * thumbnailHeight);
    for (int y = 0; y < thumbnailHeight; ++y)
        std::copy_n(grey.constScanLine(y), thumbnailWidth, tight.data() + size_t(y) * thumbnailWidth);
    return cellsOfGrey(tight.data());
}

ContentMap::Cells ContentMap::withoutPointer(const Cells& in, double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return in;
    Cells out = in;
    // Clamp before converting: a pointer far outside the picture touches no cell.
    const int pc = int(std::trunc(std::clamp(x * columns, -1000.0, 1000.0)));
    const int pr = int(std::trunc(std::clamp(y * rows, -1000.0, 1000.0)));
    for (int r = std::max(pr - pointerReachCells, 0); r <= std::min(pr + pointerReachCells, rows - 1); ++r) {
        for (int c = std::max(pc - pointerReachCells, 0); c <= std::min(pc + pointerReachCells, columns - 1);
             ++c) {
            if (!in[r * columns + c]) continue;
            int neighbours = 0;
            for (int nr = std::max(r - 1, 0); nr <= std::min(r + 1, rows - 1); ++nr)
                for (int nc = std::max(c - 1, 0); nc <= std::min(c + 1, columns - 1); ++nc)
                    if ((nr != r || nc != c) && in[nr * columns + nc]) ++neighbours;
            if (neighbours < connectedNeighbours) out[r * columns + c] = false;
        }
    }
    return out;
}

const ContentMap::Sample* ContentMap::sample(double atSeconds) const {
    if (samples_.empty()) return nullptr;
    const auto after = std::upper_bound(samples_.begin(), samples_.end(), atSeconds,
                                        [](double t, const Sample& s) { return t < s.time; });
    return after == samples_.begin() ? &samples_.front() : &*std::prev(after);
}

double ContentMap::share(const Sample& s, double x0, double y0, double x1, double y1) {
    const int c0 = cellFloor(x0 * columns, 0, columns - 1);
    const int r0 = cellFloor(y0 * rows, 0, rows - 1);
    const int c1 = cellCeil(x1 * columns, c0 + 1, columns);
    const int r1 = cellCeil(y1 * rows, r0 + 1, rows);
    const auto sum = [&](int r, int c) { return s.sums[r * sumsStride + c]; };
    const int count = sum(r1, c1) - sum(r0, c1) - sum(r1, c0) + sum(r0, c0);
    return double(count) / double((c1 - c0) * (r1 - r0));
}

bool ContentMap::isBlank(double x, double y, double atSeconds) const {
    const Sample* s = sample(atSeconds);
    if (!s || !usable(*s)) return false;
    return share(*s, x - blankHalfWidth, y - blankHalfHeight, x + blankHalfWidth, y + blankHalfHeight) <
           blankShare;
}

std::optional<QPointF> ContentMap::nearestContent(double x, double y, double atSeconds, double within) const {
    const Sample* s = sample(atSeconds);
    if (!s || !usable(*s)) return std::nullopt;
    std::optional<QPointF> best;
    double bestDistance = within;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (!s->cells[r * columns + c]) continue;
            const double cx = (c + 0.5) / columns;
            const double cy = (r + 0.5) / rows;
            // A step down the 16:9 picture is 9/16 as long as the same step across it.
            const double distance = std::hypot(cx - x, (cy - y) * 9.0 / 16.0);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = QPointF(cx, cy);
            }
        }
    }
    return best;
}

std::optional<QPointF> ContentMap::bestCenter(double x, double y, QPointF keeping, double scale,
                                              double atSeconds) const {
    const Sample* s = sample(atSeconds);
    if (!s || !usable(*s)) return std::nullopt;
    const double view = 1.0 / scale;
    const auto clampToView = [view](double v) { return std::min(std::max(v, view / 2), 1.0 - view / 2); };
    const auto filled = [&](double cx, double cy) {
        return share(*s, cx - view / 2, cy - view / 2, cx + view / 2, cy + view / 2);
    };

    const double cx = clampToView(x);
    const double cy = clampToView(y);
    const double here = filled(cx, cy);
    if (here >= enoughFilled) return std::nullopt;

    double bestScore = here + requiredGain;
    const double margin = (view / 2) * keepMarginFactor;
    std::optional<QPointF> best;
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            if (dx == 0 && dy == 0) continue;
            const double nx = clampToView(cx + dx * view * candidateSpacing);
            const double ny = clampToView(cy + dy * view * candidateSpacing);
            if (!(std::abs(nx - keeping.x()) < margin && std::abs(ny - keeping.y()) < margin)) continue;
            const double score = filled(nx, ny) - std::hypot(nx - cx, ny - cy) * distancePenalty / view;
            if (score > bestScore) {
                bestScore = score;
                best = QPointF(nx, ny);
            }
        }
    }
    return best;
}

std::optional<ContentMap> ContentMap::readNow(const QString& videoPath,
                                              const std::vector<ZoomPlan::PointerSample>& pointer,
                                              std::optional<double> durationSeconds) {
    if (!durationSeconds || !(*durationSeconds > 0)) return std::nullopt;
    VideoThumbnails video(videoPath, thumbnailWidth, thumbnailHeight);
    if (!video.isOpen()) return std::nullopt;

    // The pointer path must be sorted by time for position().
    std::vector<ZoomPlan::PointerSample> path = pointer;
    std::stable_sort(path.begin(), path.end(), [](const auto& a, const auto& b) { return a.time < b.time; });

    const double duration = *durationSeconds;
    const double spacing = std::max(minThumbnailSpacingSeconds, duration / maxThumbnails);
    std::vector<std::pair<double, Cells>> grids;
    std::vector<uint8_t> grey;
    for (int i = 0;; ++i) {
        const double t = i * spacing;
        if (!(t < duration)) break;
        if (!video.greyFrameNear(t, thumbnailToleranceSeconds, grey)) continue;
        Cells found = cellsOfGrey(grey.data());
        if (!path.empty()) {
            const QPointF p = ZoomPlan::position(path, t);
            found = withoutPointer(found, std::clamp(p.x(), 0.0, 1.0), std::clamp(p.y(), 0.0, 1.0));
        }
        grids.emplace_back(t, found);
    }
    if (grids.empty()) return std::nullopt;
    return ContentMap(std::move(grids));
}

QFuture<std::optional<ContentMap>> ContentMap::read(const QString& videoPath,
                                                    std::vector<ZoomPlan::PointerSample> pointer,
                                                    std::optional<double> durationSeconds) {
    return QtConcurrent::run([videoPath, pointer = std::move(pointer), durationSeconds] {
        return readNow(videoPath, pointer, durationSeconds);
    });
}

} // namespace ombrel
