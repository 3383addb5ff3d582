#include "PrivateFiles.h"

#include "Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ombrel::PrivateFiles {

namespace {

QString randomPart() {
    return QUuid::createUuid().toString(QUuid::Id128).left(12);
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// Creates the folder chain with 0700 for every level it makes, and narrows the last one.
bool ensurePrivateFolder(const QString& path) {
    const QString parent = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(parent) && !QDir().mkpath(parent)) return false;
    if (::mkdir(native(path).constData(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0077) != 0 && ::chmod(native(path).constData(), 0700) != 0) return false;
    return true;
}

QString largeFolder() {
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/ombrel-capture/work");
}

// Copies the bytes of `from` into a new file `partial` made with `mode`, flushed to disk.
QString copyInto(const QString& from, const QString& partial, mode_t mode) {
    const int in = ::open(native(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return QStringLiteral("Couldn't read %1: %2.")
            .arg(from, QString::fromLocal8Bit(std::strerror(errno)));
    const int out = ::open(native(partial).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        return QStringLiteral("Couldn't write %1: %2.")
            .arg(partial, QString::fromLocal8Bit(std::strerror(e)));
    }
    QString error;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = QString::fromLocal8Bit(std::strerror(errno));
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                error = QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
            done += w;
        }
        if (!error.isEmpty()) break;
    }
    if (error.isEmpty() && ::fsync(out) != 0) error = QString::fromLocal8Bit(std::strerror(errno));
    if (::close(out) != 0 && error.isEmpty()) error = QString::fromLocal8Bit(std::strerror(errno));
    ::close(in);
    if (!error.isEmpty()) {
        ::unlink(native(partial).constData());
        return QStringLiteral("Couldn't write %1: %2.").arg(QFileInfo(partial).absolutePath(), error);
    }
    return {};
}

QString copyThenRename(const QString& from, const QString& to) {
    struct stat st {};
    const mode_t mode = ::stat(native(from).constData(), &st) == 0 ? (st.st_mode & 0777) : 0600;
    const QFileInfo target(to);
    const QString partial = target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                            QStringLiteral(".") + randomPart() + QStringLiteral(".part");
    if (QString error = copyInto(from, partial, mode); !error.isEmpty()) return error;
    if (std::rename(native(partial).constData(), native(to).constData()) != 0) {
        const int e = errno;
        ::unlink(native(partial).constData());
        return QStringLiteral("Couldn't name the file %1: %2.")
            .arg(to, QString::fromLocal8Bit(std::strerror(e)));
    }
    return {};
}

} // namespace

QString folder(Size size) {
    if (size == Size::Small) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
            const QString path = runtime + QStringLiteral("/ombrel-capture");
            if (ensurePrivateFolder(path)) return path;
        }
    }
    const QString path = largeFolder();
    if (!ensurePrivateFolder(path)) qCWarning(logPlatform) << "could not make the private folder" << path;
    return path;
}

Outcome<QString> makeFolder(const QString& prefix, Size size) {
    const QString base = folder(size);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString path = base + QLatin1Char('/') + prefix + randomPart();
        if (::mkdir(native(path).constData(), 0700) == 0) return Outcome<QString>::ok(path);
        if (errno != EEXIST)
            return Outcome<QString>::fail(Failure::Permanent,
                                          QStringLiteral("Couldn't make a folder in %1: %2.")
                                              .arg(base, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return Outcome<QString>::fail(Failure::Temporary,
                                  QStringLiteral("Couldn't make a folder in %1.").arg(base));
}

Outcome<QString> makeFile(const QString& prefix, const QString& suffix, Size size, const QString& inFolder) {
    const QString base = inFolder.isEmpty() ? folder(size) : inFolder;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString path = base + QLatin1Char('/') + prefix + randomPart() + suffix;
        const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return Outcome<QString>::ok(path);
        }
        if (errno != EEXIST)
            return Outcome<QString>::fail(Failure::Permanent,
                                          QStringLiteral("Couldn't make a file in %1: %2.")
                                              .arg(base, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return Outcome<QString>::fail(Failure::Temporary,
                                  QStringLiteral("Couldn't make a file in %1.").arg(base));
}

bool restrict(const QString& path) {
    return ::chmod(native(path).constData(), 0600) == 0;
}

QString moveFile(const QString& from, const QString& to) {
    if (std::rename(native(from).constData(), native(to).constData()) == 0) return {};
    if (errno != EXDEV)
        return QStringLiteral("Couldn't move the file to %1: %2.")
            .arg(to, QString::fromLocal8Bit(std::strerror(errno)));
    if (QString error = copyThenRename(from, to); !error.isEmpty()) return error;
    if (::unlink(native(from).constData()) != 0)
        qCWarning(logPlatform) << "moved, but could not remove" << from;
    return {};
}

QString copyFile(const QString& from, const QString& to) {
    return copyThenRename(from, to);
}

} // namespace ombrel::PrivateFiles
