#include "X11HotKeys.h"
#include "XConnection.h"

#include "platform/Log.h"

#include <QTimer>

namespace ombrel {

using namespace x11;

namespace {

constexpr quint32 numLockKeysym = 0xff7f;

// The first key code whose symbols include `keysym`, 0 when the keyboard has none.
xcb_keycode_t keycodeOf(const XConnection& x, quint32 keysym) {
    const xcb_setup_t* setup = xcb_get_setup(x.conn());
    const int first = setup->min_keycode, count = setup->max_keycode - setup->min_keycode + 1;
    auto map = reply(xcb_get_keyboard_mapping_reply(
        x.conn(), xcb_get_keyboard_mapping(x.conn(), xcb_keycode_t(first), uint8_t(count)), nullptr));
    if (!map) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int perCode = map->keysyms_per_keycode;
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < perCode; ++j)
            if (syms[i * perCode + j] == keysym) return xcb_keycode_t(first + i);
    return 0;
}

} // namespace

X11HotKeys::X11HotKeys(QObject* parent) : HotKeys(parent) {}

X11HotKeys::~X11HotKeys() {
    unregisterKey();
}

quint32 X11HotKeys::keysymOf(Qt::Key key) {
    // Letters are lower case symbols; digits, space and punctuation are their Latin-1 codes.
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return quint32(key - Qt::Key_A + 'a');
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) return quint32(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return quint32(0xffbe + (key - Qt::Key_F1));
    return 0;
}

quint16 X11HotKeys::modifierMaskOf(Qt::KeyboardModifiers modifiers) {
    quint16 mask = 0;
    if (modifiers & Qt::ShiftModifier) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier) mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier) mask |= XCB_MOD_MASK_4;
    return mask;
}

quint16 X11HotKeys::numLockMask() const {
    const xcb_keycode_t numLock = keycodeOf(*m_x, numLockKeysym);
    if (!numLock) return 0;
    auto map =
        reply(xcb_get_modifier_mapping_reply(m_x->conn(), xcb_get_modifier_mapping(m_x->conn()), nullptr));
    if (!map) return 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int k = 0; k < perModifier; ++k)
            if (codes[modifier * perModifier + k] == numLock) return quint16(1 << modifier);
    return 0;
}

QList<quint16> X11HotKeys::lockVariants() const {
    QList<quint16> variants{0, XCB_MOD_MASK_LOCK};
    if (m_numLock) variants << m_numLock << quint16(m_numLock | XCB_MOD_MASK_LOCK);
    return variants;
}

Outcome<bool> X11HotKeys::registerKey(QKeyCombination combination) {
    unregisterKey();
    if (!m_x) m_x = std::make_unique<XConnection>();
    if (!m_x->isOpen())
        return Outcome<bool>::fail(Failure::Temporary,
                                   QStringLiteral("There is no X display to listen for keys on."));
    const quint32 keysym = keysymOf(combination.key());
    const xcb_keycode_t keycode = keysym ? keycodeOf(*m_x, keysym) : 0;
    if (!keycode)
        return Outcome<bool>::fail(Failure::Permanent,
                                   QStringLiteral("This keyboard has no key for that shortcut."));
    m_keycode = keycode;
    m_modifiers = modifierMaskOf(combination.keyboardModifiers());
    m_numLock = numLockMask();

    // One grab for each state of Caps Lock and Num Lock, since X matches modifiers exactly.
    // Another client holding any of them means the combination is taken.
    QList<quint16> taken;
    bool refused = false;
    for (quint16 locks : lockVariants()) {
        xcb_generic_error_t* error = xcb_request_check(
            m_x->conn(), xcb_grab_key_checked(m_x->conn(), 1, m_x->root(), quint16(m_modifiers | locks),
                                              keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (error) {
            refused = true;
            free(error);
        } else {
            taken << locks;
        }
    }
    if (refused) {
        for (quint16 locks : taken)
            xcb_ungrab_key(m_x->conn(), keycode, m_x->root(), quint16(m_modifiers | locks));
        xcb_flush(m_x->conn());
        qCInfo(logPlatform) << "the hot key" << combination << "is held by another program";
        return Outcome<bool>::fail(Failure::Permanent,
                                   QStringLiteral("Another program already uses that key combination."));
    }
    if (!m_notifier) {
        m_notifier = std::make_unique<QSocketNotifier>(m_x->fd(), QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11HotKeys::readEvents);
    }
    m_key = combination;
    // Replies awaited above may have queued events that the notifier will not announce again.
    QTimer::singleShot(0, this, &X11HotKeys::readEvents);
    return Outcome<bool>::ok(true);
}

void X11HotKeys::unregisterKey() {
    if (!m_key || !m_x || !m_x->isOpen()) {
        m_key.reset();
        return;
    }
    for (quint16 locks : lockVariants())
        xcb_ungrab_key(m_x->conn(), m_keycode, m_x->root(), quint16(m_modifiers | locks));
    xcb_flush(m_x->conn());
    m_key.reset();
}

void X11HotKeys::readEvents() {
    if (!m_x) return;
    bool mappingChanged = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_x->conn())) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_RELEASE) {
            m_lastRelease = reinterpret_cast<xcb_key_release_event_t*>(event)->time;
        } else if (type == XCB_KEY_PRESS && m_key) {
            const auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
            const quint16 state = press->state & ~quint16(XCB_MOD_MASK_LOCK | m_numLock);
            // A held key repeats as a release and a press at the same moment: one press only.
            const bool repeat = press->time == m_lastRelease;
            if (press->detail == m_keycode && state == m_modifiers && !repeat) Q_EMIT pressed();
        } else if (type == XCB_MAPPING_NOTIFY) {
            mappingChanged = true;
        }
        free(event);
    }
    // Another keyboard layout may put the key elsewhere: take it again where it is now.
    if (mappingChanged && m_key) {
        const QKeyCombination key = *m_key;
        if (!registerKey(key))
            qCWarning(logPlatform) << "the hot key could not be taken again after a keyboard change";
    }
}

} // namespace ombrel
