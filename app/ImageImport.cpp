#include "ImageImport.h"

#include "library/CaptureStore.h"
#include "platform/Platform.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QUrl>
#include <cmath>

namespace ombrel {

std::optional<QSize> ImageImport::targetSize(QSize pixels, QSizeF points, int maxEdge) {
    QSizeF size = (pixels.width() > 0 && pixels.height() > 0) ? QSizeF(pixels) : points;
    if (size.width() < 1 || size.height() < 1) return std::nullopt;
    const double scale = std::min(1.0, double(maxEdge) / std::max(size.width(), size.height()));
    return QSize(int(std::round(size.width() * scale)), int(std::round(size.height() * scale)));
}

QImage ImageImport::normalized(const QImage& image, int maxEdge) {
    if (image.isNull()) return {};
    const QSizeF points = QSizeF(image.size()) / image.devicePixelRatio();
    const auto size = targetSize(image.size(), points, maxEdge);
    if (!size) return {};
    QImage out(*size, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QImage source = image;
    source.setDevicePixelRatio(1.0);
    painter.drawImage(QRect(QPoint(0, 0), *size), source);
    painter.end();
    return out;
}

QImage ImageImport::fromClipboard() {
    return normalized(Platform::pasteboard().image());
}

QImage ImageImport::fromFile(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true); // photos from phones carry their rotation separately
    return normalized(reader.read());
}

QSize captureSize(QSizeF pixels, int maxEdge) {
    const double factor = std::min(1.0, double(maxEdge) / std::max(pixels.width(), pixels.height()));
    return QSize(int(pixels.width() * factor), int(pixels.height() * factor));
}

} // namespace ombrel
