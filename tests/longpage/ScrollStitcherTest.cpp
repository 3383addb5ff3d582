#include "longpage/ScrollStitcher.h"
#include "StitchPages.h"
#include "support/TestEnv.h"

#include <QColor>

#include <algorithm>

using namespace ombrel;
using namespace ombrel::test;

namespace {

using Slice = ScrollStitcher::Slice;

// The slices as (first row, end row) pairs, for readable comparisons.
std::vector<std::pair<int, int>> rowsOf(const ScrollStitcher& stitcher) {
    std::vector<std::pair<int, int>> rows;
    for (const Slice& slice : stitcher.slices())
        rows.emplace_back(slice.from, slice.to);
    return rows;
}

std::vector<int> samplesOf(const ScrollStitcher::RowSignatures& rows, int y) {
    return {rows.row(y), rows.row(y) + ScrollStitcher::sampleWidth};
}

} // namespace

// Row signatures

TEST(RowSignatures, AreGreyOverBlackAndNarrowFramesRepeatColumns) {
    QImage veiled(128, 2, QImage::Format_ARGB32);
    veiled.fill(qRgba(255, 255, 255, 0)); // transparent white: black beneath
    for (int x = 0; x < 128; ++x)
        veiled.setPixel(x, 1, qRgba(255, 255, 255, 128));
    const auto rows = ScrollStitcher::rowSignatures(veiled);
    ASSERT_EQ(rows.rowCount, 2);
    EXPECT_EQ(samplesOf(rows, 0), std::vector<int>(64, 0));
    EXPECT_EQ(samplesOf(rows, 1), std::vector<int>(64, 128));

    QImage narrow(16, 1, QImage::Format_Grayscale8);
    std::vector<int> repeated(64);
    for (int i = 0; i < 64; ++i) // column c holds 10·c, and each of its four samples repeats it
        narrow.scanLine(0)[i / 4] = std::uint8_t(repeated[i] = (i / 4) * 10);
    const auto narrowRows = ScrollStitcher::rowSignatures(narrow);
    ASSERT_EQ(narrowRows.rowCount, 1);
    EXPECT_EQ(samplesOf(narrowRows, 0), repeated);
    EXPECT_EQ(ScrollStitcher::rowSignatures(QImage()).rowCount, 0);
}

TEST(RowSignatures, OfAWideNoisyFrameMatchTheAverageOfEveryColumn) {
    // An odd width leaves every sample a different remainder after whole groups of pixels.
    constexpr int widthPx = 1601;
    QImage noise(widthPx, 6, QImage::Format_RGB32);
    std::mt19937 random(11);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < widthPx; ++x)
            noise.setPixel(x, y, qRgb(int(random() % 256), int(random() % 256), int(random() % 256)));
    for (const auto instructions :
         {ScrollStitcher::Instructions::Fastest, ScrollStitcher::Instructions::Portable}) {
        const auto rows = ScrollStitcher::rowSignatures(noise, instructions);
        for (int y = 0; y < noise.height(); ++y) {
            std::vector<int> expected;
            for (int i = 0; i < 64; ++i) {
                const int from = i * widthPx / 64, to = (i + 1) * widthPx / 64;
                unsigned weighted = 0;
                for (int x = from; x < to; ++x) {
                    const QRgb p = noise.pixel(x, y);
                    weighted += unsigned(qRed(p) * 11 + qGreen(p) * 16 + qBlue(p) * 5);
                }
                const unsigned divisor = 32u * unsigned(to - from);
                expected.push_back(int((weighted + divisor / 2) / divisor));
            }
            ASSERT_EQ(samplesOf(rows, y), expected) << "row " << y;
        }
    }
}

TEST(StitchPagesHelper, PicturesOfOtherSizesDifferWhereTheyStopAgreeing) {
    const GreyRows page(100, 9);
    EXPECT_EQ(firstDifferentRow(page.frame(0, 100), page.frame(0, 100)), -1);
    EXPECT_EQ(firstDifferentRow(page.frame(0, 100), page.frame(0, 60)), 60) << "the rest is missing";
    EXPECT_EQ(firstDifferentRow(page.frame(0, 60), page.frame(0, 100)), 60);
    EXPECT_EQ(firstDifferentRow(page.frame(0, 60), page.frame(0, 60).scaled(32, 60)), 0) << "another width";
}

// The rules of adding a frame, on pages of random rows

