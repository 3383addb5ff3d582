#pragma once
// The capture picker: a glass panel beside the floating buttons that lists the screens, a
// long-page capture and the open windows; clicking a row captures that one.

#include "platform/Windows.h"

#include <QAbstractButton>
#include <QIcon>
#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QVBoxLayout;

namespace ombrel {

struct CaptureChoice {
    QString title;
    QString detail;
    QIcon icon;
    bool isScreen = false; // a screen rather than a window
    std::function<void()> action;
};

// The windows the picker offers, from the window list (bottom to top): ordinary windows on
// the normal layer, on screen, at least 200 × 120 points (`pixelsPerPoint` device pixels
// each), and not this program's (its process or its identifier). Browsers come first,
// then the others from front to back; at most `maxWindows`.
inline constexpr int maxPickerWindows = 12;
QList<WindowInfo> pickerWindows(const QList<WindowInfo>& bottomToTop, qint64 ownPid,
                                const QString& ownBundleId, qreal pixelsPerPoint,
                                int maxWindows = maxPickerWindows);

// True when an application's name or identifier says it is a web browser.
bool isBrowserName(const QString& nameOrIdentifier);

// One row: icon, title and detail; a click runs the choice.
class CaptureRow : public QAbstractButton {
  public:
    CaptureRow(CaptureChoice choice, QWidget* parent);
    const CaptureChoice& choice() const { return m_choice; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

  private:
    CaptureChoice m_choice;
    bool m_hover = false;
};

class CapturePicker : public QWidget {
  public:
    static constexpr int width = 340;
    static constexpr int gap = 8; // between the picker and the buttons

    CapturePicker();
    // Told whether the pointer is inside the panel.
    std::function<void(bool)> onPointerInside;

    // Fills the panel with the choices (screens under "Screens", the rest under "Windows")
    // and shows it beside `besideGlobal` within `visibleArea` (logical pixels).
    void show(const QList<CaptureChoice>& choices, QRect besideGlobal, QRect visibleArea);
    QList<CaptureRow*> rows() const;

    // Where a picker of `size` goes beside `beside`: on the side of the visible area with
    // more room, level with it, and pulled inside the area.
    static QRect placement(QSize size, QRect beside, QRect visibleArea);

  protected:
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

  private:
    QLabel* heading() const;
    QWidget* m_content;
    QVBoxLayout* m_list;
};

} // namespace ombrel
