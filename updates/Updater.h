#pragma once
// The program's updates: a small JSON feed names the newest version; a newer one is
// offered in a floating prompt and, when the user accepts, downloaded over HTTPS,
// checked and swapped in for the running bundle, which then reopens.
//
// Nothing replaces the running program unless, in this order, the download is complete,
// its SHA-256 is the feed's, it unpacks inside its working folder, and its signed manifest
// verifies against a key the running bundle trusts and names this program (see
// Installer.h). Every failure leaves the installed version as it was.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace ombrel {

class GlassPrompt;

namespace Updater {

// The feed's JSON object.
struct Feed {
    QString version; // compared numerically with the running version
    QString url;     // the update archive; must be https
    QString sha256;  // the archive's digest in hex, either case
    std::optional<QString> notes;
};

inline constexpr qint64 checkIntervalSeconds = 86400; // silent checks at most once a day
inline constexpr int repeatSeconds = 21600;           // the shell's timer: a silent check every 6 hours

inline const QString couldNotDownload =
    QStringLiteral("Couldn't download it. Your current version still works.");
inline const QString didNotMatch = QStringLiteral("The download didn't match. Nothing was changed.");
inline const QString notSigned = QStringLiteral("The update isn't signed by us, so it wasn't installed.");
inline const QString couldNotReplace = QStringLiteral("Couldn't replace the app: ");

// None when the text is not a JSON object with string "version", "url" and "sha256", or
// has a "notes" that is not a string.
std::optional<Feed> decodeFeed(const QByteArray& json);
// True when `a` orders strictly after `b`, runs of digits compared as numbers (1.10 after
// 1.9, 2.0.1 after 2.0).
bool isNewer(const QString& a, const QString& b);
// True when the SHA-256 of the data, in lower-case hex, equals `sha256` lower-cased.
bool matches(const QByteArray& data, const QString& sha256);
// The same for a digest already computed (the raw 32 bytes).
bool matchesDigest(const QByteArray& digest, const QString& sha256);
// Whether a silent check may run: none before, or the last one a day or more ago (or in
// the future, after the clock was turned back).
bool isDue(const std::optional<QDateTime>& last, const QDateTime& now);

// The running version: the bundle's, else this build's.
QString currentVersion();
// The bundle updates replace: the running one, unless a test named another.
QString bundle();
void setBundle(const QString& folder);
// True when an accepted offer installs: a signing team is configured, and the program
// runs from a bundle whose folder it may replace. Otherwise the offer sends the user to
// the web site.
bool canInstall();
// True when the bundle at `folder` carries a manifest signed by a key the running bundle
// trusts, naming this program and `team`, that lists exactly its files.
bool isSigned(const QString& folder, const QString& team);

// Checks the feed. `saying`: the user asked, so "up to date" and failures are reported;
// otherwise the check is silent and runs at most once a day. Main thread.
void check(bool saying = false);
// Fetches and decodes a feed; `done` runs on `context`'s thread with the feed, or none.
void fetchFeed(const QUrl& address, QObject* context, std::function<void(std::optional<Feed>)> done);
// Shows the offer of `feed` (replacing one on screen).
void offer(const Feed& feed);
// The offer on screen, if any.
GlassPrompt* prompt();

// How the program quits to reopen as the new version; the shell sets it (so a running
// recording is saved first). Unset, the application quits.
void setQuit(std::function<void()> quit);
// Tests put their own installation in place of the real one (which downloads and swaps
// the bundle): it runs off the GUI thread and answers an error text or "".
void setInstallForTests(std::function<QString(const Feed&)> install);

// The program started by an update waits here until the instance it replaces has ended,
// so the two never run at once. Returns at once when it was not started by an update.
void waitForReplacedInstance();

} // namespace Updater
} // namespace ombrel
