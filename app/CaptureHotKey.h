#pragma once
// The global shortcut that captures the screen from any application: the user's choice of
// the hot-key table, registered with the desktop at start-up and whenever it changes.

#include "library/CaptureStyle.h"
#include "platform/Outcome.h"

#include <QKeyCombination>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace ombrel {

class CaptureHotKey {
  public:
    static inline const QString off = QStringLiteral("Off");

    // Remembers the action, listens for the key (for as long as `context` lives) and
    // registers the current choice.
    static Outcome<bool> start(QObject* context, std::function<void()> onPress);

    // The stored choice when it names one of the table, else the first, "Shift-Command-2".
    static QString currentName();
    // Stores the choice and registers it again; "Off" leaves nothing registered. The
    // choice is kept even when the desktop refuses the key.
    static Outcome<bool> setCurrentName(const QString& name);
    // Registers the current choice again (after the first registration failed, say).
    static Outcome<bool> registerCurrent();

    // The key combination of a table entry on this desktop, from its classic key code and
    // modifier mask (command and control are Ctrl, option is Alt); none for "Off" or an
    // entry this keyboard cannot type.
    static std::optional<QKeyCombination> combination(const HotKeyChoice& choice);
    // The choice as people read it here, e.g. "Shift+Ctrl+2".
    static QString title(const QString& name);
    // The alert when another program holds the key: title and message.
    static std::pair<QString, QString> takenAlert(const QString& name);
};

} // namespace ombrel
