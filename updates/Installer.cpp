#include "Installer.h"

#include "Archive.h"
#include "Bundle.h"
#include "Manifest.h"
#include "Network.h"
#include "UpdatesConfig.h"
#include "platform/Log.h"
#include "platform/PrivateFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ombrel::Installer {

namespace {

constexpr int startCheckMs = 30000;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString systemError(int error = errno) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString replaceFailed(const QString& why) {
    return Updater::couldNotReplace + why;
}

// Removes a folder and everything in it when it goes out of scope.
class RemovedAtEnd {
  public:
    explicit RemovedAtEnd(QString path = {}) : m_path(std::move(path)) {}
    ~RemovedAtEnd() {
        if (!m_path.isEmpty() && QFileInfo::exists(m_path) && !QDir(m_path).removeRecursively())
            qCWarning(logUpdates) << "could not remove" << m_path;
    }
    void set(const QString& path) { m_path = path; }

  private:
    QString m_path;
};

// The first folder named like a bundle that holds a bundle's description, the shallowest
// first (a bundle's own share/ombrel-capture is not one).
QString findBundle(const QString& unpacked) {
    QStringList level{unpacked};
    while (!level.isEmpty()) {
        QStringList next;
        for (const QString& folder : level) {
            const QFileInfoList children =
                QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
            for (const QFileInfo& child : children) {
                if (child.isSymLink()) continue;
                if (child.fileName() == Bundle::folderName &&
                    QFileInfo::exists(child.absoluteFilePath() + QLatin1Char('/') + Bundle::infoFile))
                    return child.absoluteFilePath();
                next.append(child.absoluteFilePath());
            }
        }
        level = next;
    }
    return {};
}

// Copies a verified bundle to `to` (a new folder), keeping executability and links.
QString copyTree(const QString& from, const QString& to) {
    if (::mkdir(native(to).constData(), 0755) != 0) return systemError();
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + path.mid(from.size());
        struct stat st {};
        if (::lstat(native(path).constData(), &st) != 0) return systemError();
        if (S_ISDIR(st.st_mode)) {
            if (::mkdir(native(target).constData(), 0755) != 0) return systemError();
        } else if (S_ISLNK(st.st_mode)) {
            QByteArray link(PATH_MAX, Qt::Uninitialized);
            const ssize_t n = ::readlink(native(path).constData(), link.data(), size_t(link.size()));
            if (n < 0) return systemError();
            link.truncate(n);
            if (::symlink(link.constData(), native(target).constData()) != 0) return systemError();
        } else if (QString error = PrivateFiles::copyFile(path, target); !error.isEmpty()) {
            return error;
        }
    }
    return {};
}

