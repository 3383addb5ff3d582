#include "recording/VideoJobCommand.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <unistd.h>

namespace ombrel {

std::variant<VideoJob, int> readVideoJob(const QStringList& arguments, const VideoJobWords& words) {
    QTextStream err(stderr);
    const auto usage = [&] {
        err << words.usage << '\n';
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
        if (files.size() != 2)
            err << words.files << '\n';
        else
            err << "Say where to write " << words.result << " with --output FILE.\n";
        return usage();
    }
    VideoJob job{files.at(0), files.at(1), {}, output};
    if (!QFileInfo(job.video).isFile()) {
        err << "Couldn't find the video " << job.video << ".\n";
        return 1;
    }
    if (QFileInfo(output).absoluteFilePath() == QFileInfo(job.video).absoluteFilePath()) {
        err << "Write " << words.result << " to another file than " << job.video << ".\n";
        return 1;
    }
    QFile file(job.instructionsFile);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "Couldn't read " << job.instructionsFile << ": " << file.errorString() << ".\n";
        return 1;
    }
    job.instructions = file.readAll();
    return job;
}

TerminalProgress::TerminalProgress(QTextStream& out, QString label)
    : m_out(out), m_label(std::move(label)), m_terminal(isatty(STDOUT_FILENO)) {}

void TerminalProgress::operator()(double fraction) {
    const int percent = int(std::floor(fraction * 100));
    if (!m_terminal || percent == m_shownPercent) return;
    m_shownPercent = percent;
    m_out << '\r' << m_label << "… " << percent << " %" << Qt::flush;
}

void TerminalProgress::clear() {
    if (m_terminal) m_out << '\r' << QString(m_label.size() + 8, QLatin1Char(' ')) << '\r' << Qt::flush;
}

} // namespace ombrel
