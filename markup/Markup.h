#pragma once
// The mark-up of one picture: the untouched screenshot, the boxes drawn on it (numbered
// marks with comments, and blur boxes), a comment for the whole picture, an optional crop
// and the web addresses of the page shown. A plain value, copied freely (the editor
// copies it for undo). Every rectangle and point is in image pixels of the unmarked
// picture, origin top left, y downward.

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>

namespace ombrel {

// Text with white space and line breaks removed at both ends.
QString trimmed(const QString& text);

// The tidying applied to typed notes: trimmed, runs of white space made one space, a
// leading list number ("3." or "3)") removed and the first letter upper-cased.
QString tidiedNote(const QString& text);

class Markup {
  public:
    struct Box {
        // `paper` absent means the note paper chosen in the settings now.
        explicit Box(QRectF imageRect, QString note = {}, bool hides = false,
                     std::optional<QString> element = {}, std::optional<QPointF> notePosition = {},
                     std::optional<int> paper = {});

        QRectF imageRect;
        QString note;
        // Who the box is, for as long as the program runs: copies (the undo history's
        // snapshots among them) keep it, every new box gets a new one. It is not a value of
        // the box, so it takes no part in comparing boxes and is not saved.
        quint64 id;
        bool hides = false;                  // a blur box rather than a numbered mark
        std::optional<QString> element;      // the UI element the box was made from
        std::optional<QPointF> notePosition; // where the user put the note; absent: placed automatically
        int paper = 0;                       // index into NotePaper::colors

        bool operator==(const Box& other) const;
    };

    struct PageLink {
        QString url;
        bool included = true; // printed under the picture and counted as its address
        bool operator==(const PageLink&) const = default;
    };

    Markup() = default;
    // A fresh mark-up of a picture: the heavy blur is made now, the colour is the current highlight.
    explicit Markup(const QImage& image);
    // The same with a blurred copy made elsewhere (or none).
    Markup(const QImage& image, std::optional<QImage> blurred, QColor color);

    QImage image;
    std::optional<QImage> blurred; // the source of every blur box's pixels
    QList<Box> boxes;
    QString comment;
    std::optional<QRectF> cropImageRect;
    QList<PageLink> links;
    QColor color;

    // The number shown on the box at `index`: the count of marks (not blur boxes) up to and
    // including it. The index must be valid.
    int number(qsizetype index) const;
    // The first included link's url.
    std::optional<QString> address() const;
    // Replaces the links by one included link, or none.
    void setAddress(const std::optional<QString>& url);
    bool hasAnnotations() const;
    QSize imageSize() const { return image.size(); }
    // The crop, or the whole picture.
    QRectF keptImageRect() const;
    // The boxes in reading order: marks row by row, left to right, with tidied notes, then
    // the blur boxes in their own order.
    QList<Box> organisedBoxes() const;

    bool operator==(const Markup&) const = default;
};

} // namespace ombrel
