#include "video/VideoEditFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace ombrel {

namespace {

// Reads the keys of one object into a value; the first problem found is kept.
class Reader {
  public:
    Reader(const QJsonObject& object, QString where) : m_object(object), m_where(std::move(where)) {}

    void number(const char* key, double& into, bool nonNegative = false) {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined()) return;
        if (!v.isDouble() || !std::isfinite(v.toDouble()) || (nonNegative && v.toDouble() < 0))
            return fail(key, nonNegative ? "a number not below 0" : "a number");
        into = v.toDouble();
    }
    void text(const char* key, QString& into) {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined()) return;
        if (!v.isString()) return fail(key, "a text in quotes");
        into = v.toString();
    }
    void boolean(const char* key, bool& into) {
        const QJsonValue v = m_object.value(QLatin1String(key));
        if (v.isUndefined()) return;
        if (!v.isBool()) return fail(key, "true or false");
        into = v.toBool();
    }
    // An object or an array of objects under `key`; `ok` false when it is something else.
    QJsonValue value(const char* key) const { return m_object.value(QLatin1String(key)); }
    void fail(const char* key, const char* expected) {
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("%1\"%2\" must be %3.")
                            .arg(m_where, QLatin1String(key), QLatin1String(expected));
    }
    void take(const QString& problem) {
        if (m_problem.isEmpty()) m_problem = problem;
    }
    const QString& problem() const { return m_problem; }
    const QString& where() const { return m_where; }

  private:
    QJsonObject m_object;
    QString m_where;
    QString m_problem;
};

QString readStyle(const QJsonValue& value, const QString& where, VideoTextStyle& style) {
    if (value.isUndefined()) return {};
    if (!value.isObject()) return QStringLiteral("%1 must be an object.").arg(where);
    Reader r(value.toObject(), where + QStringLiteral(": "));
    r.text("font", style.font);
    r.number("size", style.size);
    r.text("color", style.color);
    r.text("background", style.background);
    if (r.problem().isEmpty() && style.size <= 0) r.fail("size", "a multiplier above 0");
    return r.problem();
}

QJsonObject styleJson(const VideoTextStyle& s) {
    return {{"font", s.font}, {"size", s.size}, {"color", s.color}, {"background", s.background}};
}

} // namespace

std::variant<VideoEdit, QString> parseVideoEdit(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("This isn't JSON (%1 at character %2).")
            .arg(error.errorString())
            .arg(error.offset);
    if (!document.isObject()) return QStringLiteral("The edit must be one JSON object.");
    VideoEdit edit;
    Reader top(document.object(), QString());
    top.boolean("isMuted", edit.isMuted);

    const QJsonValue crop = top.value("crop");
    if (!crop.isUndefined() && !crop.isNull()) {
        const QJsonArray a = crop.toArray();
        bool numbers = crop.isArray() && a.size() == 4;
        for (const QJsonValue& v : a)
            numbers = numbers && v.isDouble();
        if (!numbers)
            return QStringLiteral("\"crop\" must be [x, y, width, height] in fractions of the picture.");
        const QRectF r(a[0].toDouble(), a[1].toDouble(), a[2].toDouble(), a[3].toDouble());
        if (r.width() <= 0 || r.height() <= 0 || r.left() < 0 || r.top() < 0 || r.right() > 1.000001 ||
            r.bottom() > 1.000001)
            return QStringLiteral(
                "\"crop\" must lie inside the picture: x and y from 0, width and height above 0, "
                "x + width and y + height at most 1.");
        edit.crop = r;
    }

    const auto list = [&](const char* key) -> std::variant<QJsonArray, QString> {
        const QJsonValue v = top.value(key);
        if (v.isUndefined()) return QJsonArray();
        if (!v.isArray()) return QStringLiteral("\"%1\" must be a list.").arg(QLatin1String(key));
        return v.toArray();
    };
    const auto notes = list("notes");
    if (const QString* problem = std::get_if<QString>(&notes)) return *problem;
    for (qsizetype i = 0; i < std::get<QJsonArray>(notes).size(); ++i) {
        const QJsonValue item = std::get<QJsonArray>(notes).at(i);
        const QString where = QStringLiteral("Note %1").arg(i + 1);
        if (!item.isObject()) return where + QStringLiteral(" must be an object.");
        VideoEdit::TextNote note;
        Reader r(item.toObject(), where + QStringLiteral(": "));
        r.number("time", note.time, true);
        r.number("x", note.x);
        r.number("y", note.y);
        r.text("text", note.text);
        r.number("duration", note.duration, true);
        r.take(readStyle(r.value("style"), where + QStringLiteral(" \"style\""), note.style));
        if (r.problem().isEmpty() && (note.x < 0 || note.x > 1 || note.y < 0 || note.y > 1))
            r.take(where + QStringLiteral(": \"x\" and \"y\" must be fractions of the picture, 0 to 1."));
        if (!r.problem().isEmpty()) return r.problem();
        edit.notes.append(note);
    }
    const auto captions = list("captions");
    if (const QString* problem = std::get_if<QString>(&captions)) return *problem;
    for (qsizetype i = 0; i < std::get<QJsonArray>(captions).size(); ++i) {
        const QJsonValue item = std::get<QJsonArray>(captions).at(i);
        const QString where = QStringLiteral("Caption %1").arg(i + 1);
        if (!item.isObject()) return where + QStringLiteral(" must be an object.");
        VideoEdit::Caption caption;
        Reader r(item.toObject(), where + QStringLiteral(": "));
        r.number("time", caption.time, true);
        r.number("duration", caption.duration, true);
        r.text("text", caption.text);
        if (!r.problem().isEmpty()) return r.problem();
        edit.captions.append(caption);
    }
    const QJsonValue style = top.value("captionStyle");
    if (!style.isUndefined()) {
        if (!style.isObject()) return QStringLiteral("\"captionStyle\" must be an object.");
        Reader r(style.toObject(), QStringLiteral("\"captionStyle\": "));
        r.text("look", edit.captionStyle.look);
        r.boolean("fullWidth", edit.captionStyle.fullWidth);
        r.text("position", edit.captionStyle.position);
        r.take(
            readStyle(r.value("text"), QStringLiteral("\"captionStyle\" \"text\""), edit.captionStyle.text));
        if (!r.problem().isEmpty()) return r.problem();
    }
    if (!top.problem().isEmpty()) return top.problem();
    return edit;
}

QJsonObject videoEditJson(const VideoEdit& edit) {
    QJsonObject o{{"isMuted", edit.isMuted}};
    if (edit.crop)
        o["crop"] = QJsonArray{edit.crop->x(), edit.crop->y(), edit.crop->width(), edit.crop->height()};
    QJsonArray notes;
    for (const auto& n : edit.notes)
        notes.append(QJsonObject{{"time", n.time},
                                 {"x", n.x},
                                 {"y", n.y},
                                 {"text", n.text},
                                 {"duration", n.duration},
                                 {"style", styleJson(n.style)}});
    o["notes"] = notes;
    QJsonArray captions;
    for (const auto& c : edit.captions)
        captions.append(QJsonObject{{"time", c.time}, {"duration", c.duration}, {"text", c.text}});
    o["captions"] = captions;
    o["captionStyle"] = QJsonObject{{"look", edit.captionStyle.look},
                                    {"fullWidth", edit.captionStyle.fullWidth},
                                    {"position", edit.captionStyle.position},
                                    {"text", styleJson(edit.captionStyle.text)}};
    return o;
}

} // namespace ombrel
