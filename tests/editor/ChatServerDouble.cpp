#include "ChatServerDouble.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>

namespace ombrel::test {

ChatServerDouble::ChatServerDouble(std::function<QString(const QString&)> answer, int failWithStatus)
    : m_answer(std::move(answer)), m_failWithStatus(failWithStatus) {
    m_thread.start();
    // The server is made, listens and serves in its own thread.
    auto* holder = new QObject;
    holder->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        holder,
        [this, holder] {
            m_server = new QTcpServer(holder);
            m_server->listen(QHostAddress::LocalHost, 0);
            m_port = m_server->serverPort();
            QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
                while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                     [this, socket] { serve(socket); });
                    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                }
            });
            QObject::connect(&m_thread, &QThread::finished, holder, &QObject::deleteLater);
        },
        Qt::BlockingQueuedConnection);
}

ChatServerDouble::~ChatServerDouble() {
    m_thread.quit();
    m_thread.wait();
}

QUrl ChatServerDouble::base() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/v1").arg(m_port));
}

QList<QJsonObject> ChatServerDouble::requests() const {
    std::lock_guard guard(m_mutex);
    return m_requests;
}

void ChatServerDouble::serve(QTcpSocket* socket) {
    // Wait for the whole request: the head, then as many body bytes as it announces.
    QByteArray request = socket->property("received").toByteArray() + socket->readAll();
    socket->setProperty("received", request);
    const qsizetype headEnd = request.indexOf("\r\n\r\n");
    if (headEnd < 0) return;
    const QByteArray head = request.left(headEnd);
    qsizetype length = 0;
    for (const QByteArray& line : head.split('\n'))
        if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
    const QByteArray body = request.mid(headEnd + 4);
    if (body.size() < length) return;

    const QByteArray path = head.split(' ').value(1);
    int status = 200;
    QJsonObject reply;
    if (path == "/v1/models") {
        reply = {{"object", "list"},
                 {"data", QJsonArray{QJsonObject{{"id", "test-model"}, {"object", "model"}}}}};
    } else if (path == "/v1/chat/completions") {
        const QJsonObject asked = QJsonDocument::fromJson(body).object();
        {
            std::lock_guard guard(m_mutex);
            m_requests.append(asked);
        }
        if (m_failWithStatus) {
            status = m_failWithStatus;
            reply = {{"error", QJsonObject{{"message", "the model crashed"}}}};
        } else {
            const QString comment =
                asked.value("messages").toArray().last().toObject().value("content").toString();
            reply = {{"object", "chat.completion"},
                     {"choices",
                      QJsonArray{QJsonObject{
                          {"index", 0},
                          {"message", QJsonObject{{"role", "assistant"}, {"content", m_answer(comment)}}},
                          {"finish_reason", "stop"}}}}};
        }
    } else {
        status = 404;
    }
    const QByteArray json = QJsonDocument(reply).toJson(QJsonDocument::Compact);
    socket->write("HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Error") +
                  "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(json.size()) +
                  "\r\nConnection: close\r\n\r\n" + json);
    socket->disconnectFromHost();
}

} // namespace ombrel::test
