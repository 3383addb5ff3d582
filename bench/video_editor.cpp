// The video editor with a 1920 × 1080 recording: the time from opening it to the first
// picture shown, the time the overlay takes to draw one frame while the video plays (two
// notes and a caption shown, as at most moments of an annotated video), and how far
// playback keeps up. Offscreen, at the window's own size and at 1920 × 1080.
//   bench_video_editor [SECONDS]     (default 20; OMBREL_BENCH_CLIP=FILE keeps the made clip)
#include "PageRecording.h"
#include "video/VideoEditorWindow.h"
#include "video/VideoOverlayView.h"
#include "video/VideoPlayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

extern "C" {
#include <libavutil/log.h>
}

using namespace ombrel;

namespace {

// Runs the event loop until `done` or `ms` have passed; answers `done`.
template <class Done> bool waitFor(Done done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// Mean and worst milliseconds of drawing the overlay over `frames` moments of playback.
std::pair<double, double> overlayDrawing(VideoOverlayView& overlay, int frames) {
    QImage target(overlay.size(), QImage::Format_ARGB32_Premultiplied);
    double total = 0, worst = 0;
    for (int i = 0; i < frames; ++i) {
        overlay.setCurrentTime(1.0 + i * 0.05); // the player's time observer runs 20 times a second
        target.fill(Qt::transparent);
        QElapsedTimer timer;
        timer.start();
        overlay.render(&target, QPoint(), QRegion(), QWidget::DrawChildren);
        const double ms = timer.nsecsElapsed() / 1e6;
        total += ms;
        worst = std::max(worst, ms);
    }
    // OMBREL_BENCH_SHOT=FILE keeps the last overlay drawn, to look at.
    if (qEnvironmentVariableIsSet("OMBREL_BENCH_SHOT"))
        target.save(qEnvironmentVariable("OMBREL_BENCH_SHOT"));
    return {total / frames, worst};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    av_log_set_level(AV_LOG_QUIET);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 20.0;
    QTemporaryDir dir;
    QTextStream out(stdout);
    const QString source = benchRecording(dir.path(), seconds, out);
    if (source.isEmpty()) return 1;

    QElapsedTimer opening;
    opening.start();
    VideoEditorWindow* window = VideoEditorWindow::open(source);
    bool shown = false;
    QObject::connect(window, &VideoEditorWindow::firstPictureShown, [&] { shown = true; });
    if (!waitFor([&] { return shown; }, 30000)) {
        out << "no picture was shown\n";
        return 1;
    }
    const double openMs = opening.nsecsElapsed() / 1e6;
    out << "open to first picture: " << QString::number(openMs, 'f', 1) << " ms\n";

    window->setEdit([&](VideoEdit& e) {
        VideoEdit::TextNote a;
        a.x = 0.1;
        a.y = 0.1;
        a.text = QStringLiteral("1. Open the page settings");
        a.duration = seconds;
        VideoEdit::TextNote b = a;
        b.x = 0.45;
        b.y = 0.55;
        b.text = QStringLiteral("2. Choose a layout, then press Save");
        b.style.background = QStringLiteral("None");
        b.style.color = QStringLiteral("Yellow");
        e.notes = {a, b};
        e.captions = {{0, seconds, QStringLiteral("This is where the settings for the whole page live")}};
        e.captionStyle =
            CaptionStyle::looks().at(1); // outlined words without a background: the dearest to draw
    });
    window->togglePlay();
    for (const QSize size : {window->size(), QSize(1920, 1080)}) {
        window->resize(size);
        waitFor([] { return false; }, 100);
        const auto [mean, worst] = overlayDrawing(window->overlay(), 200);
        out << "overlay drawing per frame in a " << size.width() << "x" << size.height()
            << " window (picture " << int(window->overlay().videoRect().width()) << " wide): mean "
            << QString::number(mean, 'f', 2) << " ms, worst " << QString::number(worst, 'f', 2) << " ms\n";
    }

    // How well playback keeps up: pictures shown over five seconds of 30 a second.
    window->seek(0);
    int pictures = 0;
    QObject::connect(&window->player(), &VideoPlayer::pictureChanged, [&] { ++pictures; });
    if (!window->player().isPlaying()) window->togglePlay();
    waitFor([] { return false; }, 5000);
    out << "playback at 1920x1080 window: " << pictures << " pictures shown in 5 s ("
        << QString::number(pictures / 5.0, 'f', 1) << " a second of 30)\n";
    delete window;
    return 0;
}
