#include "FloatingButton.h"
#include "Glass.h"
#include "Symbols.h"

#include "platform/Platform.h"

#include <QAccessible>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <cmath>

namespace ombrel {

namespace {

constexpr double growthEase = 0.22;     // share of the way to the target each tick
constexpr double rippleFade = 1.0 / 20; // a ripple lasts a third of a second
constexpr double restingScale = 0.9;    // the circle's share of the button at rest
const QColor alertRed{255, 59, 48};

bool reducedMotion() {
    return Platform::isInstalled() && Platform::workspace().reducesMotion();
}

} // namespace

FloatingButton::FloatingButton(QString symbolName, int symbolSize, QWidget* parent)
    : QWidget(parent), m_symbol(std::move(symbolName)), m_symbolSize(symbolSize) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    m_tick.setInterval(1000 / 60);
    connect(&m_tick, &QTimer::timeout, this, [this] { step(); });
    updateAccessibility();
}

void FloatingButton::setSymbol(const QString& symbolName) {
    m_symbol = symbolName;
    update();
}

void FloatingButton::setSpokenName(const QString& name) {
    m_spokenName = name;
    updateAccessibility();
}

void FloatingButton::setToolTipText(const QString& text) {
    setToolTip(text);
    updateAccessibility();
}

void FloatingButton::updateAccessibility() {
    setAccessibleName(m_spokenName.isEmpty() ? toolTip() : m_spokenName);
    setAccessibleDescription(toolTip());
}

void FloatingButton::setAlert(bool alert) {
    m_alert = alert;
    update();
}

void FloatingButton::setBadge(const QString& badge) {
    m_badge = badge;
    update();
}

void FloatingButton::startPulsing() {
    if (reducedMotion() || isPulsing()) return;
    if (!m_pulse) {
        m_pulse = new QVariantAnimation(this);
        m_pulse->setDuration(2 * pulseMs); // there and back
        m_pulse->setKeyValueAt(0, 1.0);
        m_pulse->setKeyValueAt(0.5, pulseOpacity);
        m_pulse->setKeyValueAt(1, 1.0);
        m_pulse->setEasingCurve(QEasingCurve::InOutSine);
        m_pulse->setLoopCount(-1);
        connect(m_pulse, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
            m_opacity = v.toDouble();
            update();
        });
    }
    m_pulse->start();
}

void FloatingButton::stopPulsing() {
    if (m_pulse) m_pulse->stop();
    m_opacity = 1;
    update();
}

bool FloatingButton::isPulsing() const {
    return m_pulse && m_pulse->state() == QAbstractAnimation::Running;
}

void FloatingButton::setHovering(bool hovering) {
    if (m_hovering == hovering) return;
    m_hovering = hovering;
    if (onHover) onHover(hovering);
    animate();
}

void FloatingButton::animate() {
    if (reducedMotion()) {
        m_growth = m_hovering ? 1 : 0;
        m_ripple = 0;
        m_tick.stop();
        update();
        return;
    }
    if (isVisible() && !m_tick.isActive()) m_tick.start();
}

void FloatingButton::step() {
    const double target = m_hovering ? 1 : 0;
    m_growth += (target - m_growth) * growthEase;
    if (std::abs(target - m_growth) < 0.01) m_growth = target;
    m_ripple = std::max(0.0, m_ripple - rippleFade);
    if (m_growth == target && m_ripple == 0) m_tick.stop();
    update();
}

void FloatingButton::enterEvent(QEnterEvent*) {
    setHovering(true);
}

void FloatingButton::leaveEvent(QEvent*) {
    setHovering(false);
}

void FloatingButton::showEvent(QShowEvent*) {
    m_compositing = Platform::isInstalled() && Platform::windows().isCompositing();
}

void FloatingButton::hideEvent(QHideEvent*) {
    m_tick.stop();
    m_isPressed = false;
    if (m_hovering) setHovering(false);
}

void FloatingButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        if (m_menu) m_menu->popup(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    m_isPressed = true;
    m_didDrag = false;
    m_pressGlobal = event->globalPosition().toPoint();
    m_grabOffset = m_pressGlobal - window()->pos();
    update();
}

