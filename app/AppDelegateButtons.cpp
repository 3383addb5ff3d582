// The floating buttons, the capture picker that opens from the camera, and the global hot
// key: the ways into a capture besides the tray menu.
#include "AppDelegate.h"
#include "ButtonPanel.h"
#include "CaptureHotKey.h"
#include "CapturePicker.h"

#include "platform/Defaults.h"
#include "platform/Platform.h"
#include "platform/ScreenSpace.h"
#include "ui/Permissions.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace ombrel {

namespace {

constexpr int pickerOpenMs = 450;  // the pointer rests on the camera this long
constexpr int pickerCloseMs = 400; // and is away from both this long

const QColor symbolGrey(60, 60, 66);

} // namespace

QString AppDelegate::cameraToolTip(const QString& shortcutName) {
    QString tip =
        QStringLiteral("Click to capture your whole screen. Hover to pick a window or another screen.");
    if (shortcutName != CaptureHotKey::off)
        tip += QStringLiteral(" Shortcut: ") + CaptureHotKey::title(shortcutName);
    return tip;
}

void AppDelegate::buildButtons() {
    m_buttonPanel = std::make_unique<ButtonPanel>();
    ButtonPanel* panel = m_buttonPanel.get();
    FloatingButton* camera = panel->camera();
    camera->setSpokenName(QStringLiteral("Capture screen"));
    camera->setToolTipText(cameraToolTip(CaptureHotKey::currentName()));
    camera->onClick = [this] { capture(); };
    camera->onHover = [this](bool inside) { cameraHovered(inside); };
    panel->recent()->setToolTipText(QStringLiteral("Recent captures"));
    panel->recent()->onClick = [this] { toggleRecent(); };
    panel->record()->setToolTipText(QStringLiteral("Record your screen"));
    panel->record()->onClick = [this] { toggleRecording(); };

    // A drag carries the buttons away from the picker: it closes.
    for (FloatingButton* b : {camera, panel->recent(), panel->record()})
        b->onDragStart = [this] { hidePicker(); };
    m_pickerTimer.setSingleShot(true);
    connect(&m_pickerTimer, &QTimer::timeout, this, [this] { updatePicker(); });
    layOutButtons();
    if (!Defaults::get(Keys::hideFloatingButtons)) panel->showFloating();
}

void AppDelegate::layOutButtons() {
    if (m_buttonPanel) m_buttonPanel->layOut(Defaults::get(Keys::floatingButtonsSideBySide));
}

void AppDelegate::giveButtonsTheMenu() {
    // The tray menu is every button's context menu, so the whole menu is there without a tray.
    if (!m_buttonPanel) return;
    for (FloatingButton* b : {m_buttonPanel->camera(), m_buttonPanel->recent(), m_buttonPanel->record()})
        b->setContextMenu(m_appMenu.get());
}

void AppDelegate::toggleFloatingButtons() {
    const bool hide = !Defaults::get(Keys::hideFloatingButtons);
    Defaults::set(Keys::hideFloatingButtons, hide);
    if (m_buttonPanel) {
        if (hide) {
            hidePicker();
            m_buttonPanel->hide();
            m_buttonPanel->strip()->hide();
        } else {
            m_buttonPanel->showFloating();
            if (m_timeShowing) m_buttonPanel->strip()->show();
        }
    }
    refreshAppMenu();
}

void AppDelegate::chooseButtonLayout(bool sideBySide) {
    if (sideBySide == Defaults::get(Keys::floatingButtonsSideBySide)) return;
    Defaults::set(Keys::floatingButtonsSideBySide, sideBySide);
    layOutButtons();
    refreshSettingsMenu();
}

void AppDelegate::registerHotKey(bool saying) {
    const QString name = CaptureHotKey::currentName();
    const auto registered =
        saying ? CaptureHotKey::registerCurrent() : CaptureHotKey::start(this, [this] { capture(); });
    if (m_buttonPanel) m_buttonPanel->camera()->setToolTipText(cameraToolTip(name));
    if (!registered && registered.failure() == Failure::Permanent) {
        // Another program holds the key: the choice stays, and the user learns why it does nothing.
        const auto [title, message] = CaptureHotKey::takenAlert(name);
        Permissions::show(title, message);
        return;
    }
    if (saying && registered && name != CaptureHotKey::off)
        Toast::show(QStringLiteral("Press ") + CaptureHotKey::title(name) +
                    QStringLiteral(" to capture from anywhere."));
}

