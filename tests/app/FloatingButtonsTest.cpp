// The floating buttons, the capture picker and the global hot key: the ways into a capture
// besides the tray menu, on the fake platform.
#include "ShellTestSupport.h"
#include "app/ButtonPanel.h"
#include "app/CaptureHotKey.h"
#include "app/CapturePicker.h"
#include "library/RecentPanel.h"
#include "platform/Defaults.h"
#include "ui/Toast.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

using namespace ombrel;
using namespace ombrel::test;

namespace {

QStringList titlesOf(const QList<WindowInfo>& windows) {
    QStringList list;
    for (const WindowInfo& w : windows)
        list << w.title;
    return list;
}

// A press, a move of `by` and a release on a button, as the window system delivers them.
void pressMoveRelease(QWidget* button, QPoint by) {
    const QPoint local(20, 20);
    const QPoint global = button->mapToGlobal(local);
    auto send = [&](QEvent::Type type, QPoint offset, Qt::MouseButton changed, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(local + offset), QPointF(global + offset), changed, held,
                          Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    };
    send(QEvent::MouseButtonPress, {}, Qt::LeftButton, Qt::LeftButton);
    if (!by.isNull()) {
        send(QEvent::MouseMove, by / 2, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseMove, by, Qt::NoButton, Qt::LeftButton);
    }
    send(QEvent::MouseButtonRelease, by, Qt::LeftButton, Qt::NoButton);
}

} // namespace

// ——— Layout rules ———

TEST(ButtonLayout, BothLayoutsHoldTheThreeButtonsApartWithTheCameraAtTheBottomOrLeft) {
    for (bool sideBySide : {false, true}) {
        const ButtonLayout l = ButtonPanel::layout(sideBySide);
        const QRect panel(QPoint(0, 0), l.panel);
        for (const QRect& b : {l.camera, l.recent, l.record})
            EXPECT_TRUE(panel.contains(b)) << "inside the panel";
        EXPECT_FALSE(l.camera.intersects(l.recent) || l.camera.intersects(l.record) ||
                     l.recent.intersects(l.record));
        if (sideBySide)
            EXPECT_TRUE(l.camera.right() < l.recent.left() && l.recent.right() < l.record.left());
        else
            EXPECT_TRUE(l.record.bottom() < l.recent.top() && l.recent.bottom() < l.camera.top());
    }
}

TEST(ButtonLayout, ThePanelStaysInsideTheVisibleAreaOfItsScreenAfterAScreenChange) {
    const QRect left(0, 0, 1920, 1050), right(1920, 0, 1280, 770);
    // Half over the right screen's edge: pulled back into the screen holding its centre.
    EXPECT_EQ(ButtonPanel::keptInside(QRect(3180, 700, 56, 132), {left, right}), QRect(3144, 638, 56, 132));
    // Its screen went away: onto the one it overlaps, else the first (the main screen).
    EXPECT_EQ(ButtonPanel::keptInside(QRect(2500, 300, 56, 132), {left}), QRect(1864, 300, 56, 132));
    EXPECT_EQ(ButtonPanel::keptInside(QRect(5000, 2000, 130, 56), {left, right}), QRect(1790, 994, 130, 56))
        << "overlapping nothing: onto the first area (the main screen)";
    // A panel inside stays where the user put it.
    EXPECT_EQ(ButtonPanel::keptInside(QRect(40, 40, 56, 132), {left, right}), QRect(40, 40, 56, 132));
    // The first place is at the right edge of the main screen, inside its visible area.
    const QRect first = ButtonPanel::initialFrame(QSize(56, 132), QRect(0, 30, 1920, 1050));
    EXPECT_TRUE(QRect(0, 30, 1920, 1050).contains(first));
    EXPECT_EQ(first.right(), 1919 - ButtonPanel::margin);
}

