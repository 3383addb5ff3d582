#pragma once
// The window list, the front application and activation through EWMH.

#include "platform/Windows.h"

#include <QSocketNotifier>
#include <memory>

namespace ombrel::x11 {
class XConnection;
}

namespace ombrel {

class X11Windows : public WindowSystem {
    Q_OBJECT
  public:
    explicit X11Windows(QObject* parent = nullptr);
    ~X11Windows() override;

    QList<WindowInfo> windows() override;
    std::optional<AppInfo> frontApplication() override;
    qint64 ownPid() const override;
    bool activate(qint64 pid) override;
    void startWatching() override;
    bool isCompositing() override;
    bool isRunning(qint64 pid) override;
    ApplicationLook applicationLook(const WindowInfo& window) override;
    void keepFloating(WindowId window) override;

    // The application that owns one client window.
    AppInfo appOf(quint32 window) const;
    WindowInfo describe(quint32 window) const;

  private:
    void readEvents();
    // A connection used only to receive root-window events, so replies awaited on the
    // shared connection never swallow them unseen.
    std::unique_ptr<x11::XConnection> m_watch;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::optional<AppInfo> m_lastFront;
};

} // namespace ombrel
