#pragma once
// The interface kit's rounded, dark, translucent background.

#include <QColor>
#include <QWidget>

namespace ombrel {

// The named colours of the glass look.
namespace GlassPalette {
inline const QColor seen{88, 214, 141};     // "seen" green: something the program recognised
inline const QColor rim{255, 255, 255, 60}; // the thin border of pictures and panels
inline const QColor violet{150, 120, 255};  // hover tint of choices
inline const QColor accent{98, 84, 236};    // the main button of a panel
} // namespace GlassPalette

class GlassView : public QWidget {
  public:
    explicit GlassView(qreal cornerRadius, QWidget* parent = nullptr);
    qreal cornerRadius() const { return m_radius; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    qreal m_radius;
};

// The style sheet of a button on glass: the main, highlighted choice or a quiet one.
QString glassButtonStyle(bool main);

// Makes a frameless top-level window that never takes focus or clicks and stays above
// ordinary windows on every desktop, as toasts, flashes and prompts must.
void makeFloatingOverlay(QWidget* window, bool ignoresMouse);

// Without a compositing manager translucent corners show black: cut them off with a mask.
void roundCornersWithoutCompositor(QWidget* window, qreal radius);

} // namespace ombrel
