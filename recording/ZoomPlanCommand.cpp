#include "recording/ZoomPlanCommand.h"

#include "recording/ContentMap.h"
#include "recording/VideoThumbnails.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <QTextStream>
#include <cmath>

namespace ombrel {

namespace {

bool isFiniteNumber(const QJsonValue& v) {
    return v.isDouble() && std::isfinite(v.toDouble());
}

// Reads a list of {"time", "x", "y"} objects; answers a message when one is malformed.
template <typename Point>
std::optional<QString> readPoints(const QJsonObject& root, const QString& key, std::vector<Point>& out) {
    const QJsonValue list = root.value(key);
    if (list.isUndefined() || list.isNull()) return std::nullopt;
    if (!list.isArray())
        return QStringLiteral("\"%1\" must be a list of {\"time\", \"x\", \"y\"} objects.").arg(key);
    const QJsonArray items = list.toArray();
    out.reserve(size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QJsonObject item = items.at(i).toObject();
        const QJsonValue time = item.value(QLatin1String("time"));
        const QJsonValue x = item.value(QLatin1String("x"));
        const QJsonValue y = item.value(QLatin1String("y"));
        if (!items.at(i).isObject() || !isFiniteNumber(time) || !isFiniteNumber(x) || !isFiniteNumber(y))
            return QStringLiteral("%1[%2] must be an object with the numbers \"time\", \"x\" and \"y\".")
                .arg(key)
                .arg(i);
        out.push_back({time.toDouble(), x.toDouble(), y.toDouble()});
    }
    return std::nullopt;
}

// The time the plan would end at when the duration is not known.
double lastEventSeconds(const ZoomEvents& events) {
    double last = 0;
    for (const auto& c : events.clicks)
        last = std::max(last, c.time);
    for (const auto& p : events.pointer)
        last = std::max(last, p.time);
    return last;
}

QString takeValue(QStringList& args, qsizetype at) {
    const QString value = args.value(at + 1);
    args.remove(at, std::min<qsizetype>(2, args.size() - at));
    return value;
}

} // namespace

std::variant<ZoomEvents, QString> parseZoomEvents(const QByteArray& json) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("The events are not valid JSON: %1 at character %2.")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    if (!doc.isObject())
        return QStringLiteral(
            "The events must be one JSON object with \"duration\", \"clicks\", \"pointer\" and "
            "\"scrolls\".");
    const QJsonObject root = doc.object();
    ZoomEvents events;

    const QJsonValue duration = root.value(QLatin1String("duration"));
    if (!duration.isUndefined() && !duration.isNull()) {
        if (!isFiniteNumber(duration) || duration.toDouble() < 0)
            return QStringLiteral("\"duration\" must be a number of seconds, 0 or more.");
        if (duration.toDouble() > zoomPlanLongestSessionSeconds)
            return QStringLiteral("\"duration\" is longer than 12 hours; plan a shorter recording.");
        events.durationSeconds = duration.toDouble();
    }
    if (auto error = readPoints(root, QStringLiteral("clicks"), events.clicks)) return *error;
    if (auto error = readPoints(root, QStringLiteral("pointer"), events.pointer)) return *error;

    const QJsonValue scrolls = root.value(QLatin1String("scrolls"));
    if (!scrolls.isUndefined() && !scrolls.isNull()) {
        if (!scrolls.isArray()) return QStringLiteral("\"scrolls\" must be a list of times in seconds.");
        const QJsonArray times = scrolls.toArray();
        for (qsizetype i = 0; i < times.size(); ++i) {
            if (!isFiniteNumber(times.at(i)))
                return QStringLiteral("scrolls[%1] must be a number of seconds.").arg(i);
            events.scrollTimes.push_back(times.at(i).toDouble());
        }
    }

    // Without a duration the plan runs 6 s past the last event; keep that within bounds too.
    if (!events.durationSeconds && lastEventSeconds(events) > zoomPlanLongestSessionSeconds)
        return QStringLiteral(
            "The events run past 12 hours; give a \"duration\" or plan a shorter recording.");
    return events;
}

