#include "MarkStore.h"

#include "MarkStyle.h"
#include "library/CaptureStore.h"
#include "platform/Log.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cmath>
#include <limits>

namespace ombrel {

namespace {

// MARK: Writing

bool finite(double v) {
    return std::isfinite(v);
}

QJsonArray pointJson(QPointF p) {
    return QJsonArray{p.x(), p.y()};
}

QJsonArray rectJson(const QRectF& r) {
    return QJsonArray{QJsonArray{r.x(), r.y()}, QJsonArray{r.width(), r.height()}};
}

bool finiteRect(const QRectF& r) {
    return finite(r.x()) && finite(r.y()) && finite(r.width()) && finite(r.height());
}

QJsonObject boxJson(const Markup::Box& box) {
    QJsonObject object{
        {"rect", rectJson(box.imageRect)}, {"note", box.note}, {"hides", box.hides}, {"paper", box.paper}};
    if (box.element) object.insert(QStringLiteral("element"), *box.element);
    if (box.notePosition) object.insert(QStringLiteral("notePosition"), pointJson(*box.notePosition));
    return object;
}

QJsonObject linkJson(const Markup::PageLink& link) {
    return QJsonObject{{"url", link.url}, {"included", link.included}};
}

bool writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// MARK: Reading
// Each reader answers nothing when the value breaks the format; optional keys that are
// missing or null read as absent.

std::optional<double> number(const QJsonValue& v) {
    if (!v.isDouble()) return std::nullopt;
    return v.toDouble();
}

std::optional<QPointF> pointFrom(const QJsonValue& v) {
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != 2) return std::nullopt;
    const auto x = number(a[0]);
    const auto y = number(a[1]);
    if (!x || !y) return std::nullopt;
    return QPointF(*x, *y);
}

std::optional<QRectF> rectFrom(const QJsonValue& v) {
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != 2) return std::nullopt;
    const auto origin = pointFrom(a[0]);
    const auto size = pointFrom(a[1]);
    if (!origin || !size) return std::nullopt;
    return QRectF(origin->x(), origin->y(), size->x(), size->y());
}