void AppDelegate::chooseShortcut(const QString& name) {
    Defaults::set(Keys::captureShortcut, name);
    registerHotKey(true);
    refreshSettingsMenu();
}

// ——— The picker ———

void AppDelegate::cameraHovered(bool inside) {
    m_pointerOnCamera = inside;
    m_pickerTimer.start(inside ? pickerOpenMs : pickerCloseMs);
}

void AppDelegate::pickerHovered(bool inside) {
    m_pointerOnPicker = inside;
    m_pickerTimer.start(inside ? pickerOpenMs : pickerCloseMs);
}

void AppDelegate::updatePicker() {
    if (!m_pointerOnCamera && !m_pointerOnPicker) {
        hidePicker();
        return;
    }
    // Not over a capture in flight, a dragged panel or a hidden one.
    if (m_isCapturing || !m_buttonPanel || !m_buttonPanel->isVisible() ||
        m_buttonPanel->camera()->isPressed())
        return;
    if (!m_picker || !m_picker->isVisible()) showPicker();
}

void AppDelegate::showPicker() {
    if (!m_picker) {
        m_picker = std::make_unique<CapturePicker>();
        m_picker->onPointerInside = [this](bool inside) { pickerHovered(inside); };
    }
    QRect visible = m_buttonPanel->visibleArea();
    if (visible.isEmpty())
        if (QScreen* s = ScreenSpace::mainScreen()) visible = s->availableGeometry();
    m_picker->show(captureChoices(), m_buttonPanel->frameGeometry(), visible);
}

void AppDelegate::hidePicker() {
    m_pickerTimer.stop();
    m_pointerOnPicker = false;
    if (m_picker) m_picker->hide();
}

QList<CaptureChoice> AppDelegate::captureChoices() {
    QList<CaptureChoice> choices;
    const QIcon display = Symbols::icon(QStringLiteral("display"), Qt::white);
    const QList<DisplayInfo> displays = Platform::screens().displays();
    if (displays.size() == 1) {
        choices.append({QStringLiteral("Whole Screen"), QString(), display, true,
                        [this, d = displays.first()] { capture(d); }});
    } else {
        for (int i = 0; i < displays.size(); ++i) {
            const DisplayInfo& d = displays.at(i);
            const QScreen* s = ScreenSpace::screenOf(d);
            const QString name = s && !s->model().isEmpty() ? s->model() : d.name;
            choices.append(
                {QStringLiteral("Screen %1").arg(i + 1), name, display, true, [this, d] { capture(d); }});
        }
    }
    choices.append({QStringLiteral("A Long Page"), QStringLiteral("Scroll a window and get all of it"),
                    Symbols::icon(QStringLiteral("arrow.down.doc"), Qt::white), false,
                    [this] { startScrollCapture(); }});

    WindowSystem& system = Platform::windows();
    const qreal pixelsPerPoint = m_buttonPanel ? ScreenSpace::ratioAt(m_buttonPanel->geometry().center())
                                               : ScreenSpace::ratioAt(QPoint());
    const QIcon window = Symbols::icon(QStringLiteral("macwindow"), Qt::white);
    for (const WindowInfo& w : pickerWindows(system.windows(), system.ownPid(), m_bundleId, pixelsPerPoint)) {
        const ApplicationLook look = system.applicationLook(w);
        const QString app = look.name.isEmpty() ? QStringLiteral("Window") : look.name;
        const QString title = w.title.trimmed().isEmpty() ? app : w.title.trimmed();
        const QIcon icon = look.icon.isNull() ? window : QIcon(QPixmap::fromImage(look.icon));
        choices.append({title, app, icon, false, [this, w] { captureWindow(w); }});
    }
    return choices;
}

} // namespace ombrel
