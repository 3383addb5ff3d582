#include "editor/TileSheet.h"
#include "EditorTestSupport.h"
#include "library/CaptureStore.h"
#include "markup/MarkStore.h"
#include "markup/MarkupRender.h"

#include <QImageReader>

using namespace ombrel;
using namespace ombrel::test;

namespace {

Markup markupWith(QList<Markup::Box> boxes, QSize size = QSize(2400, 1350)) {
    Markup markup(plainPicture(QColor(230, 232, 236), size), std::nullopt, Qt::red);
    markup.boxes = std::move(boxes);
    return markup;
}

using TileSheetLayout = LibraryTest;

TEST_F(TileSheetLayout, OneColumnForOneMarkTwoUpToFourThenThreeRowsAsTallAsTheirTallestCard) {
    // Cards 780 wide with 28 between and around; a piece lies 20 inside its card.
    struct Row {
        int marks, width, height;
        QPointF lastPlace;
    };
    for (const Row& r : {Row{1, 836, 28 + 140 + 28, {48, 48}}, Row{2, 1644, 28 + 160 + 28, {856, 48}},
                         Row{4, 1644, 28 + 160 + 28 + 200 + 28, {856, 236}},
                         Row{5, 2452, 28 + 180 + 28 + 220 + 28, {856, 256}}}) {
        QList<Markup::Box> boxes; // 200 wide, each 20 higher than the one before
        for (int i = 0; i < r.marks; ++i)
            boxes.append(mark({100.0 + i * 400, 100, 200, 100.0 + i * 20}));
        const auto sheet = TileSheet::render(TileSheet::tiles(markupWith(boxes)));
        ASSERT_TRUE(sheet.has_value());
        EXPECT_EQ(sheet->image.size(), QSize(r.width, r.height)) << r.marks << " marks";
        ASSERT_EQ(sheet->places.size(), r.marks);
        EXPECT_EQ(sheet->places.last(), QRectF(r.lastPlace, QSizeF(200, 100 + 20 * (r.marks - 1))))
            << r.marks;
    }
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
    Markup m = markupWith({mark({3000, 100, 200, 200}), blur({100, 100, 100, 100}), mark({50, 50, 300, 300}),
                           mark({2390, 10, 40, 40})});
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

using TileSheetPages = EditorTest;

TEST_F(TileSheetPages, CroppingIntoTilesAddsASheetPageAndUndoAndRedoGoBetweenThem) {
    auto editor = open(plainPicture(Qt::white, QSize(1200, 700)));
    editor->cropIntoTiles();
    EXPECT_EQ(editor->pageCount(), 1) << "no marks, no sheet";
    editor->canvas()->add({mark({100, 100, 300, 200}, "first"), blur({500, 100, 50, 50}),
                           mark({700, 300, 200, 100}, "second")});
    editor->canvas()->markupForEditing().comment = "the whole page";
    editor->cropIntoTiles();
    ASSERT_EQ(editor->pageCount(), 2);
    EXPECT_EQ(editor->currentIndex(), 1);
    EXPECT_FALSE(editor->page(0).isIncluded) << "the page cut from is not sent";
    const Markup& sheet = editor->canvas()->markup();
    ASSERT_EQ(sheet.boxes.size(), 2);
    EXPECT_EQ(sheet.boxes[0].note, "first");
    EXPECT_EQ(sheet.boxes[1].note, "second");
    EXPECT_EQ(sheet.boxes[0].imageRect, QRectF(48, 48, 300, 200)) << "on its piece";
    EXPECT_EQ(sheet.comment, "the whole page");

    editor->undo();
    EXPECT_EQ(editor->pageCount(), 1);
    EXPECT_TRUE(editor->page(0).isIncluded);
    editor->redo();
    ASSERT_EQ(editor->pageCount(), 2);
    EXPECT_FALSE(editor->page(0).isIncluded);
    EXPECT_EQ(editor->canvas()->markup().boxes.size(), 2);

    // Closed, the sheet is kept and the page it was cut from is not written again.
    editor->closeEditor();
    EXPECT_EQ(waitForSave(*editor).size(), 1);
}

} // namespace
