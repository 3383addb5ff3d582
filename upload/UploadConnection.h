#pragma once
// The worker side of the phone upload server: the listener and one object per client
// connection. Both live on the server's worker thread.

#include "upload/UploadProtocol.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <memory>
#include <optional>

class QTcpSocket;
class QTemporaryFile;

namespace ombrel::upload {

struct ConnectionSettings {
    QByteArray token;
    QString inbox;
    int headTimeoutMs = 10000;
    int bodyStallTimeoutMs = 30000;
};

// One client: reads a single request, answers it and closes. The body is written to a
// temporary file in the inbox as it arrives (unnamed where the system allows) and given
// its final name only once complete, so memory stays bounded and no partial file is
// ever left behind.
class UploadConnection : public QObject {
    Q_OBJECT
  public:
    UploadConnection(qintptr descriptor, const ConnectionSettings& settings, QObject* parent);
    ~UploadConnection() override;

  Q_SIGNALS:
    void saved(const QString& path);
    // The connection is over (answered or dropped); the owner deletes it.
    void finished();

  private:
    enum class Stage { Head, Body, Answering, Over };

    void readAvailable();
    void takeHeadBytes(const QByteArray& chunk);
    void takeBodyBytes(QByteArrayView chunk);
    void completeRequest();
    void openInboxFile();
    std::optional<QString> keepInboxFile();
    void answer(const Response& response);
    void drop();
    void end();

    ConnectionSettings m_settings;
    QTcpSocket* m_socket = nullptr;
    QTimer m_headTimer;
    QTimer m_stallTimer;
    Stage m_stage = Stage::Head;
    QByteArray m_headBuffer;
    Decision m_decision;
    qint64 m_bodyBytesLeft = 0;
    std::unique_ptr<QTemporaryFile> m_file;
    bool m_saveFailed = false;
};

class UploadListener : public QTcpServer {
    Q_OBJECT
  public:
    UploadListener(const ConnectionSettings& settings, int maxConnections);
    ~UploadListener() override;

    // Listens; answers with `ready` or `failed`.
    void begin(const QHostAddress& address, quint16 port);

  Q_SIGNALS:
    void ready(quint16 port);
    void failed(const QString& reason);
    void saved(const QString& path);

  protected:
    void incomingConnection(qintptr descriptor) override;

  private:
    void connectionEnded(UploadConnection* connection);

    ConnectionSettings m_settings;
    int m_maxConnections;
    int m_active = 0;
    bool m_paused = false;
    bool m_closing = false;
};

} // namespace ombrel::upload
