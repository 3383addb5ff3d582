#include "CloudDrive.h"

#include "platform/Log.h"
#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

namespace ombrel {

namespace {

// Sync folders in the home folder: the prefix their clients give them and the drive's name.
// A second account's folder carries more after the prefix ("OneDrive-Contoso",
// "Dropbox (Personal)", "Nextcloud2"), which the name shows in parentheses.
struct SyncFolder {
    QLatin1String prefix;
    QLatin1String name;
    bool exact; // only the folder of exactly this name
};
constexpr SyncFolder syncFolders[] = {
    {QLatin1String("Dropbox"), QLatin1String("Dropbox"), false},
    {QLatin1String("OneDrive"), QLatin1String("OneDrive"), false},
    {QLatin1String("Nextcloud"), QLatin1String("Nextcloud"), false},
    {QLatin1String("ownCloud"), QLatin1String("ownCloud"), false},
    {QLatin1String("pCloudDrive"), QLatin1String("pCloud Drive"), true},
};

// What follows a client's prefix, without the separators around it: "-Contoso" and
// " (Contoso)" are both "Contoso".
QString accountPart(QStringView rest) {
    qsizetype from = 0, to = rest.size();
    auto separator = [](QChar c) { return c.isSpace() || c == u'-' || c == u'_' || c == u'(' || c == u')'; };
    while (from < to && separator(rest[from]))
        ++from;
    while (to > from && separator(rest[to - 1]))
        --to;
    return rest.mid(from, to - from).toString();
}

} // namespace

QString CloudDrive::copiesFolder() const {
    return folder + QLatin1Char('/') + copiesFolderName;
}

QString CloudDrive::defaultHome() {
    return QDir::homePath();
}

QString CloudDrive::defaultMounts() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/gvfs");
}

std::optional<CloudDrive> CloudDrive::fromHomeEntry(const QString& entry, const QString& folder) {
    for (const SyncFolder& sync : syncFolders) {
        if (!entry.startsWith(sync.prefix)) continue;
        const QString account = accountPart(QStringView(entry).mid(sync.prefix.size()));
        if (account.isEmpty()) return CloudDrive{sync.name, folder};
        if (sync.exact) return std::nullopt;
        return CloudDrive{sync.name + QStringLiteral(" (") + account + QLatin1Char(')'), folder};
    }
    return std::nullopt;
}

std::optional<CloudDrive> CloudDrive::fromMount(const QString& entry, const QString& folder) {
    // gvfs names a mount by its type and its keys: "google-drive:host=gmail.com,user=alice".
    // The mount's top is the account's own drive ("My Drive").
    static const QLatin1String google("google-drive:");
    if (!entry.startsWith(google)) return std::nullopt;
    QString host, user;
    for (const QString& pair : entry.mid(google.size()).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString key = pair.left(eq), value = QUrl::fromPercentEncoding(pair.mid(eq + 1).toUtf8());
        if (key == QLatin1String("host")) host = value;
        if (key == QLatin1String("user")) user = value;
    }
    if (user.isEmpty() && host.isEmpty()) return std::nullopt;
    const QString account = user.isEmpty() ? host : host.isEmpty() ? user : user + QLatin1Char('@') + host;
    return CloudDrive{QStringLiteral("Google Drive (") + account + QLatin1Char(')'), folder};
}

QList<CloudDrive> CloudDrive::all(const QString& home, const QString& mounts) {
    QList<CloudDrive> drives;
    auto scan = [&drives](const QString& where, auto recognise) {
        if (where.isEmpty()) return;
        const QFileInfoList entries =
            QDir(where).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo& entry : entries)
            if (auto drive = recognise(entry.fileName(), entry.absoluteFilePath())) drives.append(*drive);
    };
    scan(home, &CloudDrive::fromHomeEntry);
    scan(mounts, &CloudDrive::fromMount);
    std::stable_sort(drives.begin(), drives.end(), [](const CloudDrive& a, const CloudDrive& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return drives;
}

QString CloudDrive::freeName(const QString& folder, const QString& fileName) {
    const QDir dir(folder);
    QString candidate = dir.filePath(fileName);
    const QFileInfo info(fileName);
    const QString stem = info.completeBaseName();
    const QString dotExt = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = dir.filePath(stem + QLatin1Char(' ') + QString::number(n) + dotExt);
    return candidate;
}

Outcome<QStringList> CloudDrive::save(const QStringList& files) const {
    using Result = Outcome<QStringList>;
    const QString target = copiesFolder();
    if (!QDir().mkpath(target) || !QFileInfo(target).isDir())
        return Result::fail(Failure::Permanent, QStringLiteral("Couldn't make the folder %1.").arg(target));
    QStringList copies;
    for (const QString& file : files) {
        if (!QFileInfo(file).isFile())
            return Result::fail(Failure::Permanent, QStringLiteral("There is no file %1.").arg(file));
        const QString copy = freeName(target, QFileInfo(file).fileName());
        if (const QString error = PrivateFiles::copyFile(file, copy); !error.isEmpty()) {
            qCWarning(logSending) << "copy to" << name << "failed:" << error;
            return Result::fail(Failure::Permanent, error);
        }
        copies.append(copy);
    }
    return Result::ok(copies);
}

} // namespace ombrel
