#pragma once
// Recording on X11: display pictures through shared memory with our own windows painted
// out, window pictures from the Composite extension, the pointer drawn from XFixes, presses
// and scrolling from XInput 2 raw events, and the microphone through PulseAudio.

#include "platform/Recording.h"

#include <QSocketNotifier>
#include <memory>

namespace ombrel::x11 {
class XConnection;
}

namespace ombrel {

class X11InputMonitor : public InputMonitor {
    Q_OBJECT
  public:
    explicit X11InputMonitor(qint64 ownPid, QObject* parent = nullptr);
    ~X11InputMonitor() override;
    bool start() override;
    void stop() override;
    std::optional<QPoint> pointer() override;

  private:
    void readEvents();
    bool pointerOnOwnWindow();
    qint64 m_ownPid;
    // A connection of its own: events are read from it on the GUI thread.
    std::unique_ptr<x11::XConnection> m_x;
    std::unique_ptr<QSocketNotifier> m_notifier;
    uint8_t m_inputOpcode = 0;
};

class LinuxRecordingSources : public RecordingSources {
  public:
    // Windows of the process `ownPid` and of programs of the class `ownClass` are left out of
    // display pictures.
    LinuxRecordingSources(qint64 ownPid, QString ownClass);
    Outcome<std::unique_ptr<FrameSource>> display(quint32 displayId) override;
    Outcome<std::unique_ptr<FrameSource>> window(WindowId window) override;
    MicrophoneAccess microphoneAccess() override;
    bool requestMicrophoneAccess() override;
    bool openMicrophoneSettings() override;
    std::unique_ptr<AudioSource> microphone() override;
    std::unique_ptr<InputMonitor> inputMonitor() override;

  private:
    qint64 m_ownPid;
    QString m_ownClass;
};

} // namespace ombrel
