#include "longpage/ScrollStitcher.h"

#include <QColorSpace>
#include <QPainter>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

#include <QtEndian>
#if defined(__x86_64__)
#include <immintrin.h>
#define OMBREL_X86_DISPATCH 1
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ombrel {

namespace {

// The sum over pixels [from, to) of one row of 11 × red + 16 × green + 5 × blue.
unsigned weightedSumPlain(const QRgb* line, int from, int to) {
    unsigned red = 0, green = 0, blue = 0;
    int x = from;
#if defined(__SSE2__)
    // Four pixels at a time: masking keeps one channel's bytes and a sum of absolute
    // differences against zero adds them up, exactly as the plain loop would.
    if (to - from >= 4) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i blueMask = _mm_set1_epi32(0x000000ff);
        const __m128i greenMask = _mm_set1_epi32(0x0000ff00);
        const __m128i redMask = _mm_set1_epi32(0x00ff0000);
        __m128i r = zero, g = zero, b = zero;
        for (; x + 4 <= to; x += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + x));
            b = _mm_add_epi64(b, _mm_sad_epu8(_mm_and_si128(p, blueMask), zero));
            g = _mm_add_epi64(g, _mm_sad_epu8(_mm_and_si128(p, greenMask), zero));
            r = _mm_add_epi64(r, _mm_sad_epu8(_mm_and_si128(p, redMask), zero));
        }
        auto lanes = [](__m128i v) {
            return unsigned(_mm_cvtsi128_si32(v)) + unsigned(_mm_cvtsi128_si32(_mm_unpackhi_epi64(v, v)));
        };
        red = lanes(r);
        green = lanes(g);
        blue = lanes(b);
    }
#endif
    for (; x < to; ++x) {
        const QRgb p = line[x];
        red += qRed(p);
        green += qGreen(p);
        blue += qBlue(p);
    }
    return red * 11 + green * 16 + blue * 5;
}

#if defined(OMBREL_X86_DISPATCH)
// The same sum eight pixels at a time: one multiply-add weighs the bytes of a pixel and
// adds blue with green and red with alpha (weight 0), a second adds the two halves.
__attribute__((target("avx2"))) unsigned weightedSumAvx2(const QRgb* line, int from, int to) {
    int x = from;
    unsigned total = 0;
    if (to - from >= 8) {
        const __m256i weights = _mm256_set1_epi32(0x000b1005); // bytes B, G, R, A: 5, 16, 11, 0
        const __m256i ones = _mm256_set1_epi16(1);
        __m256i sum = _mm256_setzero_si256();
        for (; x + 8 <= to; x += 8) {
            const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + x));
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(_mm256_maddubs_epi16(p, weights), ones));
        }
        __m128i half = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
        half = _mm_add_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(1, 0, 3, 2)));
        half = _mm_add_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(2, 3, 0, 1)));
        total = unsigned(_mm_cvtsi128_si32(half));
    }
    for (; x < to; ++x) {
        const QRgb p = line[x];
        total += qRed(p) * 11 + qGreen(p) * 16 + qBlue(p) * 5;
    }
    return total;
}
#endif

using WeightedSum = unsigned (*)(const QRgb*, int, int);

WeightedSum weightedSum() {
#if defined(OMBREL_X86_DISPATCH)
    static const WeightedSum best = __builtin_cpu_supports("avx2") ? &weightedSumAvx2 : &weightedSumPlain;
    return best;
#else
    return &weightedSumPlain;
#endif
}

// A pixel buffer for a picture of many megabytes, asked of the kernel in huge pages where it
// offers them: filling a long page one 4 KiB page fault at a time cost more than the copy.
uchar* allocatePicture(std::size_t bytes) {
    constexpr std::size_t hugePage = std::size_t(2) << 20;
    const std::size_t rounded = (bytes + hugePage - 1) / hugePage * hugePage;
    void* memory = nullptr;
    if (posix_memalign(&memory, hugePage, rounded) != 0) return nullptr;
#if defined(MADV_HUGEPAGE)
    madvise(memory, rounded, MADV_HUGEPAGE);
#endif
    return static_cast<uchar*>(memory);
}

// Copies one row of 0xAARRGGBB pixels (premultiplied or opaque) into R, G, B, A bytes.
void copyRowAsRgba(const QRgb* from, quint32* to, int count) {
    for (int x = 0; x < count; ++x) {
        const quint32 p = from[x];
        to[x] = qToLittleEndian((p & 0xff00ff00u) | ((p >> 16) & 0xffu) | ((p & 0xffu) << 16));
    }
}

} // namespace

ScrollStitcher::RowSignatures ScrollStitcher::rowSignatures(const QImage& frame, Instructions instructions) {
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

    const WeightedSum sum = instructions == Instructions::Portable ? &weightedSumPlain : weightedSum();
    for (int y = 0; y < rows.rowCount; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        std::uint8_t* out = rows.samples.data() + std::size_t(y) * sampleWidth;
        for (int i = 0; i < sampleWidth; ++i) {
            // The usual 11:16:5 luma weights, rounded to the nearest grey level.
            const unsigned weighted = sum(line, firstColumn[i], lastColumn[i]);
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
    const qsizetype lineBytes = qsizetype(widthPx) * 4;
    if (widthPx <= 0 || height_ <= 0) return {};
    uchar* buffer = allocatePicture(std::size_t(lineBytes) * std::size_t(height_));
    if (!buffer) return {};
    QImage picture(
        buffer, widthPx, height_, lineBytes, QImage::Format_RGBA8888_Premultiplied,
        [](void* memory) { std::free(memory); }, buffer);
    picture.setColorSpace(QColorSpace::SRgb);

    // Rows go straight from each frame into the picture: no copy of the slice in between.
    int topPx = 0;
    for (const Slice& slice : slices_) {
        const QRect rowsPx(0, slice.from, widthPx, slice.rowCount());
        // A slice whose rows are not all inside its frame cannot be cut: skip it, so the
        // rows it would have filled stay transparent at the bottom.
        if (rowsPx.isEmpty() || !slice.image.rect().contains(rowsPx)) continue;
        const QImage::Format format = slice.image.format();
        if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied) {
            for (int y = 0; y < rowsPx.height(); ++y)
                copyRowAsRgba(reinterpret_cast<const QRgb*>(slice.image.constScanLine(slice.from + y)),
                              reinterpret_cast<quint32*>(picture.scanLine(topPx + y)), widthPx);
        } else {
            const QImage rows =
                slice.image.copy(rowsPx).convertToFormat(QImage::Format_RGBA8888_Premultiplied);
            for (int y = 0; y < rows.height(); ++y)
                std::memcpy(picture.scanLine(topPx + y), rows.constScanLine(y), size_t(lineBytes));
        }
        topPx += rowsPx.height();
    }
    for (int y = topPx; y < height_; ++y)
        std::memset(picture.scanLine(y), 0, size_t(lineBytes));
    return picture;
}

} // namespace ombrel
