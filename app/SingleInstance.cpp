#include "SingleInstance.h"

#include <QDataStream>
#include <QLocalSocket>
#include <unistd.h>

namespace ombrel {

SingleInstance::SingleInstance(QString bundleId, QObject* parent)
    : QObject(parent), m_name(bundleId + QStringLiteral("-") + QString::number(getuid())) {
    // One socket per user and X display, so two test desktops never meet.
    const QByteArray display = qgetenv("DISPLAY");
    if (!display.isEmpty())
        m_name += QLatin1Char('-') + QString::fromLocal8Bit(display).remove(QLatin1Char(':'));
}

bool SingleInstance::sendToRunning(const QStringList& arguments, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs)) return false;
    QByteArray payload;
    QDataStream encoder(&payload, QIODevice::WriteOnly);
    encoder << arguments;
    QDataStream out(&socket);
    out << payload;
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The running program answers one byte once it has taken the request.
    return socket.waitForReadyRead(timeoutMs) && socket.read(1) == "1";
}

bool SingleInstance::listen() {
    // A running program answers on the socket: leave it alone. (Listening with access
    // options renames a fresh socket into place, which would silently take over its name.)
    {
        QLocalSocket probe;
        probe.connectToServer(m_name);
        if (probe.waitForConnected(500)) return false;
    }
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A socket left by a program that crashed: nobody answered it above, so take it over.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) return false;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                QDataStream in(socket);
                in.startTransaction();
                QByteArray payload;
                in >> payload;
                if (!in.commitTransaction()) return; // wait for the rest
                QStringList arguments;
                QDataStream decoder(payload);
                decoder >> arguments;
                socket->write("1");
                socket->flush();
                Q_EMIT received(arguments);
            });
        }
    });
    return true;
}

} // namespace ombrel
