#pragma once
// The program's alerts and its explanations of missing permissions.

#include <QString>
#include <QStringList>

namespace ombrel {

class Permissions {
  public:
    // A modal alert that stays above other windows: the title as its message, the message
    // as its detail.
    static void show(const QString& title, const QString& message);
    // The same alert with "Open Settings" and "Not Now"; true when the first was chosen.
    static bool askToOpenSettings(const QString& title, const QString& message);
    // The same alert with the given buttons, the first one the default; answers the index
    // of the button chosen.
    static int ask(const QString& title, const QString& message, const QStringList& buttons);
    static void explainScreenRecording();
    // "Please try again…" with the failure's own words, or the screen-recording
    // explanation when screen capture is not allowed at all.
    static void explainFailure(const QString& title, const QString& error);
    // The detail text of `explainFailure` (exposed for tests).
    static QString failureMessage(const QString& error);

    // Tests replace the modal alerts with a recorder: it receives title, message and
    // buttons, and answers the index of the button chosen.
    using Presenter = int (*)(const QString& title, const QString& message, const QStringList& buttons);
    static void setPresenter(Presenter presenter);
};

} // namespace ombrel
