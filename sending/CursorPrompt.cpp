#include "CursorPrompt.h"
#include "ChatSender.h"
#include "Scheduler.h"

#include "platform/Platform.h"
#include "ui/Glass.h"

#include <QPushButton>

namespace ombrel {

namespace {
QPointer<CursorPrompt>& currentPrompt() {
    static QPointer<CursorPrompt> prompt;
    return prompt;
}
} // namespace

CursorPrompt* CursorPrompt::current() {
    return currentPrompt();
}

CursorPrompt::CursorPrompt(OnSend onSend)
    : GlassPrompt(QStringLiteral("Cancel"), width), m_onSend(std::move(onSend)) {
    primaryButton()->setToolTip(QStringLiteral("Paste into the app you're in now."));
    onPrimary = [this] { sendNow(); };
    onSecondary = [this] { dismiss(); };
}

CursorPrompt* CursorPrompt::ask(const QStringList& files, OnSend onSend) {
    if (CursorPrompt* old = current()) old->dismiss();
    auto* prompt = new CursorPrompt(std::move(onSend));
    prompt->showPicture(files);
    currentPrompt() = prompt;
    prompt->begin();
    return prompt;
}

std::optional<AppInfo> CursorPrompt::chatApplication() {
    const auto front = Platform::windows().frontApplication();
    if (front && ChatSender::canBeTarget(*front)) return front;
    return ChatSender::target();
}

void CursorPrompt::begin() {
    m_openedMs = Scheduler::current().nowMs();
    m_open = true;
    // Until the first reading answers, the prompt asks for a click.
    show(chatApplication(), CursorSpot::unknown);
    refresh();
    open();
    // The panel is an override-redirect window, shown on every desktop by the X server
    // itself, so a change of desktop needs no work to keep it in sight.
    scheduleRefresh();
}

void CursorPrompt::scheduleRefresh() {
    Scheduler::current().after(refreshMs, this, [this] {
        if (!m_open) return;
        refresh();
        if (m_open) scheduleRefresh();
    });
}

void CursorPrompt::refresh() {
    if (Scheduler::current().nowMs() - m_openedMs > limitMs) {
        dismiss();
        return;
    }
    if (m_reading) return; // the last reading is still under way: one at a time
    const auto app = chatApplication();
    if (!app) return show(std::nullopt, CursorSpot::unknown);
    m_reading = true;
    ChatSender::cursorSpotLater(*app, this, [this, app](CursorSpot spot) {
        m_reading = false;
        if (m_open) show(app, spot);
    });
}

void CursorPrompt::show(const std::optional<AppInfo>& app, CursorSpot spot) {
    const bool sees = app && spot == CursorSpot::chatBox;
    const QString heading = sees ? QStringLiteral("I see your cursor") : QStringLiteral("Click in your chat");
    if (heading == this->heading())
        return; // the same state again: leave the panel alone so it does not flicker
    m_seesCursor = sees;
    if (sees) {
        const QString name = app->name.isEmpty() ? QStringLiteral("your app") : app->name;
        say(heading,
            QStringLiteral("It's in ") + name + QStringLiteral("'s chat box. Press Send when you're ready."),
            QStringLiteral("Send"));
        setDetailColor(GlassPalette::seen);
        setPrimaryHighlighted(true);
        flash(GlassPalette::seen);
    } else {
        say(heading,
            QStringLiteral(
                "I can't see a cursor in a chat box. Click in your chat's message box. Your picture is "
                "waiting."),
            QStringLiteral("Send Anyway"));
        setDetailColor(QColor(255, 255, 255, 184));
        setPrimaryHighlighted(false);
    }
}

void CursorPrompt::sendNow() {
    const auto app = chatApplication();
    OnSend onSend = m_onSend;
    dismiss();
    if (app && onSend) onSend(*app);
}

void CursorPrompt::dismiss() {
    m_open = false;
    GlassPrompt::dismiss();
    if (currentPrompt() == this) currentPrompt() = nullptr;
    deleteLater();
}

} // namespace ombrel
