#include "library/RecentModel.h"
#include "library/CaptureStore.h"
#include "platform/Defaults.h"
#include "support/TestEnv.h"

#include <QFileInfo>

using namespace ombrel;
using ombrel::test::LibraryTest;

namespace {
QDateTime at(int y, int m, int d, int h = 12, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min));
}
} // namespace

TEST(RecentDayTitles, TodayYesterdayWeekdaysThenDatesWithTheYearOnlyWhenNotThisOne) {
    const QDateTime now = at(2026, 12, 4, 10); // a Friday
    EXPECT_EQ(dayTitle(at(2026, 12, 4, 0, 0), now), "Today");
    EXPECT_EQ(dayTitle(at(2026, 12, 4, 23, 59), now), "Today") << "later the same day is still today";
    EXPECT_EQ(dayTitle(at(2026, 12, 3, 0, 0), now), "Yesterday");
    EXPECT_EQ(dayTitle(at(2026, 12, 2, 23, 0), now), "Wednesday");
    EXPECT_EQ(dayTitle(at(2026, 11, 28, 0, 0), now), "Saturday") << "six days ago is still a weekday";
    EXPECT_EQ(dayTitle(at(2026, 11, 27, 23, 59), now), "Fri 27 Nov") << "seven days ago is a date";
    EXPECT_EQ(dayTitle(at(2025, 12, 31), now), "Wed 31 Dec 2025");
    EXPECT_EQ(dayTitle(at(2026, 12, 5), now), "Sat 5 Dec")
        << "the future is dated, after the clock went back";
}

TEST(RecentTexts, CountsAgreeInNumberAndTileNamesSayTheKindAndTheTimeWithTheDayWhenNotToday) {
    EXPECT_EQ(RecentText::items(1), "1 item");
    EXPECT_EQ(RecentText::items(75), "75 items");
    EXPECT_EQ(RecentText::confirmTitle(1), "Move 1 item to the Trash?");
    EXPECT_EQ(RecentText::confirmTitle(3), "Move 3 items to the Trash?");
    const QDateTime now = at(2026, 12, 4, 10);
    EXPECT_EQ(RecentText::tileName("/a/x.png", at(2026, 12, 4, 9, 5), now), "Screenshot from 09:05");
    EXPECT_EQ(RecentText::tileName("/a/x.mp4", at(2026, 12, 3, 14, 30), now), "Recording from 3 Dec, 14:30");
    EXPECT_EQ(RecentText::badgeMonth(QDate(2026, 9, 1)), "Sept") << "en_GB's own abbreviation";
}

using RecentTileSizes = LibraryTest;

TEST_F(RecentTileSizes, AbsentOrInvalidStoredSizesMeanSmall) {
    EXPECT_EQ(RecentTiles::current(), RecentTileSize::Small);
    for (const QVariant& bad : {QVariant(7), QVariant(-1), QVariant("large"), QVariant(1.5)}) {
        Defaults::store().setValue("recentTileSize", bad);
        EXPECT_EQ(RecentTiles::current(), RecentTileSize::Small) << bad.toString().toStdString();
    }
    RecentTiles::setCurrent(RecentTileSize::Huge);
    EXPECT_EQ(RecentTiles::current(), RecentTileSize::Huge);
}

using RecentListingTest = LibraryTest;

TEST_F(RecentListingTest, SixtyNewestGroupedByDayWithTheTotalCountAndTheNewestLine) {
    const QDateTime now = at(2026, 12, 4, 18);
    for (int i = 0; i < 75; ++i) // five a day, going back fifteen days
        makeFile(QString("d/%1.png").arg(i, 2, 10, QChar('0')),
                 now.addDays(-(i / 5)).addSecs(-60 * (i % 5) - 60));
    const QStringList all = CaptureStore::all();
    const RecentListing listing = buildListing("  ", all, now);
    EXPECT_EQ(listing.shownCount, 60);
    EXPECT_EQ(listing.countText, "75 items");
    EXPECT_TRUE(listing.showsNewestLine);
    ASSERT_EQ(listing.days.size(), 12);
    EXPECT_EQ(listing.days[0].title, "Today");
    EXPECT_EQ(listing.days[1].title, "Yesterday");
    EXPECT_EQ(listing.days[7].title, "Fri 27 Nov");
    EXPECT_EQ(listing.days[0].items.size(), 5);
    EXPECT_EQ(listing.shown(), all.mid(0, 60));
}

