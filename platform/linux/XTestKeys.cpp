#include "XTestKeys.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <mutex>

namespace ombrel {

XTestKeys::~XTestKeys() {
    if (m_display) XCloseDisplay(m_display);
}

bool XTestKeys::canPress() {
    // The extension does not come and go while the display runs: one look is enough. A
    // connection of its own, so the question may come from any thread.
    static std::once_flag looked;
    static bool present = false;
    std::call_once(looked, [] {
        Display* display = XOpenDisplay(nullptr);
        if (!display) return;
        int event = 0, error = 0, major = 0, minor = 0;
        present = XTestQueryExtension(display, &event, &error, &major, &minor);
        XCloseDisplay(display);
    });
    return present;
}

bool XTestKeys::press(SyntheticKey key, bool command) {
    if (!m_display) {
        m_display = XOpenDisplay(nullptr);
        if (!m_display) return false;
        int event = 0, error = 0, major = 0, minor = 0;
        m_hasXTest = XTestQueryExtension(m_display, &event, &error, &major, &minor);
    }
    if (!m_hasXTest) return false;
    const KeyCode code = XKeysymToKeycode(m_display, key == SyntheticKey::V ? XK_v : XK_Return);
    const KeyCode control = XKeysymToKeycode(m_display, XK_Control_L);
    if (code == 0 || (command && control == 0)) return false;
    // Key down, then key up, with the modifier held around the key as a person would.
    if (command) XTestFakeKeyEvent(m_display, control, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    if (command) XTestFakeKeyEvent(m_display, control, False, CurrentTime);
    XSync(m_display, False);
    return true;
}

} // namespace ombrel
