// Time from the global hot key to the editor shown with the capture, on the X display in
// $DISPLAY (scripts/bench.sh runs it on a 1920 × 1080 Xvfb desktop with a few windows):
// the key goes in through XTest, the program's passive grab receives it, grabs the screen
// under the pointer off the GUI thread, plays the flash and presents the editor. The clock
// stops when the editor's window is exposed on screen. Prints every run, then the median and
// the fastest run (on a busy machine the slow runs wait for other processes), and the
// processor time of the GUI thread meanwhile, which other processes do not lengthen (the
// grab's worker thread, the X server and the window manager are not in it).
//   bench_hotkey_editor [RUNS]
#include "app/AppDelegate.h"
#include "editor/EditorWindow.h"
#include "platform/Defaults.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <ctime>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

using namespace ombrel;

namespace {

// Presses Shift+Ctrl+2 as the keyboard would, on a connection of its own.
class KeyPresser {
  public:
    KeyPresser() : m_conn(xcb_connect(nullptr, nullptr)) {
        const xcb_setup_t* setup = xcb_get_setup(m_conn);
        m_root = xcb_setup_roots_iterator(setup).data->root;
        const int first = setup->min_keycode, count = setup->max_keycode - setup->min_keycode + 1;
        auto* map = xcb_get_keyboard_mapping_reply(
            m_conn, xcb_get_keyboard_mapping(m_conn, xcb_keycode_t(first), uint8_t(count)), nullptr);
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        for (int i = 0; i < count; ++i)
            for (int j = 0; j < map->keysyms_per_keycode; ++j) {
                const xcb_keysym_t s = syms[i * map->keysyms_per_keycode + j];
                if (s == 0xffe1 && !m_shift) m_shift = xcb_keycode_t(first + i);
                if (s == 0xffe3 && !m_control) m_control = xcb_keycode_t(first + i);
                if (s == '2' && !m_two) m_two = xcb_keycode_t(first + i);
            }
        free(map);
    }
    ~KeyPresser() { xcb_disconnect(m_conn); }
    bool ready() const { return m_shift && m_control && m_two; }
    void press() {
        for (xcb_keycode_t k : {m_shift, m_control, m_two})
            xcb_test_fake_input(m_conn, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, m_root, 0, 0, 0);
        for (xcb_keycode_t k : {m_two, m_control, m_shift})
            xcb_test_fake_input(m_conn, XCB_KEY_RELEASE, k, XCB_CURRENT_TIME, m_root, 0, 0, 0);
        xcb_flush(m_conn);
    }

  private:
    xcb_connection_t* m_conn;
    xcb_window_t m_root = 0;
    xcb_keycode_t m_shift = 0, m_control = 0, m_two = 0;
};

double guiThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication::setApplicationName(QStringLiteral("Ombrel Capture"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    QTemporaryDir home;
    Defaults::useFile(home.filePath(QStringLiteral("settings.ini"))); // the defaults: Shift+Ctrl+2, on screen
    Platform::install(makeNativePlatform());
    QTextStream out(stdout);
    KeyPresser keys;
    if (!keys.ready()) {
        out << "this keyboard has no Shift, Ctrl or 2 key\n";
        return 1;
    }
    AppDelegate delegate(QStringLiteral("com.ombrel.capture.bench"));
    delegate.applicationDidFinishLaunching();
    waitFor([] { return false; }, 500); // start-up settles

    QList<double> times, guiTimes;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        const double guiBefore = guiThreadCpuMs();
        keys.press();
        const bool shown = waitFor(
            [&] {
                EditorWindowController* editor = delegate.editor();
                return editor && editor->isVisible() && editor->windowHandle() &&
                       editor->windowHandle()->isExposed();
            },
            5000);
        const double ms = clock.nsecsElapsed() / 1e6;
        const double guiMs = guiThreadCpuMs() - guiBefore;
        if (!shown) {
            out << "run " << i + 1 << ": the editor did not show within 5 s\n";
            return 1;
        }
        times << ms;
        guiTimes << guiMs;
        out << "run " << i + 1 << ": " << QString::number(ms, 'f', 1) << " ms (GUI thread busy "
            << QString::number(guiMs, 'f', 1) << " ms)\n";
        out.flush();
        delegate.editor()->closeEditor();
        waitFor([&] { return !delegate.editor() && !delegate.isCapturing(); }, 5000);
        waitFor([] { return false; }, 400); // the flash fades and the window manager settles
    }
    std::sort(times.begin(), times.end());
    std::sort(guiTimes.begin(), guiTimes.end());
    out << "hot key to editor shown on a " << delegate.currentScreen()->globalRectPx.width() << "x"
        << delegate.currentScreen()->globalRectPx.height() << " screen: median "
        << QString::number(times.at(times.size() / 2), 'f', 1) << " ms, fastest "
        << QString::number(times.first(), 'f', 1) << " ms, slowest " << QString::number(times.last(), 'f', 1)
        << " ms (target 150 ms); GUI thread busy, median "
        << QString::number(guiTimes.at(guiTimes.size() / 2), 'f', 1) << " ms\n";
    Platform::uninstall();
    return 0;
}