TEST(ScrollStitcherRules, IdenticalFrameOrTwentyChangedRowsAddNothingTwentyOneAreMatched) {
    const GreyRows page(300, 3);
    const GreyRows fresh(30, 4);
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(page.frame(0, 200)), 200);
    EXPECT_EQ(stitcher.add(page.frame(0, 200)), 0);
    EXPECT_EQ(rowsOf(stitcher), (std::vector<std::pair<int, int>>{{0, 200}}));
    EXPECT_EQ(stitcher.height(), 200);

    // Rows [100, 100 + band) move up by 3 and three new rows appear at the band's bottom.
    auto bandMovedUp = [&](int bandRows) {
        GreyRows moved = page;
        for (int y = 100; y < 100 + bandRows; ++y)
            moved.row(y) = y + 3 < 100 + bandRows ? page.row(y + 3) : fresh.row(y - 100);
        return moved.frame(0, 200);
    };
    EXPECT_EQ(stitcher.add(bandMovedUp(20)), 0);
    EXPECT_EQ(stitcher.height(), 200);
    EXPECT_EQ(stitcher.add(bandMovedUp(21)), 3);
    // The rows below the band stayed: they are cut off the first slice as a footer.
    EXPECT_EQ(rowsOf(stitcher), (std::vector<std::pair<int, int>>{{0, 121}, {118, 121}}));
    EXPECT_EQ(stitcher.height(), 124);
}

TEST(ScrollStitcherRules, OnEqualScoresTheShorterShiftWins) {
    // Rows repeat every third row; the content moves up by 4, which lines up exactly as well
    // as a move by 1 (or 7, 10, …).
    const GreyRows pattern(3, 8);
    GreyRows before(200, 0), after(200, 0);
    for (int y = 0; y < 200; ++y) {
        before.row(y) = pattern.row(y % 3);
        after.row(y) = pattern.row((y + 4) % 3);
    }
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(before.frame(0, 200)), 200);
    EXPECT_EQ(stitcher.add(after.frame(0, 200)), 1);
}

TEST(ScrollStitcherRules, AverageScoreOf512IsRejectedAnd511Accepted) {
    // Every row that lines up at the true shift of 5 differs by a set amount.
    const GreyRows page(220, 9, 200);
    auto movedWithDifference = [&](int perRow) {
        GreyRows moved(200, 10, 200); // rows 195..199 are new
        for (int y = 0; y < 195; ++y) {
            moved.row(y) = page.row(y + 5);
            for (int i = 0; i < 64; ++i)
                moved.row(y)[i] += std::uint8_t(perRow / 64 + (i < perRow % 64 ? 1 : 0));
        }
        return moved.frame(0, 200);
    };
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(page.frame(0, 200)), 200);
    EXPECT_EQ(stitcher.add(movedWithDifference(512)), 0);
    EXPECT_EQ(rowsOf(stitcher), (std::vector<std::pair<int, int>>{{0, 200}})) << "nothing changes";
    // Compared again with the first frame, not with the rejected one.
    EXPECT_EQ(stitcher.add(movedWithDifference(511)), 5);
    EXPECT_EQ(stitcher.height(), 205);
}

TEST(ScrollStitcherRules, HeightStopsAtThirtyThousandRowsExactly) {
    const GreyRows page(31000, 11);
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(page.frame(0, 1000)), 1000);
    int offset = 0;
    for (int i = 0; i < 57; ++i)
        ASSERT_EQ(stitcher.add(page.frame(offset += 500, 1000)), 500) << "frame " << i;
    ASSERT_EQ(stitcher.add(page.frame(offset += 499, 1000)), 499);
    ASSERT_EQ(stitcher.height(), 29999);

    EXPECT_EQ(stitcher.add(page.frame(offset + 2, 1000)), 0) << "one row too many";
    EXPECT_EQ(stitcher.height(), 29999);
    EXPECT_EQ(stitcher.add(page.frame(offset + 1, 1000)), 1) << "exactly the limit";
    EXPECT_EQ(stitcher.height(), ScrollStitcher::maxHeight);
    EXPECT_EQ(stitcher.add(page.frame(offset + 2, 1000)), 0);

    const QImage picture = stitcher.finished();
    ASSERT_EQ(picture.size(), QSize(64, 30000));
    EXPECT_EQ(firstDifferentRow(picture, page.frame(0, 30000)), -1);
}

