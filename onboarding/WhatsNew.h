#pragma once
// What changed since the user's last version: the release notes shipped with the program,
// which of them to offer after an update, and the window that shows them.

#include "GlassWindow.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

class QPushButton;

namespace ombrel {

// One entry of the release notes.
struct ReleaseNotes {
    QString version;  // dotted, such as 1.4.2
    QString headline; // one line that sums up the release
    QStringList changes;
    friend bool operator==(const ReleaseNotes&, const ReleaseNotes&) = default;
};

class WhatsNewWindow;

class WhatsNew {
  public:
    static inline const QString resource = QStringLiteral(":/onboarding/releases.json");

    // The version of this program.
    static QString installedVersion();

    // True when `version` is newer than `than`, compared piece by piece between the dots
    // (a missing or non-numeric piece counts as 0): 1.10 is newer than 1.9, 2.0 equals 2.
    static bool isNewer(const QString& version, const QString& than);

    // The entries to offer, newest first: those not newer than the installed version and,
    // when a last-seen version is known, newer than it (at most three); otherwise only the
    // newest one.
    static QList<ReleaseNotes> unseen(QList<ReleaseNotes> notes, const QString& installed,
                                      const std::optional<QString>& lastSeen);

    // The notes in a JSON array of {version, headline, changes}; empty when the text is not
    // such an array or an entry lacks one of the three.
    static QList<ReleaseNotes> decode(const QByteArray& json);
    // The notes shipped with the program (`resource`, or the file given to `useNotesFile`).
    static QList<ReleaseNotes> shipped();
    // Reads the notes from another file (tests); empty returns to the shipped ones.
    static void useNotesFile(const QString& path);

    // At launch: remembers the installed version and, after an update, shows the notes of
    // the versions the user has not seen. A new install shows nothing.
    static void showIfUpdated(bool isNewInstall);
    // The menu's "What's New": the window with the newest entry.
    static void showLatest();
    // The window while it is open.
    static WhatsNewWindow* window();

  private:
    static void present(const QList<ReleaseNotes>& entries);
};

// A glass window listing release notes, closed by "Got It".
class WhatsNewWindow : public GlassWindow {
    Q_OBJECT
  public:
    WhatsNewWindow(const QList<ReleaseNotes>& entries, const QString& installedVersion);
    const QList<ReleaseNotes>& entries() const { return m_entries; }
    QPushButton* gotItButton() const { return m_gotIt; }

  private:
    QList<ReleaseNotes> m_entries;
    QPushButton* m_gotIt = nullptr;
};

} // namespace ombrel
