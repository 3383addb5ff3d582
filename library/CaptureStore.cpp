#include "CaptureStore.h"

#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Notifier.h"
#include "platform/Platform.h"
#include "platform/PrivateFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QTimeZone>
#include <QUuid>
#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ombrel {

namespace {

QString& folderOverride() {
    static QString path;
    return path;
}

QSet<QString>& promisedNames() {
    static QSet<QString> names;
    return names;
}

CaptureStore::WordsReader& wordsReader() {
    static CaptureStore::WordsReader reader;
    return reader;
}

const QLocale& posix() {
    static const QLocale locale(QLocale::C);
    return locale;
}

const QLocale& british() {
    static const QLocale locale(QLocale::English, QLocale::UnitedKingdom);
    return locale;
}

// Dates far before any real file, standing in for "no modification date".
QDateTime distantPast() {
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

void ensureFolder(const QString& folder) {
    if (!QDir().mkpath(folder))
        throw StoreError(QStringLiteral("Couldn't create the folder %1.").arg(folder).toStdString());
}

} // namespace

QString CaptureStore::defaultFolder() {
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty() || pictures == QDir::homePath())
        pictures = QDir::homePath() + QStringLiteral("/Pictures");
    return pictures + QStringLiteral("/Ombrel Capture");
}

QString CaptureStore::folder() {
    const QString& o = folderOverride();
    return o.isEmpty() ? defaultFolder() : o;
}

void CaptureStore::setFolder(const QString& path) {
    folderOverride() = path;
}

QString CaptureStore::marksFolder() {
    return folder() + QStringLiteral("/.marks");
}

QString CaptureStore::rawValue(FileKind kind) {
    switch (kind) {
    case FileKind::Video:
        return QStringLiteral("Video");
    case FileKind::Image:
        return QStringLiteral("Image");
    case FileKind::Crop:
        return QStringLiteral("Crop");
    }
    return {};
}

QString CaptureStore::extension(FileKind kind) {
    return kind == FileKind::Video ? QStringLiteral("mp4") : QStringLiteral("png");
}

QString CaptureStore::dateFolderName(const QDateTime& date) {
    return posix().toString(date.toLocalTime(), QStringLiteral("yyyy-MM-dd"));
}

QString CaptureStore::baseName(FileKind kind, const QDateTime& date) {
    return QStringLiteral("Ombrel Capture ") + rawValue(kind) + QLatin1Char('_') +
           posix().toString(date.toLocalTime(), QStringLiteral("HHmmddMMyyyy"));
}

QString CaptureStore::newFileURL(bool cropped) {
    const FileKind kind = cropped ? FileKind::Crop : FileKind::Image;
    return nextVersion(baseName(kind), extension(kind));
}

QString CaptureStore::newRecordingURL() {
    return nextVersion(baseName(FileKind::Video), QStringLiteral("mp4"));
}

QString CaptureStore::newStepsURL() {
    QString base = baseName(FileKind::Image);
    base.replace(rawValue(FileKind::Image) + QLatin1Char('_'), QStringLiteral("Steps_"));
    return nextVersion(base, QStringLiteral("pdf"));
}

QString CaptureStore::nextVersion(const QString& base, const QString& ext) {
    return nextVersionIn(base, ext, folder() + QLatin1Char('/') + dateFolderName());
}

QString CaptureStore::nextVersionAfter(const QString& path) {
    const QFileInfo info(path);
    QString base = info.completeBaseName();
    base.remove(QRegularExpression(versionPattern));
    return nextVersionIn(base, info.suffix(), info.absolutePath());
}

QString CaptureStore::nextVersionIn(const QString& base, const QString& ext, const QString& folder) {
    ensureFolder(folder);
    const QString dir = QDir(folder).absolutePath();
    for (int n = 1;; ++n) {
        const QString candidate = dir + QLatin1Char('/') + base + QStringLiteral("_V") + QString::number(n) +
                                  QLatin1Char('.') + ext;
        if (promisedNames().contains(candidate) || QFileInfo::exists(candidate)) continue;
        promisedNames().insert(candidate);
        return candidate;
    }
}

void CaptureStore::forgetReservedNames() {
    promisedNames().clear();
}

bool CaptureStore::isOurs(const QString& path) {
    static const QSet<QString> ours{"png", "jpg", "jpeg", "heic", "gif", "tiff", "mp4", "mov", "m4v", "pdf"};
    return ours.contains(QFileInfo(path).suffix().toLower());
}

