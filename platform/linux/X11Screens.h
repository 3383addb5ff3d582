#pragma once
// Displays from RandR and grabs through the Composite extension.

#include "platform/Screens.h"

#include <functional>

namespace ombrel {

class X11Screens : public ScreenGrabber {
  public:
    // Windows of the process `ownPid`, and of every program of the class `ownClass` (our
    // running program seen from a command-line grab), never appear in a display grab.
    X11Screens(qint64 ownPid, QString ownClass);

    QList<DisplayInfo> displays() override;
    Outcome<QImage> grabDisplay(quint32 id, QSize outputSize) override;
    Outcome<QImage> grabWindow(WindowId window, QSize outputSize) override;
    QSize windowSize(WindowId window) override;

  private:
    qint64 m_ownPid;
    QString m_ownClass;
};

} // namespace ombrel
