#include "longpage/ScrollStitcher.h"

#include <QColorSpace>
#include <QPainter>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ombrel {

ScrollStitcher::RowSignatures ScrollStitcher::rowSignatures(const QImage& frame) {
    RowSignatures rows;
    if (frame.isNull()) return rows;
    // Premultiplied pixels are the frame already composited over black.
    const QImage pixels =
        frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32_Premultiplied
            ? frame
            : frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int widthPx = pixels.width();
    rows.rowCount = pixels.height();
    rows.samples.resize(std::size_t(rows.rowCount) * sampleWidth);

    // Sample i averages the columns [firstColumn[i], firstColumn[i + 1]); a frame narrower
    // than the signature repeats its columns.
    std::array<int, sampleWidth + 1> firstColumn{};
    std::array<int, sampleWidth> columnCount{};
    for (int i = 0; i <= sampleWidth; ++i)
        firstColumn[i] = int(qint64(i) * widthPx / sampleWidth);
    std::array<int, sampleWidth> lastColumn{};
    for (int i = 0; i < sampleWidth; ++i) {
        lastColumn[i] = std::max(firstColumn[i + 1], std::min(firstColumn[i] + 1, widthPx));
        columnCount[i] = lastColumn[i] - firstColumn[i];
    }

    for (int y = 0; y < rows.rowCount; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        std::uint8_t* out = rows.samples.data() + std::size_t(y) * sampleWidth;
        for (int i = 0; i < sampleWidth; ++i) {
            unsigned red = 0, green = 0, blue = 0;
            for (int x = firstColumn[i]; x < lastColumn[i]; ++x) {
                const QRgb p = line[x];
                red += qRed(p);
                green += qGreen(p);
                blue += qBlue(p);
            }
            // The usual 11:16:5 luma weights, rounded to the nearest grey level.
            const unsigned weighted = red * 11 + green * 16 + blue * 5;
            const unsigned divisor = 32u * unsigned(columnCount[i]);
            out[i] = std::uint8_t((weighted + divisor / 2) / divisor);
        }
    }
    return rows;
}

int ScrollStitcher::difference(const std::uint8_t* a, const std::uint8_t* b) {
#if defined(__SSE2__)
    // The sum of absolute byte differences is one instruction per 16 samples.
    static_assert(sampleWidth % 16 == 0);
    __m128i total = _mm_setzero_si128();
    for (int i = 0; i < sampleWidth; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        total = _mm_add_epi64(total, _mm_sad_epu8(x, y));
    }
    return _mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(total, total));
#else
    int sum = 0;
    for (int i = 0; i < sampleWidth; ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum;
#endif
}

void ScrollStitcher::restart(const QImage& frame, RowSignatures rows) {
    slices_ = {Slice{frame, 0, frame.height()}};
    height_ = frame.height();
    lastImage_ = frame;
    lastRows_ = std::move(rows);
}

int ScrollStitcher::add(const QImage& frame) {
    if (frame.isNull()) return 0;
    RowSignatures rows = rowSignatures(frame);
    const int frameHeightPx = frame.height();

    // A first frame, or one of another size, starts the picture afresh.
    if (lastImage_.isNull() || lastImage_.size() != frame.size()) {
        restart(frame, std::move(rows));
        return frameHeightPx;
    }

    auto changed = [&](int y) { return difference(rows.row(y), lastRows_.row(y)) >= changedRowDifference; };

    // The moving band [top, bottom): above it a fixed header, below it a fixed footer,
    // both identical in the two frames.
    int top = 0;
    while (top < frameHeightPx && !changed(top))
        ++top;
    if (top == frameHeightPx) return 0; // nothing moved
    int bottom = frameHeightPx;
    while (bottom > top && !changed(bottom - 1))
        --bottom;
    const int span = bottom - top;
    if (span <= maxIgnoredBandRows) return 0;

    // The content moved up by `shift` rows when this frame's row y shows what the previous
    // frame showed at row y + shift. Try every shift on a sample of the band's rows and keep
    // the one with the lowest average difference; on a tie the shorter shift stays.
    const int step = std::max(1, span / sampledRowsPerShift);
    const int maxShift = std::max(2, span * 9 / 10);
    int best = 0;
    int bestScore = INT_MAX;
    for (int shift = 1; shift <= maxShift; ++shift) {
        int sum = 0;
        int count = 0;
        for (int y = top; y + shift < bottom; y += step) {
            sum += difference(rows.row(y), lastRows_.row(y + shift));
            ++count;
        }
        if (count < minComparedRows) break; // longer shifts overlap even fewer rows
        const int score = sum / count;
        if (score < bestScore) {
            best = shift;
            bestScore = score;
        }
    }
    if (best <= 0 || bestScore >= rejectedScore || height_ + best > maxHeight) return 0;

    // While the last slice still reaches the bottom of its frame it holds that frame's
    // footer: cut it off so that the page continues directly below the content.
    Slice& last = slices_.last();
    const bool cutFooter = last.to == frameHeightPx && bottom < frameHeightPx && bottom > last.from;

    // The new rows join exactly where the previous slice ends. They are the `best` rows above
    // that row in this frame: the band's bottom wanders from frame to frame (blank rows just
    // above a footer look fixed), so cutting at it would repeat or lose rows.
    const int joinRow = cutFooter ? bottom : last.to;
    if (joinRow - best < 0) return 0; // the rows that continue the picture have scrolled out of this frame
    if (cutFooter) {
        height_ -= frameHeightPx - bottom;
        last.to = bottom;
    }
    slices_.append(Slice{frame, joinRow - best, joinRow});
    height_ += best;
    lastImage_ = frame;
    lastRows_ = std::move(rows);
    return best;
}

QImage ScrollStitcher::finished() const {
    if (slices_.isEmpty()) return {};
    const int widthPx = slices_.first().image.width();
    QImage picture(widthPx, height_, QImage::Format_RGBA8888_Premultiplied);
    if (picture.isNull()) return {};
    picture.setColorSpace(QColorSpace::SRgb);

    // Rows are converted slice by slice (Qt's converters are vectorised) and copied in
    // whole lines; painting them through QPainter was several times slower.
    const qsizetype lineBytes = qsizetype(widthPx) * 4;
    int topPx = 0;
    for (const Slice& slice : slices_) {
        const QRect rowsPx(0, slice.from, widthPx, slice.rowCount());
        // A slice whose rows are not all inside its frame cannot be cut: skip it, so the
        // rows it would have filled stay transparent at the bottom.
        if (rowsPx.isEmpty() || !slice.image.rect().contains(rowsPx)) continue;
        const QImage rows = slice.image.copy(rowsPx).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        for (int y = 0; y < rows.height(); ++y)
            std::memcpy(picture.scanLine(topPx + y), rows.constScanLine(y), size_t(lineBytes));
        topPx += rowsPx.height();
    }
    for (int y = topPx; y < height_; ++y)
        std::memset(picture.scanLine(y), 0, size_t(lineBytes));
    return picture;
}

} // namespace ombrel
