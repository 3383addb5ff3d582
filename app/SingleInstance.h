#pragma once
// One running program per user session: a later start hands its request (URLs, files,
// or "show yourself") to the running one over a local socket and exits.

#include <QLocalServer>
#include <QObject>
#include <QStringList>
#include <memory>

namespace ombrel {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(QString bundleId, QObject* parent = nullptr);
    // Sends `arguments` to a running program. True when one received them.
    bool sendToRunning(const QStringList& arguments, int timeoutMs = 2000);
    // Starts answering later starts. False when another program already listens.
    bool listen();
    QString socketName() const { return m_name; }

  Q_SIGNALS:
    // A later start asked for these URLs or files; empty means "show yourself".
    void received(const QStringList& arguments);

  private:
    QString m_name;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace ombrel
