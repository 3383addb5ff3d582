#pragma once
// The floating buttons: camera, Recent and record in a small always-on-top window that the
// user drags anywhere, stacked or side by side, kept inside the visible area of its screen;
// and, while recording, the time label and voice bars beside the record button.

#include "recording/RecordingFrame.h"
#include "ui/FloatingButton.h"

#include <QLabel>
#include <QList>
#include <QRect>
#include <QWidget>

namespace ombrel {

// Where the buttons sit in the panel (logical pixels, origin top left).
struct ButtonLayout {
    QSize panel;
    QRect camera, recent, record;
};

// The time label and the voice bars, in a small strip of their own beside the record button.
class RecordingStrip : public QWidget {
  public:
    static constexpr int labelHeight = 20;
    RecordingStrip();
    QLabel* timeLabel() const { return m_time; }
    VoiceBars* voiceBars() const { return m_bars; }
    // Centred: the text alone, without the bars (while saving).
    void setCentred(bool centred);
    void setBarsShown(bool shown);
    void setText(const QString& text);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    void fit();
    QLabel* m_time;
    VoiceBars* m_bars;
};

class ButtonPanel : public QWidget {
  public:
    static constexpr int margin = 16; // from the screen's edge at first

    // The button frames of either layout. Stacked: the camera at the bottom, Recent and
    // record above it; side by side: the camera on the left, then Recent and record.
    static ButtonLayout layout(bool sideBySide);
    // The panel's first place: at the right edge of the visible area, a little below the middle.
    static QRect initialFrame(QSize size, QRect visibleArea);
    // `frame` pulled inside the visible area of the screen it is on: the area holding its
    // centre, else the one it overlaps most, else the first (the main screen).
    static QRect keptInside(QRect frame, const QList<QRect>& visibleAreas);
    // A strip of `size` beside the button at `buttonGlobal`, on the side with more room in
    // `visibleArea`, level with the button, inside the area.
    static QRect besideButton(QRect buttonGlobal, QSize size, QRect visibleArea);

    ButtonPanel();
    FloatingButton* camera() const { return m_camera; }
    FloatingButton* recent() const { return m_recent; }
    FloatingButton* record() const { return m_record; }
    RecordingStrip* strip() const { return m_strip.get(); }
    bool isSideBySide() const { return m_sideBySide; }

    // Lays the buttons out again; the panel keeps its bottom-left corner (where the camera
    // sits in both layouts) and stays inside its screen.
    void layOut(bool sideBySide);
    // Shows the panel above other windows on every desktop, without taking the focus.
    void showFloating();
    // Pulls the panel inside the visible area of its screen (after a drag or a screen change).
    void keepInsideScreen();
    // Places the strip beside the record button (`layOutVoiceBars`).
    void layOutStrip();
    // The visible area of the panel's screen (logical pixels).
    QRect visibleArea() const;

  protected:
    void moveEvent(QMoveEvent*) override;

  private:
    void watchScreens();
    void updateMask();
    FloatingButton* m_camera;
    FloatingButton* m_recent;
    FloatingButton* m_record;
    std::unique_ptr<RecordingStrip> m_strip;
    bool m_sideBySide = false;
    bool m_placed = false;
};

} // namespace ombrel
