// Time from a finished 1920 × 1080 grab to the editor window shown with the picture painted:
// building the page (with its blurred copy for blur boxes), laying out the window and the
// first paint of the canvas. Runs off screen unless QT_QPA_PLATFORM says otherwise.
#include "editor/EditorWindow.h"
#include "platform/fake/FakePlatform.h"

#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace ombrel;

namespace {

QImage screenLikePicture() {
    QImage image(1920, 1080, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(image.rect(), QColor(0x5a, 0x7f, 0xa8));
    for (int i = 0; i < 12; ++i) {
        const QRect window(60 + i * 110, 40 + i * 60, 700, 420);
        p.fillRect(window, QColor(240 - i * 8, 240, 245));
        for (int line = 0; line < 18; ++line)
            p.drawText(window.adjusted(12, 20 + line * 22, -12, 0),
                       QStringLiteral("Line %1 of some text in a window").arg(line));
    }
    return image;
}

void OpenEditorOn1080pGrab(benchmark::State& state) {
    const QImage picture = screenLikePicture();
    for (auto _ : state) {
        auto editor = std::make_unique<EditorWindowController>(picture, CaptureStyle::MiniPanel,
                                                               QRect(0, 0, 1920, 1080));
        editor->present();
        editor->repaint(); // the first paint, canvas included
        QCoreApplication::processEvents();
        state.PauseTiming();
        editor->hide();
        editor.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(OpenEditorOn1080pGrab)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir trash;
    installFakePlatform(trash.filePath(QStringLiteral("trash")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