bool CaptureStore::isVideo(const QString& path) {
    return QFileInfo(path).suffix().toLower() == QLatin1String("mp4");
}

bool CaptureStore::save(const QByteArray& data, const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) return false;
    noteChange();
    return true;
}

QString CaptureStore::adopt(const QString& path, bool keepOriginal) {
    const QFileInfo source(path);
    if (!source.exists())
        throw StoreError(QStringLiteral("The file %1 doesn't exist.").arg(path).toStdString());
    const QString day = folder() + QLatin1Char('/') + dateFolderName();
    ensureFolder(day);
    const QString stem = source.completeBaseName();
    const QString dotExt = source.suffix().isEmpty() ? QString() : QLatin1Char('.') + source.suffix();
    QString target = day + QLatin1Char('/') + source.fileName();
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = day + QLatin1Char('/') + stem + QLatin1Char(' ') + QString::number(n) + dotExt;
    // Whole or not at all: the library's name only ever holds the complete file.
    const QString error =
        keepOriginal ? PrivateFiles::copyFile(path, target) : PrivateFiles::moveFile(path, target);
    if (!error.isEmpty()) {
        qCWarning(logLibrary) << "Couldn't bring" << path << "into the library:" << error;
        throw StoreError(
            QStringLiteral("Couldn't move %1 into the library.").arg(source.fileName()).toStdString());
    }
    noteChange();
    return target;
}

QDateTime CaptureStore::modified(const QString& path) {
    const QFileInfo info(path);
    const QDateTime m = info.exists() ? info.lastModified() : QDateTime();
    return m.isValid() ? m : distantPast();
}

QStringList CaptureStore::all() {
    struct Entry {
        QString path;
        QDateTime modified;
    };
    QList<Entry> entries;
    // QDir::Hidden is left out, so ".marks" and other hidden files are skipped.
    QDirIterator it(folder(), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (!info.isFile() || !isOurs(info.filePath())) continue;
        const QDateTime m = info.lastModified();
        entries.append({info.filePath(), m.isValid() ? m : distantPast()});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.modified > b.modified; });
    QStringList paths;
    paths.reserve(entries.size());
    for (const auto& e : entries)
        paths.append(e.path);
    return paths;
}

QStringList CaptureStore::recent() {
    return all().mid(0, shownLimit);
}

QStringList CaptureStore::older(int days, const QDateTime& now) {
    const QDate cutoffDay = now.toLocalTime().date().addDays(-days);
    const QDateTime cutoff = cutoffDay.startOfDay();
    QStringList result;
    for (const QString& path : all())
        if (modified(path) < cutoff) result.append(path);
    return result;
}

QString dayTitle(const QDateTime& date, const QDateTime& now) {
    const QDate day = date.toLocalTime().date();
    const QDate today = now.toLocalTime().date();
    if (day == today) return QStringLiteral("Today");
    if (day == today.addDays(-1)) return QStringLiteral("Yesterday");
    const qint64 count = day.daysTo(today);
    if (count >= 0 && count <= 6) return british().toString(day, QStringLiteral("dddd"));
    if (day.year() == today.year()) return british().toString(day, QStringLiteral("ddd d MMM"));
    return british().toString(day, QStringLiteral("ddd d MMM yyyy"));
}

void CaptureStore::setWordsReader(WordsReader reader) {
    wordsReader() = std::move(reader);
}

QString CaptureStore::searchableText(const QString& path, const QDateTime& now) {
    const QString name = QFileInfo(path).fileName();
    QString kindWords;
    if (isVideo(path))
        kindWords = QStringLiteral("video recording");
    else if (name.contains(QLatin1String(" Crop_")))
        kindWords = QStringLiteral("crop picture screenshot");
    else
        kindWords = QStringLiteral("picture screenshot image");
    const QDateTime m = modified(path).toLocalTime();
    const QString dateWords = british().toString(m, QStringLiteral("dddd d MMMM yyyy MMM dd/MM/yyyy"));
    const QString words = wordsReader() ? wordsReader()(path) : QString();
    return QStringList{name, kindWords, dayTitle(m, now), dateWords, words}.join(QLatin1Char(' ')).toLower();
}

