#include "Network.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QThread>
#include <QThreadStorage>
#include <mutex>

namespace ombrel::Network {

namespace {
constexpr qint64 readBufferBytes = 256 * 1024;
} // namespace

void useEnvironmentAuthorities() {
    static std::once_flag once;
    std::call_once(once, [] {
        const QString file = qEnvironmentVariable("SSL_CERT_FILE");
        const QString dir = qEnvironmentVariable("SSL_CERT_DIR");
        if (file.isEmpty() && dir.isEmpty()) return;
        QList<QSslCertificate> authorities;
        if (!file.isEmpty()) authorities += QSslCertificate::fromPath(file, QSsl::Pem);
        if (!dir.isEmpty())
            for (const QString& name : QDir(dir).entryList(QDir::Files))
                authorities += QSslCertificate::fromPath(dir + QLatin1Char('/') + name, QSsl::Pem);
        if (authorities.isEmpty()) {
            qCWarning(logUpdates) << "SSL_CERT_FILE / SSL_CERT_DIR name no certificates; the system's stay";
            return;
        }
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setCaCertificates(authorities);
        QSslConfiguration::setDefaultConfiguration(config);
    });
}

QNetworkAccessManager& access() {
    useEnvironmentAuthorities();
    // The GUI thread's goes when the application object does, while that can still close
    // its connections; a worker's goes with its thread.
    if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread()) {
        static QNetworkAccessManager* gui = nullptr;
        if (!gui) {
            gui = new QNetworkAccessManager;
            qAddPostRoutine([] {
                delete gui;
                gui = nullptr;
            });
        }
        return *gui;
    }
    static QThreadStorage<QNetworkAccessManager*> perThread;
    if (!perThread.hasLocalData()) perThread.setLocalData(new QNetworkAccessManager);
    return *perThread.localData();
}

Outcome<QByteArray> download(const QUrl& url, QFile& into, qint64 maxBytes, int stallSeconds) {
    auto fail = [](const QString& why) { return Outcome<QByteArray>::fail(Failure::Temporary, why); };
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(stallSeconds * 1000);
    std::unique_ptr<QNetworkReply> reply(access().get(request));
    reply->setReadBufferSize(readBufferBytes);

    QCryptographicHash hash(QCryptographicHash::Sha256);
    qint64 received = 0;
    QString error;
    QEventLoop loop;
    auto drain = [&] {
        while (error.isEmpty() && reply->bytesAvailable() > 0) {
            const QByteArray block = reply->read(readBufferBytes);
            received += block.size();
            if (received > maxBytes) {
                error = QStringLiteral("the download is larger than %1 bytes").arg(maxBytes);
                reply->abort();
                break;
            }
            hash.addData(block);
            if (into.write(block) != block.size()) {
                error = QStringLiteral("couldn't write the download: %1").arg(into.errorString());
                reply->abort();
            }
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, drain);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) loop.exec();
    drain();

    if (!error.isEmpty()) return fail(error);
    if (reply->error() != QNetworkReply::NoError) return fail(reply->errorString());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) return fail(QStringLiteral("the server answered %1").arg(status));
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != received)
        return fail(
            QStringLiteral("the download ended after %1 of %2 bytes").arg(received).arg(length.toLongLong()));
    if (!into.flush()) return fail(QStringLiteral("couldn't write the download: %1").arg(into.errorString()));
    return Outcome<QByteArray>::ok(hash.result());
}

} // namespace ombrel::Network
