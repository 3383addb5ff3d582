#pragma once
// The prompt the chat sender shows when it cannot see the caret in a chat box: it watches
// the application the user is in and turns into a "Send" button once the caret is in a
// message box. At most one is open at a time.

#include "platform/Windows.h"
#include "sending/ChatSender.h"
#include "ui/GlassPrompt.h"

#include <QPointer>
#include <functional>
#include <optional>

namespace ombrel {

class CursorPrompt : public GlassPrompt {
    Q_OBJECT
  public:
    using OnSend = std::function<void(const AppInfo& app)>;

    static constexpr int width = 560;
    static constexpr int refreshMs = 400;
    static constexpr int limitMs = 180'000;

    // Dismisses any open cursor prompt and opens a new one for `files`.
    static CursorPrompt* ask(const QStringList& files, OnSend onSend);
    static CursorPrompt* current();

    // Looks at the chat application's caret again and shows what it finds; past the time
    // limit the prompt dismisses itself.
    void refresh();
    void dismiss() override;

    // The frontmost application when it can be a target, else the remembered target.
    static std::optional<AppInfo> chatApplication();
    bool seesCursor() const { return m_seesCursor; }

  private:
    explicit CursorPrompt(OnSend onSend);
    void begin();
    void scheduleRefresh();
    void sendNow();
    // Shows what a reading of `app`'s caret found.
    void show(const std::optional<AppInfo>& app, CursorSpot spot);

    OnSend m_onSend;
    qint64 m_openedMs = 0;
    bool m_open = false;
    bool m_seesCursor = false;
    bool m_reading = false; // a caret reading is under way off the GUI thread
};

} // namespace ombrel
