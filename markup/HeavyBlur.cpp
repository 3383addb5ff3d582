// The heavy blur behind blur boxes: the picture pixellated into large squares, then blurred
// with a Gaussian, so that nothing of the hidden detail survives.
#include "MarkupRender.h"

#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace ombrel::MarkupRender {

namespace {

// Squares of side `s` on a grid anchored at the picture's bottom-left corner; each takes
// the mean colour of the pixels it replaces. Squares cut by the edges average what they cover.
void pixellate(const QImage& source, QImage& result, double s) {
    const int width = source.width();
    const int height = source.height();
    std::vector<int> column(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        column[size_t(x)] = int(std::floor((x + 0.5) / s));
    const int blocksAcross = column.back() + 1;
    auto rowBlock = [&](int y) { return int(std::floor((height - y - 0.5) / s)); };

    std::vector<quint64> sums(static_cast<size_t>(blocksAcross) * 4);
    std::vector<quint32> counts(static_cast<size_t>(blocksAcross));
    std::vector<quint32> colours(static_cast<size_t>(blocksAcross));
    int y = 0;
    while (y < height) {
        // The rows of one band of squares.
        const int band = rowBlock(y);
        int end = y;
        while (end < height && rowBlock(end) == band)
            ++end;
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
        for (int row = y; row < end; ++row) {
            const auto* in = reinterpret_cast<const quint32*>(source.constScanLine(row));
            for (int x = 0; x < width; ++x) {
                const quint32 p = in[x];
                quint64* sum = &sums[size_t(column[size_t(x)]) * 4];
                sum[0] += p & 0xFF;
                sum[1] += (p >> 8) & 0xFF;
                sum[2] += (p >> 16) & 0xFF;
                sum[3] += p >> 24;
                ++counts[size_t(column[size_t(x)])];
            }
        }
        for (int b = 0; b < blocksAcross; ++b) {
            const quint64 n = std::max<quint64>(1, counts[size_t(b)]);
            const quint64* sum = &sums[size_t(b) * 4];
            auto mean = [n](quint64 v) { return quint32((v + n / 2) / n); };
            colours[size_t(b)] = mean(sum[0]) | mean(sum[1]) << 8 | mean(sum[2]) << 16 | mean(sum[3]) << 24;
        }
        for (int row = y; row < end; ++row) {
            auto* out = reinterpret_cast<quint32*>(result.scanLine(row));
            for (int x = 0; x < width; ++x)
                out[x] = colours[size_t(column[size_t(x)])];
        }
        y = end;
    }
}

} // namespace

std::optional<QImage> heavyBlur(const QImage& image) {
    if (image.isNull()) return std::nullopt;
    try {
        const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QImage result(source.size(), QImage::Format_ARGB32_Premultiplied);
        if (source.isNull() || result.isNull()) return std::nullopt;
        const double s = std::max(18.0, source.width() / 70.0);
        pixellate(source, result, s);
        // Gaussian blur with edge pixels repeated outward, on premultiplied colour.
        cv::Mat pixels(result.height(), result.width(), CV_8UC4, result.bits(),
                       size_t(result.bytesPerLine()));
        const double sigma = s * 0.6;
        // The squares hold no detail finer than a sixth of their side, so the blur runs on a
        // copy that much smaller (averaged down, smoothly enlarged back): the same picture
        // within a few levels, at a small part of the cost of a wide kernel at full size.
        const int shrink = std::max(1, int(s / 6));
        if (shrink < 2 || pixels.cols < 4 * shrink || pixels.rows < 4 * shrink) {
            cv::GaussianBlur(pixels, pixels, cv::Size(0, 0), sigma, sigma, cv::BORDER_REPLICATE);
            return result;
        }
        cv::Mat small;
        cv::resize(pixels, small,
                   cv::Size(std::max(1, pixels.cols / shrink), std::max(1, pixels.rows / shrink)), 0, 0,
                   cv::INTER_AREA);
        const double smallSigmaX = sigma * small.cols / pixels.cols;
        const double smallSigmaY = sigma * small.rows / pixels.rows;
        cv::GaussianBlur(small, small, cv::Size(0, 0), smallSigmaX, smallSigmaY, cv::BORDER_REPLICATE);
        cv::resize(small, pixels, pixels.size(), 0, 0, cv::INTER_LINEAR);
        return result;
    } catch (const cv::Exception&) {
        return std::nullopt;
    }
}

} // namespace ombrel::MarkupRender
