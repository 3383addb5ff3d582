#pragma once
// The network as the updater and the crash reports use it: Qt Network with the trusted
// authorities of the OpenSSL environment, and downloads streamed to disk.

#include "platform/Outcome.h"

#include <QByteArray>
#include <QUrl>

class QFile;
class QNetworkAccessManager;

namespace ombrel::Network {

// Trusts the authorities that OpenSSL's SSL_CERT_FILE and SSL_CERT_DIR name, in place of
// the system's, as OpenSSL programs do (a company's own authority, or a test's). Without
// them the system's authorities stay. Runs once; later calls do nothing.
void useEnvironmentAuthorities();

// The network access of the calling thread, made on first use (and the environment's
// authorities with it). It lives as long as the thread.
QNetworkAccessManager& access();

// Fetches `url` into `into` (an open file), a block at a time, hashing as it goes, so
// memory does not grow with the download. Blocks the calling thread in a local event
// loop; run it off the GUI thread. Fails when the transfer ends early, answers an error
// status, stalls for `stallSeconds`, or passes `maxBytes`. Answers the SHA-256 digest.
Outcome<QByteArray> download(const QUrl& url, QFile& into, qint64 maxBytes, int stallSeconds = 60);

} // namespace ombrel::Network
