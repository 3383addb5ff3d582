#pragma once
// The signed manifest of a bundle: who it is (identifier, team, version) and the SHA-256
// of every file in it, signed with Ed25519.
//
// The manifest lives in the bundle as share/ombrel-capture/manifest.json, its signature
// (the 64 bytes, base64) beside it as manifest.sig. The signature covers the manifest's
// bytes exactly; the manifest covers every other file and link of the bundle, so a bundle
// verifies only when nothing was added, removed or changed after signing.

#include "platform/Outcome.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

namespace ombrel {

struct ManifestEntry {
    QByteArray sha256; // lower-case hex; empty for a link
    bool executable = false;
    QString link; // the target of a symbolic link; empty for a file

    friend bool operator==(const ManifestEntry&, const ManifestEntry&) = default;
};

struct Manifest {
    QString identifier;
    QString team;
    QString version;
    QMap<QString, ManifestEntry> files; // by path relative to the bundle, with '/'

    // Indented JSON with its keys in order, so a manifest reads the same every time.
    QByteArray toJson() const;
    // None when the text is not a manifest (a missing or mistyped member).
    static std::optional<Manifest> fromJson(const QByteArray& json);

    // Describes every file and link of a bundle folder except the manifest and its
    // signature. Fails on anything else (a device, a pipe) or an unreadable file.
    static Outcome<Manifest> describe(const QString& bundleFolder);
    // The first difference between the folder's files and this manifest in words
    // ("“bin/x” was changed"), or an empty string when they agree.
    QString differenceFrom(const QString& bundleFolder) const;
};

namespace Signing {

// Signs the bytes with the Ed25519 private key in the PEM file.
Outcome<QByteArray> sign(const QByteArray& message, const QString& privateKeyPem);
// True when any public key (PEM files *.pem) in `keysFolder` verifies the signature.
bool verify(const QByteArray& message, const QByteArray& signature, const QString& keysFolder);
// The public key of a private key file, as PEM (for the folder of trusted keys).
Outcome<QByteArray> publicKeyOf(const QString& privateKeyPem);

// Describes the bundle folder, names it with its bundle.json's identifier and version and
// with `team`, and writes the manifest and its signature into it (replacing earlier ones).
Outcome<Manifest> signBundle(const QString& bundleFolder, const QString& privateKeyPem, const QString& team);

// The whole check of an unpacked bundle: its manifest is signed by a key in `keysFolder`,
// names `identifier` and `team`, and lists exactly the bundle's files. Answers the
// manifest on success, else why not (for the log; the user sees one sentence for all).
Outcome<Manifest> checkBundle(const QString& bundleFolder, const QString& keysFolder,
                              const QString& identifier, const QString& team);

} // namespace Signing

} // namespace ombrel