std::optional<int> integerFrom(const QJsonValue& v) {
    const auto d = number(v);
    // Whole numbers only; far-out values are kept in range, they are clamped before use anyway.
    if (!d || std::trunc(*d) != *d || std::abs(*d) > 9007199254740992.0) return std::nullopt;
    return int(std::clamp<double>(*d, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool absent(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isUndefined() || v.isNull();
}

std::optional<Markup::Box> boxFrom(const QJsonValue& v) {
    if (!v.isObject()) return std::nullopt;
    const QJsonObject o = v.toObject();
    const auto rect = rectFrom(o.value(QLatin1String("rect")));
    const QJsonValue note = o.value(QLatin1String("note"));
    const QJsonValue hides = o.value(QLatin1String("hides"));
    const auto paper = integerFrom(o.value(QLatin1String("paper")));
    if (!rect || !note.isString() || !hides.isBool() || !paper) return std::nullopt;

    std::optional<QString> element;
    if (!absent(o, "element")) {
        const QJsonValue e = o.value(QLatin1String("element"));
        if (!e.isString()) return std::nullopt;
        element = e.toString();
    }
    std::optional<QPointF> notePosition;
    if (!absent(o, "notePosition")) {
        notePosition = pointFrom(o.value(QLatin1String("notePosition")));
        if (!notePosition) return std::nullopt;
    }
    return Markup::Box(*rect, note.toString(), hides.toBool(), element, notePosition, *paper);
}

std::optional<Markup::PageLink> linkFrom(const QJsonValue& v) {
    const QJsonObject o = v.toObject();
    const QJsonValue url = o.value(QLatin1String("url"));
    const QJsonValue included = o.value(QLatin1String("included"));
    if (!v.isObject() || !url.isString() || !included.isBool()) return std::nullopt;
    return Markup::PageLink{url.toString(), included.toBool()};
}

} // namespace

// MARK: Record

MarkStore::Saved MarkStore::Saved::of(const Markup& markup) {
    return Saved{markup.boxes, markup.comment, markup.cropImageRect, markup.address(), markup.links};
}

Markup MarkStore::Saved::applied(const QImage& image, std::optional<QImage> blurred) const {
    Markup markup(image, std::move(blurred), HighlightPalette::current());
    markup.boxes = boxes;
    markup.comment = comment;
    markup.cropImageRect = cropImageRect;
    if (links)
        markup.links = *links;
    else if (address)
        markup.setAddress(address);
    return markup;
}

Markup MarkStore::Saved::applied(const QImage& image) const {
    Markup fresh(image);
    return applied(image, fresh.blurred);
}

// MARK: Encoding

std::optional<QByteArray> MarkStore::encode(const Saved& saved) {
    QJsonArray boxes;
    for (const Markup::Box& box : saved.boxes) {
        if (!finiteRect(box.imageRect) ||
            (box.notePosition && !(finite(box.notePosition->x()) && finite(box.notePosition->y()))))
            return std::nullopt;
        boxes.append(boxJson(box));
    }
    QJsonObject root{{"boxes", boxes}, {"comment", saved.comment}};
    if (saved.cropImageRect) {
        if (!finiteRect(*saved.cropImageRect)) return std::nullopt;
        root.insert(QStringLiteral("crop"), rectJson(*saved.cropImageRect));
    }
    if (saved.address) root.insert(QStringLiteral("address"), *saved.address);
    if (saved.links) {
        QJsonArray links;
        for (const Markup::PageLink& link : *saved.links)
            links.append(linkJson(link));
        root.insert(QStringLiteral("links"), links);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<MarkStore::Saved> MarkStore::decode(const QByteArray& json) {
    if (json.size() > maxFileBytes) return std::nullopt;
    QJsonParseError error{};
    // The parser refuses nesting deeper than it can handle with an error, not a crash.
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject root = document.object();

    const QJsonValue boxesValue = root.value(QLatin1String("boxes"));
    const QJsonValue comment = root.value(QLatin1String("comment"));
    if (!boxesValue.isArray() || !comment.isString()) return std::nullopt;
    Saved saved;
    saved.comment = comment.toString();
    for (const QJsonValue& v : boxesValue.toArray()) {
        auto box = boxFrom(v);
        if (!box) return std::nullopt;
        saved.boxes.append(*box);
    }
    if (!absent(root, "crop")) {
        saved.cropImageRect = rectFrom(root.value(QLatin1String("crop")));
        if (!saved.cropImageRect) return std::nullopt;
    }
    if (!absent(root, "address")) {
        const QJsonValue address = root.value(QLatin1String("address"));
        if (!address.isString()) return std::nullopt;
        saved.address = address.toString();
    }
    if (!absent(root, "links")) {
        const QJsonValue linksValue = root.value(QLatin1String("links"));
        if (!linksValue.isArray()) return std::nullopt;
        QList<Markup::PageLink> links;
        for (const QJsonValue& v : linksValue.toArray()) {
            auto link = linkFrom(v);
            if (!link) return std::nullopt;
            links.append(*link);
        }
        saved.links = links;
    }
    return saved;
}

std::optional<MarkStore::Saved> MarkStore::read(const QString& marksPath) {
    QFile file(marksPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileBytes) return std::nullopt;
    return decode(file.read(maxFileBytes + 1));
}

// MARK: Side files

QString MarkStore::marksFile(const QString& picturePath) {
    return CaptureStore::marksFolder() + QLatin1Char('/') + QFileInfo(picturePath).completeBaseName() +
           QStringLiteral(".json");
}

QString MarkStore::unmarkedCopy(const QString& picturePath) {
    return CaptureStore::marksFolder() + QLatin1Char('/') + QFileInfo(picturePath).completeBaseName() +
           QStringLiteral(".png");
}

void MarkStore::save(const Markup& markup, const QString& picturePath) {
    if (!markup.hasAnnotations() && markup.links.isEmpty()) return;
    const auto json = encode(Saved::of(markup));
    if (!json) return;
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (markup.image.isNull() || !writer.write(markup.image)) return;
    }
    // The picture itself is saved; only editing it again later is lost, so this is logged.
    if (!QDir().mkpath(CaptureStore::marksFolder())) {
        qCWarning(logMarkup) << "Couldn't make the marks folder" << CaptureStore::marksFolder();
        return;
    }
    const QString copy = unmarkedCopy(picturePath);
    if (!QFileInfo::exists(copy) && !writeWhole(copy, png)) // the unmarked picture of the first save stays
        qCWarning(logMarkup) << "Couldn't write the unmarked copy" << copy;
    if (!writeWhole(marksFile(picturePath), *json))
        qCWarning(logMarkup) << "Couldn't write the marks of" << picturePath;
}

std::optional<MarkStore::Loaded> MarkStore::load(const QString& picturePath) {
    const QFileInfo picture(picturePath);
    const QFileInfo marks(marksFile(picturePath));
    if (!picture.exists() || !marks.exists()) return std::nullopt;
    // A picture written again well after its marks shows something else now.
    const qint64 pictureAheadMs = marks.lastModified().msecsTo(picture.lastModified());
    if (pictureAheadMs >= staleAfterMs) return std::nullopt;
    auto saved = read(marks.filePath());
    if (!saved) {
        qCWarning(logMarkup) << "The marks of" << picturePath << "can't be read; it opens without them";
        return std::nullopt;
    }
    QImageReader reader(unmarkedCopy(picturePath));
    const QImage unmarked = reader.read();
    if (unmarked.isNull()) {
        qCWarning(logMarkup) << "The unmarked copy of" << picturePath
                             << "can't be read:" << reader.errorString();
        return std::nullopt;
    }
    return Loaded{unmarked, std::move(*saved)};
}

QString MarkStore::words(const QString& picturePath) {
    const auto saved = read(marksFile(picturePath));
    if (!saved) return QString();
    QStringList parts{saved->comment, saved->address.value_or(QString())};
    if (saved->links)
        for (const Markup::PageLink& link : *saved->links)
            parts.append(link.url);
    for (const Markup::Box& box : saved->boxes)
        parts.append(box.note);
    for (const Markup::Box& box : saved->boxes)
        if (box.element) parts.append(*box.element);
    return parts.join(QLatin1Char(' '));
}

} // namespace ombrel
