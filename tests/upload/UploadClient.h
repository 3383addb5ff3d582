#pragma once
// A plain TCP client for talking HTTP to the upload server on 127.0.0.1, byte by byte.

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QThread>

#include <sys/socket.h>

namespace ombrel::test {

class UploadClient {
  public:
    explicit UploadClient(quint16 port) {
        m_socket.setProxy(QNetworkProxy::NoProxy);
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected(5000);
    }

    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // Writes and waits until the bytes have left; `pauseMs` afterwards lets the server
    // read them on their own before the next piece.
    void send(const QByteArray& bytes, int pauseMs = 0) {
        m_socket.write(bytes);
        while (m_socket.bytesToWrite() > 0 && m_socket.waitForBytesWritten(5000)) {
        }
        if (pauseMs > 0) QThread::msleep(pauseMs);
    }
    // Everything the server sends until it closes the connection (or `timeoutMs` passes).
    QByteArray answer(int timeoutMs = 5000) {
        closedWithin(timeoutMs);
        return m_received;
    }
    // True when the server closes the connection within `timeoutMs`.
    bool closedWithin(int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (isConnected() && timer.elapsed() < timeoutMs) {
            m_socket.waitForReadyRead(int(std::max<qint64>(1, timeoutMs - timer.elapsed())));
            m_received += m_socket.readAll();
        }
        m_received += m_socket.readAll();
        return !isConnected();
    }
    // True when nothing arrives and the connection stays open for `ms`.
    bool silentFor(int ms) {
        const bool somethingArrived = m_socket.waitForReadyRead(ms);
        m_received += m_socket.readAll();
        return !somethingArrived && isConnected();
    }
    void close() { m_socket.abort(); }
    // Closes the sending side only, as a client does once its request is out.
    void finishSending() { ::shutdown(int(m_socket.socketDescriptor()), SHUT_WR); }

  private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

// A request with a Content-Length header for `body`.
inline QByteArray request(const QByteArray& method, const QByteArray& target, const QByteArray& body = {}) {
    return method + ' ' + target +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
}

// One exchange: sends `bytes` and returns the whole answer.
inline QByteArray exchange(quint16 port, const QByteArray& bytes) {
    UploadClient client(port);
    client.send(bytes);
    return client.answer();
}

// Runs the event loop until `condition` holds or `timeoutMs` passes.
template <class Condition> bool waitUntil(Condition condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

} // namespace ombrel::test
