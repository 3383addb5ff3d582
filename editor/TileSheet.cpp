#include "TileSheet.h"

#include "markup/MarkStore.h"
#include "markup/MarkStyle.h"
#include "markup/MarkupRender.h"
#include "markup/MarkupSetup.h"

#include <QColorSpace>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <cmath>

namespace ombrel::TileSheet {

namespace {

const QColor background = QColor::fromRgbF(0.043f, 0.051f, 0.078f);
const QColor cardFill = QColor::fromRgbF(0.09f, 0.1f, 0.15f);
constexpr double cardRadius = 20;
constexpr double pictureRadius = 10;

int columnsFor(qsizetype count) {
    return int(count <= 4 ? std::min<qsizetype>(count, 2) : std::min<qsizetype>(count, 3));
}

} // namespace

QList<Tile> tiles(const Markup& markup) {
    // The picture as it is finished, without its comment and crop. The notes travel with
    // the tiles, so the flattened copy is painted with the notes under the picture (and
    // without their text, which only the strip below the picture would show).
    Markup whole = markup;
    whole.comment.clear();
    whole.cropImageRect.reset();
    whole.links.clear();
    for (Markup::Box& box : whole.boxes)
        box.note.clear();
    MarkLook look = MarkLook::current();
    look.noteLook = NoteLook::List;
    const std::optional<QImage> flat = MarkupRender::flattened(whole, look);
    if (!flat) return {};

    const QRectF bounds(QPointF(0, 0), QSizeF(markup.imageSize()));
    QList<Tile> result;
    for (qsizetype i = 0; i < markup.boxes.size(); ++i) {
        const Markup::Box& box = markup.boxes.at(i);
        if (box.hides) continue;
        const QRectF inside = box.imageRect.normalized().intersected(bounds);
        if (inside.width() < 1 || inside.height() < 1) continue;
        const QRect piece = inside.toAlignedRect().intersected(flat->rect());
        result.append(Tile{flat->copy(piece), markup.number(i), box.element, box.note});
    }
    return result;
}

QSizeF pictureSize(QSizeF piece) {
    const double s = piece.width() > 0 ? std::min(1.0, pictureWidthLimit / piece.width()) : 1.0;
    double w = piece.width() * s;
    double h = piece.height() * s;
    if (h > pictureHeightLimit) {
        w = w * pictureHeightLimit / h;
        h = pictureHeightLimit;
    }
    return {w, h};
}

std::optional<Sheet> render(const QList<Tile>& tiles) {
    if (tiles.isEmpty()) return std::nullopt;
    const int columns = columnsFor(tiles.size());
    const int rows = int((tiles.size() + columns - 1) / columns);
    QList<QSizeF> sizes;
    for (const Tile& t : tiles)
        sizes.append(pictureSize(QSizeF(t.image.size())));
    QList<double> rowHeights(rows, 0.0);
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        double& row = rowHeights[i / columns];
        row = std::max(row, sizes[i].height() + 2 * padding);
    }
    double height = gap * (rows + 1);
    for (double h : rowHeights)
        height += h;
    const double width = cellWidth * columns + gap * (columns + 1);

    QImage image(int(std::ceil(width)), int(std::ceil(height)), QImage::Format_RGB32);
    if (image.isNull()) return std::nullopt;
    image.setColorSpace(QColorSpace::SRgb);
    image.fill(background);
    Sheet sheet;
    QPainter painter(&image);
    if (!painter.isActive()) return std::nullopt;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    double top = gap;
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < columns; ++k) {
            const qsizetype i = qsizetype(r) * columns + k;
            if (i >= tiles.size()) break;
            const double x = gap + k * (cellWidth + gap);
            QPainterPath card;
            card.addRoundedRect(QRectF(x, top, cellWidth, rowHeights[r]), cardRadius, cardRadius);
            painter.fillPath(card, cardFill);
            const QRectF place(QPointF(x + padding, top + padding), sizes[i]);
            QPainterPath clip;
            clip.addRoundedRect(place, pictureRadius, pictureRadius);
            painter.save();
            painter.setClipPath(clip);
            painter.drawImage(place, tiles[i].image);
            painter.restore();
            sheet.places.append(place);
        }
        top += rowHeights[r] + gap;
    }
    painter.end();
    sheet.image = std::move(image);
    return sheet;
}

Markup sheetMarkup(const Sheet& sheet, const QList<Tile>& tiles, const Markup& source) {
    Markup markup(sheet.image);
    const qsizetype count = std::min(sheet.places.size(), tiles.size());
    for (qsizetype i = 0; i < count; ++i)
        markup.boxes.append(Markup::Box(sheet.places[i], tiles[i].note, false, tiles[i].title));
    markup.comment = source.comment;
    markup.links = source.links;
    markup.color = HighlightPalette::current();
    return markup;
}

int tilesCommand(const QStringList& args) {
    QTextStream err(stderr);
    const QString usage = QStringLiteral("Usage: ombrel-capture tiles PICTURE --output SHEET.png\n");
    QString picture, output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--output")) {
            if (i + 1 >= args.size()) {
                err << "Say which file comes after --output.\n" << usage;
                return 2;
            }
            output = args[++i];
        } else if (args[i].startsWith(QLatin1String("--")) || !picture.isEmpty()) {
            err << "Unexpected \"" << args[i] << "\".\n" << usage;
            return 2;
        } else {
            picture = args[i];
        }
    }
    if (picture.isEmpty() || output.isEmpty()) {
        err << "Give the library picture and the file to write with --output.\n" << usage;
        return 2;
    }
    if (!QFileInfo::exists(picture)) {
        err << "Couldn't find the picture " << picture << ".\n";
        return 1;
    }
    const auto loaded = MarkStore::load(picture);
    if (!loaded) {
        err << "There are no readable marks for " << picture
            << ". Pick a picture from the library that has marks.\n";
        return 1;
    }
    const Markup source = loaded->saved.applied(loaded->unmarked);
    const QList<Tile> pieces = tiles(source);
    const std::optional<Sheet> sheet = render(pieces);
    if (!sheet) {
        err << "The picture has no numbered marks to cut out. Draw a box on it first.\n";
        return 1;
    }
    const auto png = MarkupRender::pngData(sheetMarkup(*sheet, pieces, source));
    if (!png) {
        err << "Couldn't make the tile sheet. The picture may be too large.\n";
        return 1;
    }
    return writeCommandPng(*png, output);
}

} // namespace ombrel::TileSheet
