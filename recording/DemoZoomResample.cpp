// Built with -O3 (see CMakeLists.txt): the inner loops are meant to be vectorised.
#include "recording/DemoZoomResample.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>
#include <vector>

namespace ombrel::DemoZoom {

namespace {

// Weights are fixed point with 8 fractional bits: 256 is the whole sample.
constexpr int weightBits = 8;
constexpr int one = 1 << weightBits;

// For every output sample along one axis, the first of the two source samples it mixes and
// the weight of the second one.
struct Taps {
    std::vector<int> first;
    std::vector<uint16_t> weight;
};

Taps tapsFor(double from, double length, int outCount, int sourceCount) {
    Taps taps;
    taps.first.resize(size_t(outCount));
    taps.weight.resize(size_t(outCount));
    const double perSample = length / outCount;
    for (int i = 0; i < outCount; ++i) {
        // The source position under the centre of output sample i, in sample centres.
        double at = from + (i + 0.5) * perSample - 0.5;
        at = std::clamp(at, 0.0, double(sourceCount - 1));
        int first = int(std::floor(at));
        int weight = int(std::lround((at - first) * one));
        if (weight == one) { // rounding reached the next sample
            ++first;
            weight = 0;
        }
        if (first >= sourceCount - 1) { // the last sample: mix it with itself
            first = std::max(sourceCount - 2, 0);
            weight = sourceCount > 1 ? one : 0;
        }
        taps.first[size_t(i)] = first;
        taps.weight[size_t(i)] = uint16_t(weight);
    }
    return taps;
}

// One source row resampled across: each value is 256 times the sample (0…65280).
void resampleRow(const uint8_t* row, const Taps& across, bool singleColumn, uint16_t* out) {
    const int count = int(across.first.size());
    const int* first = across.first.data();
    const uint16_t* weight = across.weight.data();
    if (singleColumn) {
        for (int i = 0; i < count; ++i)
            out[i] = uint16_t(row[0] << weightBits);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const int a = row[first[i]];
        const int b = row[first[i] + 1];
        out[i] = uint16_t((a << weightBits) + (b - a) * weight[i]);
    }
}

} // namespace

void resamplePlane(const Plane& source, QRectF from, const Plane& to) {
    if (source.width <= 0 || source.height <= 0 || to.width <= 0 || to.height <= 0) return;
    const Taps across = tapsFor(from.x(), from.width(), to.width, source.width);
    const Taps down = tapsFor(from.y(), from.height(), to.height, source.height);
    const bool singleColumn = source.width == 1;

    // Source rows resampled across, two at a time; output rows go down the source in order,
    // so each needed source row is resampled once.
    std::vector<uint16_t> buffers(size_t(to.width) * 2);
    uint16_t* rows[2] = {buffers.data(), buffers.data() + to.width};
    int rowOf[2] = {-1, -1};
    const auto resampled = [&](int sourceRow, int keeping) -> const uint16_t* {
        for (int k = 0; k < 2; ++k)
            if (rowOf[k] == sourceRow) return rows[k];
        const int k = rowOf[0] == keeping ? 1 : 0; // never the other row needed now
        resampleRow(source.data + qsizetype(sourceRow) * source.stride, across, singleColumn, rows[k]);
        rowOf[k] = sourceRow;
        return rows[k];
    };

    for (int y = 0; y < to.height; ++y) {
        const int top = down.first[size_t(y)];
        const int bottom = std::min(top + 1, source.height - 1);
        const uint32_t w = down.weight[size_t(y)];
        const uint16_t* a = resampled(top, bottom);
        const uint16_t* b = bottom == top ? a : resampled(bottom, top);
        uint8_t* out = to.data + qsizetype(y) * to.stride;
        const uint32_t keep = one - w;
        const int count = to.width;
        for (int x = 0; x < count; ++x)
            out[x] = uint8_t((a[x] * keep + b[x] * w + (1u << (2 * weightBits - 1))) >> (2 * weightBits));
    }
}

void resamplePicture(const AVFrame* source, QRectF from, AVFrame* to) {
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        const auto planeOf = [&](const AVFrame* f) {
            return Plane{f->data[plane], f->linesize[plane], (f->width + shift) >> shift,
                         (f->height + shift) >> shift};
        };
        const double scale = plane == 0 ? 1.0 : 0.5;
        resamplePlane(planeOf(source),
                      QRectF(from.x() * scale, from.y() * scale, from.width() * scale, from.height() * scale),
                      planeOf(to));
    }
}

} // namespace ombrel::DemoZoom
