#include "editor/TileSheet.h"
#include "editor/EditorWindow.h"
#include "library/CaptureStore.h"
#include "markup/MarkStore.h"
#include "markup/MarkupRender.h"
#include "markup/MarkupSetup.h"
#include "support/TestEnv.h"
#include "understanding/PageReadings.h"

#include <QImageReader>
#include <QSignalSpy>
#include <QTest>

using namespace ombrel;
using ombrel::test::LibraryTest;

namespace {

Markup markupWith(QList<Markup::Box> boxes, QSize size = QSize(2400, 1350)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(230, 232, 236));
    Markup markup(image, std::nullopt, Qt::red);
    markup.boxes = std::move(boxes);
    return markup;
}

Markup::Box mark(QRectF r, QString note = {}) {
    return Markup::Box(r, std::move(note));
}

using TileSheetLayout = LibraryTest;

TEST_F(TileSheetLayout, OneMarkGivesOneColumn836Wide) {
    const Markup m = markupWith({mark({100, 100, 300, 200}, "the button")});
    const QList<TileSheet::Tile> tiles = TileSheet::tiles(m);
    ASSERT_EQ(tiles.size(), 1);
    EXPECT_EQ(tiles[0].number, 1);
    EXPECT_EQ(tiles[0].note, "the button");
    EXPECT_EQ(tiles[0].image.size(), QSize(300, 200));
    const auto sheet = TileSheet::render(tiles);
    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->image.size(), QSize(836, 28 + 240 + 28));
    EXPECT_EQ(sheet->places, QList<QRectF>{QRectF(48, 48, 300, 200)});
}

TEST_F(TileSheetLayout, FiveMarksGiveThreeColumns2452WideInTwoRows) {
    QList<Markup::Box> boxes;
    for (int i = 0; i < 5; ++i)
        boxes.append(mark({100.0 + i * 400, 100, 200, 100.0 + i * 20}));
    const auto sheet = TileSheet::render(TileSheet::tiles(markupWith(boxes)));
    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->image.width(), 2452);
    // Rows as tall as their tallest card: 140 + 40 and 180 + 40, and four gaps of 28... three.
    EXPECT_EQ(sheet->image.height(), 28 + 180 + 28 + 220 + 28);
    ASSERT_EQ(sheet->places.size(), 5);
    EXPECT_EQ(sheet->places[2].topLeft(), QPointF(28 + 2 * 808 + 20, 48));
    EXPECT_EQ(sheet->places[3].topLeft(), QPointF(48, 28 + 180 + 28 + 20)) << "the second row";
}

TEST_F(TileSheetLayout, WidePiecesShrinkTo740AndTallOnesTo620High) {
    EXPECT_EQ(TileSheet::pictureSize({1480, 300}), QSizeF(740, 150));
    EXPECT_EQ(TileSheet::pictureSize({1480, 2000}), QSizeF(740.0 * 620 / 1000, 620));
    EXPECT_EQ(TileSheet::pictureSize({200, 100}), QSizeF(200, 100)) << "never enlarged";
    const auto sheet = TileSheet::render(TileSheet::tiles(markupWith({mark({0, 0, 1480, 300})})));
    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->places.first().size(), QSizeF(740, 150));
}

TEST_F(TileSheetLayout, MarksOutsideThePictureAndBlurBoxesAreNotCutOutButTheBlurShows) {
    Markup m = markupWith({mark({3000, 100, 200, 200}), Markup::Box({100, 100, 100, 100}, {}, true),
                           mark({50, 50, 300, 300}), mark({2390, 10, 40, 40})},
                          QSize(2400, 1350));
    // A picture with detail under the blur box, so the blur can be seen.
    for (int y = 100; y < 200; ++y)
        for (int x = 100; x < 200; ++x)
            m.image.setPixelColor(x, y, (x / 4 + y / 4) % 2 ? Qt::black : Qt::white);
    m.blurred = QImage(m.image.size(), QImage::Format_RGB32);
    m.blurred->fill(Qt::gray);
    const QList<TileSheet::Tile> tiles = TileSheet::tiles(m);
    ASSERT_EQ(tiles.size(), 2) << "the mark off the picture is skipped, the blur box is no tile";
    EXPECT_EQ(tiles[0].number, 2) << "numbers as on the picture";
    EXPECT_EQ(tiles[1].image.size(), QSize(10, 40)) << "cut to the picture's edge";
    EXPECT_EQ(tiles[0].image.pixelColor(100, 100), QColor(Qt::gray)) << "the blur shows inside the mark";
    EXPECT_FALSE(TileSheet::render({}).has_value());
}

