#pragma once
// Keys, bundles and folder snapshots for the updater's tests.

#include <QString>
#include <QStringList>

namespace ombrel::test {

// Makes an Ed25519 key pair with the openssl tool: the private key in `privatePem` and, when
// `publicPem` is given, the public key there. Answers false when the tool failed.
bool makeKeyPair(const QString& privatePem, const QString& publicPem = {});

// Writes a bundle of the installed shape into `folder`: a program (a script) that answers
// --version with "ombrel-capture VERSION" or, when `starts` is false, fails; bundle.json;
// a data file; a link inside; and `trustedKey` copied into its update keys when given.
void makeBundle(const QString& folder, const QString& version, bool starts = true,
                const QString& identifier = QStringLiteral("com.ombrel.capture"),
                const QString& trustedKey = {});

// Everything below `folder`, one sorted line per path: its kind and rights with the
// digest of its bytes or its link's target. Equal snapshots mean the folder is unchanged
// byte for byte.
QStringList snapshot(const QString& folder);

// Writes `bytes` to `path`, making its folders.
void writeFile(const QString& path, const QByteArray& bytes);

} // namespace ombrel::test
