#include "Clipboard.h"
#include "CaptureStore.h"

#include "platform/Platform.h"

#include <QFile>
#include <QUrl>

namespace ombrel {

void Clipboard::put(const QByteArray& png) {
    Platform::pasteboard().putPng(png);
}

bool Clipboard::put(const QStringList& files) {
    if (files.size() == 1 && !CaptureStore::isVideo(files.first())) {
        QFile f(files.first());
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = f.readAll();
            if (!bytes.isEmpty()) {
                Platform::pasteboard().putPng(bytes);
                return true;
            }
        }
    }
    QList<QUrl> urls;
    for (const QString& f : files)
        urls.append(QUrl::fromLocalFile(f));
    return Platform::pasteboard().putFiles(urls);
}

} // namespace ombrel
