#pragma once
// The global hot key through a passive key grab on the root window.

#include "platform/HotKeys.h"

#include <QSocketNotifier>
#include <memory>
#include <xcb/xcb.h>

namespace ombrel::x11 {
class XConnection;
}

namespace ombrel {

class X11HotKeys : public HotKeys {
    Q_OBJECT
  public:
    explicit X11HotKeys(QObject* parent = nullptr);
    ~X11HotKeys() override;

    Outcome<bool> registerKey(QKeyCombination combination) override;
    void unregisterKey() override;
    std::optional<QKeyCombination> registeredKey() const override { return m_key; }

    // The X keysym of a Qt key, 0 for keys without one here.
    static quint32 keysymOf(Qt::Key key);
    // The X modifier mask of Qt modifiers.
    static quint16 modifierMaskOf(Qt::KeyboardModifiers modifiers);

  private:
    void readEvents();
    // The modifier bit that Num Lock sets on this keyboard, 0 when none.
    quint16 numLockMask() const;
    // The grabs for every combination of the lock keys.
    QList<quint16> lockVariants() const;

    // A connection of our own: the grab's key events arrive on it, never on Qt's.
    std::unique_ptr<x11::XConnection> m_x;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::optional<QKeyCombination> m_key;
    xcb_keycode_t m_keycode = 0;
    quint16 m_modifiers = 0;
    quint16 m_numLock = 0;
    xcb_timestamp_t m_lastRelease = 0;
};

} // namespace ombrel
