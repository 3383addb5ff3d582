#include "ScreenSpace.h"
#include "Platform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <functional>

namespace ombrel::ScreenSpace {

namespace {

int scaled(int distance, qreal factor) {
    return int(std::lround(distance * factor));
}

// The screen whose area (as `areaOf` gives it) holds `point`, else the one nearest to it.
QScreen* screenNear(QPoint point, const std::function<QRect(const QScreen*)>& areaOf) {
    QScreen* best = nullptr;
    qint64 bestDistance = 0;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect g = areaOf(s);
        const qint64 dx = std::max({0, g.left() - point.x(), point.x() - g.right()});
        const qint64 dy = std::max({0, g.top() - point.y(), point.y() - g.bottom()});
        const qint64 d = dx * dx + dy * dy;
        if (!best || d < bestDistance) {
            best = s;
            bestDistance = d;
        }
    }
    return best;
}

QScreen* screenNear(QPoint logical) {
    return screenNear(logical, [](const QScreen* s) { return s->geometry(); });
}

QScreen* screenNearDevice(QPoint devicePx) {
    return screenNear(devicePx, [](const QScreen* s) {
        return toDevice(s->geometry(), s->geometry().topLeft(), s->devicePixelRatio());
    });
}

} // namespace

QRect keepInside(QRect frame, const QRect& area) {
    if (area.isEmpty()) return frame;
    frame.setWidth(std::min(frame.width(), area.width()));
    frame.setHeight(std::min(frame.height(), area.height()));
    if (frame.right() > area.right()) frame.moveRight(area.right());
    if (frame.bottom() > area.bottom()) frame.moveBottom(area.bottom());
    if (frame.left() < area.left()) frame.moveLeft(area.left());
    if (frame.top() < area.top()) frame.moveTop(area.top());
    return frame;
}

QRect beside(QSize size, const QRect& anchor, const QRect& area, int gap) {
    const int roomLeft = anchor.left() - area.left();
    const int roomRight = area.right() - anchor.right();
    const int x = roomLeft >= roomRight ? anchor.left() - gap - size.width() : anchor.right() + 1 + gap;
    return keepInside(QRect(QPoint(x, anchor.center().y() - size.height() / 2), size), area);
}

QPoint toLogical(QPoint devicePx, QPoint origin, qreal ratio) {
    if (ratio <= 0) ratio = 1;
    return origin +
           QPoint(scaled(devicePx.x() - origin.x(), 1 / ratio), scaled(devicePx.y() - origin.y(), 1 / ratio));
}

QPoint toDevice(QPoint logical, QPoint origin, qreal ratio) {
    if (ratio <= 0) ratio = 1;
    return origin + QPoint(scaled(logical.x() - origin.x(), ratio), scaled(logical.y() - origin.y(), ratio));
}

QRect toLogical(const QRect& devicePx, QPoint origin, qreal ratio) {
    if (devicePx.isNull()) return devicePx;
    if (ratio <= 0) ratio = 1;
    return QRect(toLogical(devicePx.topLeft(), origin, ratio),
                 QSize(scaled(devicePx.width(), 1 / ratio), scaled(devicePx.height(), 1 / ratio)));
}

QRect toDevice(const QRect& logical, QPoint origin, qreal ratio) {
    if (logical.isNull()) return logical;
    if (ratio <= 0) ratio = 1;
    return QRect(toDevice(logical.topLeft(), origin, ratio),
                 QSize(scaled(logical.width(), ratio), scaled(logical.height(), ratio)));
}

QRect toLogical(const QRect& devicePx) {
    const QScreen* s = screenNearDevice(devicePx.center());
    return s ? toLogical(devicePx, s->geometry().topLeft(), s->devicePixelRatio()) : devicePx;
}

QRect toDevice(const QRect& logical) {
    const QScreen* s = screenNear(logical.center());
    return s ? toDevice(logical, s->geometry().topLeft(), s->devicePixelRatio()) : logical;
}

QPoint toLogical(QPoint devicePx) {
    const QScreen* s = screenNearDevice(devicePx);
    return s ? toLogical(devicePx, s->geometry().topLeft(), s->devicePixelRatio()) : devicePx;
}

QPoint toDevice(QPoint logical) {
    const QScreen* s = screenNear(logical);
    return s ? toDevice(logical, s->geometry().topLeft(), s->devicePixelRatio()) : logical;
}

qreal ratioAt(QPoint logical) {
    const QScreen* s = screenNear(logical);
    return s ? s->devicePixelRatio() : 1.0;
}

QScreen* mainScreen() {
    if (QScreen* s = QGuiApplication::screenAt(QCursor::pos())) return s;
    if (QScreen* s = QGuiApplication::primaryScreen()) return s;
    const QList<QScreen*> all = QGuiApplication::screens();
    return all.isEmpty() ? nullptr : all.first();
}

QScreen* screenOf(const DisplayInfo& display) {
    for (QScreen* s : QGuiApplication::screens())
        if (!display.name.isEmpty() && s->name() == display.name) return s;
    return screenNearDevice(display.globalRectPx.center());
}

std::optional<DisplayInfo> displayAt(const QList<DisplayInfo>& displays, QPoint devicePx) {
    for (const DisplayInfo& d : displays)
        if (d.globalRectPx.contains(devicePx)) return d;
    for (const DisplayInfo& d : displays)
        if (d.primary) return d;
    if (!displays.isEmpty()) return displays.first();
    return std::nullopt;
}

std::optional<DisplayInfo> displayUnderPointer() {
    return displayAt(Platform::screens().displays(), toDevice(QCursor::pos()));
}

} // namespace ombrel::ScreenSpace
