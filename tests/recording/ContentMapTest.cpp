#include "RecordingTestSupport.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <random>

using namespace ombrel;
using namespace ombrel::test;
using Inspect = ContentMapInspector;

namespace {

constexpr double cellWidth = 1.0 / ContentMap::columns;
constexpr double cellHeight = 1.0 / ContentMap::rows;

QPointF centreOf(int row, int column) {
    return {(column + 0.5) * cellWidth, (row + 0.5) * cellHeight};
}

int countCells(const ContentMap::Cells& cells) {
    return int(std::count(cells.begin(), cells.end(), true));
}

// A usable grid: a block of content far in the bottom-right corner, away from the spots tested.
ContentMap::Cells withFarBlock() {
    ContentMap::Cells cells = noCells();
    fillCells(cells, 24, 44, 27, 48);
    return cells;
}

} // namespace

TEST(ContentMapCells, ACellHoldsContentFromEighteenGreyLevelsOfContrast) {
    QImage grey(480, 270, QImage::Format_Grayscale8);
    grey.fill(200);
    EXPECT_EQ(countCells(Inspect::cells(grey)), 0) << "a uniform picture has no content";

    grey.setPixel(15, 25, qRgb(182, 182, 182));   // 18 darker: row 2, column 1
    grey.setPixel(479, 269, qRgb(183, 183, 183)); // 17 darker: the last cell stays empty
    grey.setPixel(40, 0, qRgb(255, 255, 255));    // 55 brighter: row 0, column 4
    const ContentMap::Cells cells = Inspect::cells(grey);
    EXPECT_TRUE(cell(cells, 2, 1));
    EXPECT_TRUE(cell(cells, 0, 4));
    EXPECT_FALSE(cell(cells, 26, 47));
    EXPECT_EQ(countCells(cells), 2);

    QImage black(480, 270, QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_EQ(countCells(Inspect::cells(black)), 0) << "any uniform colour is empty";
}

TEST(ContentMapCells, LargerPicturesAreScaledIntoTheGridFirst) {
    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(QColor(30, 90, 200));
    {
        QPainter p(&picture);
        p.fillRect(QRect(810, 410, 40, 40), Qt::white); // pixels 202.5…212.5 × 102.5…112.5 of the thumbnail
    }
    const ContentMap::Cells cells = Inspect::cells(picture);
    EXPECT_TRUE(cell(cells, 10, 20));
    EXPECT_FALSE(cell(cells, 0, 0));
    EXPECT_FALSE(cell(cells, 20, 40));
    EXPECT_LE(countCells(cells), 9) << "only the square and its immediate surroundings";
}

TEST(ContentMapPointer, ClearsThinlyConnectedCellsNearThePointerOnly) {
    ContentMap::Cells in = noCells();
    setCell(in, 10, 11);                      // lone, next to the pointer
    fillCells(in, 11, 8, 13, 10);             // a 2 × 2 block, each with three neighbours, in reach
    setCell(in, 5, 30);                       // lone, far from the pointer
    fillCells(in, 8, 12, 9, 15);              // a row of three at the edge of the reach
    const QPointF pointer = centreOf(10, 10); // reach: rows 8…12, columns 8…12
    const ContentMap::Cells out = Inspect::withoutPointer(in, pointer.x(), pointer.y());

    EXPECT_FALSE(cell(out, 10, 11));
    for (int r : {11, 12})
        for (int c : {8, 9})
            EXPECT_TRUE(cell(out, r, c)) << r << "," << c << " is well connected";
    EXPECT_TRUE(cell(out, 5, 30)) << "outside the 5 × 5 neighbourhood";
    EXPECT_FALSE(cell(out, 8, 12)) << "an end of the row has one neighbour";
    EXPECT_TRUE(cell(out, 8, 13)) << "outside the reach, though thinly connected";
    EXPECT_TRUE(cell(out, 8, 14));
}

TEST(ContentMapPointer, CountsNeighboursOnTheGridAsItWasNotAsItIsBeingCleared) {
    // An L: (10,10) has two neighbours and is cleared; (10,11) has three in the input and stays,
    // although clearing (10,10) first would leave it two.
    ContentMap::Cells in = noCells();
    setCell(in, 10, 10);
    setCell(in, 10, 11);
    setCell(in, 10, 12);
    setCell(in, 11, 10);
    const QPointF pointer = centreOf(10, 11);
    const ContentMap::Cells out = Inspect::withoutPointer(in, pointer.x(), pointer.y());
    EXPECT_FALSE(cell(out, 10, 10));
    EXPECT_TRUE(cell(out, 10, 11));
    EXPECT_FALSE(cell(out, 10, 12));
    EXPECT_FALSE(cell(out, 11, 10));
}

TEST(ContentMapPointer, ClipsTheNeighbourhoodAtTheEdgesOfTheGrid) {
    ContentMap::Cells in = noCells();
    setCell(in, 0, 0);
    setCell(in, 26, 47);
    EXPECT_FALSE(cell(Inspect::withoutPointer(in, 0.0, 0.0), 0, 0));
    EXPECT_FALSE(cell(Inspect::withoutPointer(in, 1.0, 1.0), 26, 47)) << "x = 1 is column 48, reaching 46…47";
    EXPECT_EQ(Inspect::withoutPointer(in, 5.0, -3.0), in) << "a pointer far outside touches nothing";
    EXPECT_EQ(Inspect::withoutPointer(in, std::nan(""), 0.5), in);
}

TEST(ContentMapShare, SummedAreaTableCountsAnyRectangleOfCells) {
    std::mt19937 rng(3);
    std::bernoulli_distribution on(0.3);
    ContentMap::Cells cells;
    for (bool& c : cells)
        c = on(rng);
    const ContentMap map = mapOf(cells);
    EXPECT_DOUBLE_EQ(Inspect::sampleShare(map, 0), countCells(cells) / 1296.0);

    std::uniform_int_distribution<int> row(0, 26), column(0, 47);
    for (int k = 0; k < 500; ++k) {
        int r0 = row(rng), r1 = row(rng), c0 = column(rng), c1 = column(rng);
        if (r0 > r1) std::swap(r0, r1);
        if (c0 > c1) std::swap(c0, c1);
        int count = 0;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                count += cell(cells, r, c);
        // Edges just inside the cells' borders, so trunc and ceil land on these cells.
        const double share = Inspect::share(map, 0, (c0 + 0.01) * cellWidth, (r0 + 0.01) * cellHeight,
                                            (c1 + 0.99) * cellWidth, (r1 + 0.99) * cellHeight);
        ASSERT_DOUBLE_EQ(share, double(count) / ((r1 - r0 + 1) * (c1 - c0 + 1)))
            << "rows " << r0 << "…" << r1 << " columns " << c0 << "…" << c1;
    }
}

TEST(ContentMapShare, ARectangleSmallerThanACellStillMeasuresOneCell) {
    ContentMap::Cells cells = withFarBlock();
    setCell(cells, 10, 20);
    const ContentMap map = mapOf(cells);
    const double x = 20.2 * cellWidth, y = 10.3 * cellHeight;
    EXPECT_EQ(Inspect::share(map, 0, x, y, x + 0.001, y + 0.001), 1.0);
    EXPECT_EQ(Inspect::share(map, 0, x, y, x, y), 1.0) << "an empty rectangle too";
    EXPECT_EQ(Inspect::share(map, 0, x, y, x - 0.1, y - 0.1), 1.0) << "and one given backwards";
    EXPECT_EQ(Inspect::share(map, 0, 19.5 * cellWidth, 9.5 * cellHeight, 20.5 * cellWidth, 10.5 * cellHeight),
              0.25);
    EXPECT_EQ(Inspect::share(map, 0, 5.0, 5.0, 6.0, 6.0), 1.0) << "far outside: the last cell, which is full";
    EXPECT_EQ(Inspect::share(map, 0, -3.0, -3.0, -2.0, -2.0), 0.0) << "far outside: the first cell, empty";
}

TEST(ContentMapSamples, TheLatestGridAtOrBeforeTheTimeAnswersAndTheFirstBeforeIt) {
    ContentMap::Cells left = noCells(), right = noCells();
    fillCells(left, 0, 0, 27, 24);
    fillCells(right, 0, 24, 27, 48);
    const ContentMap map({{5.0, right}, {0.0, left}}); // given out of order
    EXPECT_EQ(Inspect::times(map), (std::vector<double>{0.0, 5.0}));
    EXPECT_FALSE(map.isBlank(0.25, 0.5, -1.0)) << "before the first grid, the first one";
    EXPECT_FALSE(map.isBlank(0.25, 0.5, 4.99));
    EXPECT_TRUE(map.isBlank(0.25, 0.5, 5.0));
    EXPECT_TRUE(map.isBlank(0.25, 0.5, 500.0));
    EXPECT_TRUE(map.isBlank(0.75, 0.5, 0.0));

    const ContentMap empty;
    EXPECT_FALSE(empty.isBlank(0.5, 0.5, 1.0));
    EXPECT_FALSE(empty.nearestContent(0.5, 0.5, 1.0, 1.0));
    EXPECT_FALSE(empty.bestCenter(0.5, 0.5, {0.5, 0.5}, 1.8, 1.0));
}

TEST(ContentMapSamples, AnAlmostEmptyGridAnswersNothing) {
    ContentMap::Cells six = noCells(), seven = noCells();
    fillCells(six, 0, 0, 1, 6);   // 6 / 1296 = 0.46 % of the cells
    fillCells(seven, 0, 0, 1, 7); // 0.54 %
    const ContentMap sparse = mapOf(six), enough = mapOf(seven);
    EXPECT_FALSE(Inspect::usable(sparse, 0));
    EXPECT_TRUE(Inspect::usable(enough, 0));

    EXPECT_FALSE(sparse.isBlank(0.5, 0.5, 0));
    EXPECT_TRUE(enough.isBlank(0.5, 0.5, 0));
    EXPECT_FALSE(sparse.nearestContent(0.05, 0.02, 0, 0.2));
    EXPECT_TRUE(enough.nearestContent(0.05, 0.02, 0, 0.2));
    EXPECT_FALSE(sparse.bestCenter(0.3, 0.3, {0.3, 0.3}, 1.8, 0));
}

TEST(ContentMapQueries, BlankMeansUnderTwoPercentOfASquareAroundThePoint) {
    ContentMap::Cells cells = withFarBlock();
    const ContentMap plain = mapOf(cells);
    const QPointF spot = centreOf(13, 20);
    EXPECT_TRUE(plain.isBlank(spot.x(), spot.y(), 0));

    // The square spans about 5 × 5 cells; one true cell in it is 1/25 or so, above 2 %. Two rows
    // down is inside it only because its height is 16/9 of its width.
    setCell(cells, 15, 21);
    const ContentMap one = mapOf(cells);
    EXPECT_FALSE(one.isBlank(spot.x(), spot.y(), 0));
    // The same cell outside the square (5 rows down is past 0.0889 of the height).
    EXPECT_TRUE(one.isBlank(spot.x(), centreOf(10, 20).y(), 0));
}

TEST(ContentMapQueries, NearestContentMeasuresOnThe16By9PictureAndPrefersTheFirstOfEqualCells) {
    const QPointF from = centreOf(13, 24);
    ContentMap::Cells cells = withFarBlock();
    setCell(cells, 13, 29); // 5 cells across: 0.104
    setCell(cells, 17, 24); // 4 cells down: 0.148 of the height, 0.083 as seen on the picture
    const ContentMap map = mapOf(cells);
    EXPECT_EQ(map.nearestContent(from.x(), from.y(), 0, 0.2), centreOf(17, 24));
    EXPECT_FALSE(map.nearestContent(from.x(), from.y(), 0, 0.08)) << "nothing strictly within 0.08";

    ContentMap::Cells twins = withFarBlock();
    setCell(twins, 11, 24); // 2 cells up
    setCell(twins, 15, 24); // 2 cells down: exactly the same distance, later in the scan
    EXPECT_EQ(mapOf(twins).nearestContent(from.x(), from.y(), 0, 0.2), centreOf(11, 24));
}

TEST(ContentMapQueries, BestCenterMovesTowardsContentWhileKeepingTheTargetInView) {
    // Content fills the right third; the aim sits in the empty middle.
    ContentMap::Cells cells = noCells();
    fillCells(cells, 0, 32, 27, 48);
    const ContentMap map = mapOf(cells);
    const double scale = 1.8, view = 1 / scale, margin = view / 2 * 0.85;

    const QPointF target(0.45, 0.5);
    const auto better = map.bestCenter(0.45, 0.5, target, scale, 0);
    ASSERT_TRUE(better);
    EXPECT_GT(better->x(), 0.45) << "towards the content";
    EXPECT_LT(std::abs(better->x() - target.x()), margin);
    EXPECT_LT(std::abs(better->y() - target.y()), margin);

    EXPECT_FALSE(map.bestCenter(0.8, 0.5, {0.8, 0.5}, scale, 0)) << "already at least half full";
    EXPECT_FALSE(map.bestCenter(0.2, 0.5, {0.2, 0.5}, scale, 0)) << "no candidate near enough to the content";
    EXPECT_FALSE(map.bestCenter(0.45, 0.5, {0.2, 0.5}, scale, 0))
        << "every better centre would leave the target near the view's edge";
}
