#include "Updater.h"

#include "Bundle.h"
#include "Installer.h"
#include "Manifest.h"
#include "Network.h"
#include "UpdatesConfig.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "ui/GlassPrompt.h"
#include "ui/Permissions.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtConcurrent>

#include <csignal>
#include <unistd.h>

namespace ombrel::Updater {

namespace {

constexpr int promptWidth = 460;
constexpr qint64 maxFeedBytes = 1024 * 1024;
constexpr int feedTimeoutMs = 30000;
constexpr int replacedInstanceWaitMs = 30000;
// The program started by an update learns which instance it replaces from this variable.
const char* const replacesVariable = "OMBREL_REPLACES_PID";

struct State {
    QPointer<GlassPrompt> prompt;
    bool installing = false;
    QString bundle;
    bool bundleSet = false;
    std::function<void()> quit;
    std::function<QString(const Feed&)> install;
};
State& state() {
    static State s;
    return s;
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Orders two version strings, runs of digits by their value: negative, 0 or positive.
int compareNumeric(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype ie = i, je = j;
            while (ie < a.size() && isDigit(a[ie]))
                ++ie;
            while (je < b.size() && isDigit(b[je]))
                ++je;
            // Without leading zeros the longer run is the greater number; equal lengths
            // compare digit by digit.
            QStringView x = QStringView(a).mid(i, ie - i), y = QStringView(b).mid(j, je - j);
            while (x.size() > 1 && x.front() == QLatin1Char('0'))
                x = x.mid(1);
            while (y.size() > 1 && y.front() == QLatin1Char('0'))
                y = y.mid(1);
            if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
            if (const int c = x.compare(y); c != 0) return c;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
            ++i;
            ++j;
        }
    }
    const qsizetype left = a.size() - i, right = b.size() - j;
    return left == right ? 0 : (left < right ? -1 : 1);
}

void quitForRelaunch() {
    if (state().quit)
        state().quit();
    else
        QCoreApplication::quit();
}

// Starts the new version in a process of its own; it waits for this one to end.
void relaunch(const QString& bundle) {
    QProcess program;
    program.setProgram(bundle + QLatin1Char('/') + Bundle::executable);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(replacesVariable), QString::number(::getpid()));
    program.setProcessEnvironment(environment);
    if (!program.startDetached())
        qCWarning(logUpdates) << "could not start the new version:" << program.errorString();
}

void showFailure(const QPointer<GlassPrompt>& prompt, const QString& error) {
    if (!prompt) return;
    prompt->say(QStringLiteral("The update didn't install"), error, QStringLiteral("Close"));
    prompt->primaryButton()->setEnabled(true);
    prompt->secondaryButton()->hide();
    prompt->onPrimary = [weak = prompt] {
        if (weak) weak->dismiss();
    };
}

// Another prompt on screen (a crash report's offer, a send prompt), if any.
GlassPrompt* otherPromptShown(const GlassPrompt* mine) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* other = qobject_cast<GlassPrompt*>(window); other && other != mine && other->isVisible())
            return other;
    return nullptr;
}

// Opens the prompt once no other prompt is on screen, so two never lie on top of each other.
void openWhenAlone(GlassPrompt* prompt) {
    if (!otherPromptShown(prompt)) {
        prompt->open();
        return;
    }
    auto* wait = new QTimer(prompt);
    QObject::connect(wait, &QTimer::timeout, prompt, [prompt, wait] {
        if (otherPromptShown(prompt)) return;
        wait->deleteLater();
        prompt->open();
    });
    wait->start(300);
}

void startInstall(const Feed& feed, const QPointer<GlassPrompt>& prompt) {
    if (state().installing) return;
    state().installing = true;
    prompt->say(QStringLiteral("Updating…"),
                QStringLiteral("This takes a moment. The app will reopen by itself."),
                QStringLiteral("Please Wait"));
    prompt->primaryButton()->setEnabled(false);
    prompt->secondaryButton()->setEnabled(false);

    const Installer::Target target = Installer::targetFor(bundle());
    std::function<QString(const Feed&)> install = state().install;
    auto* watcher = new QFutureWatcher<QString>(QCoreApplication::instance());
    QObject::connect(watcher, &QFutureWatcher<QString>::finished, watcher, [watcher, prompt, target] {
        const QString error = watcher->result();
        watcher->deleteLater();
        state().installing = false;
        if (!error.isEmpty()) {
            showFailure(prompt, error);
            return;
        }
        relaunch(target.bundle);
        quitForRelaunch();
    });
    watcher->setFuture(QtConcurrent::run(
        [feed, target, install] { return install ? install(feed) : Installer::install(feed, target); }));
}

} // namespace

std::optional<Feed> decodeFeed(const QByteArray& json) {
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    const QJsonValue version = o.value(QStringLiteral("version"));
    const QJsonValue url = o.value(QStringLiteral("url"));
    const QJsonValue sha256 = o.value(QStringLiteral("sha256"));
    const QJsonValue notes = o.value(QStringLiteral("notes"));
    if (!version.isString() || !url.isString() || !sha256.isString()) return std::nullopt;
    if (!notes.isUndefined() && !notes.isNull() && !notes.isString()) return std::nullopt;
    Feed feed{version.toString(), url.toString(), sha256.toString(), std::nullopt};
    if (notes.isString()) feed.notes = notes.toString();
    return feed;
}

bool isNewer(const QString& a, const QString& b) {
    return compareNumeric(a, b) > 0;
}

bool matchesDigest(const QByteArray& digest, const QString& sha256) {
    return QString::fromLatin1(digest.toHex()) == sha256.toLower();
}

