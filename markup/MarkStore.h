#pragma once
// The side files of a library picture: its mark-up as JSON and a copy of the unmarked
// picture, both in the library's hidden ".marks" folder, so that a flattened picture can
// be opened again and edited further. Every failure here is silent.

#include "Markup.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <optional>

namespace ombrel {

class MarkStore {
  public:
    // The record kept in the marks file.
    struct Saved {
        QList<Markup::Box> boxes;
        QString comment;
        std::optional<QRectF> cropImageRect;
        std::optional<QString> address;
        std::optional<QList<Markup::PageLink>> links;
        bool operator==(const Saved&) const = default;

        static Saved of(const Markup& markup);
        // The mark-up of `image` that this record describes, in the current highlight colour.
        Markup applied(const QImage& image, std::optional<QImage> blurred) const;
        Markup applied(const QImage& image) const;
    };

    struct Loaded {
        QImage unmarked;
        Saved saved;
    };

    // A marks file larger than this is not read.
    static constexpr qint64 maxFileBytes = 16 * 1024 * 1024;
    // Marks older than the picture by this much or more are stale.
    static constexpr qint64 staleAfterMs = 10'000;

    static QString marksFile(const QString& picturePath);
    static QString unmarkedCopy(const QString& picturePath);

    // Writes the side files of a picture just written to the library. A mark-up without
    // annotations or links writes nothing; an existing unmarked copy is kept.
    static void save(const Markup& markup, const QString& picturePath);
    // The unmarked picture and the record, or nothing when either is missing, unreadable or stale.
    static std::optional<Loaded> load(const QString& picturePath);
    // The searchable words of a picture's marks, or "" when it has no readable marks file.
    static QString words(const QString& picturePath);

    // The JSON of a record: one compact object. Nothing when a number is not finite.
    static std::optional<QByteArray> encode(const Saved& saved);
    // Reads a record; nothing when the bytes break any rule of the format.
    static std::optional<Saved> decode(const QByteArray& json);
    // Reads a marks file whole (bounded by maxFileBytes) and decodes it.
    static std::optional<Saved> read(const QString& marksPath);
};

} // namespace ombrel
