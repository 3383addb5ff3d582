#include "recording/ZoomCommand.h"

#include "recording/ContentMap.h"
#include "recording/DemoZoom.h"
#include "recording/VideoThumbnails.h"
#include "recording/ZoomPlanCommand.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cmath>
#include <unistd.h>

namespace ombrel {

int zoomCommand(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto usage = [&err] {
        err << "Usage: ombrel-capture zoom VIDEO EVENTS.json --output FILE\n";
        return 2;
    };
    QStringList files;
    QString output;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--output")) {
            if (i + 1 >= arguments.size()) {
                err << "--output needs a file name.\n";
                return usage();
            }
            output = arguments.at(++i);
        } else if (a.startsWith(QLatin1String("--"))) {
            err << "Unknown option \"" << a << "\".\n";
            return usage();
        } else {
            files.append(a);
        }
    }
    if (files.size() != 2 || output.isEmpty()) {
        err << (files.size() != 2 ? "Name the video and its events file.\n"
                                  : "Say where to write the zoomed video with --output FILE.\n");
        return usage();
    }
    const QString video = files.at(0);
    if (!QFileInfo(video).isFile()) {
        err << "Couldn't find the video " << video << ".\n";
        return 1;
    }
    if (QFileInfo(output).absoluteFilePath() == QFileInfo(video).absoluteFilePath()) {
        err << "Write the zoomed video to another file than " << video << ".\n";
        return 1;
    }
    QFile eventsFile(files.at(1));
    if (!eventsFile.open(QIODevice::ReadOnly)) {
        err << "Couldn't read " << files.at(1) << ": " << eventsFile.errorString() << ".\n";
        return 1;
    }
    const auto parsed = parseZoomEvents(eventsFile.readAll());
    if (const QString* problem = std::get_if<QString>(&parsed)) {
        err << files.at(1) << ": " << *problem << '\n';
        return 1;
    }
    const ZoomEvents& events = std::get<ZoomEvents>(parsed);

    av_log_set_level(AV_LOG_QUIET);
    std::optional<double> duration = events.durationSeconds;
    if (!duration) duration = VideoThumbnails(video, 16, 9).durationSeconds();
    const std::optional<ContentMap> content = ContentMap::readNow(video, events.pointer, duration);
    const ZoomPlan plan(events.clicks, events.pointer, events.scrollTimes, duration,
                        content ? &*content : nullptr);

    // A progress line on a terminal, rewritten in place; nothing of it in a pipe or a file.
    const bool terminal = isatty(STDOUT_FILENO);
    int shownPercent = -1;
    const auto progress = [&](double fraction) {
        const int percent = int(std::floor(fraction * 100));
        if (!terminal || percent == shownPercent) return;
        shownPercent = percent;
        out << "\rZooming… " << percent << " %" << Qt::flush;
    };
    const Outcome<bool> rendered = DemoZoom::render(plan, video, output, progress);
    if (terminal) out << '\r' << QString(16, QLatin1Char(' ')) << '\r';
    if (!rendered) {
        out << Qt::flush;
        err << "Couldn't zoom " << video << ": " << rendered.message() << '\n';
        return 1;
    }
    out << "Zoomed " << video << " into " << QFileInfo(output).absoluteFilePath() << " ("
        << plan.clicks().size() << (plan.clicks().size() == 1 ? " click, " : " clicks, ")
        << plan.frames().size() << " camera frames).\n";
    return 0;
}

} // namespace ombrel