bool matches(const QByteArray& data, const QString& sha256) {
    return matchesDigest(QCryptographicHash::hash(data, QCryptographicHash::Sha256), sha256);
}

bool isDue(const std::optional<QDateTime>& last, const QDateTime& now) {
    if (!last) return true;
    const qint64 ago = last->secsTo(now);
    return ago >= checkIntervalSeconds || ago < 0;
}

QString currentVersion() {
    const QString running = Bundle::running();
    if (running.isEmpty()) return QStringLiteral(OMBREL_VERSION);
    const std::optional<Bundle::Info> info = Bundle::readInfo(running);
    return info ? info->version : QStringLiteral("0");
}

QString bundle() {
    return state().bundleSet ? state().bundle : Bundle::running();
}

void setBundle(const QString& folder) {
    state().bundle = folder;
    state().bundleSet = true;
}

bool canInstall() {
    if (UpdatesConfig::current().teamId.isEmpty()) return false;
    const QString folder = bundle();
    // The swap renames the bundle, so its parent folder must be ours to change.
    return !folder.isEmpty() && QFileInfo(QFileInfo(folder).absolutePath()).isWritable();
}

bool isSigned(const QString& folder, const QString& team) {
    if (team.isEmpty() || bundle().isEmpty()) return false;
    const Installer::Target running = Installer::targetFor(bundle());
    const Outcome<Manifest> checked =
        Signing::checkBundle(folder, running.keysFolder, running.identifier, team);
    if (!checked) qCInfo(logUpdates) << folder << "is not signed:" << checked.message();
    return checked.isOk();
}

void fetchFeed(const QUrl& address, QObject* context, std::function<void(std::optional<Feed>)> done) {
    QNetworkRequest request(address);
    request.setTransferTimeout(feedTimeoutMs);
    QNetworkReply* reply = Network::access().get(request);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > maxFeedBytes) reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, done = std::move(done)] {
        reply->deleteLater();
        // The answer's status is not examined: an error page simply does not decode.
        const QNetworkReply::NetworkError error = reply->error();
        const bool answered =
            error == QNetworkReply::NoError ||
            (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
            (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
        if (!answered) {
            qCInfo(logUpdates) << "the feed could not be fetched:" << reply->errorString();
            done(std::nullopt);
            return;
        }
        done(decodeFeed(reply->readAll()));
    });
}

void check(bool saying) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!saying && !isDue(UpdatesSettings::date(Keys::lastUpdateCheck), now)) return;
    UpdatesSettings::setDate(Keys::lastUpdateCheck, now);
    const QUrl address(UpdatesSettings::feedAddress(), QUrl::StrictMode);
    if (!address.isValid() || address.scheme().isEmpty() || address.host().isEmpty()) return;
    fetchFeed(address, QCoreApplication::instance(), [saying](std::optional<Feed> feed) {
        if (!feed) {
            if (saying)
                Permissions::show(QStringLiteral("Couldn't check for updates"),
                                  QStringLiteral("Check your internet and try again."));
            return;
        }
        if (isNewer(feed->version, currentVersion())) {
            offer(*feed);
        } else if (saying) {
            Permissions::show(QStringLiteral("You're up to date"), QStringLiteral("Version ") +
                                                                       currentVersion() +
                                                                       QStringLiteral(" is the latest."));
        }
    });
}

void offer(const Feed& feed) {
    // The offer that is installing stays: its outcome is what the user waits for.
    if (state().installing) return;
    if (GlassPrompt* old = state().prompt) {
        old->dismiss();
        old->deleteLater();
    }
    const bool installs = canInstall();
    auto* prompt = new GlassPrompt(QStringLiteral("Later"), promptWidth);
    prompt->setObjectName(QStringLiteral("updateOffer"));
    prompt->say(QStringLiteral("Version ") + feed.version + QStringLiteral(" is ready"),
                feed.notes.value_or(QStringLiteral("A newer Ombrel Capture is available.")),
                installs ? QStringLiteral("Update Now") : QStringLiteral("Get It"));
    prompt->setPrimaryHighlighted(true);
    state().prompt = prompt;
    const QPointer<GlassPrompt> weak(prompt);
    prompt->onSecondary = [weak] {
        if (weak) weak->dismiss(); // nothing is remembered: the next daily check offers it again
    };
    prompt->onPrimary = [weak, feed, installs] {
        if (!weak) return;
        if (!installs) {
            weak->dismiss();
            Platform::workspace().open(QUrl(UpdatesConfig::current().website));
            return;
        }
        startInstall(feed, weak);
    };
    openWhenAlone(prompt);
}

GlassPrompt* prompt() {
    return state().prompt;
}

void setQuit(std::function<void()> quit) {
    state().quit = std::move(quit);
}

void setInstallForTests(std::function<QString(const Feed&)> install) {
    state().install = std::move(install);
}

void waitForReplacedInstance() {
    const QByteArray value = qgetenv(replacesVariable);
    if (value.isEmpty()) return;
    qunsetenv(replacesVariable); // not passed on to programs this one starts
    bool ok = false;
    const pid_t pid = pid_t(value.toLongLong(&ok));
    if (!ok || pid <= 1 || pid == ::getpid()) return;
    auto running = [pid] {
        if (::kill(pid, 0) != 0 && errno == ESRCH) return false;
        // An ended process whose parent has not collected it yet counts as ended.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) return false;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        return close < 0 || line.mid(close + 2, 1) != "Z";
    };
    QElapsedTimer waited;
    waited.start();
    while (running() && waited.elapsed() < replacedInstanceWaitMs)
        QThread::msleep(50);
}

} // namespace ombrel::Updater
