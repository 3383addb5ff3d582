#pragma once
// The interface kit's rounded, dark, translucent background.

#include <QWidget>

namespace ombrel {

class GlassView : public QWidget {
public:
    explicit GlassView(qreal cornerRadius, QWidget* parent = nullptr);
    qreal cornerRadius() const { return m_radius; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    qreal m_radius;
};

// Makes a frameless top-level window that never takes focus or clicks and stays above
// ordinary windows on every desktop, as toasts, flashes and prompts must.
void makeFloatingOverlay(QWidget* window, bool ignoresMouse);

// Without a compositing manager translucent corners show black: cut them off with a mask.
void roundCornersWithoutCompositor(QWidget* window, qreal radius);

} // namespace ombrel
