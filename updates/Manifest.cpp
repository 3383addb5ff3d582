#include "Manifest.h"

#include "Bundle.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ombrel {

namespace {

constexpr qint64 maxManifestBytes = 16 * 1024 * 1024;
constexpr qsizetype ed25519SignatureBytes = 64;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

Outcome<QByteArray> fail(const QString& why) {
    return Outcome<QByteArray>::fail(Failure::Permanent, why);
}

Outcome<QByteArray> sha256Of(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return fail(QStringLiteral("“%1” can't be read").arg(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return fail(QStringLiteral("“%1” can't be read").arg(path));
    return Outcome<QByteArray>::ok(hash.result().toHex());
}

QString linkTarget(const QString& path) {
    QByteArray buffer(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(native(path).constData(), buffer.data(), size_t(buffer.size()));
    return n < 0 ? QString() : QFile::decodeName(buffer.left(n));
}

// A regular file of the bundle, not a link to one.
bool isPlainFile(const QString& path) {
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;
using Bio = std::unique_ptr<BIO, BioFree>;

Key readKey(const QString& pemPath, bool isPrivate) {
    Bio bio(BIO_new_file(native(pemPath).constData(), "r"));
    if (!bio) return nullptr;
    Key key(isPrivate ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                      : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) return nullptr;
    return key;
}

bool verifyWith(EVP_PKEY* key, const QByteArray& message, const QByteArray& signature) {
    Context ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key) != 1) return false;
    return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                            size_t(signature.size()),
                            reinterpret_cast<const unsigned char*>(message.constData()),
                            size_t(message.size())) == 1;
}

} // namespace

QByteArray Manifest::toJson() const {
    QJsonObject list;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QJsonObject entry;
        if (!it->link.isEmpty()) {
            entry.insert(QStringLiteral("link"), it->link);
        } else {
            entry.insert(QStringLiteral("sha256"), QString::fromLatin1(it->sha256));
            if (it->executable) entry.insert(QStringLiteral("executable"), true);
        }
        list.insert(it.key(), entry);
    }
    QJsonObject root;
    root.insert(QStringLiteral("identifier"), identifier);
    root.insert(QStringLiteral("team"), team);
    root.insert(QStringLiteral("version"), version);
    root.insert(QStringLiteral("files"), list);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<Manifest> Manifest::fromJson(const QByteArray& json) {
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject()) return std::nullopt;
    const QJsonObject root = doc.object();
    const QJsonValue identifier = root.value(QStringLiteral("identifier"));
    const QJsonValue team = root.value(QStringLiteral("team"));
    const QJsonValue version = root.value(QStringLiteral("version"));
    const QJsonValue list = root.value(QStringLiteral("files"));
    if (!identifier.isString() || !team.isString() || !version.isString() || !list.isObject())
        return std::nullopt;
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    Manifest m{identifier.toString(), team.toString(), version.toString(), {}};
    const QJsonObject entries = list.toObject();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (!it->isObject()) return std::nullopt;
        const QJsonObject e = it->toObject();
        ManifestEntry entry;
        if (e.contains(QStringLiteral("link"))) {
            entry.link = e.value(QStringLiteral("link")).toString();
            if (entry.link.isEmpty()) return std::nullopt;
        } else {
            const QString sha = e.value(QStringLiteral("sha256")).toString();
            const QJsonValue exec = e.value(QStringLiteral("executable"));
            if (!hex.match(sha).hasMatch() || !(exec.isUndefined() || exec.isBool())) return std::nullopt;
            entry.sha256 = sha.toLatin1();
            entry.executable = exec.toBool(false);
        }
        m.files.insert(it.key(), entry);
    }
    return m;
}

Outcome<Manifest> Manifest::describe(const QString& bundleFolder) {
    const QString root = QDir::cleanPath(bundleFolder);
    Manifest m;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(root.size() + 1);
        if (relative == Bundle::manifestFile || relative == Bundle::signatureFile) continue;
        struct stat st {};
        if (::lstat(native(path).constData(), &st) != 0)
            return Outcome<Manifest>::fail(Failure::Permanent,
                                           QStringLiteral("“%1” can't be read").arg(relative));
        if (S_ISDIR(st.st_mode)) continue;
        ManifestEntry entry;
        if (S_ISLNK(st.st_mode)) {
            entry.link = linkTarget(path);
        } else if (S_ISREG(st.st_mode)) {
            Outcome<QByteArray> sha = sha256Of(path);
            if (!sha) return Outcome<Manifest>::fail(Failure::Permanent, sha.message());
            entry.sha256 = sha.take();
            entry.executable = (st.st_mode & S_IXUSR) != 0;
        } else {
            return Outcome<Manifest>::fail(
                Failure::Permanent, QStringLiteral("“%1” is not a file, folder or link").arg(relative));
        }
        m.files.insert(relative, entry);
    }
    return Outcome<Manifest>::ok(std::move(m));
}

QString Manifest::differenceFrom(const QString& bundleFolder) const {
    const Outcome<Manifest> actual = describe(bundleFolder);
    if (!actual) return actual.message();
    const QMap<QString, ManifestEntry>& found = actual.value().files;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const auto there = found.constFind(it.key());
        if (there == found.cend()) return QStringLiteral("“%1” is missing").arg(it.key());
        if (!(*there == *it)) return QStringLiteral("“%1” was changed").arg(it.key());
    }
    for (auto it = found.cbegin(); it != found.cend(); ++it)
        if (!files.contains(it.key())) return QStringLiteral("“%1” isn't in the manifest").arg(it.key());
    return {};
}

