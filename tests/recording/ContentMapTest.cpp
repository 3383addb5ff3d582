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
    ContentMap::Cells cells{};
    fillCells(cells, 24, 44, 27, 48);
    return cells;
}

} // namespace

TEST(ContentMapCells, ACellHoldsContentFromEighteenGreyLevelsOfContrastAndLargePicturesAreScaledFirst) {
    QImage grey(480, 270, QImage::Format_Grayscale8);
    grey.fill(200);
    EXPECT_EQ(countCells(Inspect::cells(grey)), 0) << "a uniform picture has no content";
    grey.setPixel(15, 25, qRgb(182, 182, 182));   // 18 darker: row 2, column 1
    grey.setPixel(479, 269, qRgb(183, 183, 183)); // 17 darker: the last cell stays empty
    grey.setPixel(40, 0, qRgb(255, 255, 255));    // 55 brighter: row 0, column 4
    const ContentMap::Cells cells = Inspect::cells(grey);
    EXPECT_TRUE(cell(cells, 2, 1) && cell(cells, 0, 4));
    EXPECT_EQ(countCells(cells), 2);

    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(QColor(30, 90, 200));
    QPainter(&picture).fillRect(QRect(810, 410, 40, 40), Qt::white); // 202.5…212.5 × 102.5…112.5 scaled
    const ContentMap::Cells scaled = Inspect::cells(picture);
    EXPECT_TRUE(cell(scaled, 10, 20));
    EXPECT_LE(countCells(scaled), 9) << "only the square and its immediate surroundings";
}

TEST(ContentMapPointer, ClearsThinlyConnectedCellsWithinTwoCellsOfThePointerOnly) {
    using Spots = std::vector<std::pair<int, int>>;
    const struct {
        const char* what;
        QPointF pointer;
        Spots on, cleared;
    } rows[] = {
        // Reach: rows 8…12, columns 8…12. Each cell of a 2 × 2 block has three neighbours and
        // stays; a lone cell goes, and so does the end of a row, but only within the reach.
        {"near and far",
         centreOf(10, 10),
         {{10, 11}, {11, 8}, {11, 9}, {12, 8}, {12, 9}, {5, 30}, {8, 12}, {8, 13}, {8, 14}},
         {{10, 11}, {8, 12}}},
        // Neighbours are counted on the grid as it was: (10, 11) keeps its three although clearing
        // (10, 10) first would leave it two.
        {"an L", centreOf(10, 11), {{10, 10}, {10, 11}, {10, 12}, {11, 10}}, {{10, 10}, {10, 12}, {11, 10}}},
        {"the top-left corner", {0.0, 0.0}, {{0, 0}, {26, 47}}, {{0, 0}}},
        {"x = 1 is column 48, reaching 46…47", {1.0, 1.0}, {{0, 0}, {26, 47}}, {{26, 47}}},
        {"far outside", {5.0, -3.0}, {{0, 0}, {26, 47}}, {}},
        {"not a number", {std::nan(""), 0.5}, {{0, 0}, {26, 47}}, {}},
    };
    for (const auto& row : rows) {
        ContentMap::Cells in{};
        for (const auto& [r, c] : row.on)
            setCell(in, r, c);
        ContentMap::Cells expected = in;
        for (const auto& [r, c] : row.cleared)
            setCell(expected, r, c, false);
        EXPECT_EQ(Inspect::withoutPointer(in, row.pointer.x(), row.pointer.y()), expected) << row.what;
    }
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
    const struct {
        const char* what;
        double x0, y0, x1, y1, share;
    } rows[] = {
        {"tiny", x, y, x + 0.001, y + 0.001, 1.0},
        {"empty", x, y, x, y, 1.0},
        {"given backwards", x, y, x - 0.1, y - 0.1, 1.0},
        {"over four cells", 19.5 * cellWidth, 9.5 * cellHeight, 20.5 * cellWidth, 10.5 * cellHeight, 0.25},
        {"far outside: the last cell, which is full", 5.0, 5.0, 6.0, 6.0, 1.0},
        {"far outside: the first cell, empty", -3.0, -3.0, -2.0, -2.0, 0.0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Inspect::share(map, 0, r.x0, r.y0, r.x1, r.y1), r.share) << r.what;
}

TEST(ContentMapSamples, TheLatestGridAtOrBeforeTheTimeAnswersAndTheFirstBeforeIt) {
    ContentMap::Cells left{}, right{};
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
    ContentMap::Cells six{}, seven{};
    fillCells(six, 0, 0, 1, 6);   // 6 / 1296 = 0.46 % of the cells
    fillCells(seven, 0, 0, 1, 7); // 0.54 %
    const ContentMap sparse = mapOf(six), enough = mapOf(seven);
    EXPECT_FALSE(sparse.isBlank(0.5, 0.5, 0));
    EXPECT_TRUE(enough.isBlank(0.5, 0.5, 0));
    EXPECT_FALSE(sparse.nearestContent(0.05, 0.02, 0, 0.2));
    EXPECT_TRUE(enough.nearestContent(0.05, 0.02, 0, 0.2));
    EXPECT_FALSE(sparse.bestCenter(0.3, 0.3, {0.3, 0.3}, 1.8, 0));
}

TEST(ContentMapQueries, BlankMeansUnderTwoPercentOfASquareAroundThePoint) {
    ContentMap::Cells cells = withFarBlock();
    const QPointF spot = centreOf(13, 20);
    EXPECT_TRUE(mapOf(cells).isBlank(spot.x(), spot.y(), 0));

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
    ContentMap::Cells cells{};
    fillCells(cells, 0, 32, 27, 48);
    const ContentMap map = mapOf(cells);
    const double scale = 1.8, margin = 0.5 / scale * 0.85;

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
