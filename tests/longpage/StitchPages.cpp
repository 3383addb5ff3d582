#include "StitchPages.h"

#include <algorithm>
#include <cstring>

namespace ombrel::test {

namespace {
constexpr int signatureWidthPx = 64;
} // namespace

GreyRows::GreyRows(int rowCount, std::uint32_t seed, int maxValue) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(0, maxValue);
    rows_.resize(std::size_t(rowCount));
    for (auto& row : rows_) {
        row.resize(signatureWidthPx);
        for (auto& sample : row)
            sample = std::uint8_t(value(random));
    }
}

GreyRows GreyRows::fromRows(std::vector<std::vector<std::uint8_t>> rows) {
    GreyRows made;
    made.rows_ = std::move(rows);
    return made;
}

QImage GreyRows::frame(int first, int count) const {
    QImage image(signatureWidthPx, count, QImage::Format_Grayscale8);
    for (int y = 0; y < count; ++y)
        std::memcpy(image.scanLine(y), row(first + y).data(), signatureWidthPx);
    return image;
}

QImage GreyRows::frame(const GreyRows& header, int offset, int viewport, const GreyRows& footer) const {
    QImage image(signatureWidthPx, header.rowCount() + viewport + footer.rowCount(),
                 QImage::Format_Grayscale8);
    int y = 0;
    for (int i = 0; i < header.rowCount(); ++i)
        std::memcpy(image.scanLine(y++), header.row(i).data(), signatureWidthPx);
    for (int i = 0; i < viewport; ++i)
        std::memcpy(image.scanLine(y++), row(offset + i).data(), signatureWidthPx);
    for (int i = 0; i < footer.rowCount(); ++i)
        std::memcpy(image.scanLine(y++), footer.row(i).data(), signatureWidthPx);
    return image;
}

GreyRows& GreyRows::asText(int lineHeightPx) {
    std::mt19937 random(std::uint32_t(rows_.size()));
    for (int top = 0; top < rowCount(); top += lineHeightPx) {
        const bool paragraphGap = random() % 7 == 0;
        for (int y = top; y < std::min(top + lineHeightPx, rowCount()); ++y)
            if (paragraphGap || y - top >= lineHeightPx * 2 / 3) row(y).assign(signatureWidthPx, 255);
    }
    return *this;
}

int firstDifferentRow(const QImage& a, const QImage& b) {
    const QImage left = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (left.width() != right.width()) return 0;
    const int rows = std::min(left.height(), right.height());
    for (int y = 0; y < rows; ++y)
        if (std::memcmp(left.constScanLine(y), right.constScanLine(y), std::size_t(left.width()) * 4) != 0)
            return y;
    // Equal as far as the shorter goes: the first row only one of them has.
    return left.height() == right.height() ? -1 : rows;
}

} // namespace ombrel::test
