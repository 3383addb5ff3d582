#include "ThumbnailCache.h"

#include "CaptureStore.h"
#include "VideoPoster.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QRunnable>
#include <algorithm>

namespace ombrel {

ThumbnailCache& ThumbnailCache::instance() {
    static ThumbnailCache* cache = new ThumbnailCache; // lives for the run
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

void ThumbnailCache::prefetch(const QString& path, QSize box) { start(path, box, 0); }

QImage ThumbnailCache::start(const QString& path, QSize box, int priority) {
    const QString k = key(path, box);
    if (const QImage* hit = m_cache.object(k))
        return *hit;
    if (m_pending.contains(k) || m_failed.contains(k))
        return {};
    m_pending.insert(k);
    QPointer<ThumbnailCache> self(this);
    m_pool.start(
        [self, k, path, box] {
            const QImage image = make(path, box);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, k, path, image] {
                    if (self)
                        self->finished(k, path, image);
                },
                Qt::QueuedConnection);
        },
        priority);
    return {};
}

bool ThumbnailCache::failed(const QString& path, QSize box) const { return m_failed.contains(key(path, box)); }

void ThumbnailCache::finished(const QString& k, const QString& path, const QImage& image) {
    if (!m_pending.remove(k))
        return; // dropped meanwhile
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

void ThumbnailCache::waitForIdle() { m_pool.waitForDone(); }

void ThumbnailCache::clear() {
    dropPending();
    m_pool.waitForDone();
    m_cache.clear();
    m_failed.clear();
}

QImage ThumbnailCache::make(const QString& path, QSize box) {
    if (box.isEmpty())
        return {};
    QImage image;
    if (CaptureStore::isVideo(path)) {
        image = VideoPoster::firstFrame(path, box.boundedTo(QSize(480, 480)));
    } else {
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QSize full = reader.size();
        // Reading at reduced size mangles one-bit and palette pictures: those are read whole.
        const QImage::Format format = reader.imageFormat();
        const bool indexed = format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
                             format == QImage::Format_Indexed8;
        if (!indexed && full.isValid() && (full.width() > box.width() || full.height() > box.height()))
            reader.setScaledSize(full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
        image = reader.read();
        if (!image.isNull() && (image.width() > box.width() || image.height() > box.height()))
            image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                  : QImage::Format_RGB32)
                        .scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (image.isNull())
        return {};
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                        : QImage::Format_RGB32);
}

} // namespace ombrel
