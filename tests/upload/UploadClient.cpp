#include "UploadClient.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QThread>

namespace ombrel::test {

UploadClient::UploadClient(quint16 port) {
    m_socket.setProxy(QNetworkProxy::NoProxy);
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    m_socket.waitForConnected(5000);
}

void UploadClient::send(const QByteArray& bytes, int pauseMs) {
    m_socket.write(bytes);
    while (m_socket.bytesToWrite() > 0 && m_socket.waitForBytesWritten(5000)) {
    }
    if (pauseMs > 0) QThread::msleep(pauseMs);
}

QByteArray UploadClient::answer(int timeoutMs) {
    closedWithin(timeoutMs);
    return m_received;
}

bool UploadClient::closedWithin(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (m_socket.state() == QAbstractSocket::ConnectedState && timer.elapsed() < timeoutMs) {
        m_socket.waitForReadyRead(int(std::max<qint64>(1, timeoutMs - timer.elapsed())));
        m_received += m_socket.readAll();
    }
    m_received += m_socket.readAll();
    return m_socket.state() != QAbstractSocket::ConnectedState;
}

bool UploadClient::silentFor(int ms) {
    const bool somethingArrived = m_socket.waitForReadyRead(ms);
    m_received += m_socket.readAll();
    return !somethingArrived && m_socket.state() == QAbstractSocket::ConnectedState;
}

QByteArray request(const QByteArray& method, const QByteArray& target, const QByteArray& body) {
    return method + ' ' + target +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
}

QByteArray exchange(quint16 port, const QByteArray& bytes) {
    UploadClient client(port);
    client.send(bytes);
    return client.answer();
}

} // namespace ombrel::test