// Puts `incoming` where `bundle` was and `bundle` where `incoming` was: one atomic rename
// where the file system can, else three. Answers 0 or the error number.
int exchange(const QString& incoming, const QString& bundle) {
    const QByteArray in = native(incoming), out = native(bundle);
    if (::renameat2(AT_FDCWD, in.constData(), AT_FDCWD, out.constData(), RENAME_EXCHANGE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    const QByteArray aside =
        native(bundle + QStringLiteral(".previous-") + QUuid::createUuid().toString(QUuid::Id128).left(8));
    if (std::rename(out.constData(), aside.constData()) != 0) return errno;
    if (std::rename(in.constData(), out.constData()) != 0) {
        const int error = errno;
        std::rename(aside.constData(), out.constData());
        return error;
    }
    if (std::rename(aside.constData(), in.constData()) != 0) {
        const int error = errno;
        std::rename(out.constData(), in.constData());
        std::rename(aside.constData(), out.constData());
        return error;
    }
    return 0;
}

// Runs the bundle's program as a new process and answers why it did not start and say
// `version`, or "".
QString startCheck(const QString& bundle, const QString& version) {
    QProcess program;
    program.setProgram(bundle + QLatin1Char('/') + Bundle::executable);
    program.setArguments({QStringLiteral("--version")});
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.start();
    if (!program.waitForStarted(startCheckMs)) return program.errorString();
    if (!program.waitForFinished(startCheckMs)) {
        program.kill();
        program.waitForFinished(1000);
        return QStringLiteral("it didn't answer");
    }
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        return QStringLiteral("it stopped with status %1").arg(program.exitCode());
    const QString said = QString::fromUtf8(program.readAllStandardOutput()).trimmed();
    if (said != QStringLiteral("ombrel-capture ") + version) return QStringLiteral("it says “%1”").arg(said);
    return {};
}

QString swapIn(const QString& staged, const Manifest& manifest, const Target& target) {
    QString incoming = staged;
    RemovedAtEnd copyBeside;
    int error = exchange(incoming, target.bundle);
    if (error == EXDEV) {
        // The working folder is on another disk: copy the new bundle beside the old one
        // first, and check the copy again, so the swap itself stays a rename.
        const QFileInfo bundleInfo(target.bundle);
        incoming = bundleInfo.absolutePath() + QStringLiteral("/.") + bundleInfo.fileName() +
                   QStringLiteral(".incoming-") + QUuid::createUuid().toString(QUuid::Id128).left(8);
        copyBeside.set(incoming);
        if (QString copyError = copyTree(staged, incoming); !copyError.isEmpty())
            return replaceFailed(copyError);
        if (QString difference = manifest.differenceFrom(incoming); !difference.isEmpty())
            return replaceFailed(QStringLiteral("the copy of the update differs: %1.").arg(difference));
        error = exchange(incoming, target.bundle);
    }
    if (error != 0) return replaceFailed(systemError(error));

    // The old bundle is kept at `incoming` until the new one has started.
    if (const QString why = startCheck(target.bundle, manifest.version); !why.isEmpty()) {
        qCWarning(logUpdates) << "the new version did not start:" << why;
        if (const int back = exchange(incoming, target.bundle); back != 0) {
            // Keep the old bundle out of what is removed at the end, and say where it is.
            const QString kept = target.bundle + QStringLiteral(".previous-") +
                                 QUuid::createUuid().toString(QUuid::Id128).left(8);
            copyBeside.set({});
            const QString where =
                std::rename(native(incoming).constData(), native(kept).constData()) == 0 ? kept : incoming;
            qCCritical(logUpdates) << "could not put the old version back:" << systemError(back) << "it is in"
                                   << where;
            return replaceFailed(
                QStringLiteral("the new version didn't start, and the old one is in %1.").arg(where));
        }
        return replaceFailed(QStringLiteral("the new version didn't start, so the one you had is back."));
    }
    return {};
}

} // namespace

Target targetFor(const QString& bundle) {
    const UpdatesConfig& config = UpdatesConfig::current();
    return {bundle, bundle + QLatin1Char('/') + Bundle::keysFolder, config.bundleIdentifier, config.teamId};
}

QString install(const Updater::Feed& feed, const Target& target) {
    const QUrl url(feed.url, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty())
        return Updater::couldNotDownload;
    if (target.bundle.isEmpty())
        return replaceFailed(QStringLiteral("this copy isn't installed as a bundle."));

    // Large: on the home disk, like a bundle in the user's folder, so the swap is a rename.
    Outcome<QString> work =
        PrivateFiles::makeFolder(QStringLiteral("ombrel-update-"), PrivateFiles::Size::Large);
    if (!work) return replaceFailed(work.message());
    const RemovedAtEnd removeWork(work.value());

    const QString archivePath = work.value() + QStringLiteral("/update.archive");
    QFile archive(archivePath);
    if (!archive.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return replaceFailed(archive.errorString());
    const Outcome<QByteArray> digest = Network::download(url, archive, Archive::maxUnpackedBytes);
    archive.close();
    if (!digest) {
        qCWarning(logUpdates) << "the update did not download:" << digest.message();
        return digest.failure() == Failure::Permanent ? replaceFailed(digest.message())
                                                      : Updater::couldNotDownload;
    }
    if (!Updater::matchesDigest(digest.value(), feed.sha256)) return Updater::didNotMatch;
    return installArchive(archivePath, work.value(), target, feed.version);
}

QString installArchive(const QString& archive, const QString& workFolder, const Target& target,
                       const QString& version) {
    const QString unpacked = workFolder + QStringLiteral("/unpacked");
    if (::mkdir(native(unpacked).constData(), 0700) != 0 && errno != EEXIST)
        return replaceFailed(systemError());
    if (QString error = Archive::unpack(archive, unpacked); !error.isEmpty()) {
        qCWarning(logUpdates) << "the update did not unpack:" << error;
        return replaceFailed(error);
    }
    QFile::remove(archive); // its space is better free for the swap

    const QString found = findBundle(unpacked);
    if (found.isEmpty()) {
        qCWarning(logUpdates) << "the update holds no folder" << Bundle::folderName;
        return Updater::notSigned;
    }
    Outcome<Manifest> manifest =
        Signing::checkBundle(found, target.keysFolder, target.identifier, target.team);
    if (!manifest) {
        qCWarning(logUpdates) << "the update failed its check:" << manifest.message();
        return Updater::notSigned;
    }
    const QString signedVersion = manifest.value().version;
    if (Updater::isNewer(signedVersion, version) || Updater::isNewer(version, signedVersion)) {
        qCWarning(logUpdates) << "the update is version" << signedVersion << "but" << version
                              << "was offered";
        return Updater::notSigned;
    }
    return swapIn(found, manifest.value(), target);
}

} // namespace ombrel::Installer
