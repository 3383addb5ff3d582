#include "platform/ImageScale.h"

#include <gtest/gtest.h>

using namespace ombrel;

TEST(ImageScale, ShrinkingAveragesAndHitsTheExactSize) {
    // A fine checkerboard of black and white averages to grey when shrunk.
    QImage board(5120, 2880, QImage::Format_RGB32);
    for (int y = 0; y < board.height(); ++y)
        for (int x = 0; x < board.width(); ++x)
            board.setPixel(x, y, ((x + y) & 1) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage small = scaledSmoothly(board, QSize(2400, 1350));
    ASSERT_EQ(small.size(), QSize(2400, 1350));
    EXPECT_EQ(small.format(), QImage::Format_RGB32);
    for (QPoint p : {QPoint(0, 0), QPoint(1200, 700), QPoint(2399, 1349)})
        EXPECT_NEAR(qGray(small.pixel(p)), 128, 3) << p.x() << "," << p.y();
}

TEST(ImageScale, ColoursAndLayoutSurviveAndOtherFormatsAreConverted) {
    QImage halves(1000, 400, QImage::Format_RGB888);
    halves.fill(Qt::red);
    for (int y = 0; y < 400; ++y)
        for (int x = 500; x < 1000; ++x)
            halves.setPixelColor(x, y, Qt::blue);
    const QImage small = scaledSmoothly(halves, QSize(300, 120));
    ASSERT_EQ(small.size(), QSize(300, 120));
    EXPECT_EQ(small.pixelColor(10, 60), QColor(Qt::red));
    EXPECT_EQ(small.pixelColor(290, 60), QColor(Qt::blue));
    EXPECT_EQ(scaledSmoothly(halves, halves.size()).size(), halves.size());
    EXPECT_TRUE(scaledSmoothly(QImage(), QSize(10, 10)).isNull());
}
