#pragma once
// "Add from Phone": a tiny HTTP server on the local network. A phone that scanned the
// window's QR code opens the page at "/" + token, and the page posts each chosen file
// to "/" + token + "/upload?name=…". Every received file is written into the inbox
// folder and announced with `received`.
//
// All socket work (accepting, reading, parsing, answering and writing files) runs on
// one worker thread of the server's own; the object itself lives on the thread that
// made it, and its signals arrive there.

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QThread;

namespace ombrel {

namespace upload {
class UploadListener;
}

class PhoneUploadServer : public QObject {
    Q_OBJECT
  public:
    // The largest request body accepted (500 MiB).
    static constexpr qint64 maxUploadBytes = 524288000;
    // At most this much is read from a connection at a time.
    static constexpr qint64 maxReadBytes = 1048576;
    // The request line and headers, with the blank line after them, must fit in this.
    static constexpr qint64 maxHeadBytes = 65536;
    // Connections served at once; further clients wait until one ends.
    static constexpr int maxConnections = 8;

    struct Options {
        // Where received files go; empty means a new folder "ombrel-phone-<UUID>" in the
        // system's temporary folder. Created on the first save.
        QString inbox;
        // The address to listen on: every interface unless a caller narrows it.
        QHostAddress bindAddress = QHostAddress::Any;
        quint16 port = 0; // 0: any free port
        // A client that has not sent its whole request head this long after connecting,
        // or whose body stops arriving for this long, is disconnected.
        int headTimeoutMs = 10000;
        int bodyStallTimeoutMs = 30000;
    };

    explicit PhoneUploadServer(QObject* parent = nullptr);
    explicit PhoneUploadServer(Options options, QObject* parent = nullptr);
    ~PhoneUploadServer() override;

    // The secret path component: 32 upper-case hexadecimal characters, fixed at creation.
    QString token() const { return m_token; }
    QString inbox() const { return m_options.inbox; }
    // The port the listener got; 0 until `started`.
    quint16 port() const { return m_port; }
    bool isRunning() const { return m_thread != nullptr; }

    // Starts listening; answers later with `started` or `startFailed`. Does nothing while
    // already running.
    void start();
    // Stops listening and drops every open connection; files not yet complete are
    // removed, saved files stay in the inbox. Blocks until the worker thread has ended.
    void stop();

    struct InterfaceAddress {
        QString interfaceName;
        QString address; // numeric IPv4 text
    };
    // The IPv4 address to advertise: that of the first wired or wireless interface
    // ("en…", "eth…", "wl…") by name, or none.
    static std::optional<QString> localAddress();
    static std::optional<QString> chooseAddress(QList<InterfaceAddress> candidates);

    // The HTML page served to the phone.
    static QString page();
    // The Content-Length a request head announces: 0 when absent or not a number.
    static qint64 contentLength(const QByteArray& head);
    // A file name safe to use inside the inbox, made from what a client sent.
    static QString safeName(const QString& name);

  Q_SIGNALS:
    void started(quint16 port);
    void startFailed(const QString& reason);
    // One file was received and saved; `path` is its location in the inbox.
    void received(const QString& path);

  private:
    Options m_options;
    QString m_token;
    quint16 m_port = 0;
    int m_generation = 0; // tells answers of an earlier start apart from the current one
    std::unique_ptr<QThread> m_thread;
    upload::UploadListener* m_listener = nullptr; // lives on m_thread
};

} // namespace ombrel
