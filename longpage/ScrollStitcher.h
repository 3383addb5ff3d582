#pragma once
// Joins the frames of a window scrolled from top to bottom into one tall picture.
//
// Each frame is compared with the previous accepted one through row signatures (64 grey
// samples per pixel row). Rows that stay put at the top and bottom are a fixed header and
// footer; the rows between them are the moving band, and the shift that best lines up the
// band of the two frames is how far the content scrolled. Only the newly revealed rows of
// each frame are kept, so the result holds the header once, the page in order, and no footer.
//
// Pure logic over bitmaps: no screen, no timer, no window.

#include <QImage>
#include <QList>

#include <cstdint>
#include <vector>

namespace ombrel {

class ScrollStitcher {
  public:
    // One part of the final picture: rows [from, to) of a frame, counted from its top.
    struct Slice {
        QImage image; // the whole frame the rows are cut from
        int from = 0;
        int to = 0;

        int rowCount() const { return to - from; }
    };

    // The row signatures of one frame: `sampleWidth` grey bytes per pixel row, top row first.
    struct RowSignatures {
        int rowCount = 0;
        std::vector<std::uint8_t> samples; // rowCount × sampleWidth bytes

        const std::uint8_t* row(int y) const { return samples.data() + std::size_t(y) * sampleWidth; }
    };

    // Most pixel rows the final picture may have.
    static constexpr int maxHeight = 30000;
    // Grey samples per row signature.
    static constexpr int sampleWidth = 64;
    // Two rows at the same place whose signatures differ by at least this much have changed.
    static constexpr int changedRowDifference = 128;
    // A moving band of this many rows or fewer is too small to tell a scroll from a flicker.
    static constexpr int maxIgnoredBandRows = 20;
    // Rows sampled per tried shift, at most about this many.
    static constexpr int sampledRowsPerShift = 120;
    // A shift that lines up fewer rows than this is not tried (nor any longer one).
    static constexpr int minComparedRows = 8;
    // A best average row difference at or above this means the frames do not match.
    static constexpr int rejectedScore = 512;

    // Takes the next frame. Returns the pixel rows it added to the final picture: the whole
    // height for a first frame (or one of a new size, which restarts the stitch), the scroll
    // distance for an accepted frame, 0 when the frame was not used (then nothing changes and
    // the next frame is again compared with the last accepted one).
    int add(const QImage& frame);

    // The stitched picture: RGBA, premultiplied, sRGB, `height()` rows tall, as wide as the
    // first slice's frame. A null image when no frame was added.
    QImage finished() const;

    const QList<Slice>& slices() const { return slices_; }
    int height() const { return height_; }

    // The frame drawn 64 samples wide at its own height in grey over black (so transparent
    // pixels count as black); row y of that bitmap is the signature of the frame's row y.
    // `Portable` forces the code every x86-64 processor runs, for comparing the two.
    enum class Instructions { Fastest, Portable };
    static RowSignatures rowSignatures(const QImage& frame,
                                       Instructions instructions = Instructions::Fastest);
    // Sum of the absolute differences of the 64 samples: 0 to 16320.
    static int difference(const std::uint8_t* a, const std::uint8_t* b);

  private:
    void restart(const QImage& frame, RowSignatures rows);

    QList<Slice> slices_;
    RowSignatures lastRows_;
    QImage lastImage_; // the previous accepted frame; null before the first
    int height_ = 0;
};

} // namespace ombrel