namespace Signing {

Outcome<QByteArray> sign(const QByteArray& message, const QString& privateKeyPem) {
    const Key key = readKey(privateKeyPem, true);
    if (!key) return fail(QStringLiteral("%1 is not an Ed25519 private key in PEM").arg(privateKeyPem));
    Context ctx(EVP_MD_CTX_new());
    size_t length = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(message.constData());
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), nullptr, &length, data, size_t(message.size())) != 1)
        return fail(QStringLiteral("signing failed"));
    QByteArray signature(qsizetype(length), Qt::Uninitialized);
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, data,
                       size_t(message.size())) != 1)
        return fail(QStringLiteral("signing failed"));
    signature.truncate(qsizetype(length));
    return Outcome<QByteArray>::ok(signature);
}

bool verify(const QByteArray& message, const QByteArray& signature, const QString& keysFolder) {
    if (signature.size() != ed25519SignatureBytes) return false;
    const QStringList keys = QDir(keysFolder).entryList({QStringLiteral("*.pem")}, QDir::Files, QDir::Name);
    for (const QString& name : keys) {
        const Key key = readKey(keysFolder + QLatin1Char('/') + name, false);
        if (key && verifyWith(key.get(), message, signature)) return true;
    }
    return false;
}

Outcome<QByteArray> publicKeyOf(const QString& privateKeyPem) {
    const Key key = readKey(privateKeyPem, true);
    if (!key) return fail(QStringLiteral("%1 is not an Ed25519 private key in PEM").arg(privateKeyPem));
    Bio out(BIO_new(BIO_s_mem()));
    if (!out || PEM_write_bio_PUBKEY(out.get(), key.get()) != 1) return fail(QStringLiteral("no public key"));
    char* data = nullptr;
    const long size = BIO_get_mem_data(out.get(), &data);
    return Outcome<QByteArray>::ok(QByteArray(data, qsizetype(size)));
}

Outcome<Manifest> signBundle(const QString& bundleFolder, const QString& privateKeyPem, const QString& team) {
    auto failed = [](const QString& why) { return Outcome<Manifest>::fail(Failure::Permanent, why); };
    const std::optional<Bundle::Info> info = Bundle::readInfo(bundleFolder);
    if (!info) return failed(QStringLiteral("%1 has no %2").arg(bundleFolder, Bundle::infoFile));
    // A manifest of an earlier signing is not part of what is described.
    QFile::remove(bundleFolder + QLatin1Char('/') + Bundle::manifestFile);
    QFile::remove(bundleFolder + QLatin1Char('/') + Bundle::signatureFile);
    Outcome<Manifest> manifest = Manifest::describe(bundleFolder);
    if (!manifest) return manifest;
    manifest.value().identifier = info->identifier;
    manifest.value().team = team;
    manifest.value().version = info->version;
    const QByteArray json = manifest.value().toJson();
    const Outcome<QByteArray> signature = sign(json, privateKeyPem);
    if (!signature) return failed(signature.message());
    auto write = [](const QString& path, const QByteArray& bytes) {
        QSaveFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    };
    if (!write(bundleFolder + QLatin1Char('/') + Bundle::manifestFile, json) ||
        !write(bundleFolder + QLatin1Char('/') + Bundle::signatureFile, signature.value().toBase64() + '\n'))
        return failed(QStringLiteral("couldn't write the manifest into %1").arg(bundleFolder));
    return manifest;
}

Outcome<Manifest> checkBundle(const QString& bundleFolder, const QString& keysFolder,
                              const QString& identifier, const QString& team) {
    auto refuse = [](const QString& why) { return Outcome<Manifest>::fail(Failure::Permanent, why); };
    const QString manifestPath = bundleFolder + QLatin1Char('/') + Bundle::manifestFile;
    const QString signaturePath = bundleFolder + QLatin1Char('/') + Bundle::signatureFile;
    if (!isPlainFile(manifestPath) || !isPlainFile(signaturePath))
        return refuse(QStringLiteral("no signed manifest"));
    QFile manifestFile(manifestPath);
    QFile signatureFile(signaturePath);
    if (!manifestFile.open(QIODevice::ReadOnly) || !signatureFile.open(QIODevice::ReadOnly) ||
        manifestFile.size() > maxManifestBytes)
        return refuse(QStringLiteral("the manifest can't be read"));
    const QByteArray bytes = manifestFile.readAll();
    const auto decoded = QByteArray::fromBase64Encoding(signatureFile.read(1024).trimmed(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return refuse(QStringLiteral("the signature is not base64"));
    if (!verify(bytes, *decoded, keysFolder))
        return refuse(QStringLiteral("no trusted key signed the manifest"));
    std::optional<Manifest> manifest = Manifest::fromJson(bytes);
    if (!manifest) return refuse(QStringLiteral("the manifest can't be read"));
    if (manifest->identifier != identifier)
        return refuse(
            QStringLiteral("the manifest names “%1”, not “%2”").arg(manifest->identifier, identifier));
    if (team.isEmpty() || manifest->team != team)
        return refuse(QStringLiteral("the manifest names the team “%1”, not “%2”").arg(manifest->team, team));
    if (const QString difference = manifest->differenceFrom(bundleFolder); !difference.isEmpty())
        return refuse(difference);
    return Outcome<Manifest>::ok(std::move(*manifest));
}

} // namespace Signing

} // namespace ombrel
