#pragma once
// The tile sheet: every numbered mark of a picture cut out and laid on one dark sheet as
// cards in a grid, so a long or busy screen can be sent as just the parts that matter.
// The editor makes the sheet a page of its own whose boxes lie on the pieces and carry
// their comments, so the ordinary rendering numbers them and prints the comments.

#include "markup/Markup.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <optional>

namespace ombrel::TileSheet {

// One piece: the mark's part of the flattened picture, its number, element name and note.
struct Tile {
    QImage image;
    int number = 0;
    std::optional<QString> title;
    QString note;
};

struct Sheet {
    QImage image;
    // Where each tile's picture lies on the sheet, in sheet pixels, in tile order.
    QList<QRectF> places;
};

// Layout in sheet pixels.
inline constexpr double cellWidth = 780;
inline constexpr double gap = 28;
inline constexpr double padding = 20;
inline constexpr double pictureWidthLimit = cellWidth - 2 * padding; // 740
inline constexpr double pictureHeightLimit = 620;

// The pieces of every numbered mark, in box order. A mark that does not reach a whole
// pixel into the picture is skipped. Blur boxes are not cut out, but their blur shows in
// any piece that overlaps them.
QList<Tile> tiles(const Markup& markup);

// The size a piece is drawn at: never enlarged, at most 740 wide and 620 high, keeping
// its shape.
QSizeF pictureSize(QSizeF piece);

// The sheet of the tiles, or nothing for no tiles or when the bitmap cannot be made.
std::optional<Sheet> render(const QList<Tile>& tiles);

// The mark-up of a sheet page: one box on each place with its tile's note and element
// name, the comment and links of the page it was cut from, in the current colour.
Markup sheetMarkup(const Sheet& sheet, const QList<Tile>& tiles, const Markup& source);

// `ombrel-capture tiles PICTURE --output SHEET.png`: the finished tile sheet of a library
// picture from its marks.
int tilesCommand(const QStringList& args);

} // namespace ombrel::TileSheet