TEST(ButtonLayout, TheTimeLabelGoesBesideTheRecordButtonOnTheSideWithRoom) {
    const QRect screen(0, 0, 1280, 800);
    const QRect atRightEdge = ButtonPanel::besideButton(QRect(1220, 300, 32, 32), QSize(90, 20), screen);
    EXPECT_LT(atRightEdge.right(), 1220);
    EXPECT_LE(std::abs(atRightEdge.center().y() - QRect(1220, 300, 32, 32).center().y()), 1)
        << "level with it";
    const QRect atLeftEdge = ButtonPanel::besideButton(QRect(10, 2, 32, 32), QSize(90, 20), screen);
    EXPECT_GT(atLeftEdge.left(), 41);
    EXPECT_TRUE(screen.contains(atLeftEdge));
}

TEST(CapturePickerPlacement, ThePickerOpensOnTheSideWithMoreRoomLevelWithTheButtons) {
    const QRect screen(0, 0, 1280, 800);
    const QRect left = CapturePicker::placement(QSize(340, 400), QRect(1200, 500, 56, 132), screen);
    EXPECT_EQ(left.right(), 1200 - CapturePicker::gap - 1);
    EXPECT_TRUE(screen.contains(left)) << "pulled up so its bottom stays on screen";
    const QRect right = CapturePicker::placement(QSize(340, 400), QRect(20, 100, 56, 132), screen);
    EXPECT_EQ(right.left(), 76 + CapturePicker::gap);
    EXPECT_EQ(right.top(), 0);
}

// ——— The choice list ———

TEST(PickerWindows, OnlyOtherProgramsOrdinaryWindowsOfAUsefulSizeBrowsersFirstThenFrontToBack) {
    const qint64 own = 4242;
    const QList<WindowInfo> bottomToTop{
        windowInfo(1, 10, "org.gnome.TextEditor", "Notes", QRect(0, 0, 800, 600)),
        windowInfo(2, 11, "Chromium", "Chat", QRect(0, 0, 1000, 700)),
        windowInfo(3, 12, "Xterm", "Terminal", QRect(0, 0, 640, 400)),
        windowInfo(4, 13, "Gimp", "Save as", QRect(0, 0, 500, 400), WindowKind::Dialog),      // a dialog
        windowInfo(5, 13, "Gimp", "tip", QRect(0, 0, 300, 200), WindowKind::Notification, 1), // a tool tip
        windowInfo(6, 14, "Calc", "Narrow", QRect(0, 0, 199, 600)),                           // too narrow
        windowInfo(7, 14, "Calc", "Low", QRect(0, 0, 600, 119)),                              // too low
        windowInfo(8, own, "com.ombrel.capture.tests", "Ombrel Capture buttons", QRect(0, 0, 300, 300)),
        windowInfo(9, 99, "com.ombrel.capture.tests", "Editor of our other copy", QRect(0, 0, 900, 600)),
        windowInfo(10, 15, "Panel", "Top bar", QRect(0, 0, 1920, 300), WindowKind::Dock),
        windowInfo(11, 16, "Kept", "Always on top", QRect(0, 0, 800, 600), WindowKind::Normal, 3),
        windowInfo(12, 17, "firefox-esr", "Docs", QRect(0, 0, 900, 700)),
    };
    auto hidden = windowInfo(13, 18, "Minimised", "Away", QRect(0, 0, 800, 600));
    hidden.onScreen = false;
    QList<WindowInfo> all = bottomToTop;
    all.insert(3, hidden);
    EXPECT_EQ(titlesOf(pickerWindows(all, own, "com.ombrel.capture.tests", 1.0)),
              (QStringList{"Docs", "Chat", "Terminal", "Notes"}));
    EXPECT_EQ(titlesOf(pickerWindows(all, own, "com.ombrel.capture.tests", 1.0, 2)),
              (QStringList{"Docs", "Chat"}));
    // At two device pixels a point, a 640 × 400-pixel window is 320 × 200 points, still listed;
    // an 800 × 230-pixel one is 115 points high, too low.
    const QList<WindowInfo> dense{windowInfo(1, 10, "A", "Wide enough", QRect(0, 0, 640, 400)),
                                  windowInfo(2, 11, "B", "Too low", QRect(0, 0, 800, 230))};
    EXPECT_EQ(titlesOf(pickerWindows(dense, own, {}, 2.0)), (QStringList{"Wide enough"}));
}

