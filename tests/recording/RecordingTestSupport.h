#pragma once
// Access to the private workings of the zoom planner and the content map, builders of
// pointer paths and content grids, and the making and probing of video files for the
// recording tests.

#include "recording/ContentMap.h"
#include "recording/ZoomPlan.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <QProcess>
#include <QStandardPaths>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace ombrel {

struct ZoomPlanInspector {
    static QPointF position(const std::vector<ZoomPlan::PointerSample>& path, double t) {
        return ZoomPlan::position(path, t);
    }
};

struct ContentMapInspector {
    static ContentMap::Cells cells(const QImage& picture) { return ContentMap::cells(picture); }
    static ContentMap::Cells withoutPointer(const ContentMap::Cells& cells, double x, double y) {
        return ContentMap::withoutPointer(cells, x, y);
    }
    static std::vector<double> times(const ContentMap& map) {
        std::vector<double> out;
        for (const auto& s : map.samples_)
            out.push_back(s.time);
        return out;
    }
    static const ContentMap::Cells& cellsAt(const ContentMap& map, int index) {
        return map.samples_.at(index).cells;
    }
    static double sampleShare(const ContentMap& map, int index) { return map.samples_.at(index).share; }
    static double share(const ContentMap& map, int index, double x0, double y0, double x1, double y1) {
        return ContentMap::share(map.samples_.at(index), x0, y0, x1, y1);
    }
};

namespace test {

using Path = std::vector<ZoomPlan::PointerSample>;

// Samples of `at(t)` every 1/60 s from `fromSeconds` to `toSeconds` inclusive.
inline Path sampled(double fromSeconds, double toSeconds, const std::function<QPointF(double)>& at) {
    Path path;
    for (int i = 0;; ++i) {
        const double t = fromSeconds + i / 60.0;
        if (t > toSeconds + 1e-9) break;
        const QPointF p = at(t);
        path.push_back({t, p.x(), p.y()});
    }
    return path;
}

inline Path still(double fromSeconds, double toSeconds, double x, double y) {
    return sampled(fromSeconds, toSeconds, [=](double) { return QPointF(x, y); });
}

inline void setCell(ContentMap::Cells& cells, int row, int column, bool on = true) {
    cells[row * ContentMap::columns + column] = on;
}
inline bool cell(const ContentMap::Cells& cells, int row, int column) {
    return cells[row * ContentMap::columns + column];
}
// Fills the cells of rows [r0, r1) and columns [c0, c1).
inline void fillCells(ContentMap::Cells& cells, int r0, int c0, int r1, int c1) {
    for (int r = r0; r < r1; ++r)
        for (int c = c0; c < c1; ++c)
            setCell(cells, r, c);
}
inline ContentMap mapOf(const ContentMap::Cells& cells) {
    return ContentMap({{0.0, cells}});
}

// Writes `path` with the ffmpeg program from `arguments`; answers the path, or nothing when the
// program is missing or fails (a failure is reported).
inline QString makeVideo(const QString& path, const QStringList& arguments) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty()) return QString();
    QProcess process;
    process.start(ffmpeg, QStringList{"-v", "error", "-y"} + arguments + QStringList{path});
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        ADD_FAILURE() << "ffmpeg failed: " << process.readAllStandardError().toStdString();
        return QString();
    }
    return path;
}

// The picture size of a video file's video stream, and whether it has sound.
struct VideoFacts {
    QSize size;
    bool audio = false;
};
inline VideoFacts probe(const QString& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.toLocal8Bit().constData(), nullptr, nullptr) < 0) return {};
    avformat_find_stream_info(format, nullptr);
    VideoFacts facts;
    const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0)
        facts.size = {format->streams[video]->codecpar->width, format->streams[video]->codecpar->height};
    facts.audio = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;
    avformat_close_input(&format);
    return facts;
}

} // namespace test
} // namespace ombrel
