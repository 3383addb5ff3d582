#pragma once
// The process-wide notification centre: one signal per notification, named after it.
// Emit and connect on the GUI thread.

#include <QObject>

namespace ombrel {

class Notifier : public QObject {
    Q_OBJECT
  public:
    static Notifier& instance();

  Q_SIGNALS:
    void CaptureStoreDidChange();
    void ChatSenderDidChangeTarget();
    void EditorShortcutsChanged();

  private:
    Notifier() = default;
};

} // namespace ombrel