void FloatingButton::mouseMoveEvent(QMouseEvent* event) {
    if (!m_isPressed) return;
    const QPoint at = event->globalPosition().toPoint();
    if (!m_didDrag && (at - m_pressGlobal).manhattanLength() <= dragThreshold) return;
    if (!m_didDrag && onDragStart) onDragStart();
    m_didDrag = true;
    window()->move(at - m_grabOffset);
}

void FloatingButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_isPressed) return;
    m_isPressed = false;
    update();
    if (m_didDrag) {
        if (onDragEnd) onDragEnd();
        return;
    }
    if (!clicksEnabled || !isEnabled() || !rect().contains(event->position().toPoint())) return;
    if (!reducedMotion()) {
        m_ripple = 1;
        animate();
    }
    if (onClick) onClick();
}

void FloatingButton::contextMenuEvent(QContextMenuEvent* event) {
    if (m_menu) m_menu->popup(event->globalPos());
}

void FloatingButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(m_opacity * (isEnabled() ? 1.0 : 0.6));
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    // Without a compositing manager the window is cut to the full circle, and what lies
    // outside the drawn circle would show black: the circle keeps its size there, and the
    // hover shows in the glow and the symbol.
    const bool sizeAnimates = m_compositing;
    const double scale =
        !sizeAnimates ? 1.0 : restingScale + (1 - restingScale) * m_growth - (m_isPressed ? 0.04 : 0);
    const double radius = box.width() / 2 * scale;
    const QPointF centre = box.center();
    // Drawn half a pixel past the window's round cut, so no soft edge meets the black outside.
    const double drawn = sizeAnimates ? radius : radius + 0.5;
    const QRectF circle(centre.x() - drawn, centre.y() - drawn, 2 * drawn, 2 * drawn);

    // The glass: a dark gradient, or the alert red, with a thin light rim.
    QLinearGradient fill(circle.topLeft(), circle.bottomLeft());
    if (m_alert) {
        fill.setColorAt(0, alertRed.lighter(112));
        fill.setColorAt(1, alertRed.darker(112));
    } else {
        fill.setColorAt(0, QColor(66, 68, 76, 240));
        fill.setColorAt(1, QColor(30, 32, 36, 240));
    }
    p.setPen(QPen(m_alert ? QColor(255, 255, 255, 120) : GlassPalette::rim, 1));
    p.setBrush(fill);
    p.drawEllipse(circle);
    if (m_growth > 0) { // a violet glow grows with the hover
        QColor glow = GlassPalette::violet;
        glow.setAlphaF(0.35 * m_growth);
        p.setPen(QPen(glow, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(circle.adjusted(1, 1, -1, -1));
    }
    if (m_ripple > 0) { // a ring that spreads from the middle and fades
        QColor ring(255, 255, 255);
        ring.setAlphaF(0.5 * m_ripple);
        const double r = radius * (1 - 0.6 * m_ripple);
        p.setPen(QPen(ring, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, r, r);
    }

    const int symbol = int(std::round(m_symbolSize * (1 + 0.08 * m_growth)));
    const QPixmap icon = Symbols::pixmap(m_symbol, symbol, Qt::white, devicePixelRatioF());
    p.drawPixmap(QPointF(centre.x() - symbol / 2.0, centre.y() - symbol / 2.0), icon);

    if (!m_badge.isEmpty()) {
        QFont f = font();
        f.setPixelSize(9);
        f.setWeight(QFont::Bold);
        p.setFont(f);
        const QSize text = p.fontMetrics().size(Qt::TextSingleLine, m_badge);
        const QRectF badge(box.right() - std::max(14, text.width() + 8), box.top(),
                           std::max(14, text.width() + 8), 14);
        p.setPen(Qt::NoPen);
        p.setBrush(alertRed);
        p.drawRoundedRect(badge, 7, 7);
        p.setPen(Qt::white);
        p.drawText(badge, Qt::AlignCenter, m_badge);
    }
}

} // namespace ombrel
