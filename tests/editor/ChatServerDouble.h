#pragma once
// A stand-in for a local language model server in tests: listens on 127.0.0.1 in a thread
// of its own (so a busy GUI thread never delays its answers), lists one model and answers
// chat completions the way OpenAI-compatible servers (Ollama, llama.cpp) do.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QThread>
#include <QUrl>
#include <functional>
#include <mutex>

class QTcpServer;
class QTcpSocket;

namespace ombrel::test {

class ChatServerDouble {
  public:
    // `answer` makes the reply's text from the user's message; a non-zero `failWithStatus`
    // answers every chat request with that HTTP status instead.
    explicit ChatServerDouble(std::function<QString(const QString& comment)> answer, int failWithStatus = 0);
    ~ChatServerDouble();
    // The base address to give the model client ("http://127.0.0.1:PORT/v1").
    QUrl base() const;
    // The chat requests received so far, as sent.
    QList<QJsonObject> requests() const;

  private:
    void serve(QTcpSocket* socket);

    std::function<QString(const QString&)> m_answer;
    int m_failWithStatus;
    QThread m_thread;
    QTcpServer* m_server = nullptr; // lives in m_thread
    quint16 m_port = 0;
    mutable std::mutex m_mutex;
    QList<QJsonObject> m_requests;
};

} // namespace ombrel::test
