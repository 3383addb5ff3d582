#include "recording/ZoomCommand.h"

#include "recording/ContentMap.h"
#include "recording/DemoZoom.h"
#include "recording/VideoJobCommand.h"
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
    const auto read = readVideoJob(arguments, {"Usage: ombrel-capture zoom VIDEO EVENTS.json --output FILE",
                                               "Name the video and its events file.", "the zoomed video"});
    if (const int* status = std::get_if<int>(&read)) return *status;
    const VideoJob& job = std::get<VideoJob>(read);
    const QString& video = job.video;
    const QString& output = job.output;
    const auto parsed = parseZoomEvents(job.instructions);
    if (const QString* problem = std::get_if<QString>(&parsed)) {
        err << job.instructionsFile << ": " << *problem << '\n';
        return 1;
    }
    const ZoomEvents& events = std::get<ZoomEvents>(parsed);

    av_log_set_level(AV_LOG_QUIET);
    std::optional<double> duration = events.durationSeconds;
    if (!duration) duration = VideoThumbnails(video, 16, 9).durationSeconds();
    const std::optional<ContentMap> content = ContentMap::readNow(video, events.pointer, duration);
    const ZoomPlan plan(events.clicks, events.pointer, events.scrollTimes, duration,
                        content ? &*content : nullptr);

    TerminalProgress progress(out, QStringLiteral("Zooming"));
    const Outcome<bool> rendered = DemoZoom::render(plan, video, output, std::ref(progress));
    progress.clear();
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
