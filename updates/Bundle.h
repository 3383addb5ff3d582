#pragma once
// The program's bundle: the one folder it is installed as (`cmake --install build --prefix
// DIR`), which an update replaces whole.
//
//   bin/ombrel-capture                          the program
//   share/applications/com.ombrel.capture.desktop, share/icons/…
//   share/ombrel-capture/bundle.json            {"identifier": …, "version": …}
//   share/ombrel-capture/update-keys/*.pem      the public keys updates must be signed with
//   share/ombrel-capture/manifest.json, .sig    the signed list of every file (signed bundles)

#include <QString>
#include <optional>

namespace ombrel::Bundle {

inline const QString executable = QStringLiteral("bin/ombrel-capture");
inline const QString infoFile = QStringLiteral("share/ombrel-capture/bundle.json");
inline const QString manifestFile = QStringLiteral("share/ombrel-capture/manifest.json");
inline const QString signatureFile = QStringLiteral("share/ombrel-capture/manifest.sig");
inline const QString keysFolder = QStringLiteral("share/ombrel-capture/update-keys");
// The name of the bundle's folder inside an update archive.
inline const QString folderName = QStringLiteral("ombrel-capture");

struct Info {
    QString identifier;
    QString version; // "0" when the file names none
};

// The bundle's own description; none when the folder holds no readable bundle.json.
std::optional<Info> readInfo(const QString& bundleFolder);

// The bundle the running program belongs to: the folder above its bin/ when that holds a
// bundle.json; empty when the program runs from anywhere else (the build tree, a package).
// Found once, from the executable's path at the first call, so a later swap of the folder
// does not change the answer.
QString running();

} // namespace ombrel::Bundle
