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

    const std::vector<std::uint8_t>& row(int y) const { return rows_[std::size_t(y)]; }
    std::vector<std::uint8_t>& row(int y) { return rows_[std::size_t(y)]; }
    int rowCount() const { return int(rows_.size()); }

    // Like a page of text: lines `lineHeightPx` apart whose last third is blank white, and
    // now and then a whole blank line between paragraphs. Blank rows look alike, so the
    // rows that seem fixed above a footer change from frame to frame.
    GreyRows& asText(int lineHeightPx);

    // Rows [first, first + count) as a 64-pixel-wide grey frame.
    QImage frame(int first, int count) const;
    // A frame of header rows, then page rows [offset, offset + viewport), then footer rows.
    QImage frame(const GreyRows& header, int offset, int viewport, const GreyRows& footer) const;

  private:
    std::vector<std::vector<std::uint8_t>> rows_;
};

// The first pixel row in which two pictures differ; -1 when they are equal. Pictures of
// different widths differ from row 0; of different heights, at the latest from the first
// row the shorter lacks.
int firstDifferentRow(const QImage& a, const QImage& b);

} // namespace ombrel::test