// ——— The shell with its buttons ———

class FloatingButtonsTest : public ShellTest {
  protected:
    QMenu* shortcutsMenu() { return item(app->settingsMenu(), "Capture Shortcut")->menu(); }
};

TEST_F(FloatingButtonsTest, TheButtonsShowAtStartUnlessHiddenAndTheMenuHidesAndShowsThem) {
    launch();
    ButtonPanel* panel = app->buttonPanel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(platform.windows->floating, QList<WindowId>{panel->winId()}) << "kept above, on every desktop";
    item(app->appMenu(), "Hide Floating Buttons")->trigger();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(Defaults::get(Keys::hideFloatingButtons));
    item(app->appMenu(), "Show Floating Buttons")->trigger();
    EXPECT_TRUE(panel->isVisible());

    item(app->appMenu(), "Hide Floating Buttons")->trigger();
    launch();
    EXPECT_FALSE(app->buttonPanel()->isVisible()) << "hidden stays hidden at the next start";
    // Without a tray (as here, off screen) a second start brings them back, so the user is never locked out.
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    app->applicationShouldHandleReopen();
    EXPECT_TRUE(app->buttonPanel()->isVisible());
    EXPECT_TRUE(item(app->appMenu(), "Hide Floating Buttons"));
}

TEST_F(FloatingButtonsTest, EveryButtonOffersTheWholeTrayMenuAndTheRecentButtonOpensRecentBesideThem) {
    launch();
    ButtonPanel* panel = app->buttonPanel();
    QTest::mouseClick(panel->recent(), Qt::LeftButton, {}, QPoint(16, 16));
    ASSERT_TRUE(app->hasRecentPanel());
    EXPECT_TRUE(app->recentPanel().isVisible());
    EXPECT_FALSE(app->recentPanel().frameGeometry().intersects(panel->frameGeometry()));
    QTest::mouseClick(panel->recent(), Qt::LeftButton, {}, QPoint(16, 16));
    EXPECT_FALSE(app->recentPanel().isVisible()) << "a second click closes it";

    // A Control-click on any button pops up the tray menu.
    QTest::mouseClick(panel->record(), Qt::LeftButton, Qt::ControlModifier, QPoint(16, 16));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->appMenu()->isVisible(); }, 2000));
    EXPECT_FALSE(app->recordingMenu()) << "the Control-click is not a click";
    app->appMenu()->hide();
}

TEST_F(FloatingButtonsTest, DraggingTheCameraMovesThePanelAndDoesNotCaptureAClickDoes) {
    Defaults::set(Keys::captureStyle, QString("miniPanel"));
    launch();
    ButtonPanel* panel = app->buttonPanel();
    panel->move(300, 200);
    app->showPicker();
    const QPoint before = panel->pos();
    pressMoveRelease(panel->camera(), QPoint(-60, -40));
    EXPECT_EQ(panel->pos(), before + QPoint(-60, -40));
    EXPECT_FALSE(app->picker()->isVisible()) << "the picker does not stay behind";
    EXPECT_FALSE(app->isCapturing());
    EXPECT_EQ(platform.screens->grabs, 0);

    pressMoveRelease(panel->camera(), QPoint(1, 1)); // a tremble is still a click
    EXPECT_TRUE(app->isCapturing());
    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
    ASSERT_TRUE(presented.wait(5000));
    EXPECT_EQ(platform.screens->grabs, 1);
}

