// ombrel-sign-update: the maker's tool for update archives (not part of the program).
//
//   ombrel-sign-update --key PRIVATE.pem [--team TEAM] BUNDLE [ARCHIVE [--url URL]]
//       writes the signed manifest into the bundle folder (identifier and version from its
//       share/ombrel-capture/bundle.json), then packs the folder into ARCHIVE (a zip, or a
//       tar by its name) and prints the archive's SHA-256, or with --url the feed's JSON.
//   ombrel-sign-update pack BUNDLE ARCHIVE
//       packs a folder as it is (its manifest is not touched).
//   ombrel-sign-update public-key --key PRIVATE.pem
//       prints the public key, for the trusted keys of the bundles that take its updates.
//
// Make a key with: openssl genpkey -algorithm ed25519 -out PRIVATE.pem
// The private key stays with the maker; only its public key goes into bundles.
#include "updates/Archive.h"
#include "updates/Bundle.h"
#include "updates/Manifest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using namespace ombrel;

namespace {

constexpr const char* defaultTeam = "7QK4M2X9TD";

int fail(const QString& message) {
    QTextStream(stderr) << "ombrel-sign-update: " << message << '\n';
    return 1;
}

QByteArray sha256Of(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) return {};
    return hash.result().toHex();
}

int pack(const QString& bundle, const QString& archive, const QString& version, const QString& url) {
    if (const QString error = Archive::pack(bundle, Bundle::folderName, archive); !error.isEmpty())
        return fail(error);
    const QByteArray sha = sha256Of(archive);
    if (url.isEmpty()) {
        QTextStream(stdout) << sha << "  " << archive << '\n';
    } else {
        const QJsonObject feed{{QStringLiteral("version"), version},
                               {QStringLiteral("url"), url},
                               {QStringLiteral("sha256"), QString::fromLatin1(sha)}};
        QTextStream(stdout) << QJsonDocument(feed).toJson(QJsonDocument::Indented);
    }
    return 0;
}

int usage() {
    QTextStream(stderr)
        << "Usage:\n"
           "  ombrel-sign-update --key PRIVATE.pem [--team TEAM] BUNDLE [ARCHIVE [--url URL]]\n"
           "  ombrel-sign-update pack BUNDLE ARCHIVE\n"
           "  ombrel-sign-update public-key --key PRIVATE.pem\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    if (args.value(0) == QLatin1String("pack")) {
        if (args.size() != 3) return usage();
        const auto info = Bundle::readInfo(args[1]);
        return pack(args[1], args[2], info ? info->version : QString(), {});
    }
    const bool publicKey = args.value(0) == QLatin1String("public-key");
    if (publicKey) args.removeFirst();

    QString key, team = QString::fromLatin1(defaultTeam), url;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if ((a == QLatin1String("--key") || a == QLatin1String("--team") || a == QLatin1String("--url")) &&
            i + 1 < args.size()) {
            (a == QLatin1String("--key") ? key : a == QLatin1String("--team") ? team : url) = args[++i];
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage();
        } else {
            rest.append(a);
        }
    }
    if (key.isEmpty()) return usage();
    if (publicKey) {
        if (!rest.isEmpty()) return usage();
        const Outcome<QByteArray> pem = Signing::publicKeyOf(key);
        if (!pem) return fail(pem.message());
        QTextStream(stdout) << pem.value();
        return 0;
    }
    if (rest.isEmpty() || rest.size() > 2 || (!url.isEmpty() && rest.size() != 2)) return usage();

    const QString bundle = QDir::cleanPath(rest[0]);
    const Outcome<Manifest> manifest = Signing::signBundle(bundle, key, team);
    if (!manifest) return fail(manifest.message());
    const QString version = manifest.value().version;
    QTextStream(stderr) << "Signed " << manifest.value().identifier << ' ' << version << " ("
                        << manifest.value().files.size() << " files).\n";
    return rest.size() == 2 ? pack(bundle, rest[1], version, url) : 0;
}
