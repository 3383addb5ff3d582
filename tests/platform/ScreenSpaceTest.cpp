// Converting between device and logical pixels, and choosing the display the user is on.
#include "platform/ScreenSpace.h"

#include <gtest/gtest.h>

using namespace ombrel;

TEST(ScreenSpace, AtARatioOfTwoDistancesHalveAndEachScreenKeepsItsOrigin) {
    // A second screen to the right of a 1920-pixel one, at twice the density.
    const QPoint origin(1920, 0);
    EXPECT_EQ(ScreenSpace::toLogical(QRect(1920, 0, 3840, 2160), origin, 2.0), QRect(1920, 0, 1920, 1080));
    EXPECT_EQ(ScreenSpace::toLogical(QRect(2120, 400, 600, 300), origin, 2.0), QRect(2020, 200, 300, 150));
    EXPECT_EQ(ScreenSpace::toDevice(QRect(2020, 200, 300, 150), origin, 2.0), QRect(2120, 400, 600, 300));
    EXPECT_EQ(ScreenSpace::toDevice(QPoint(1930, 5), origin, 2.0), QPoint(1940, 10));
    // At a ratio of 1 nothing changes, and a null rectangle stays null.
    EXPECT_EQ(ScreenSpace::toLogical(QRect(10, 20, 30, 40), QPoint(0, 0), 1.0), QRect(10, 20, 30, 40));
    EXPECT_TRUE(ScreenSpace::toDevice(QRect(), origin, 2.0).isNull());
    // A fractional ratio rounds, and there and back lands where it started.
    const QRect device(300, 150, 1201, 799);
    const QRect logical = ScreenSpace::toLogical(device, QPoint(0, 0), 1.5);
    EXPECT_EQ(logical, QRect(200, 100, 801, 533));
    EXPECT_LE(std::abs(ScreenSpace::toDevice(logical, QPoint(0, 0), 1.5).width() - device.width()), 1);
}

TEST(ScreenSpace, TheDisplayUnderThePointerElseThePrimaryElseTheFirst) {
    const QList<DisplayInfo> displays{{1, QRect(0, 0, 1920, 1080), false, "DP-1"},
                                      {2, QRect(1920, 0, 2560, 1440), true, "DP-2"}};
    EXPECT_EQ(ScreenSpace::displayAt(displays, QPoint(100, 100))->id, 1u);
    EXPECT_EQ(ScreenSpace::displayAt(displays, QPoint(3000, 1200))->id, 2u);
    EXPECT_EQ(ScreenSpace::displayAt(displays, QPoint(100, 1300))->id, 2u)
        << "off every display: the primary";
    EXPECT_EQ(ScreenSpace::displayAt({displays[0]}, QPoint(-5, -5))->id, 1u);
    EXPECT_FALSE(ScreenSpace::displayAt({}, QPoint()));
}
