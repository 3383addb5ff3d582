#pragma once
// Made-up pages and the frames a window scrolled over them would show.

#include <QImage>

#include <cstdint>
#include <random>
#include <vector>

namespace ombrel::test {

// A page of random grey rows exactly as wide as a row signature, so that the signature of
// every frame row is that row's bytes: differences between rows can be set to the unit.
class GreyRows {
  public:
    GreyRows(int rowCount, std::uint32_t seed, int maxValue = 255);

    static GreyRows fromRows(std::vector<std::vector<std::uint8_t>> rows);
    const std::vector<std::uint8_t>& row(int y) const { return rows_[std::size_t(y)]; }
    std::vector<std::uint8_t>& row(int y) { return rows_[std::size_t(y)]; }
    int rowCount() const { return int(rows_.size()); }

    // Rows [first, first + count) as a 64-pixel-wide grey frame.
    QImage frame(int first, int count) const;
    // A frame of header rows, then page rows [offset, offset + viewport), then footer rows.
    QImage frame(const GreyRows& header, int offset, int viewport, const GreyRows& footer) const;

  private:
    GreyRows() = default;
    std::vector<std::vector<std::uint8_t>> rows_;
};

// A window over a page of text: a fixed header bar, the scrolled viewport, a fixed footer bar.
struct TextWindow {
    QImage page;   // the whole page, white with black lines of text
    QImage header; // drawn above the viewport in every frame
    QImage footer; // drawn below it
    int viewportPx = 0;

    // A page `pageHeightPx` tall of text lines `lineHeightPx` apart, some paragraphs apart.
    static TextWindow make(int widthPx, int pageHeightPx, int lineHeightPx, int viewportPx,
                           std::uint32_t seed);
    // What the window shows with the page scrolled down by `offsetPx` rows.
    QImage frameAt(int offsetPx) const;
    // The header over the first `rowsPx` rows of the page: a perfect stitch of `rowsPx`
    // page rows.
    QImage expected(int pageRowsPx) const;
};

// The first pixel row in which two pictures differ; -1 when they are equal. Pictures of
// different widths differ from row 0; of different heights, at the latest from the first
// row the shorter lacks.
int firstDifferentRow(const QImage& a, const QImage& b);

} // namespace ombrel::test
