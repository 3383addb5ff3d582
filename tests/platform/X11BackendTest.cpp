// The X11 backends against a real X server, window manager and other programs' windows.
// Run by tests/e2e/on_desktop.sh, which starts the desktop and sets PNGPROBE.
#include "platform/linux/X11HotKeys.h"
#include "platform/linux/X11Screens.h"
#include "platform/linux/X11Windows.h"

#include <QApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace ombrel;

namespace {

const QColor rootColour("#5a7fa8");

// Another program's plain window of one colour, closed when the test ends.
class OtherWindow {
  public:
    OtherWindow(const QString& title, const QString& colour, QRect rect) {
        process.start(qEnvironmentVariable("PNGPROBE"),
                      {"window", title, colour, QString::number(rect.x()), QString::number(rect.y()),
                       QString::number(rect.width()), QString::number(rect.height())});
        process.waitForStarted();
    }
    ~OtherWindow() {
        process.kill();
        process.waitForFinished();
    }
    qint64 pid() const { return process.processId(); }
    QProcess process;
};

std::optional<WindowInfo> findWindow(X11Windows& windows, const QString& title) {
    for (int i = 0; i < 100; ++i) {
        for (const WindowInfo& w : windows.windows())
            if (w.title == title && w.onScreen) return w;
        QTest::qWait(50);
    }
    return std::nullopt;
}

class Solid : public QWidget {
  public:
    explicit Solid(QColor c) : colour(c) {}
    QColor colour;

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour); }
};

int differing(const QImage& image, QRect rect, QColor colour) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (QColor(image.pixel(x, y)) != colour) ++n;
    return n;
}

} // namespace

TEST(X11Backends, DisplaysListTheScreenAsPrimary) {
    X11Screens screens(QCoreApplication::applicationPid(), "Ombrel Capture");
    const auto displays = screens.displays();
    ASSERT_FALSE(displays.isEmpty());
    EXPECT_TRUE(displays.first().primary);
    EXPECT_EQ(displays.first().globalRectPx, QRect(0, 0, 1280, 800));
}

TEST(X11Backends, WindowsAndTheFrontApplicationFollowTheWindowManager) {
    X11Windows windows;
    windows.startWatching();
    QSignalSpy changed(&windows, &WindowSystem::frontApplicationChanged);
    OtherWindow alpha("alpha", "#c04040", QRect(100, 100, 300, 200));
    const auto a = findWindow(windows, "alpha");
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->pid, alpha.pid());
    EXPECT_EQ(a->kind, WindowKind::Normal);
    EXPECT_EQ(a->frameGlobal.size(), QSize(300, 200));
    EXPECT_EQ(a->bundleId, "pngprobe") << "the WM_CLASS class names the program";

    OtherWindow beta("beta", "#40c040", QRect(200, 150, 300, 200));
    ASSERT_TRUE(findWindow(windows, "beta").has_value());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (windows.frontApplication().value_or(AppInfo{}).pid) == (beta.pid()); }, 5000))
        << "waited for: windows.frontApplication().value_or(AppInfo{}).pid == beta.pid()";
    EXPECT_TRUE(windows.frontApplication()->hasNormalWindow);
    // The watcher must have seen beta in front too, or alpha coming back is no change to it.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !changed.isEmpty() && changed.last().first().value<AppInfo>().pid == beta.pid(); },
        5000))
        << "the change to beta was reported";

    changed.clear();
    ASSERT_TRUE(windows.activate(alpha.pid()));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (windows.frontApplication().value_or(AppInfo{}).pid) == (alpha.pid()); }, 5000))
        << "waited for: windows.frontApplication().value_or(AppInfo{}).pid == alpha.pid()";
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(!changed.isEmpty()); }, 5000))
        << "waited for: !changed.isEmpty()";
    EXPECT_EQ(changed.last().first().value<AppInfo>().pid, alpha.pid());
    EXPECT_FALSE(windows.activate(999999)) << "no such process";
    EXPECT_FALSE(windows.isCompositing()) << "plain openbox composites nothing";
}

