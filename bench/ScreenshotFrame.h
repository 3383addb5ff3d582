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

// A 2400 × 1350 screenshot (the largest picture a capture keeps) of rows of interface text
// under a dark title bar.
inline QImage textRowsScreenshot() {
    QImage image(2400, 1350, QImage::Format_RGB32);
    image.fill(QColor(244, 245, 247));
    QPainter p(&image);
    p.fillRect(0, 0, 2400, 90, QColor(45, 62, 80));
    QFont font("DejaVu Sans");
    font.setPixelSize(24);
    p.setFont(font);
    p.setPen(QColor(40, 40, 40));
    for (int row = 0; row < 36; ++row)
        p.drawText(60 + (row % 3) * 780, 150 + (row / 3) * 95,
                   QStringLiteral("Row %1: some interface text, a value and a link").arg(row));
    return image;
}

inline QImage emptyApplicationWindow() {
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(0, 0, 1920, 48, QColor("#f3f4f6"));
    p.fillRect(0, 48, 260, 1032, QColor("#f7f7f8"));
    return image;
}
