#pragma once
// A recording made for benchmarks from drawn pictures: a page of text that scrolls, with a
// round pointer that follows `pointerAt` (unit coordinates) and, when asked, a tone.

#include "recording/RecordingWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QTextStream>
#include <cmath>
#include <functional>
#include <vector>

inline QString makePageRecording(const QString& path, double seconds, QSize size,
                                 const std::function<QPointF(double)>& pointerAt, bool withSound = false) {
    ombrel::RecordingWriter::Settings settings;
    settings.videoSize = size;
    settings.withSound = withSound;
    auto writer = ombrel::RecordingWriter::open(path, settings);
    if (!writer) return writer.message();
    QImage picture(size, QImage::Format_RGB32);
    QFont font;
    font.setPixelSize(22);
    const int frames = int(seconds * 30);
    std::vector<float> tone(ombrel::RecordingWriter::soundRate / 30);
    for (int i = 0; i < frames; ++i) {
        const double t = i / 30.0;
        picture.fill(QColor(246, 246, 242));
        QPainter p(&picture);
        p.setFont(font);
        p.setPen(QColor(30, 30, 36));
        const int scroll = int(t * 40) % 60;
        for (int line = 0; line < 40; ++line)
            p.drawText(160, 120 + line * 30 - scroll,
                       QStringLiteral("Line %1 of a long page: the quick brown fox jumps over the lazy dog")
                           .arg(line + int(t * 40) / 60));
        const QPointF at = pointerAt(t);
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(at.x() * size.width(), at.y() * size.height()), 8, 8);
        p.end();
        writer.value()->addPicture(picture, i);
        if (withSound) {
            for (size_t s = 0; s < tone.size(); ++s)
                tone[s] = float(
                    0.2 * std::sin(2 * M_PI * 440 * (t + double(s) / ombrel::RecordingWriter::soundRate)));
            writer.value()->addSound(tone.data(), qsizetype(tone.size()), t);
        }
    }
    const auto finished = writer.value()->finish();
    return finished ? QString() : finished.message();
}

// The 1920 × 1080 recording with sound that a benchmark of the video editor works on:
// OMBREL_BENCH_CLIP when set (made there once and kept between runs), else source.mp4 in
// `scratch`; made when missing. Its path, or empty when it could not be made (said on `out`).
inline QString benchRecording(const QString& scratch, double seconds, QTextStream& out) {
    const QString path = qEnvironmentVariableIsSet("OMBREL_BENCH_CLIP")
                             ? qEnvironmentVariable("OMBREL_BENCH_CLIP")
                             : scratch + QStringLiteral("/source.mp4");
    if (QFile::exists(path)) return path;
    QElapsedTimer made;
    made.start();
    const auto pointerAt = [](double t) {
        return QPointF(0.5 + 0.3 * std::sin(t / 3), 0.5 + 0.2 * std::cos(t / 2));
    };
    const QString failure = makePageRecording(path, seconds, QSize(1920, 1080), pointerAt, true);
    if (!failure.isEmpty()) {
        out << "couldn't make the recording: " << failure << '\n';
        return {};
    }
    out << "made a " << seconds << " s 1920x1080 recording with sound in " << made.elapsed() / 1000.0
        << " s\n";
    return path;
}
