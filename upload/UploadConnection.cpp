#include "upload/UploadConnection.h"

#include "upload/PhoneUploadServer.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QUuid>
#include <sys/stat.h>

namespace ombrel::upload {

namespace {

// Makes the inbox when it is missing, the last folder 0700 from the start (its parents as
// usual). An inbox that exists is used as it is: the user may have chosen it.
bool makeInbox(const QString& inbox) {
    if (QFileInfo(inbox).isDir()) return true;
    if (!QDir().mkpath(QFileInfo(inbox).absolutePath())) return false;
    return ::mkdir(QFile::encodeName(inbox).constData(), 0700) == 0 || QFileInfo(inbox).isDir();
}
constexpr QByteArrayView headEnd = "\r\n\r\n";
} // namespace

UploadConnection::UploadConnection(qintptr descriptor, const ConnectionSettings& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_socket(new QTcpSocket(this)), m_headTimer(this),
      m_stallTimer(this) {
    m_headTimer.setSingleShot(true);
    m_stallTimer.setSingleShot(true);
    connect(&m_headTimer, &QTimer::timeout, this, &UploadConnection::drop);
    connect(&m_stallTimer, &QTimer::timeout, this, &UploadConnection::drop);

    if (!m_socket->setSocketDescriptor(descriptor)) {
        m_stage = Stage::Over;
        QTimer::singleShot(0, this, &UploadConnection::end);
        return;
    }
    // Qt stops reading from the kernel when this much is waiting, so a fast sender is
    // held back by TCP instead of filling our memory.
    m_socket->setReadBufferSize(PhoneUploadServer::maxReadBytes);
    connect(m_socket, &QTcpSocket::readyRead, this, &UploadConnection::readAvailable);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        // The last bytes may still be buffered: a request that they complete is answered
        // (if the socket can still take it); anything else ends here.
        readAvailable();
        if (m_stage == Stage::Head || m_stage == Stage::Body)
            drop();
        else
            end();
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError) drop();
    });
    m_headTimer.start(m_settings.headTimeoutMs);
    readAvailable();
}

UploadConnection::~UploadConnection() {
    if (m_socket) m_socket->disconnect(this);
}

void UploadConnection::readAvailable() {
    while (m_stage == Stage::Head || m_stage == Stage::Body) {
        const QByteArray chunk = m_socket->read(PhoneUploadServer::maxReadBytes);
        if (chunk.isEmpty()) return;
        if (m_stage == Stage::Head)
            takeHeadBytes(chunk);
        else
            takeBodyBytes(chunk);
    }
}

void UploadConnection::takeHeadBytes(const QByteArray& chunk) {
    // The end of the head may straddle two chunks: look again from just before the new bytes.
    const qsizetype from = std::max<qsizetype>(0, m_headBuffer.size() - (headEnd.size() - 1));
    m_headBuffer += chunk;
    const qsizetype end = m_headBuffer.indexOf(headEnd, from);
    if (end < 0) {
        if (m_headBuffer.size() > PhoneUploadServer::maxHeadBytes) drop();
        return;
    }
    if (end + headEnd.size() > PhoneUploadServer::maxHeadBytes) {
        drop();
        return;
    }
    m_headTimer.stop();
    const QByteArray head = m_headBuffer.left(end);
    const qint64 announced = PhoneUploadServer::contentLength(head);
    if (announced > PhoneUploadServer::maxUploadBytes) {
        answer(tooLargeResponse());
        return;
    }
    m_bodyBytesLeft = std::max<qint64>(announced, 0);
    m_decision = decide(head, m_settings.token, m_bodyBytesLeft);
    if (m_decision.action == Action::Upload) openInboxFile();
    m_stage = Stage::Body;
    const QByteArray rest = m_headBuffer.mid(end + headEnd.size());
    m_headBuffer = QByteArray();
    takeBodyBytes(rest);
}

void UploadConnection::takeBodyBytes(QByteArrayView chunk) {
    // Anything beyond the announced length is ignored.
    const QByteArrayView part = chunk.first(std::min<qint64>(chunk.size(), m_bodyBytesLeft));
    // Each piece goes to the disk as it arrives: Qt would otherwise hold pieces smaller than
    // its 16 KiB buffer in memory until the next one comes, which may be never.
    if (m_file && !part.isEmpty() &&
        (m_file->write(part.data(), part.size()) != part.size() || !m_file->flush())) {
        // Keep reading so that the client still gets its answer once the body is in.
        m_saveFailed = true;
        m_file.reset();
    }
    m_bodyBytesLeft -= part.size();
    if (m_bodyBytesLeft == 0)
        completeRequest();
    else
        m_stallTimer.start(m_settings.bodyStallTimeoutMs);
}

