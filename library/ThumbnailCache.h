#pragma once
// Small pictures of library files for the Recent panel, made off the GUI thread and kept
// in a cache whose memory is bounded. Asking for one that is not ready starts its making
// (once) and answers a null image; `ready` follows on the GUI thread. Asked-for files are
// made newest request first, so what the user looks at now comes before what scrolled by.

#include <QCache>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QThreadPool>

namespace ombrel {

class ThumbnailCache : public QObject {
    Q_OBJECT
  public:
    // Bytes of pixels kept at most.
    static constexpr qint64 defaultLimitBytes = 96ll * 1024 * 1024;

    static ThumbnailCache& instance();
    explicit ThumbnailCache(qint64 limitBytes = defaultLimitBytes, QObject* parent = nullptr);
    ~ThumbnailCache() override;

    // The thumbnail of `path` fitted into `box` pixels, or null while it is being made
    // (or when the file cannot be read: then `failed` says so and nothing more is tried
    // until the file changes).
    QImage request(const QString& path, QSize box);
    // Starts making a thumbnail that will soon be needed (the tiles just out of view), after
    // every one asked for by `request`.
    void prefetch(const QString& path, QSize box);
    bool failed(const QString& path, QSize box) const;
    // Whether the thumbnail is made and kept (asks for nothing).
    bool has(const QString& path, QSize box) const { return m_cache.contains(key(path, box)); }
    // Forgets requests that have not started (the list they were for is gone).
    void dropPending();
    // Waits until every started request has finished (benchmarks and tests).
    void waitForIdle();

    qint64 costBytes() const { return m_cache.totalCost(); }
    qint64 limitBytes() const { return m_cache.maxCost(); }
    void setLimitBytes(qint64 bytes) { m_cache.setMaxCost(bytes); }
    void clear();
    int pendingCount() const { return int(m_pending.size()); }

    // Makes one thumbnail fitted into `box`: from the desktop's shared thumbnail of the
    // file when one is kept and up to date, else from the file (a picture read at reduced
    // size where the format allows, or a video's first frame), keeping a shared thumbnail
    // for next time. Null when the file cannot be read. Any thread.
    static QImage make(const QString& path, QSize box);

    // The desktop's shared thumbnail folder (~/.cache/thumbnails); tests and benchmarks
    // set another.
    static QString sharedFolder();
    static void setSharedFolder(const QString& folder);
    // Where the shared thumbnail of `path` big enough for `box` lies, or "" when the box
    // is larger than the shared sizes.
    static QString sharedThumbnailPath(const QString& path, QSize box);

  Q_SIGNALS:
    void ready(const QString& path);

  private:
    static QString key(const QString& path, QSize box);
    static QImage readSource(const QString& path, QSize box);
    static void keepShared(const QImage& image, const QString& shared, const QString& path,
                           const QString& mtime);
    QImage start(const QString& path, QSize box, int priority);
    void finished(const QString& key, const QString& path, const QImage& image);

    QCache<QString, QImage> m_cache;
    QSet<QString> m_pending;
    QSet<QString> m_failed;
    QThreadPool m_pool;
    int m_order = 0;
};

} // namespace ombrel