TEST_F(FloatingButtonsTest, ChoosingALayoutReLaysTheButtonsAtOnceAndTheLayoutInUseChangesNothing) {
    launch();
    ButtonPanel* panel = app->buttonPanel();
    panel->move(200, 150);
    const QPoint cameraCorner = panel->geometry().bottomLeft();
    QMenu* settings = app->settingsMenu();
    item(settings, "Stacked Up and Down")->trigger();
    EXPECT_EQ(panel->size(), QSize(56, 132)) << "already stacked";
    EXPECT_FALSE(Defaults::has("floatingButtonsSideBySide")) << "nothing was stored";
    item(settings, "Side by Side")->trigger();
    EXPECT_TRUE(Defaults::get(Keys::floatingButtonsSideBySide));
    EXPECT_EQ(panel->size(), QSize(130, 56));
    EXPECT_EQ(panel->geometry().bottomLeft(), cameraCorner) << "the camera stays where it was";
    EXPECT_TRUE(item(app->settingsMenu(), "Side by Side")->isChecked());
}

TEST_F(FloatingButtonsTest, TheCameraPulsesWhileTheEditorWaitsForTheNextScreenExceptUnderReducedMotion) {
    for (bool reduced : {false, true}) {
        platform.workspace->fewerAnimations = reduced;
        launch();
        QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
        app->capture();
        ASSERT_TRUE(presented.wait(5000));
        app->capture(); // the on-screen editor steps aside for the next screen
        ASSERT_TRUE(app->editor()->isWaitingForNextScreen());
        EXPECT_EQ(app->buttonPanel()->camera()->isPulsing(), !reduced);
        app->editor()->closeEditor();
        EXPECT_FALSE(app->buttonPanel()->camera()->isPulsing());
    }
}

// ——— The hot key ———

TEST_F(FloatingButtonsTest, TheHotKeyIsRegisteredAtStartAndCapturesTheScreen) {
    Defaults::set(Keys::captureStyle, QString("miniPanel"));
    launch();
    EXPECT_EQ(platform.hotKeys->key, QKeyCombination(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_2));
    EXPECT_TRUE(app->buttonPanel()->camera()->toolTip().endsWith("Shortcut: Shift+Ctrl+2"))
        << "the tip names it";
    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
    ASSERT_TRUE(platform.hotKeys->press());
    ASSERT_TRUE(presented.wait(5000));
    EXPECT_EQ(platform.screens->grabs, 1);
}

TEST_F(FloatingButtonsTest, ChoosingAShortcutRegistersItAgainAndOffRegistersNothing) {
    launch();
    item(shortcutsMenu(), "Alt+Shift+S")->trigger();
    EXPECT_EQ(Defaults::get(Keys::captureShortcut), "Option-Shift-S") << "stored by its own name";
    EXPECT_EQ(platform.hotKeys->key, QKeyCombination(Qt::AltModifier | Qt::ShiftModifier, Qt::Key_S));
    EXPECT_EQ(Toast::currentText(), "Press Alt+Shift+S to capture from anywhere.");
    EXPECT_TRUE(item(shortcutsMenu(), "Alt+Shift+S")->isChecked());

    platform.hotKeys->registrations.clear();
    item(shortcutsMenu(), "Off")->trigger();
    EXPECT_EQ(platform.hotKeys->key, std::nullopt);
    EXPECT_EQ(platform.hotKeys->registrations, (QList<std::optional<QKeyCombination>>{std::nullopt}))
        << "the old key is given back and nothing else is taken";
    EXPECT_FALSE(platform.hotKeys->press());
    EXPECT_FALSE(app->buttonPanel()->camera()->toolTip().contains("Shortcut")) << "the tip names no key";
    EXPECT_NE(Toast::currentText(), "Press Off to capture from anywhere.");
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(FloatingButtonsTest, AKeyHeldByAnotherProgramIsNamedInAnAlertAndTheChoiceIsKept) {
    platform.hotKeys->heldElsewhere = {QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_Space)};
    launch();
    ASSERT_TRUE(alerts.isEmpty()) << "the default key is free";
    item(shortcutsMenu(), "Ctrl+Alt+Space")->trigger();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].title, "Ctrl+Alt+Space is taken");
    EXPECT_EQ(Defaults::get(Keys::captureShortcut), "Control-Option-Space");
    EXPECT_EQ(platform.hotKeys->key, std::nullopt) << "the earlier key was given back";
    EXPECT_TRUE(item(shortcutsMenu(), "Ctrl+Alt+Space")->isChecked());

    alerts.clear();
    launch();
    ASSERT_EQ(alerts.size(), 1) << "told again at the next start";
    EXPECT_EQ(alerts[0].title, "Ctrl+Alt+Space is taken");
}

