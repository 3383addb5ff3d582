#pragma once
// The windows that meet the user outside the daily work (welcome, what's new): a dark,
// rounded glass panel without a title bar, moved by dragging it anywhere, closed by Escape.

#include <QPoint>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ombrel {

class GlassWindow : public QWidget {
    Q_OBJECT
  public:
    explicit GlassWindow(int width);

    // Shows the window centred on the screen under the pointer, in front, with the keys.
    void present();

    // The look of the kit's texts and buttons on glass.
    static QLabel* label(const QString& text, int pointSize, bool bold, double opacity = 1.0);
    static QPushButton* button(const QString& title, bool main);
    static void setMain(QPushButton* button, bool main);

  Q_SIGNALS:
    void closed();

  protected:
    // The column the content goes in.
    QVBoxLayout* column() const { return m_column; }
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QVBoxLayout* m_column = nullptr;
    QPoint m_grabbedAt; // where the window was grabbed for dragging, in its own coordinates
};

} // namespace ombrel