TEST_F(RecentListingTest, ASearchLooksThroughEverythingAndCountsWhatItFound) {
    const QDateTime now = at(2026, 12, 4, 18);
    QString oldest;
    for (int i = 0; i < 75; ++i)
        oldest = makeFile(QString("d/%1.png").arg(i), now.addDays(-i));
    CaptureStore::setWordsReader(
        [&](const QString& p) { return p == oldest ? QString("Login button") : QString(); });
    RecentListing listing = buildListing(" login ", CaptureStore::all(), now);
    EXPECT_EQ(listing.query, "login");
    EXPECT_EQ(listing.shown(), QStringList{oldest});
    EXPECT_EQ(listing.countText, "1 found");
    EXPECT_FALSE(listing.showsNewestLine);

    listing = buildListing("image", CaptureStore::all(), now);
    EXPECT_EQ(listing.shownCount, 75) << "a search is not cut at sixty";
    EXPECT_EQ(listing.countText, "75 found");
    EXPECT_FALSE(listing.showsNewestLine);
}

TEST_F(RecentListingTest, EmptyStatesWithAndWithoutASearch) {
    const QDateTime now = at(2026, 12, 4, 18);
    RecentListing listing = buildListing("", {}, now);
    EXPECT_TRUE(listing.isEmpty());
    EXPECT_EQ(listing.countText, "0 items");
    EXPECT_FALSE(listing.emptyDetail.isEmpty()) << "an empty library says what will come here";
    makeFile("d/a.png", now);
    listing = buildListing("zebra", CaptureStore::all(), now);
    EXPECT_TRUE(listing.isEmpty());
    EXPECT_EQ(listing.countText, "0 found");
    EXPECT_EQ(listing.emptyTitle, RecentText::noMatch("zebra"));
    EXPECT_TRUE(listing.emptyDetail.isEmpty());
    EXPECT_FALSE(listing.showsNewestLine);
}

TEST_F(RecentListingTest, CleanUpChoicesCountWholeDaysAndAreDisabledWhenEmpty) {
    const QDateTime now = at(2026, 12, 10, 9);
    makeFile("a/today.png", at(2026, 12, 10, 8));
    makeFile("a/seven.png", at(2026, 12, 3, 0, 0));
    makeFile("a/eight.png", at(2026, 12, 2, 23, 59));
    QList<CleanUpChoice> choices = cleanUpChoices(now);
    ASSERT_EQ(choices.size(), 3);
    EXPECT_EQ(choices[0].title(), "Move Older Than a Week to Trash (1)\u2026");
    EXPECT_TRUE(choices[0].enabled());
    EXPECT_EQ(choices[1].title(), "Move Older Than a Month to Trash (0)\u2026");
    EXPECT_FALSE(choices[1].enabled());
    EXPECT_EQ(choices[2].title(), "Move Everything to Trash (3)\u2026");

    choices = cleanUpChoices(at(2026, 12, 9, 9));
    EXPECT_FALSE(choices[0].enabled()) << "nothing is older than seven days yet";
}

