#include "app/ImageImport.h"
#include "library/Clipboard.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QUrl>

using namespace ombrel;
using ombrel::test::LibraryTest;

TEST(CaptureSize, LargeScreensAreCappedAt2400AndSmallOnesKept) {
    EXPECT_EQ(captureSize(QSizeF(5120, 2880)), QSize(2400, 1350));
    EXPECT_EQ(captureSize(QSizeF(1440, 900)), QSize(1440, 900));
    EXPECT_EQ(captureSize(QSizeF(2400, 1000)), QSize(2400, 1000));
    EXPECT_EQ(captureSize(QSizeF(1000, 3000)), QSize(800, 2400));
    // Sides are cut to whole pixels, not rounded: 3001 × 2401 → 2399.2… × 1920.2…
    EXPECT_EQ(captureSize(QSizeF(3001, 2401)), QSize(2400, 1920));
    EXPECT_EQ(captureSize(QSizeF(2401, 1001)), QSize(2400, 1000));
}

TEST(ImageImportSize, PixelsWhenKnownElsePointsRoundedHalfAwayFromZero) {
    EXPECT_EQ(ImageImport::targetSize(QSize(4800, 3001), QSizeF()), QSize(2400, 1501)); // 1500.5 rounds up
    EXPECT_EQ(ImageImport::targetSize(QSize(0, 0), QSizeF(300, 200)), QSize(300, 200));
    EXPECT_EQ(ImageImport::targetSize(QSize(100, 0), QSizeF(50, 40)), QSize(50, 40));
    EXPECT_FALSE(ImageImport::targetSize(QSize(0, 0), QSizeF(0.5, 10)).has_value());
    EXPECT_FALSE(ImageImport::targetSize(QSize(0, 0), QSizeF()).has_value());
    EXPECT_EQ(ImageImport::targetSize(QSize(10, 10), QSizeF(), 5), QSize(5, 5));
}

using ImageImportFiles = LibraryTest;

TEST_F(ImageImportFiles, TransparencyBecomesWhiteAndLargePicturesShrink) {
    QImage clear(4000, 2000, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    for (int x = 0; x < 2000; ++x)
        for (int y = 0; y < 2000; ++y)
            clear.setPixelColor(x, y, QColor(0, 0, 255));
    const QString path = dir.filePath("clear.png");
    ASSERT_TRUE(clear.save(path));
    const QImage image = ImageImport::fromFile(path);
    ASSERT_EQ(image.size(), QSize(2400, 1200));
    EXPECT_EQ(image.pixelColor(2000, 600), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(100, 600), QColor(0, 0, 255));
    EXPECT_FALSE(image.hasAlphaChannel());
}

TEST_F(ImageImportFiles, UnreadableFilesGiveNothing) {
    QFile f(dir.filePath("broken.png"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x89PNG not really");
    f.close();
    EXPECT_TRUE(ImageImport::fromFile(f.fileName()).isNull());
    EXPECT_TRUE(ImageImport::fromFile(dir.filePath("missing.png")).isNull());
}

TEST_F(ImageImportFiles, TheClipboardPictureIsNormalised) {
    EXPECT_TRUE(ImageImport::fromClipboard().isNull());
    QImage photo(3000, 100, QImage::Format_RGB32);
    photo.fill(Qt::red);
    platform.pasteboard->imageData = photo;
    EXPECT_EQ(ImageImport::fromClipboard().size(), QSize(2400, 80));
}

TEST_F(ImageImportFiles, OnePictureGoesOnTheClipboardAsPngOtherwiseAsFiles) {
    const QString png = dir.filePath("one.png");
    QImage(10, 10, QImage::Format_RGB32).save(png);
    ASSERT_TRUE(Clipboard::put(QStringList{png}));
    QFile f(png);
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(platform.pasteboard->pngData, f.readAll());
    EXPECT_TRUE(platform.pasteboard->fileList.isEmpty());

    const QString video = dir.filePath("clip.mp4");
    QFile v(video);
    v.open(QIODevice::WriteOnly);
    v.write("mp4");
    v.close();
    ASSERT_TRUE(Clipboard::put(QStringList{video}));
    EXPECT_EQ(platform.pasteboard->fileList, QList<QUrl>{QUrl::fromLocalFile(video)});
    EXPECT_TRUE(platform.pasteboard->pngData.isEmpty());

    ASSERT_TRUE(Clipboard::put(QStringList{png, video}));
    EXPECT_EQ(platform.pasteboard->fileList.size(), 2);
    EXPECT_FALSE(Clipboard::put(QStringList{})) << "nothing to put";
}