QJsonObject zoomEventsToJson(const ZoomEvents& events) {
    const auto points = [](const auto& list) {
        QJsonArray out;
        for (const auto& p : list)
            out.append(QJsonObject{{"time", p.time}, {"x", p.x}, {"y", p.y}});
        return out;
    };
    QJsonArray scrolls;
    for (double t : events.scrollTimes)
        scrolls.append(t);
    return QJsonObject{
        {"duration", events.durationSeconds ? QJsonValue(*events.durationSeconds) : QJsonValue()},
        {"clicks", points(events.clicks)},
        {"pointer", points(events.pointer)},
        {"scrolls", scrolls}};
}

QJsonObject zoomPlanToJson(const ZoomPlan& plan) {
    QJsonArray frames;
    for (const ZoomPlan::Camera& c : plan.frames())
        frames.append(QJsonArray{c.scale, c.x, c.y});
    QJsonArray clicks;
    for (const ZoomPlan::Click& c : plan.clicks())
        clicks.append(QJsonObject{{"time", c.time}, {"x", c.x}, {"y", c.y}});
    return QJsonObject{{"step", ZoomPlan::step}, {"frames", frames}, {"clicks", clicks}};
}

int zoomPlanCommand(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto usage = [&err] {
        err << "Usage: ombrel-capture zoom-plan EVENTS.json [--video FILE] --output PLAN.json\n";
        return 2;
    };

    QStringList args = arguments;
    QString videoPath;
    QString outputPath;
    for (qsizetype i = 0; i < args.size();) {
        if (args[i] == QLatin1String("--video") || args[i] == QLatin1String("--output")) {
            const bool isVideo = args[i] == QLatin1String("--video");
            if (i + 1 >= args.size()) {
                err << args[i] << " needs a file name.\n";
                return usage();
            }
            (isVideo ? videoPath : outputPath) = takeValue(args, i);
        } else if (args[i].startsWith(QLatin1String("--"))) {
            err << "Unknown option \"" << args[i] << "\".\n";
            return usage();
        } else {
            ++i;
        }
    }
    if (args.size() != 1 || outputPath.isEmpty()) {
        err << (args.isEmpty()    ? "Name the events file.\n"
                : args.size() > 1 ? "Name only one events file.\n"
                                  : "Say where to write the plan with --output PLAN.json.\n");
        return usage();
    }

    QFile eventsFile(args.first());
    if (!eventsFile.open(QIODevice::ReadOnly)) {
        err << "Couldn't read " << args.first() << ": " << eventsFile.errorString() << ".\n";
        return 1;
    }
    const auto parsed = parseZoomEvents(eventsFile.readAll());
    if (const QString* problem = std::get_if<QString>(&parsed)) {
        err << args.first() << ": " << *problem << '\n';
        return 1;
    }
    const ZoomEvents& events = std::get<ZoomEvents>(parsed);

    std::optional<ContentMap> content;
    if (!videoPath.isEmpty()) {
        if (!QFileInfo(videoPath).isFile()) {
            err << "Couldn't find the video " << videoPath << ".\n";
            return 1;
        }
        av_log_set_level(AV_LOG_QUIET); // damaged frames are skipped; FFmpeg need not say so
        std::optional<double> videoSeconds = events.durationSeconds;
        if (!videoSeconds) videoSeconds = VideoThumbnails(videoPath, 16, 9).durationSeconds();
        content = ContentMap::read(videoPath, events.pointer, videoSeconds).result();
        if (!content)
            err << "No pictures could be read from " << videoPath << "; planning without its content.\n";
    }

    const ZoomPlan plan(events.clicks, events.pointer, events.scrollTimes, events.durationSeconds,
                        content ? &*content : nullptr);

    QSaveFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly) ||
        output.write(QJsonDocument(zoomPlanToJson(plan)).toJson(QJsonDocument::Compact)) < 0 ||
        !output.commit()) {
        err << "Couldn't write " << outputPath << ": " << output.errorString() << ".\n";
        return 1;
    }
    out << "Planned " << plan.frames().size() << " camera frames"
        << (content ? QStringLiteral(" using %1 pictures of the video").arg(content->sampleCount())
                    : QString())
        << " into " << outputPath << ".\n";
    return 0;
}

} // namespace ombrel
