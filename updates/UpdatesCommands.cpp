#include "UpdatesCommands.h"

#include "CrashCheck.h"
#include "Installer.h"
#include "Updater.h"
#include "UpdatesConfig.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QTextStream>

namespace ombrel {

int checkForUpdatesCommand(const QStringList& args) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString address = UpdatesSettings::feedAddress();
    bool install = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--feed")) {
            if (i + 1 >= args.size()) {
                err << "--feed needs the feed's address: check-for-updates --feed URL.\n";
                return 2;
            }
            address = args[++i];
        } else if (args[i] == QLatin1String("--install")) {
            install = true;
        } else {
            err << "Unknown option \"" << args[i] << "\": check-for-updates [--feed URL] [--install].\n";
            return 2;
        }
    }

    // As when the user asks from the menu: no daily limit, and the date is noted.
    UpdatesSettings::setDate(Keys::lastUpdateCheck, QDateTime::currentDateTimeUtc());
    const QUrl url(address, QUrl::StrictMode);
    std::optional<Updater::Feed> feed;
    if (url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty()) {
        QEventLoop loop;
        Updater::fetchFeed(url, &loop, [&](std::optional<Updater::Feed> fetched) {
            feed = std::move(fetched);
            loop.quit();
        });
        loop.exec();
    }
    if (!feed) {
        out << "Couldn't check for updates\nCheck your internet and try again.\n";
        return 1;
    }
    const QString current = Updater::currentVersion();
    if (!Updater::isNewer(feed->version, current)) {
        out << "You're up to date\nVersion " << current << " is the latest.\n";
        return 0;
    }
    out << "Version " << feed->version << " is ready\n"
        << feed->notes.value_or(QStringLiteral("A newer Ombrel Capture is available.")) << '\n';
    if (!install) return 0;
    if (!Updater::canInstall()) {
        out << "This copy can't update itself: it doesn't run from a bundle it may replace. Get the new "
               "version at "
            << UpdatesConfig::current().website << ".\n";
        return 1;
    }
    out << "Updating…\n";
    out.flush();
    const QString error = Installer::install(*feed, Installer::targetFor(Updater::bundle()));
    if (!error.isEmpty()) {
        out << "The update didn't install\n" << error << '\n';
        return 1;
    }
    out << "Version " << feed->version << " is installed.\n";
    return 0;
}

int crashSummaryCommand(const QStringList& args) {
    QTextStream err(stderr);
    if (args.size() != 1) {
        err << "Say which report: crash-summary REPORT.\n";
        return 2;
    }
    QFile file(args.first());
    if (!file.open(QIODevice::ReadOnly)) {
        err << "Couldn't read " << args.first() << ".\n";
        return 1;
    }
    const std::optional<QJsonObject> summary = CrashCheck::summary(file.readAll());
    if (!summary) {
        err << args.first() << " isn't a crash report: it should be a line of JSON, then a JSON object.\n";
        return 1;
    }
    QTextStream(stdout) << QJsonDocument(*summary).toJson(QJsonDocument::Indented);
    return 0;
}

} // namespace ombrel
