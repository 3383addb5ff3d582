#pragma once
// A round glass button that floats over the desktop: it grows a little under the pointer,
// ripples when pressed, can pulse, take an alert look and carry a short badge. Pressing and
// moving it drags the window it sits in; only a press that did not move is a click.

#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

class QMenu;
class QVariantAnimation;

namespace ombrel {

class FloatingButton : public QWidget {
  public:
    // How far the pointer moves before a press becomes a drag.
    static constexpr int dragThreshold = 2;
    // The opacity a pulse reaches, and the time of one way.
    static constexpr double pulseOpacity = 0.45;
    static constexpr int pulseMs = 800;

    FloatingButton(QString symbolName, int symbolSize, QWidget* parent = nullptr);

    std::function<void()> onClick;
    // Told whether the pointer is inside.
    std::function<void(bool)> onHover;
    // Told when a press turns into a drag of the window, and when the drag ends.
    std::function<void()> onDragStart, onDragEnd;
    // Clicks run `onClick` only while this is set.
    bool clicksEnabled = true;

    void setSymbol(const QString& symbolName);
    const QString& symbolName() const { return m_symbol; }
    int symbolSize() const { return m_symbolSize; }
    // The accessibility name; without one the tool tip names the button.
    void setSpokenName(const QString& name);
    void setToolTipText(const QString& text);
    void setAlert(bool alert);
    bool isAlert() const { return m_alert; }
    void setBadge(const QString& badge);
    const QString& badge() const { return m_badge; }
    // The menu shown on a right click or a Control-click.
    void setContextMenu(QMenu* menu) { m_menu = menu; }

    // Fades between full and `pulseOpacity` until stopped; does nothing under reduced motion.
    void startPulsing();
    void stopPulsing();
    bool isPulsing() const;

    bool isHovering() const { return m_hovering; }
    bool didDrag() const { return m_didDrag; }
    // The mouse button is down on it (a click or a drag in the making).
    bool isPressed() const { return m_isPressed; }
    double growth() const { return m_growth; }
    double ripple() const { return m_ripple; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

  private:
    void setHovering(bool hovering);
    void step();
    void animate();
    void updateAccessibility();

    QString m_symbol;
    int m_symbolSize;
    QString m_spokenName;
    QString m_badge;
    bool m_alert = false;
    bool m_compositing = false; // asked when shown: the desktop draws translucent windows
    bool m_hovering = false;
    bool m_isPressed = false;
    bool m_didDrag = false;
    double m_growth = 0;
    double m_ripple = 0;
    double m_opacity = 1;
    QPoint m_grabOffset;
    QPoint m_pressGlobal;
    QMenu* m_menu = nullptr;
    QTimer m_tick; // 1/60 s while growing, shrinking or rippling
    QVariantAnimation* m_pulse = nullptr;
};

} // namespace ombrel
