#pragma once
// The language model as a server the user runs on this computer (Ollama, llama.cpp's
// server and others) that speaks the OpenAI chat protocol. Only an address on the loopback
// interface is ever asked: text never leaves the machine.

#include "platform/Defaults.h"
#include "platform/LanguageModel.h"

#include <QByteArray>
#include <QUrl>
#include <mutex>

namespace ombrel {

class LocalChatModel : public LanguageModel {
  public:
    // Where the server listens (its OpenAI-compatible base, ending in "/v1") and which of its
    // models to use (empty: the first one it lists).
    static constexpr StringKey addressKey{"languageModelAddress", "http://127.0.0.1:11434/v1"};
    static constexpr StringKey modelKey{"languageModelName", ""};
    static constexpr int checkTimeoutMs = 1500;
    static constexpr int answerTimeoutMs = 180000;

    LocalChatModel(QUrl base, QString model);

    // True for http addresses of this machine's loopback interface; anything else is never asked.
    static bool isLocal(const QUrl& address);

    bool isAvailable() override;
    Outcome<QString> respond(const QString& instructions, const QString& prompt, double temperature) override;

    // The answer's text in a chat-completion reply, with a model's "thinking" left out.
    static Outcome<QString> answerOf(const QByteArray& reply);

  private:
    // One request, waited for in the calling thread; the reply's body.
    Outcome<QByteArray> call(const QString& path, const QByteArray& body, int timeoutMs);
    // The model named in settings, else the first the server lists.
    Outcome<QString> model();

    QUrl m_base;
    std::mutex m_mutex;
    QString m_model;
};

} // namespace ombrel
