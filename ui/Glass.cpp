#include "Glass.h"

#include <QPainter>
#include <QPainterPath>

#include "platform/Platform.h"

namespace ombrel {

GlassView::GlassView(qreal cornerRadius, QWidget* parent) : QWidget(parent), m_radius(cornerRadius) {}

void GlassView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, QColor(58, 60, 66, 235));
    fill.setColorAt(1, QColor(34, 36, 40, 235));
    p.fillPath(path, fill);
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawPath(path);
}

QString glassButtonStyle(bool main) {
    return main ? QStringLiteral("QPushButton{background:%1;color:white;border:none;border-radius:9px;"
                                 "padding:7px 18px;font-weight:600;}QPushButton:hover{background:%2;}")
                      .arg(GlassPalette::accent.name(), GlassPalette::accent.lighter(115).name())
                : QStringLiteral("QPushButton{background:rgba(255,255,255,0.14);color:white;border:none;"
                                 "border-radius:9px;padding:7px 18px;}"
                                 "QPushButton:hover{background:rgba(255,255,255,0.22);}");
}

void makeFloatingOverlay(QWidget* window, bool ignoresMouse) {
    // A tool tip window is override-redirect on X11: no frame, no focus, no taskbar
    // entry, above normal windows and shown on every desktop.
    window->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus |
                           (ignoresMouse ? Qt::WindowTransparentForInput : Qt::Widget));
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setFocusPolicy(Qt::NoFocus);
}

void roundCornersWithoutCompositor(QWidget* window, qreal radius) {
    if (Platform::isInstalled() && Platform::windows().isCompositing()) return;
    QPainterPath path;
    path.addRoundedRect(QRectF(window->rect()), radius, radius);
    window->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

} // namespace ombrel
