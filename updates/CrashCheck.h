#pragma once
// At launch, looks for a crash report of the previous run (CrashHandler.h writes them)
// and either posts a short summary of it to the product web site (the default) or, when
// the user turned automatic reports off, offers to open an e-mail to support with the
// report attached. The report itself is never sent without the user, and nothing is
// reported on the very first launch.

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace ombrel {

class GlassPrompt;

namespace CrashCheck {

inline constexpr int maxFrames = 30;
inline constexpr int maxReasonCharacters = 500;
inline constexpr int sendTimeoutMs = 20000;

struct Report {
    QString path;
    QDateTime modified;
};

// The launch-time check, in the reports folder. Main thread.
void run();
// The same in `folder` at `now` (tests).
void run(const QString& folder, const QDateTime& now);

// True unless the user turned automatic reports off ("crashReportsOff").
bool sendsAutomatically();
void setSendsAutomatically(bool on);

// The newest report ("OmbrelCapture…" + ".ips") in `folder` modified strictly after `since`.
std::optional<Report> newestReport(const QString& folder, const QDateTime& since);
// The seven-member summary of a report's text (a header line of JSON, then a JSON body);
// none when the text is not two JSON objects.
std::optional<QJsonObject> summary(const QByteArray& reportText);
// Posts the summary; `done` runs on `context`'s thread with true only for an answer 200.
void send(const QJsonObject& summary, QObject* context, std::function<void(bool)> done);

// The e-mail offer on screen, if any.
GlassPrompt* prompt();

} // namespace CrashCheck
} // namespace ombrel
