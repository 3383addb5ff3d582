// zoomcheck RAW.mp4 ZOOMED.mp4 EVENTS.json SECONDS: compares the zoomed video's picture at a
// moment with the raw recording cropped to the planned camera rectangle and scaled back up,
// and with the raw picture as it is (and saves both pictures under SAVE-PREFIX when given). Prints
// "cropped=<mean difference> whole=<mean difference>" in grey levels (0-255): the zoomed picture should match
// the cropped one far better.
#include "recording/ContentMap.h"
#include "recording/DemoZoom.h"
#include "recording/VideoThumbnails.h"
#include "recording/ZoomPlanCommand.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTextStream>
#include <cmath>

using namespace ombrel;

namespace {

QImage greyPicture(const QString& path, double t, QSize size) {
    VideoThumbnails video(path, size.width(), size.height());
    std::vector<uint8_t> grey;
    // A narrow window: a wider one may let a seek land on a key frame just after the moment.
    if (!video.greyFrameNear(t, 0.002, grey)) return {};
    QImage image(size, QImage::Format_Grayscale8);
    for (int y = 0; y < size.height(); ++y)
        std::copy_n(grey.data() + size_t(y) * size.width(), size.width(), image.scanLine(y));
    return image;
}

double meanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(int(a.constScanLine(y)[x]) - int(b.constScanLine(y)[x]));
    return sum / (double(a.width()) * a.height());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 5 && argc != 6) {
        err << "Usage: zoomcheck RAW.mp4 ZOOMED.mp4 EVENTS.json SECONDS [SAVE-PREFIX]\n";
        return 2;
    }
    const QString raw = QString::fromLocal8Bit(argv[1]);
    const QString zoomed = QString::fromLocal8Bit(argv[2]);
    QFile eventsFile(QString::fromLocal8Bit(argv[3]));
    // On a picture's own moment (recordings have one every 1/30 s): the camera can move from
    // one picture to the next, so the plan is read exactly where the renderer read it.
    const double t = std::round(QString::fromLocal8Bit(argv[4]).toDouble() * 30) / 30;
    if (!eventsFile.open(QIODevice::ReadOnly)) return 2;
    const auto parsed = parseZoomEvents(eventsFile.readAll());
    if (!std::holds_alternative<ZoomEvents>(parsed)) return 2;
    const ZoomEvents& events = std::get<ZoomEvents>(parsed);
    // The same planning as the zoom command: its duration, its content map.
    std::optional<double> duration = events.durationSeconds;
    if (!duration) duration = VideoThumbnails(raw, 16, 9).durationSeconds();
    const auto content = ContentMap::readNow(raw, events.pointer, duration);
    const ZoomPlan plan(events.clicks, events.pointer, events.scrollTimes, duration,
                        content ? &*content : nullptr);

    const QSize size(640, 360);
    const QImage whole = greyPicture(raw, t, size);
    const QImage out = greyPicture(zoomed, t, size);
    if (whole.isNull() || out.isNull()) {
        err << "No picture at " << t << " s.\n";
        return 1;
    }
    const QRectF shown = DemoZoom::sourceRect(plan, t, size);
    const QImage cropped =
        whole.copy(shown.toRect()).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (argc == 6) { // the pictures compared, for a person to look at
        out.save(QString::fromLocal8Bit(argv[5]) + QStringLiteral("-zoomed.png"));
        cropped.save(QString::fromLocal8Bit(argv[5]) + QStringLiteral("-planned.png"));
    }
    // Compared at a quarter of that: a pixel or two of rounding in the crop would otherwise
    // count like a different picture wherever there is text.
    const auto small = [](const QImage& i) {
        return i.scaled(160, 90, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    QTextStream(stdout) << "scale=" << plan.camera(t).scale
                        << " cropped=" << meanDifference(small(out), small(cropped))
                        << " whole=" << meanDifference(small(out), small(whole)) << '\n';
    return 0;
}
