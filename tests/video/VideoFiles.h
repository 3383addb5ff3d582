#pragma once
// Real video files for the video tests, made with the ffmpeg program, and what is in them.

extern "C" {
#include <libavformat/avformat.h>
}

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace ombrel::test {

// Runs the ffmpeg program with `arguments`; false when it is missing or fails.
inline bool ffmpeg(const QStringList& arguments) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (program.isEmpty()) return false;
    QProcess p;
    p.start(program, QStringList{"-v", "error", "-y"} + arguments);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A grey video of `size` and `seconds`, with `tones` sound tracks (0 for none).
inline bool makeVideo(const QString& path, QSize size, double seconds, int tones,
                      const QString& colour = "gray") {
    QStringList args{"-f", "lavfi", "-i",
                     QStringLiteral("color=c=%1:s=%2x%3:r=30:d=%4")
                         .arg(colour)
                         .arg(size.width())
                         .arg(size.height())
                         .arg(seconds)};
    for (int i = 0; i < tones; ++i)
        args << "-f"
             << "lavfi"
             << "-i" << QStringLiteral("sine=frequency=%1:duration=%2").arg(440 + 220 * i).arg(seconds);
    for (int i = 0; i <= tones; ++i)
        args << "-map" << QString::number(i);
    args << "-c:v"
         << "libx264"
         << "-pix_fmt"
         << "yuv420p";
    if (tones > 0)
        args << "-c:a"
             << "aac";
    args << path;
    return ffmpeg(args);
}

struct Streams {
    int videos = 0, audios = 0;
    QSize size;
    double seconds = 0;
};

inline Streams streamsOf(const QString& path) {
    Streams s;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.toLocal8Bit().constData(), nullptr, nullptr) != 0) return s;
    avformat_find_stream_info(format, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* p = format->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO) {
            ++s.videos;
            s.size = QSize(p->width, p->height);
        }
        if (p->codec_type == AVMEDIA_TYPE_AUDIO) ++s.audios;
    }
    s.seconds = format->duration > 0 ? double(format->duration) / AV_TIME_BASE : 0;
    avformat_close_input(&format);
    return s;
}

// The picture shown at `seconds`, in full colour.
inline QImage frameAt(const QString& path, double seconds, const QString& scratch) {
    const QString png = scratch + QStringLiteral("/frame.png");
    if (!ffmpeg({"-ss", QString::number(seconds), "-i", path, "-frames:v", "1", png})) return {};
    QImage image(png);
    QFile::remove(png);
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace ombrel::test