TEST(ScrollStitcherRules, AFirstFrameOrOneOfAnotherSizeIsTakenWholeAndNoFrameGivesNoPicture) {
    ScrollStitcher stitcher;
    EXPECT_EQ(stitcher.add(QImage()), 0) << "a frame that could not be taken adds nothing";
    EXPECT_TRUE(stitcher.finished().isNull());
    const GreyRows page(400, 12);
    ASSERT_EQ(stitcher.add(page.frame(0, 200)), 200);
    EXPECT_EQ(stitcher.finished().format(), QImage::Format_RGBA8888_Premultiplied);
    EXPECT_EQ(firstDifferentRow(stitcher.finished(), page.frame(0, 200)), -1);
    ASSERT_EQ(stitcher.add(page.frame(30, 200)), 30);

    // In colour, and as 0xffRRGGBB pixels: the finished picture is RGBA bytes.
    QImage wider(65, 200, QImage::Format_RGB32);
    wider.fill(qRgb(200, 90, 30));
    EXPECT_EQ(stitcher.add(wider), 200);
    EXPECT_EQ(rowsOf(stitcher), (std::vector<std::pair<int, int>>{{0, 200}}));
    ASSERT_EQ(stitcher.finished().size(), QSize(65, 200));
    EXPECT_EQ(firstDifferentRow(stitcher.finished(), wider), -1);

    EXPECT_EQ(stitcher.add(page.frame(60, 199)), 199) << "a shorter frame restarts too";
    EXPECT_EQ(stitcher.height(), 199);
    EXPECT_EQ(stitcher.add(page.frame(80, 199)), 20) << "and later frames join it";
}

TEST(ScrollStitcherRules, ShiftsThatLineUpFewerThanEightRowsAreNotTried) {
    // A 60-row band moved up by 5 with a little noise; its top 7 rows happen to repeat the
    // previous frame's bottom 7 rows exactly, a perfect but meaningless match at shift 53.
    const GreyRows page(60, 15, 40), fresh(60, 16, 40);
    GreyRows moved = fresh;
    for (int y = 0; y < 55; ++y) {
        moved.row(y) = y < 7 ? page.row(y + 53) : page.row(y + 5);
        if (y >= 7) moved.row(y)[0] += 64;
    }
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(page.frame(0, 60)), 60);
    EXPECT_EQ(stitcher.add(moved.frame(0, 60)), 5);
}

TEST(ScrollStitcherRules, AScrollPastTheRowWhereThePictureEndsIsRejected) {
    // The first move changes only rows 0..99, so the picture ends at row 100 of each frame;
    // a later move of 150 rows leaves no row of the new frame that continues it.
    const GreyRows page(300, 13), fresh(300, 14);
    GreyRows moved = page;
    for (int y = 0; y < 100; ++y)
        moved.row(y) = y < 90 ? page.row(y + 10) : fresh.row(y);
    GreyRows far = fresh;
    for (int y = 0; y < 150; ++y)
        far.row(y) = moved.row(y + 150);
    ScrollStitcher stitcher;
    ASSERT_EQ(stitcher.add(page.frame(0, 300)), 300);
    ASSERT_EQ(stitcher.add(moved.frame(0, 300)), 10);
    ASSERT_EQ(rowsOf(stitcher), (std::vector<std::pair<int, int>>{{0, 100}, {90, 100}}));
    EXPECT_EQ(stitcher.add(far.frame(0, 300)), 0);
    EXPECT_EQ(stitcher.height(), 110);
}

// Pages like text under a fixed header and footer, cut into frames and stitched back

TEST(StitchedTextPages, ScrollsOfManySizesStillFramesAndScrollsBackRebuildThePage) {
    struct Case {
        int lineHeightPx, viewportPx;
        std::vector<int> offsets;
    };
    // Offsets that put line ends and blank rows right above the footer in some frames and
    // not in others, single-row scrolls, still frames and scrolls back up.
    const std::vector<Case> cases{
        {20, 400, {0, 37, 157, 158, 408, 472, 772, 801, 1101, 1333, 1334, 1634, 1900, 2190}},
        {18,
         360,
         {0, 36, 90, 107, 126, 198, 233, 234, 236, 326, 344, 381, 507, 562, 565, 636, 744, 764, 800}},
        {20, 300, {0, 0, 150, 150, 100, 40, 150, 300, 260, 420}},
    };
    const GreyRows header(60, 6), footer(40, 7);
    for (std::size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(c);
        const Case& row = cases[c];
        GreyRows page(2600, std::uint32_t(21 + c));
        page.asText(row.lineHeightPx);
        ScrollStitcher stitcher;
        std::vector<int> added, expected;
        int accepted = 0;
        for (int offset : row.offsets) {
            added.push_back(stitcher.add(page.frame(header, offset, row.viewportPx, footer)));
            expected.push_back(added.size() == 1 ? 100 + row.viewportPx : std::max(0, offset - accepted));
            accepted = std::max(accepted, offset);
        }
        EXPECT_EQ(added, expected);
        // The header over the page's top rows, pixel for pixel, ending no more than a line
        // above the last frame's footer.
        const int pageRows = stitcher.height() - 60;
        EXPECT_EQ(firstDifferentRow(stitcher.finished(), page.frame(header, 0, pageRows, GreyRows(0, 0))),
                  -1);
        EXPECT_LE(pageRows, accepted + row.viewportPx);
        EXPECT_GE(pageRows, accepted + row.viewportPx - row.lineHeightPx);
    }
}