TEST_F(TileSheetLayout, TheTilesCommandRendersALibraryPicturesSheet) {
    installMarkupIntoLibrary();
    Markup m =
        markupWith({mark({100, 100, 300, 200}, "one"), mark({800, 400, 200, 100}, "two")}, QSize(1200, 700));
    const QString file = CaptureStore::newFileURL(false);
    ASSERT_TRUE(CaptureStore::save(*MarkupRender::pngData(m), file));
    MarkStore::save(m, file);
    const QString out = dir.filePath("sheet.png");
    EXPECT_EQ(TileSheet::tilesCommand({file, "--output", out}), 0);
    const QImage sheet = QImageReader(out).read();
    EXPECT_EQ(sheet.width(), 2 * 780 + 3 * 28);
    EXPECT_GT(sheet.height(), 28 + 240 + 28) << "the comments are printed under the sheet";
    EXPECT_EQ(TileSheet::tilesCommand({dir.filePath("nothing.png"), "--output", out}), 1);
    EXPECT_EQ(TileSheet::tilesCommand({file}), 2);
}

using TileSheetPages = LibraryTest;

TEST_F(TileSheetPages, CroppingIntoTilesAddsASheetPageAndUndoAndRedoGoBetweenThem) {
    installMarkupIntoLibrary();
    EditorWindowController editor(markupWith({}, QSize(1200, 700)).image, CaptureStyle::MiniPanel,
                                  QRect(0, 0, 1280, 800));
    editor.present();
    editor.cropIntoTiles();
    EXPECT_EQ(editor.pageCount(), 1) << "no marks, no sheet";
    editor.canvas()->add({mark({100, 100, 300, 200}, "first"), Markup::Box({500, 100, 50, 50}, {}, true),
                          mark({700, 300, 200, 100}, "second")});
    editor.canvas()->markupForEditing().comment = "the whole page";
    editor.cropIntoTiles();
    ASSERT_EQ(editor.pageCount(), 2);
    EXPECT_EQ(editor.currentIndex(), 1);
    EXPECT_EQ(editor.statusText(), "Cropped into tiles. Undo takes you back to your marks.");
    EXPECT_FALSE(editor.page(0).isIncluded) << "the page cut from is not sent";
    const Markup& sheet = editor.canvas()->markup();
    EXPECT_EQ(sheet.imageSize().width(), 2 * 780 + 3 * 28);
    ASSERT_EQ(sheet.boxes.size(), 2);
    EXPECT_EQ(sheet.boxes[0].note, "first");
    EXPECT_EQ(sheet.boxes[1].note, "second");
    EXPECT_EQ(sheet.boxes[0].imageRect, QRectF(48, 48, 300, 200));
    EXPECT_EQ(sheet.comment, "the whole page");

    editor.undo();
    EXPECT_EQ(editor.pageCount(), 1);
    EXPECT_TRUE(editor.page(0).isIncluded);
    EXPECT_EQ(editor.statusText(), "Back to your marks. Redo makes the tiles again.");
    editor.redo();
    ASSERT_EQ(editor.pageCount(), 2);
    EXPECT_FALSE(editor.page(0).isIncluded);
    EXPECT_EQ(editor.canvas()->markup().boxes.size(), 2);

    // Closed, the sheet is kept and the page it was cut from is not written again.
    QSignalSpy saved(&editor, &EditorWindowController::saved);
    editor.closeEditor();
    ASSERT_TRUE(saved.wait(10000));
    EXPECT_EQ(saved.first().first().toStringList().size(), 1);
    PageReadings::waitForAll();
}

} // namespace