QStringList CaptureStore::search(const QString& query, const std::optional<QStringList>& list,
                                 const QDateTime& now) {
    const QStringList files = list ? *list : all();
    const QStringList words =
        query.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.isEmpty()) return files;
    QStringList result;
    for (const QString& path : files) {
        const QString text = searchableText(path, now);
        if (std::all_of(words.begin(), words.end(), [&](const QString& w) { return text.contains(w); }))
            result.append(path);
    }
    return result;
}

std::optional<QString> CaptureStore::moveToTrash(const QString& path) {
    auto where = Platform::trash().moveToTrash(path);
    noteChange();
    return where;
}

bool CaptureStore::restore(const QString& trashed, const QString& original) {
    if (!QFileInfo::exists(trashed) || QFileInfo::exists(original)) return false;
    if (!QDir().mkpath(QFileInfo(original).absolutePath())) return false;
    if (!Platform::trash().putBack(trashed, original)) return false;
    noteChange();
    return true;
}

void CaptureStore::trash(const QStringList& paths) {
    for (const QString& path : paths)
        Platform::trash().moveToTrash(path);
    noteChange();
}

void CaptureStore::clearAll() {
    trash(all());
}

int CaptureStore::sortIntoDateFolders() {
    const QDir root(folder());
    int moved = 0;
    const QFileInfoList entries = root.entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries) {
        if (!isOurs(info.fileName())) continue;
        const QDateTime m = info.lastModified();
        const QString day = root.filePath(dateFolderName(m.isValid() ? m : QDateTime::currentDateTime()));
        if (!QDir().mkpath(day)) continue;
        const QString target = day + QLatin1Char('/') + info.fileName();
        if (QFileInfo::exists(target)) continue;
        if (PrivateFiles::moveFile(info.filePath(), target).isEmpty()) ++moved;
    }
    if (moved > 0) noteChange();
    return moved;
}

void CaptureStore::noteChange() {
    Q_EMIT Notifier::instance().CaptureStoreDidChange();
}

QString RecordingFiles::newTemporaryFile(const QString& folder) {
    const Outcome<QString> made =
        PrivateFiles::makeFile(prefix, QStringLiteral(".mp4"), PrivateFiles::Size::Large, folder);
    if (!made) {
        qCWarning(logLibrary) << "No private file for a recording:" << made.message();
        return {};
    }
    return made.value();
}

RecordingFiles::Lease::Lease(const QString& path) {
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RecordingFiles::Lease::~Lease() {
    if (m_fd >= 0) ::close(m_fd); // closing releases the lock
}

namespace {

int recoverIn(const QString& folder, bool othersMayWriteHere) {
    const QDir dir(folder);
    int moved = 0;
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : files) {
        if (!info.fileName().startsWith(RecordingFiles::prefix) || info.suffix() != QLatin1String("mp4"))
            continue;
        if (othersMayWriteHere && info.ownerId() != ::getuid()) continue; // another user's, not ours to take
        const RecordingFiles::Lease lease(info.filePath());
        if (!lease.isHeld()) continue; // still being written
        if (info.size() == 0) {
            // Just made and not yet locked by its writer, or left empty by a failed start.
            if (info.lastModified().secsTo(QDateTime::currentDateTime()) > 60) QFile::remove(info.filePath());
            continue;
        }
        try {
            const QString to = CaptureStore::newRecordingURL();
            if (const QString error = PrivateFiles::moveFile(info.filePath(), to); error.isEmpty())
                ++moved;
            else
                qCWarning(logLibrary) << "Couldn't recover the recording" << info.filePath() << ":" << error;
        } catch (const StoreError& e) {
            qCWarning(logLibrary) << "Couldn't recover the recording" << info.filePath() << ":" << e.what();
        }
    }
    return moved;
}

} // namespace

int RecordingFiles::recoverStranded(const QString& folder) {
    int moved = 0;
    if (!folder.isEmpty()) {
        moved = recoverIn(folder, false);
    } else {
        moved = recoverIn(PrivateFiles::folder(PrivateFiles::Size::Large), false) +
                recoverIn(QDir::tempPath(), true);
    }
    if (moved > 0) CaptureStore::noteChange();
    return moved;
}

bool PageAddress::isOn() {
    return !Defaults::get(Keys::noPageAddress);
}
void PageAddress::setOn(bool on) {
    Defaults::set(Keys::noPageAddress, !on);
}

} // namespace ombrel
