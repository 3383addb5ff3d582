#pragma once
// What the screenshot benchmarks share: a real screenshot named by OMBREL_BENCH_PICTURE to
// measure on instead of a drawn one, and the empty application window the drawn ones start
// from (1920 × 1080, white, with a title bar and a side bar).

#include <QColor>
#include <QImage>
#include <QPainter>

inline QImage givenScreenshot() {
    if (qEnvironmentVariableIsEmpty("OMBREL_BENCH_PICTURE")) return {};
    return QImage(qEnvironmentVariable("OMBREL_BENCH_PICTURE")).convertToFormat(QImage::Format_RGB32);
}

inline QImage emptyApplicationWindow() {
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(0, 0, 1920, 48, QColor("#f3f4f6"));
    p.fillRect(0, 48, 260, 1032, QColor("#f7f7f8"));
    return image;
}