TEST(X11Backends, ADisplayGrabLeavesOutOurWindowsAndShowsWhatIsBehindThem) {
    OtherWindow other("under", "#c04040", QRect(100, 100, 300, 200));
    X11Windows windows;
    const auto under = findWindow(windows, "under");
    ASSERT_TRUE(under.has_value());
    Solid ours(QColor(255, 255, 0));
    ours.setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint); // unmanaged, like a toast
    ours.setGeometry(300, 250, 300, 200);                       // half over the other window
    ours.show();
    // Our window really on the screen first: mapped, painted and seen in the X server's own
    // picture of the screen, so its absence from the grab below means something.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ours));
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            const QImage seen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            return QColor(seen.pixel(450, 350)) == QColor(255, 255, 0);
        },
        5000))
        << "our window never showed";

    X11Screens screens(QCoreApplication::applicationPid(), QString());
    const auto shot = screens.grabDisplay(screens.displays().first().id, QSize(1280, 800));
    ASSERT_TRUE(shot.isOk()) << shot.message().toStdString();
    const QImage image = shot.value();
    const QRect otherClient = under->frameGlobal;
    // Inside our window: the other window where it lies below, the desktop elsewhere.
    // (The other window has a dark band at its top and a black marker at its bottom right.)
    const QRect overOther = QRect(300, 250, 300, 200) & otherClient.adjusted(0, 20, -20, -20);
    ASSERT_FALSE(overOther.isEmpty());
    EXPECT_EQ(differing(image, overOther, QColor("#c04040")), 0);
    EXPECT_EQ(differing(image, QRect(420, 360, 170, 80), rootColour), 0);
    int yellow = 0;
    for (int y = 250; y < 450; ++y)
        for (int x = 300; x < 600; ++x)
            if (QColor(image.pixel(x, y)) == QColor(255, 255, 0)) ++yellow;
    EXPECT_EQ(yellow, 0) << "none of our window shows";

    // Scaled grabs have exactly the size asked for.
    const auto small = screens.grabDisplay(screens.displays().first().id, QSize(640, 400));
    ASSERT_TRUE(small.isOk());
    EXPECT_EQ(small.value().size(), QSize(640, 400));
}

TEST(X11Backends, AWindowGrabFailsPlainlyForAWindowThatIsGone) {
    X11Screens screens(QCoreApplication::applicationPid(), QString());
    const auto shot = screens.grabWindow(0x7fffff0, QSize(10, 10));
    EXPECT_FALSE(shot.isOk());
    EXPECT_EQ(shot.failure(), Failure::Permanent);
    EXPECT_FALSE(shot.message().isEmpty());
}

TEST(X11Backends, TheHotKeyIsHeardWithOrWithoutCapsLockAndAKeyHeldElsewhereIsRefused) {
    const QKeyCombination key(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_2);
    X11HotKeys mine, another; // two connections: two programs to the X server
    ASSERT_TRUE(mine.registerKey(key));
    const auto refused = another.registerKey(key);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.failure(), Failure::Permanent);
    EXPECT_EQ(another.registeredKey(), std::nullopt);

    QSignalSpy pressed(&mine, &HotKeys::pressed);
    QProcess::execute(QStringLiteral("xdotool"), {"key", "shift+ctrl+2"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.count() == 1; }, 5000));
    QProcess::execute(QStringLiteral("xdotool"), {"key", "Caps_Lock", "shift+ctrl+2", "Caps_Lock"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed.count() == 2; }, 5000))
        << "Caps Lock makes no difference";
    QProcess::execute(QStringLiteral("xdotool"), {"key", "ctrl+2"});
    QTest::qWait(300);
    EXPECT_EQ(pressed.count(), 2) << "without Shift it is another key";

    mine.unregisterKey();
    EXPECT_TRUE(another.registerKey(key)) << "a key given back is free for others";
}