// ——— The picker ———

TEST_F(FloatingButtonsTest, ThePickerOpensAfterTheCameraIsRestedOnAndStaysWhileThePointerMovesOntoIt) {
    platform.windows->windowList = {
        windowInfo(5, 20, "org.example.Notes", "Shopping list", QRect(100, 100, 500, 400))};
    launch();
    app->cameraHovered(true);
    EXPECT_FALSE(app->picker() && app->picker()->isVisible()) << "not at once";
    EXPECT_EQ(app->pickerTimer().interval(), 450) << "rested on, not passed over";
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->picker() && app->picker()->isVisible(); }, 2000));
    EXPECT_FALSE(app->picker()->geometry().intersects(app->buttonPanel()->frameGeometry()));

    // The pointer leaves the camera for the picker within the 0.4 s.
    app->cameraHovered(false);
    EXPECT_EQ(app->pickerTimer().interval(), 400);
    app->pickerHovered(true);
    QTest::qWait(600); // past both delays
    EXPECT_TRUE(app->picker()->isVisible()) << "the pointer is on the picker";

    app->pickerHovered(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app->picker()->isVisible(); }, 2000));

    // A pointer that only passes over the camera opens nothing.
    app->cameraHovered(true);
    app->cameraHovered(false);
    QTest::qWait(600);
    EXPECT_FALSE(app->picker()->isVisible());
}

TEST_F(FloatingButtonsTest, ThePickerListsTheScreensALongPageAndTheWindowsAndARowCapturesThatWindow) {
    Defaults::set(Keys::captureStyle, QString("miniPanel"));
    platform.windows->windowList = {windowInfo(5, 20, "org.example.Notes", "", QRect(100, 100, 500, 400)),
                                    windowInfo(6, 21, "Tiny", "Small", QRect(0, 0, 150, 100))};
    platform.windows->looks.insert("org.example.Notes", ApplicationLook{"Notes", {}});
    platform.screens->windowContent.insert(5, plainImage(QSize(500, 400), QColor(200, 40, 120)));
    launch();

    QList<CaptureChoice> choices = app->captureChoices();
    QStringList titles;
    for (const CaptureChoice& c : choices)
        titles << c.title + " / " + c.detail;
    EXPECT_EQ(titles, (QStringList{"Whole Screen / ", "A Long Page / Scroll a window and get all of it",
                                   "Notes / Notes"}))
        << "a window without a title is named by its application";

    platform.screens->displayList = {{1, QRect(0, 0, 1920, 1080), true, "DP-1"},
                                     {2, QRect(1920, 0, 1280, 1024), false, "HDMI-1"}};
    choices = app->captureChoices();
    ASSERT_GE(choices.size(), 2);
    EXPECT_EQ(choices[0].title, "Screen 1");
    EXPECT_EQ(choices[1].title, "Screen 2");
    EXPECT_TRUE(choices[1].isScreen);

    app->showPicker();
    const QList<CaptureRow*> rows = app->picker()->rows();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows.last()->accessibleName(), "Capture Notes");
    QSignalSpy presented(app.get(), &AppDelegate::editorPresented);
    QTest::mouseClick(rows.last(), Qt::LeftButton);
    EXPECT_FALSE(app->picker()->isVisible());
    ASSERT_TRUE(presented.wait(5000));
    EXPECT_EQ(app->editor()->canvas()->markup().image.pixelColor(250, 200), QColor(200, 40, 120))
        << "the window's own pixels";
}
