#pragma once
// Where a recording shows something: a coarse grid over the picture for moments of the video,
// true where a cell holds content (text, icons, edges) and false where it is a uniform area
// (blank desktop, empty page margins). The zoom camera uses it to avoid aiming at nothing.
//
// Positions are normalised to the recorded area as in ZoomPlan. The grid is 48 × 27 cells,
// row 0 at the top, each cell 10 × 10 pixels of a 480 × 270 grey thumbnail.

#include "recording/ZoomPlan.h"

#include <QFuture>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace ombrel {

class ContentMap {
  public:
    static constexpr int columns = 48;
    static constexpr int rows = 27;
    static constexpr int cellCount = columns * rows;

    // The content grid of one thumbnail, row-major: index = row · columns + column.
    using Cells = std::array<bool, cellCount>;

    ContentMap() = default;
    // Builds the map from grids taken at the given times (any order).
    explicit ContentMap(std::vector<std::pair<double, Cells>> gridsByTime);

    // Reads thumbnails of the video near evenly spaced times (at most 240, at most one per
    // second) on a worker thread and maps their content, with the mouse pointer (at the given
    // positions) taken out. Answers nothing when the duration is unknown or not positive, or
    // when no picture can be read. Unreadable moments are skipped.
    static QFuture<std::optional<ContentMap>> read(const QString& videoPath,
                                                   std::vector<ZoomPlan::PointerSample> pointer,
                                                   std::optional<double> durationSeconds);
    // The same work on the calling thread.
    static std::optional<ContentMap> readNow(const QString& videoPath,
                                             const std::vector<ZoomPlan::PointerSample>& pointer,
                                             std::optional<double> durationSeconds);

    // True when the map holds a usable grid for that moment and the square of about a tenth of
    // the picture's width around (x, y) is almost empty.
    bool isBlank(double x, double y, double atSeconds) const;

    // The centre of the nearest content cell closer than `within` (distances measured as on the
    // 16:9 picture), or nothing.
    std::optional<QPointF> nearestContent(double x, double y, double atSeconds, double within) const;

    // A camera centre near (x, y) whose view at `scale` shows clearly more content, while
    // `keeping` stays well inside the view; nothing when (x, y) is good enough or no nearby
    // centre is better.
    std::optional<QPointF> bestCenter(double x, double y, QPointF keeping, double scale,
                                      double atSeconds) const;

    // The content grid of a picture, drawn into a 480 × 270 grey bitmap first.
    static Cells cells(const QImage& picture);

    bool isEmpty() const { return samples_.empty(); }
    int sampleCount() const { return int(samples_.size()); }

  private:
    friend struct ContentMapInspector;

    static constexpr int pixelsPerCell = 10;
    static constexpr int thumbnailWidth = columns * pixelsPerCell; // 480
    static constexpr int thumbnailHeight = rows * pixelsPerCell;   // 270
    static constexpr int contrast = 18; // grey levels between darkest and brightest in a cell
    static constexpr int sumsStride = columns + 1;

    struct Sample {
        double time = 0;
        Cells cells{};
        std::array<int32_t, (rows + 1) * sumsStride> sums{}; // summed-area table of cells
        double share = 0;                                    // fraction of cells that are true
    };

    // The content grid of a 480 × 270 grey bitmap, 480 bytes per row, top row first.
    static Cells cellsOfGrey(const uint8_t* grey480x270);
    // Clears thinly connected cells around the pointer: the arrow itself is not content.
    static Cells withoutPointer(const Cells& cells, double x, double y);

    const Sample* sample(double atSeconds) const;
    static double share(const Sample& sample, double x0, double y0, double x1, double y1);
    static bool usable(const Sample& sample) { return sample.share > 0.005; }

    std::vector<Sample> samples_; // sorted by time
};

} // namespace ombrel