TEST(RecentPlacement, BesideTheButtonsOnTheSideWithRoomAndAlwaysInsideTheVisibleArea) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1080)};
    const QList<QRect> visible{QRect(0, 30, 1920, 1050)};
    const QSize size(232, 560);
    // Buttons at the right edge: the panel goes to their left, bottoms level.
    QRect frame = placeRecentPanel(size, QRect(1860, 900, 56, 130), screens, visible, std::nullopt);
    EXPECT_EQ(frame.size(), size);
    EXPECT_LT(frame.right(), 1860);
    EXPECT_EQ(frame.bottom(), 1029);
    // Buttons at the left edge: to their right.
    frame = placeRecentPanel(size, QRect(4, 40, 56, 130), screens, visible, std::nullopt);
    EXPECT_GT(frame.left(), 60);
    EXPECT_GE(frame.top(), 30) << "pulled down inside the visible area";
    EXPECT_TRUE(visible[0].contains(frame));
    // No buttons: the tray corner.
    frame = placeRecentPanel(size, QRect(), screens, visible, std::nullopt);
    EXPECT_TRUE(visible[0].contains(frame));
    EXPECT_GT(frame.left(), 1600);
    // Taller than the screen: shrunk to fit.
    frame = placeRecentPanel(QSize(840, 2000), QRect(), screens, visible, std::nullopt);
    EXPECT_EQ(frame, visible[0].intersected(frame));
    EXPECT_EQ(frame.height(), 1050);
}

TEST(RecentPlacement, FromATrayIconItDropsClearOfTheBarTheIconSitsIn) {
    const QList<QRect> screens{QRect(0, 0, 1280, 800)};
    const QList<QRect> visible{QRect(0, 0, 1280, 800)}; // a bar that reserves no space
    const QSize size(232, 560);
    // An icon in a bar at the top right: below the bar, its right edge under the icon.
    QRect frame = placeRecentPanel(size, QRect(1257, 1, 22, 30), screens, visible, std::nullopt,
                                   RecentAnchor::TrayItem);
    EXPECT_EQ(frame.size(), size);
    EXPECT_GT(frame.top(), 31);
    EXPECT_EQ(frame.right(), 1278);
    // In a bar at the bottom: above it.
    frame = placeRecentPanel(size, QRect(600, 770, 22, 30), screens, visible, std::nullopt,
                             RecentAnchor::TrayItem);
    EXPECT_LT(frame.bottom(), 770);
    EXPECT_EQ(frame.right(), 621);
    // Too tall for the room under the bar: shortened, never pushed back over it.
    frame = placeRecentPanel(QSize(840, 790), QRect(1257, 1, 22, 30), screens, visible, std::nullopt,
                             RecentAnchor::TrayItem);
    EXPECT_GT(frame.top(), 31);
    EXPECT_EQ(frame.bottom(), 799);
    EXPECT_EQ(frame.left(), 1279 - 840 + 1 - 1);
}

TEST(RecentPlacement, AStoredFrameWinsWhenItLiesOnAScreenAndIsPulledInside) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QList<QRect> visible{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
    const QSize size(420, 600);
    QRect frame = placeRecentPanel(size, QRect(), screens, visible, QRect(2000, 100, 232, 560));
    EXPECT_EQ(frame, QRect(2000, 100, 420, 600)) << "the stored place with the current size";
    frame = placeRecentPanel(size, QRect(), screens, visible, QRect(3100, 900, 232, 560));
    EXPECT_TRUE(visible[1].contains(frame));
    frame = placeRecentPanel(size, QRect(), screens, visible, QRect(5000, 5000, 232, 560));
    EXPECT_TRUE(visible[0].contains(frame)) << "a frame on no screen is ignored";
    EXPECT_GT(frame.left(), 1400);
}

TEST(RecentPlacement, FrameStringsRoundTripAndBadOnesAreRefused) {
    EXPECT_EQ(rectString(QRect(-10, 20, 232, 560)), "{{-10, 20}, {232, 560}}");
    EXPECT_EQ(rectFromString("{{-10, 20}, {232, 560}}"), QRect(-10, 20, 232, 560));
    EXPECT_EQ(rectFromString("{{12.4, 20.6}, {232, 560}}"), QRect(12, 21, 232, 560));
    EXPECT_EQ(rectFromString(""), std::nullopt);
    EXPECT_EQ(rectFromString("{{1, 2}, {0, 560}}"), std::nullopt);
    EXPECT_EQ(rectFromString("1,2,3,4"), std::nullopt);
}
