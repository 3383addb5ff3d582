#include "video/VideoRenderCommand.h"

#include "recording/VideoJobCommand.h"
#include "video/VideoEditFile.h"
#include "video/VideoRenderer.h"

#include <QFileInfo>
#include <QTextStream>

namespace ombrel {

int videoRenderCommand(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto read =
        readVideoJob(arguments, {"Usage: ombrel-capture video-render VIDEO EDIT.json --output OUT.mp4",
                                 "Name the video and its edit file.", "the new video"});
    if (const int* status = std::get_if<int>(&read)) return *status;
    const VideoJob& job = std::get<VideoJob>(read);
    const QString& video = job.video;
    const QString& output = job.output;
    const auto parsed = parseVideoEdit(job.instructions);
    if (const QString* problem = std::get_if<QString>(&parsed)) {
        err << job.instructionsFile << ": " << *problem << '\n';
        return 1;
    }
    TerminalProgress progress(out, QStringLiteral("Rendering"));
    const Outcome<bool> rendered =
        VideoRenderer::render(std::get<VideoEdit>(parsed), video, output, std::ref(progress));
    progress.clear();
    if (!rendered) {
        out << Qt::flush;
        err << "Couldn't render " << video << ": " << rendered.message() << '\n';
        return 1;
    }
    out << "Rendered " << video << " into " << QFileInfo(output).absoluteFilePath() << ".\n";
    return 0;
}

} // namespace ombrel
