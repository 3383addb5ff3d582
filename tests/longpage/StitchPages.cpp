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

QImage GreyRows::frame(int first, int count) const {
    return frame(GreyRows(0, 0), first, count, GreyRows(0, 0));
}

QImage GreyRows::frame(const GreyRows& header, int offset, int viewport, const GreyRows& footer) const {
    QImage image(signatureWidthPx, header.rowCount() + viewport + footer.rowCount(),
                 QImage::Format_Grayscale8);
    int y = 0;
    auto copy = [&](const GreyRows& from, int first, int count) {
        for (int i = first; i < first + count; ++i)
            std::memcpy(image.scanLine(y++), from.row(i).data(), signatureWidthPx);
    };
    copy(header, 0, header.rowCount());
    copy(*this, offset, viewport);
    copy(footer, 0, footer.rowCount());
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
