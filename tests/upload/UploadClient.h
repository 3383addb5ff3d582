#pragma once
// A plain TCP client for talking HTTP to the upload server on 127.0.0.1, byte by byte.

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>

namespace ombrel::test {

class UploadClient {
  public:
    explicit UploadClient(quint16 port);

    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // Writes and waits until the bytes have left; `pauseMs` afterwards lets the server
    // read them on their own before the next piece.
    void send(const QByteArray& bytes, int pauseMs = 0);
    // Everything the server sends until it closes the connection (or `timeoutMs` passes).
    QByteArray answer(int timeoutMs = 5000);
    // True when the server closes the connection within `timeoutMs`.
    bool closedWithin(int timeoutMs);
    // True when nothing arrives and the connection stays open for `ms`.
    bool silentFor(int ms);
    void close() { m_socket.abort(); }

  private:
    QTcpSocket m_socket;
    QByteArray m_received;
};

// A request with a Content-Length header for `body`.
QByteArray request(const QByteArray& method, const QByteArray& target, const QByteArray& body = {});

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

// One exchange: sends `bytes` and returns the whole answer.
QByteArray exchange(quint16 port, const QByteArray& bytes);

} // namespace ombrel::test
