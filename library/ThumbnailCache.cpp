#include "ThumbnailCache.h"

#include "CaptureStore.h"
#include "VideoPoster.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QRunnable>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

namespace ombrel {

ThumbnailCache& ThumbnailCache::instance() {
    static ThumbnailCache* cache = [] {
        auto* made = new ThumbnailCache; // lives for the run
        // No worker may still be reading a file while the program takes itself down.
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, made, [made] {
                made->dropPending();
                made->waitForIdle();
            });
        return made;
    }();
    return *cache;
}

ThumbnailCache::ThumbnailCache(qint64 limitBytes, QObject* parent) : QObject(parent) {
    m_cache.setMaxCost(limitBytes);
    // Two workers: enough to keep ahead of scrolling without taking every core.
    m_pool.setMaxThreadCount(2);
}

ThumbnailCache::~ThumbnailCache() {
    m_pool.clear();
    m_pool.waitForDone();
}

QString ThumbnailCache::key(const QString& path, QSize box) {
    // A changed file is a new thumbnail.
    const qint64 stamp = QFileInfo(path).lastModified().toMSecsSinceEpoch();
    return QStringLiteral("%1|%2|%3x%4").arg(path).arg(stamp).arg(box.width()).arg(box.height());
}

QImage ThumbnailCache::request(const QString& path, QSize box) {
    // Later requests get higher priority: the tiles painted last are the ones in view.
    return start(path, box, std::min(++m_order, 1 << 29));
}

void ThumbnailCache::prefetch(const QString& path, QSize box) {
    start(path, box, 0);
}

QImage ThumbnailCache::start(const QString& path, QSize box, int priority) {
    const QString k = key(path, box);
    if (const QImage* hit = m_cache.object(k)) return *hit;
    if (m_pending.contains(k) || m_failed.contains(k)) return {};
    m_pending.insert(k);
    QPointer<ThumbnailCache> self(this);
    m_pool.start(
        [self, k, path, box] {
            const QImage image = make(path, box);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, k, path, image] {
                    if (self) self->finished(k, path, image);
                },
                Qt::QueuedConnection);
        },
        priority);
    return {};
}

bool ThumbnailCache::failed(const QString& path, QSize box) const {
    return m_failed.contains(key(path, box));
}

void ThumbnailCache::finished(const QString& k, const QString& path, const QImage& image) {
    if (!m_pending.remove(k)) return; // dropped meanwhile
    if (image.isNull())
        m_failed.insert(k);
    else
        m_cache.insert(k, new QImage(image), std::max<qint64>(1, image.sizeInBytes()));
    Q_EMIT ready(path);
}

void ThumbnailCache::dropPending() {
    m_pool.clear();
    m_pending.clear(); // what is already running still finishes, and is then ignored
    m_order = 0;
}

void ThumbnailCache::waitForIdle() {
    m_pool.waitForDone();
}

void ThumbnailCache::clear() {
    dropPending();
    m_pool.waitForDone();
    m_cache.clear();
    m_failed.clear();
}

namespace {

QImage displayable(QImage image) {
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

QString& sharedFolderOverride() {
    static QString folder;
    return folder;
}

// The desktop's shared thumbnail sizes and the folder each is kept in.
struct SharedSize {
    int edge;
    const char* folder;
};
constexpr SharedSize sharedSizes[] = {{128, "normal"}, {256, "large"}, {512, "x-large"}, {1024, "xx-large"}};

// The smallest shared size that holds `box`, if any.
const SharedSize* sharedSizeFor(QSize box) {
    const int edge = std::max(box.width(), box.height());
    for (const SharedSize& size : sharedSizes)
        if (edge <= size.edge) return &size;
    return nullptr;
}

} // namespace

QString ThumbnailCache::sharedFolder() {
    const QString& o = sharedFolderOverride();
    if (!o.isEmpty()) return o;
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/thumbnails");
}

void ThumbnailCache::setSharedFolder(const QString& folder) {
    sharedFolderOverride() = folder;
}

QString ThumbnailCache::sharedThumbnailPath(const QString& path, QSize box) {
    const SharedSize* size = sharedSizeFor(box);
    if (!size) return {}; // larger than the desktop keeps
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
    const QString name = QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex());
    return sharedFolder() + QLatin1Char('/') + QString::fromLatin1(size->folder) + QLatin1Char('/') + name +
           QStringLiteral(".png");
}

QImage ThumbnailCache::readSource(const QString& path, QSize box) {
    if (CaptureStore::isVideo(path)) return VideoPoster::firstFrame(path, box.boundedTo(QSize(480, 480)));
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    // Reading at reduced size mangles one-bit and palette pictures: those are read whole.
    const QImage::Format format = reader.imageFormat();
    const bool indexed = format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
                         format == QImage::Format_Indexed8;
    if (!indexed && full.isValid() && (full.width() > box.width() || full.height() > box.height()))
        reader.setScaledSize(full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (!image.isNull() && (image.width() > box.width() || image.height() > box.height()))
        image = displayable(image).scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage ThumbnailCache::make(const QString& path, QSize box) {
    if (box.isEmpty()) return {};
    const QFileInfo source(path);
    if (!source.isFile()) return {};
    // The desktop's shared thumbnails (the freedesktop.org thumbnail folders): made once,
    // kept across runs and shared with the file manager. One stands for the file while its
    // recorded modification time is the file's.
    const QString shared = sharedThumbnailPath(path, box);
    const QString mtime = QString::number(source.lastModified().toSecsSinceEpoch());
    QImage image;
    if (!shared.isEmpty()) {
        // (The reader's own text look-up splits keys at the colon: read the small picture whole.)
        image = QImage(shared);
        if (image.text(QStringLiteral("Thumb::MTime")) != mtime) image = QImage();
        if (image.isNull()) {
            const int edge = sharedSizeFor(box)->edge;
            image = readSource(path, QSize(edge, edge));
            if (!image.isNull()) keepShared(image, shared, path, mtime);
        }
        if (!image.isNull() && (image.width() > box.width() || image.height() > box.height()))
            image = displayable(image).scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    } else {
        image = readSource(path, box);
    }
    if (image.isNull()) return {};
    return displayable(image);
}

void ThumbnailCache::keepShared(const QImage& image, const QString& shared, const QString& path,
                                const QString& mtime) {
    const QString folder = QFileInfo(shared).absolutePath();
    if (!QDir().mkpath(folder))
        return; // thumbnails are a convenience: without the folder they are simply made again
    // The folders and files are the user's alone.
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(QFileInfo(folder).absolutePath(), owner);
    QFile::setPermissions(folder, owner);
    QImage out = image;
    out.setText(QStringLiteral("Thumb::URI"),
                QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded()));
    out.setText(QStringLiteral("Thumb::MTime"), mtime);
    out.setText(QStringLiteral("Thumb::Size"), QString::number(QFileInfo(path).size()));
    out.setText(QStringLiteral("Software"), QStringLiteral("Ombrel Capture"));
    QSaveFile file(shared);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (out.save(&file, "PNG")) file.commit();
}

} // namespace ombrel
