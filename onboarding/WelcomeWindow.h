#pragma once
// The welcome window of the first run: the three permissions the program needs, each with
// its "Allow" button or its tick, checked again every second while the window is open
// (they change in the desktop's settings, outside the program), how to take the first
// capture, and "Start Using It".

#include "GlassWindow.h"

#include <QFutureWatcher>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;

namespace ombrel {

// One permission row.
struct PermissionRow {
    QString symbol;
    QString title;
    QString detail;
    // Whether the permission is given; asked off the GUI thread.
    std::function<bool()> isAllowed;
    // What "Allow" does (on the GUI thread).
    std::function<void()> onAllow;
};

class WelcomeWindow : public GlassWindow {
    Q_OBJECT
  public:
    static constexpr int refreshMs = 1000;

    // Whether the user has finished the welcome window once.
    static bool hasBeenShown();
    // Shows the welcome window, or brings the one open to the front; `onFinish` runs when
    // the user finishes it with "Start Using It".
    static WelcomeWindow* present(std::function<void()> onFinish);
    // The window while it is open.
    static WelcomeWindow* current();
    // Where the floating camera button is on the desktop, when there is one: finishing the
    // welcome draws the user's eye there. Set by the application shell.
    static inline std::function<std::optional<QRect>()> cameraButtonFrame;

    // The three rows of this desktop: seeing the screen, pressing keys, hearing the microphone.
    static QList<PermissionRow> permissionRows();

    explicit WelcomeWindow(QList<PermissionRow> rows);
    ~WelcomeWindow() override;

    // Checks every row again (in the background); `refreshed` follows.
    void refresh();
    // "Start Using It".
    void finish();

    int rowCount() const { return int(m_rows.size()); }
    // The row's state as last checked.
    bool isAllowed(int row) const { return m_allowed.value(row); }
    QPushButton* allowButton(int row) const { return m_views.value(row).allow; }
    QLabel* tick(int row) const { return m_views.value(row).tick; }
    QLabel* note() const { return m_note; }
    QPushButton* startButton() const { return m_start; }

  Q_SIGNALS:
    // Every row has been checked again and shows its state.
    void refreshed();

  private:
    struct RowView {
        QPushButton* allow = nullptr;
        QLabel* tick = nullptr;
    };
    void showStates(const QList<bool>& allowed);

    QList<PermissionRow> m_rows;
    QList<RowView> m_views;
    QList<bool> m_allowed;
    QLabel* m_note = nullptr;
    QPushButton* m_start = nullptr;
    QTimer m_timer;
    QFutureWatcher<QList<bool>> m_check;
    std::function<void()> m_onFinish;
};

} // namespace ombrel