void UploadConnection::completeRequest() {
    switch (m_decision.action) {
    case Action::Page:
        answer(pageResponse());
        return;
    case Action::BadRequest:
        answer(badRequestResponse());
        return;
    case Action::NotFound:
        answer(notFoundResponse());
        return;
    case Action::Upload:
        if (const std::optional<QString> path = keepInboxFile()) {
            Q_EMIT saved(*path);
            answer(savedResponse());
        } else {
            answer(couldNotSaveResponse());
        }
        return;
    }
}

void UploadConnection::openInboxFile() {
    if (!makeInbox(m_settings.inbox)) {
        qCWarning(logUpload) << "Couldn't make the inbox" << m_settings.inbox;
        m_saveFailed = true;
        return;
    }
    m_file = std::make_unique<QTemporaryFile>(m_settings.inbox + QStringLiteral("/.incoming-XXXXXX"));
    if (!m_file->open()) {
        m_saveFailed = true;
        m_file.reset();
    }
}

std::optional<QString> UploadConnection::keepInboxFile() {
    if (m_saveFailed || !m_file || !m_file->flush()) return std::nullopt;
    const QString prefix = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().left(8);
    const QString path = m_settings.inbox + QLatin1Char('/') + prefix + QLatin1Char('-') +
                         PhoneUploadServer::safeName(m_decision.clientName);
    // The temporary file may have no name yet; renaming gives it its final one, and never
    // replaces an existing file, so nothing already received is lost.
    if (!m_file->rename(path)) return std::nullopt; // the temporary file goes with m_file
    m_file->setAutoRemove(false);
    m_file.reset(); // created 0600 and kept so: a photo from the phone is the user's alone
    return path;
}

void UploadConnection::answer(const Response& response) {
    m_stage = Stage::Answering;
    m_headTimer.stop();
    m_file.reset();
    // A client that never reads its answer is dropped like one that stalls while sending.
    m_stallTimer.start(m_settings.bodyStallTimeoutMs);
    m_socket->write(response.encoded());
    m_socket->disconnectFromHost(); // sends what is buffered, then closes
    if (m_socket->state() == QAbstractSocket::UnconnectedState) end();
}

void UploadConnection::drop() {
    if (m_stage == Stage::Over) return;
    m_stage = Stage::Over;
    m_headTimer.stop();
    m_stallTimer.stop();
    m_file.reset(); // removes an incomplete body
    m_socket->abort();
    end();
}

void UploadConnection::end() {
    if (m_stage == Stage::Over && !m_socket) return;
    m_stage = Stage::Over;
    m_headTimer.stop();
    m_stallTimer.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket = nullptr; // deleted with this object
        Q_EMIT finished();
    }
}

UploadListener::UploadListener(const ConnectionSettings& settings, int maxConnections)
    : m_settings(settings), m_maxConnections(maxConnections) {
    setProxy(QNetworkProxy::NoProxy);
}

UploadListener::~UploadListener() {
    m_closing = true;
    close();
    // Connections go first, while this object is whole; their incomplete files go with them.
    qDeleteAll(findChildren<UploadConnection*>(Qt::FindDirectChildrenOnly));
}

void UploadListener::begin(const QHostAddress& address, quint16 port) {
    if (listen(address, port))
        Q_EMIT ready(serverPort());
    else
        Q_EMIT failed(errorString());
}

void UploadListener::incomingConnection(qintptr descriptor) {
    ++m_active;
    if (m_active >= m_maxConnections && !m_paused) {
        // No more accepts until a connection ends. A maximum of 0 pending connections
        // also stops the accept loop that is running right now.
        m_paused = true;
        pauseAccepting();
        setMaxPendingConnections(0);
    }
    auto* connection = new UploadConnection(descriptor, m_settings, this);
    connect(connection, &UploadConnection::saved, this, &UploadListener::saved);
    connect(
        connection, &UploadConnection::finished, this, [this, connection] { connectionEnded(connection); },
        Qt::QueuedConnection);
}

void UploadListener::connectionEnded(UploadConnection* connection) {
    delete connection;
    --m_active;
    if (m_closing || !m_paused || m_active >= m_maxConnections) return;
    m_paused = false;
    setMaxPendingConnections(30);
    resumeAccepting();
}

} // namespace ombrel::upload
