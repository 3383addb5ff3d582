// How long finding elements in the pixels of a full-HD screenshot takes: the whole visual
// reading (both image analyses and the sorting of what they find) over the lines of a
// careful text reading made beforehand, and each analysis alone. OMBREL_BENCH_PICTURE names
// a screenshot to use instead of the drawn one; OMBREL_BENCH_SAVE saves the drawn one with
// the elements found outlined.
#include "platform/Platform.h"
#include "platform/linux/OpenCvVision.h"
#include "understanding/TextFinder.h"
#include "understanding/VisualReader.h"

#include "ScreenshotFrame.h"
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

using namespace ombrel;

namespace {

// A 1920 × 1080 application window: a title bar, a side bar, paragraphs, a bordered table,
// a row of rounded buttons, a search field and a photo card.
const QImage& screenshot() {
    static const QImage shot = [] {
        if (const QImage given = givenScreenshot(); !given.isNull()) return given;
        QImage image = emptyApplicationWindow();
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QFont ui(QStringLiteral("DejaVu Sans"));
        ui.setPixelSize(14);
        p.setFont(ui);
        p.setPen(QColor("#1f2328"));
        p.drawText(20, 30, QStringLiteral("Project settings — Ombrel Workspace"));
        p.setPen(QColor("#c8ccd0"));
        p.drawRoundedRect(QRectF(1500.5, 8.5, 380, 32), 6, 6);
        p.setPen(QColor("#6a737d"));
        p.drawText(1514, 30, QStringLiteral("Search or jump to…"));
        p.setPen(QColor("#1f2328"));
        const char* menu[] = {"Overview", "Issues", "Pull requests", "Actions", "Projects", "Wiki"};
        for (int i = 0; i < 6; ++i)
            p.drawText(28, 92 + i * 36, QString::fromLatin1(menu[i]));
        QFont body(QStringLiteral("DejaVu Sans"));
        body.setPixelSize(15);
        p.setFont(body);
        int y = 100;
        for (int i = 0; i < 10; ++i, y += 30)
            p.drawText(
                300, y,
                QStringLiteral("The quick reading answers most searches, line %1 of the page.").arg(i + 1));
        for (int r = 0; r < 8; ++r, y += 34) {
            p.drawRect(300, y - 22, 1000, 34);
            p.drawText(312, y, QStringLiteral("member%1@example.com").arg(r));
            p.drawText(700, y, r % 2 ? QStringLiteral("Editor") : QStringLiteral("Admin"));
        }
        p.setPen(QColor("#8c959f"));
        for (int b = 0; b < 4; ++b) {
            p.setBrush(b == 0 ? QColor("#2da44e") : QColor("#f6f8fa"));
            p.drawRoundedRect(QRectF(300.5 + b * 180, y + 20.5, 160, 36), 6, 6);
            p.setPen(b == 0 ? Qt::white : QColor("#1f2328"));
            p.drawText(QRect(300 + b * 180, y + 20, 160, 36), Qt::AlignCenter,
                       QStringList{"Save changes", "Cancel", "Invite", "Export"}.at(b));
            p.setPen(QColor("#8c959f"));
        }
        const QRectF photo(1400, 300, 420, 280);
        QLinearGradient sky(photo.topLeft(), photo.bottomLeft());
        sky.setColorAt(0, QColor(70, 130, 210));
        sky.setColorAt(1, QColor(50, 140, 70));
        p.fillRect(photo, sky);
        p.setPen(Qt::NoPen);
        QRandomGenerator random(3);
        for (int i = 0; i < 80; ++i) {
            p.setBrush(QColor::fromHsv(random.bounded(360), 160, 120 + random.bounded(130)));
            const double r = 6 + random.bounded(30);
            p.drawEllipse(QPointF(photo.x() + r + random.bounded(int(photo.width() - 2 * r)),
                                  photo.y() + r + random.bounded(int(photo.height() - 2 * r))),
                          r, r);
        }
        return image;
    }();
    return shot;
}

const QList<TextFinder::Line>& lines() {
    static const QList<TextFinder::Line> read = TextFinder::read(screenshot(), true);
    return read;
}

void visualReading(benchmark::State& state) {
    lines();
    qsizetype found = 0;
    for (auto _ : state)
        found = VisualReader::elements(screenshot(), lines()).size();
    state.counters["elements"] = double(found);
    state.counters["lines"] = double(lines().size());
}
BENCHMARK(visualReading)->Unit(benchmark::kMillisecond)->Iterations(10);

void rectangleDetection(benchmark::State& state) {
    qsizetype found = 0;
    for (auto _ : state)
        found = Platform::vision().rectangles(screenshot(), VisualReader::rectangleRequest()).value().size();
    state.counters["rectangles"] = double(found);
}
BENCHMARK(rectangleDetection)->Unit(benchmark::kMillisecond)->Iterations(10);

void salientObjects(benchmark::State& state) {
    qsizetype found = 0;
    for (auto _ : state)
        found = Platform::vision().salientObjects(screenshot()).value().size();
    state.counters["objects"] = double(found);
}
BENCHMARK(salientObjects)->Unit(benchmark::kMillisecond)->Iterations(10);

// The screenshot with every element outlined and named, to look at, over the rectangles
// the detection found.
void saveOutlined(const QString& path) {
    QImage out = screenshot().copy();
    QPainter p(&out);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    p.setFont(font);
    // What the rectangle detection found before the reader's rules, dashed green.
    p.setPen(QPen(QColor(0, 160, 60), 1, Qt::DashLine));
    const auto rectangles = Platform::vision().rectangles(screenshot(), VisualReader::rectangleRequest());
    for (const VisionBox& b : rectangles.value())
        p.drawRect(VisualReader::toPicture(b.box, screenshot().size()));
    for (const ScreenElement& e : VisualReader::elements(screenshot(), lines())) {
        const QColor colour =
            e.kind == ScreenElement::Kind::Text ? QColor(0, 120, 255, 90) : QColor(230, 30, 30);
        p.setPen(QPen(colour, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(e.imageRect);
        if (e.kind != ScreenElement::Kind::Text)
            p.drawText(e.imageRect.topLeft() + QPointF(2, -3), e.hoverName());
    }
    p.end();
    out.save(path);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    PlatformServices services;
    services.vision = std::make_unique<OpenCvVision>();
    Platform::install(std::move(services));
    if (!qEnvironmentVariableIsEmpty("OMBREL_BENCH_SAVE"))
        saveOutlined(qEnvironmentVariable("OMBREL_BENCH_SAVE"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
