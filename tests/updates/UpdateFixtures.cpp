#include "UpdateFixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace ombrel::test {

bool makeKeyPair(const QString& privatePem, const QString& publicPem) {
    const QString openssl = QStringLiteral("openssl");
    if (QProcess::execute(openssl, {"genpkey", "-algorithm", "ed25519", "-out", privatePem}) != 0)
        return false;
    if (publicPem.isEmpty()) return true;
    QDir().mkpath(QFileInfo(publicPem).absolutePath());
    return QProcess::execute(openssl, {"pkey", "-in", privatePem, "-pubout", "-out", publicPem}) == 0;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

void makeBundle(const QString& folder, const QString& version, bool starts, const QString& identifier,
                const QString& trustedKey) {
    const QString program = folder + QStringLiteral("/bin/ombrel-capture");
    writeFile(program, starts ? "#!/bin/sh\necho \"ombrel-capture " + version.toUtf8() + "\"\n"
                              : QByteArray("#!/bin/sh\nexit 3\n"));
    QFile::setPermissions(program,
                          QFile::permissions(program) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    writeFile(folder + QStringLiteral("/share/ombrel-capture/bundle.json"),
              "{\"identifier\": \"" + identifier.toUtf8() + "\", \"version\": \"" + version.toUtf8() +
                  "\"}\n");
    writeFile(folder + QStringLiteral("/share/applications/com.ombrel.capture.desktop"),
              "[Desktop Entry]\nName=Ombrel Capture " + version.toUtf8() + "\n");
    QDir().mkpath(folder + QStringLiteral("/share/doc"));
    QFile::link(QStringLiteral("../applications/com.ombrel.capture.desktop"),
                folder + QStringLiteral("/share/doc/desktop-entry"));
    if (!trustedKey.isEmpty()) {
        QDir().mkpath(folder + QStringLiteral("/share/ombrel-capture/update-keys"));
        QFile::copy(trustedKey, folder + QStringLiteral("/share/ombrel-capture/update-keys/trusted.pem"));
    }
}

QStringList snapshot(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray native = QFile::encodeName(path);
        struct stat st {};
        ::lstat(native.constData(), &st);
        QString entry = path.mid(folder.size()) + QLatin1Char(' ') + QString::number(st.st_mode, 8);
        if (S_ISLNK(st.st_mode)) {
            char target[PATH_MAX];
            const ssize_t n = ::readlink(native.constData(), target, sizeof target);
            entry += QStringLiteral(" -> ") + QFile::decodeName(QByteArray(target, n < 0 ? 0 : n));
        } else if (S_ISREG(st.st_mode)) {
            QFile file(path);
            QCryptographicHash hash(QCryptographicHash::Sha256);
            if (file.open(QIODevice::ReadOnly)) hash.addData(&file);
            entry += QLatin1Char(' ') + QString::fromLatin1(hash.result().toHex().left(16));
        }
        found.append(entry);
    }
    found.sort();
    return found;
}

} // namespace ombrel::test
