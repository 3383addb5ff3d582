#pragma once
// What the user sees while recording: the red outline round the recorded area with its
// "Recording …" pill, and the microphone level bars (shown beside the record button).
// Neither takes focus, and neither appears in the recording itself (display grabs leave
// this program's windows out).

#include "platform/Screens.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <optional>

namespace ombrel {

// Draws the 4-pixel red outline inset by 2 and the pill with "Recording " + name.
class RecordingBorderView : public QWidget {
  public:
    explicit RecordingBorderView(QString name, QWidget* parent = nullptr);
    const QString& name() const { return m_name; }
    QString pillText() const { return QStringLiteral("Recording ") + m_name; }
    // Where the pill sits inside a view of `size`: 16 pixels below the top edge.
    QRect pillRect(QSize size) const;
    // The pixels the outline and the pill cover: the only visible part of the window.
    QRegion drawnRegion(QSize size) const;
    static const QColor red;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QString m_name;
};

class RecordingFrame : public QWidget {
  public:
    static constexpr int followIntervalMs = 250;
    explicit RecordingFrame(const QString& name);
    // Shows the outline over `aroundGlobal` (device pixels, as window frames are); with a
    // window id it follows that window.
    void show(QRect aroundGlobal, std::optional<WindowId> followingWindow = std::nullopt);
    void dismiss();
    RecordingBorderView* border() const { return m_border; }
    bool isFollowing() const { return m_followTimer.isActive(); }

  private:
    void place(QRect aroundGlobal);
    void follow();
    RecordingBorderView* m_border;
    QTimer m_followTimer;
    WindowId m_window = 0;
};

// Bars that rise and fall with the microphone level.
class VoiceBars : public QWidget {
  public:
    static constexpr int barCount = 5;
    explicit VoiceBars(QWidget* parent = nullptr);
    void start();
    using QWidget::update;
    // A new level, 0…1: the bars jump up to it and fall back slowly.
    void update(double level);
    void stop();
    double shownLevel() const { return m_level; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QTimer m_decay;
    double m_level = 0;
};

} // namespace ombrel
