#include "Bundle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace ombrel::Bundle {

std::optional<Info> readInfo(const QString& bundleFolder) {
    QFile file(bundleFolder + QLatin1Char('/') + infoFile);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(64 * 1024));
    if (!doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    Info info;
    info.identifier = o.value(QStringLiteral("identifier")).toString();
    info.version = o.value(QStringLiteral("version")).toString(QStringLiteral("0"));
    return info;
}

QString running() {
    static const QString folder = [] {
        // The link names the executable as started, whatever the current folder.
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
        const QFileInfo bin(QFileInfo(exe).absolutePath());
        if (bin.fileName() != QLatin1String("bin")) return QString();
        const QString candidate = QDir::cleanPath(bin.absolutePath());
        return QFileInfo::exists(candidate + QLatin1Char('/') + infoFile) ? candidate : QString();
    }();
    return folder;
}

} // namespace ombrel::Bundle
