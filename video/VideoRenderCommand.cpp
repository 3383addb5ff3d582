#include "video/VideoRenderCommand.h"

#include "video/VideoEditFile.h"
#include "video/VideoRenderer.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cmath>
#include <unistd.h>

namespace ombrel {

int videoRenderCommand(const QStringList& arguments) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto usage = [&err] {
        err << "Usage: ombrel-capture video-render VIDEO EDIT.json --output OUT.mp4\n";
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
        err << (files.size() != 2 ? "Name the video and its edit file.\n"
                                  : "Say where to write the new video with --output OUT.mp4.\n");
        return usage();
    }
    const QString video = files.at(0);
    if (!QFileInfo(video).isFile()) {
        err << "Couldn't find the video " << video << ".\n";
        return 1;
    }
    if (QFileInfo(output).absoluteFilePath() == QFileInfo(video).absoluteFilePath()) {
        err << "Write the new video to another file than " << video << ": the recording stays as it is.\n";
        return 1;
    }
    QFile editFile(files.at(1));
    if (!editFile.open(QIODevice::ReadOnly)) {
        err << "Couldn't read " << files.at(1) << ": " << editFile.errorString() << ".\n";
        return 1;
    }
    const auto parsed = parseVideoEdit(editFile.readAll());
    if (const QString* problem = std::get_if<QString>(&parsed)) {
        err << files.at(1) << ": " << *problem << '\n';
        return 1;
    }
    const VideoEdit& edit = std::get<VideoEdit>(parsed);

    // A progress line on a terminal, rewritten in place; nothing of it in a pipe or a file.
    const bool terminal = isatty(STDOUT_FILENO);
    int shownPercent = -1;
    const auto progress = [&](double fraction) {
        const int percent = int(std::floor(fraction * 100));
        if (!terminal || percent == shownPercent) return;
        shownPercent = percent;
        out << "\rRendering… " << percent << " %" << Qt::flush;
    };
    const Outcome<bool> rendered = VideoRenderer::render(edit, video, output, progress);
    if (terminal) out << '\r' << QString(18, QLatin1Char(' ')) << '\r';
    if (!rendered) {
        out << Qt::flush;
        err << "Couldn't render " << video << ": " << rendered.message() << '\n';
        return 1;
    }
    out << "Rendered " << video << " into " << QFileInfo(output).absoluteFilePath() << ".\n";
    return 0;
}

} // namespace ombrel
