#pragma once
// Made-up pages and the frames a window scrolled over them would show.

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace ombrel::test {

// A page of random grey rows exactly as wide as a row signature, so that the signature of
// every frame row is that row's bytes: differences between rows can be set to the unit.
class GreyRows {
  public:
    static constexpr int widthPx = 64;

    GreyRows(int rowCount, std::uint32_t seed, int maxValue = 255) : rows_(std::size_t(rowCount)) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> value(0, maxValue);
        for (auto& row : rows_) {
            row.resize(widthPx);
            for (auto& sample : row)
                sample = std::uint8_t(value(random));
        }
    }

    const std::vector<std::uint8_t>& row(int y) const { return rows_[std::size_t(y)]; }
    std::vector<std::uint8_t>& row(int y) { return rows_[std::size_t(y)]; }
    int rowCount() const { return int(rows_.size()); }

    // Like a page of text: lines `lineHeightPx` apart whose last third is blank white, and
    // now and then a whole blank line between paragraphs. Blank rows look alike, so the
    // rows that seem fixed above a footer change from frame to frame.
    GreyRows& asText(int lineHeightPx) {
        std::mt19937 random(std::uint32_t(rows_.size()));
        for (int top = 0; top < rowCount(); top += lineHeightPx) {
            const bool paragraphGap = random() % 7 == 0;
            for (int y = top; y < std::min(top + lineHeightPx, rowCount()); ++y)
                if (paragraphGap || y - top >= lineHeightPx * 2 / 3) row(y).assign(widthPx, 255);
        }
        return *this;
    }

    // Rows [first, first + count) as a 64-pixel-wide grey frame.
    QImage frame(int first, int count) const { return frame(GreyRows(0, 0), first, count, GreyRows(0, 0)); }
    // A frame of header rows, then page rows [offset, offset + viewport), then footer rows.
    QImage frame(const GreyRows& header, int offset, int viewport, const GreyRows& footer) const {
        QImage image(widthPx, header.rowCount() + viewport + footer.rowCount(), QImage::Format_Grayscale8);
        int y = 0;
        auto copy = [&](const GreyRows& from, int first, int count) {
            for (int i = first; i < first + count; ++i)
                std::memcpy(image.scanLine(y++), from.row(i).data(), widthPx);
        };
        copy(header, 0, header.rowCount());
        copy(*this, offset, viewport);
        copy(footer, 0, footer.rowCount());
        return image;
    }

  private:
    std::vector<std::vector<std::uint8_t>> rows_;
};

// The first pixel row in which two pictures differ; -1 when they are equal. Pictures of
// different widths differ from row 0; of different heights, at the latest from the first
// row the shorter lacks.
inline int firstDifferentRow(const QImage& a, const QImage& b) {
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
