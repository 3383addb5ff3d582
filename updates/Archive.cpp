#include "Archive.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QList>

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace ombrel::Archive {

namespace {

constexpr size_t blockBytes = 64 * 1024;

struct ReadFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteFree {
    void operator()(archive* a) const { archive_write_free(a); }
};

// A file descriptor closed when it goes.
class Fd {
  public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(Fd&& o) noexcept : m_fd(std::exchange(o.m_fd, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            m_fd = std::exchange(o.m_fd, -1);
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

  private:
    void reset() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    int m_fd;
};

QString shown(const QByteArray& name) {
    return QFile::decodeName(name);
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The parts of an entry's name, or why the name leaves the folder.
QString splitName(const QByteArray& name, QList<QByteArray>& parts) {
    if (name.isEmpty()) return QStringLiteral("The update holds an entry without a name.");
    if (name.startsWith('/'))
        return QStringLiteral("The update holds “%1”, a path outside its folder.").arg(shown(name));
    for (const QByteArray& part : name.split('/')) {
        if (part.isEmpty() || part == ".") continue;
        if (part == "..")
            return QStringLiteral("The update holds “%1”, a path outside its folder.").arg(shown(name));
        parts.append(part);
    }
    if (parts.isEmpty()) return QStringLiteral("The update holds an entry without a name.");
    return {};
}

// True when a link at depth `depth` below the top (the number of folders above it) that
// points to `target` stays inside the top folder.
bool staysInside(const QByteArray& target, qsizetype depth) {
    if (target.isEmpty() || target.startsWith('/')) return false;
    for (const QByteArray& part : target.split('/')) {
        if (part.isEmpty() || part == ".") continue;
        if (part == "..") {
            if (--depth < 0) return false;
        } else {
            ++depth;
        }
    }
    return true;
}

// Opens (making when missing) each folder of `parts` below `root`, never through a link.
Fd openFolders(int root, const QList<QByteArray>& parts, qsizetype count, QString& error) {
    Fd current(::dup(root));
    for (qsizetype i = 0; i < count; ++i) {
        const char* part = parts[i].constData();
        if (::mkdirat(current.get(), part, 0755) != 0 && errno != EEXIST) {
            error = QStringLiteral("Couldn't make a folder: %1.").arg(systemError());
            return Fd();
        }
        Fd next(::openat(current.get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) {
            error = QStringLiteral("The update writes through “%1”, which is not a folder.")
                        .arg(shown(parts.mid(0, i + 1).join('/')));
            return Fd();
        }
        current = std::move(next);
    }
    return current;
}

QString damaged(archive* a) {
    const char* why = archive_error_string(a);
    return QStringLiteral("The update archive is damaged (%1).")
        .arg(why ? QString::fromLocal8Bit(why) : QStringLiteral("unreadable"));
}

QString writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return QStringLiteral("Couldn't write the update: %1.").arg(systemError());
        }
        data += n;
        size -= size_t(n);
    }
    return {};
}

} // namespace

QString unpack(const QString& archivePath, const QString& into, qint64 limitBytes) {
    std::unique_ptr<archive, ReadFree> a(archive_read_new());
    archive_read_support_filter_all(a.get());
    archive_read_support_format_zip(a.get());
    archive_read_support_format_tar(a.get());
    if (archive_read_open_filename(a.get(), QFile::encodeName(archivePath).constData(), blockBytes) !=
        ARCHIVE_OK)
        return damaged(a.get());
    Fd root(::open(QFile::encodeName(into).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root) return QStringLiteral("Couldn't open the working folder: %1.").arg(systemError());

    qint64 written = 0;
    int entries = 0;
    const QString tooLarge =
        QStringLiteral("The update unpacks to more than %1 MB.").arg(limitBytes / (1024 * 1024));
    std::unique_ptr<char[]> buffer(new char[blockBytes]);
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(a.get(), &entry);
        if (status == ARCHIVE_EOF) break;
        if (status < ARCHIVE_WARN) return damaged(a.get());
        if (++entries > maxEntries) return QStringLiteral("The update holds too many files.");

        const QByteArray name(archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "");
        QList<QByteArray> parts;
        if (QString error = splitName(name, parts); !error.isEmpty()) return error;
        const mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) || (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK))
            return QStringLiteral("The update holds “%1”, which is not a file, folder or link.")
                .arg(shown(name));

        QString error;
        const bool isFolder = type == AE_IFDIR;
        const Fd folder = openFolders(root.get(), parts, isFolder ? parts.size() : parts.size() - 1, error);
        if (!folder) return error;
        if (isFolder) continue;
        const char* last = parts.last().constData();

        if (type == AE_IFLNK) {
            const QByteArray target(archive_entry_symlink(entry) ? archive_entry_symlink(entry) : "");
            if (!staysInside(target, parts.size() - 1))
                return QStringLiteral("The update holds a link “%1” that points outside its folder.")
                    .arg(shown(name));
            if (::symlinkat(target.constData(), folder.get(), last) != 0)
                return QStringLiteral("The update holds “%1” twice, or it can't be made: %2.")
                    .arg(shown(name), systemError());
            continue;
        }

        const mode_t mode = (archive_entry_perm(entry) & 0100) ? 0755 : 0644;
        const Fd file(
            ::openat(folder.get(), last, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!file)
            return QStringLiteral("The update holds “%1” twice, or it can't be made: %2.")
                .arg(shown(name), systemError());
        for (;;) {
            const la_ssize_t n = archive_read_data(a.get(), buffer.get(), blockBytes);
            if (n == 0) break;
            if (n < 0) return damaged(a.get());
            written += n;
            if (written > limitBytes) return tooLarge;
            if (QString e = writeAll(file.get(), buffer.get(), size_t(n)); !e.isEmpty()) return e;
        }
        ::fchmod(file.get(), mode); // the process's umask narrowed what open gave it
    }
    return {};
}

QString pack(const QString& folder, const QString& topName, const QString& archivePath) {
    std::unique_ptr<archive, WriteFree> a(archive_write_new());
    const QString lower = archivePath.toLower();
    int status = ARCHIVE_OK;
    if (lower.endsWith(QLatin1String(".zip"))) {
        status = archive_write_set_format_zip(a.get());
    } else {
        status = archive_write_set_format_pax_restricted(a.get());
        if (lower.endsWith(QLatin1String(".gz")) || lower.endsWith(QLatin1String(".tgz")))
            status = std::min(status, archive_write_add_filter_gzip(a.get()));
        else if (lower.endsWith(QLatin1String(".xz")))
            status = std::min(status, archive_write_add_filter_xz(a.get()));
    }
    if (status != ARCHIVE_OK ||
        archive_write_open_filename(a.get(), QFile::encodeName(archivePath).constData()) != ARCHIVE_OK) {
        const char* why = archive_error_string(a.get());
        return QStringLiteral("Couldn't write %1: %2")
            .arg(archivePath, QString::fromLocal8Bit(why ? why : "?"));
    }

    const QString root = QDir::cleanPath(folder);
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    paths.sort(); // the same folder packs the same way every time

    std::unique_ptr<char[]> buffer(new char[blockBytes]);
    for (const QString& path : paths) {
        const QByteArray native = QFile::encodeName(path);
        struct stat st {};
        if (::lstat(native.constData(), &st) != 0) return QStringLiteral("Couldn't read %1").arg(path);
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            archive_entry_free);
        const QByteArray name = QFile::encodeName(topName + QLatin1Char('/') + path.mid(root.size() + 1));
        archive_entry_set_pathname(entry.get(), name.constData());
        archive_entry_set_mtime(entry.get(), st.st_mtime, 0);
        if (S_ISDIR(st.st_mode)) {
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
            archive_entry_set_perm(entry.get(), 0755);
        } else if (S_ISLNK(st.st_mode)) {
            QByteArray target(PATH_MAX, Qt::Uninitialized);
            const ssize_t n = ::readlink(native.constData(), target.data(), size_t(target.size()));
            if (n < 0) return QStringLiteral("Couldn't read the link %1").arg(path);
            target.truncate(n);
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_set_perm(entry.get(), 0777);
            archive_entry_set_symlink(entry.get(), target.constData());
        } else if (S_ISREG(st.st_mode)) {
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_perm(entry.get(), (st.st_mode & S_IXUSR) ? 0755 : 0644);
            archive_entry_set_size(entry.get(), st.st_size);
        } else {
            return QStringLiteral("%1 is not a file, folder or link").arg(path);
        }
        if (archive_write_header(a.get(), entry.get()) != ARCHIVE_OK)
            return QStringLiteral("Couldn't pack %1: %2")
                .arg(path, QString::fromLocal8Bit(archive_error_string(a.get())));
        if (!S_ISREG(st.st_mode)) continue;
        const Fd in(::open(native.constData(), O_RDONLY | O_CLOEXEC));
        if (!in) return QStringLiteral("Couldn't read %1").arg(path);
        for (;;) {
            const ssize_t n = ::read(in.get(), buffer.get(), blockBytes);
            if (n == 0) break;
            if (n < 0) {
                if (errno == EINTR) continue;
                return QStringLiteral("Couldn't read %1").arg(path);
            }
            if (archive_write_data(a.get(), buffer.get(), size_t(n)) != n)
                return QStringLiteral("Couldn't pack %1: %2")
                    .arg(path, QString::fromLocal8Bit(archive_error_string(a.get())));
        }
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK)
        return QStringLiteral("Couldn't finish %1: %2")
            .arg(archivePath, QString::fromLocal8Bit(archive_error_string(a.get())));
    return {};
}

} // namespace ombrel::Archive
