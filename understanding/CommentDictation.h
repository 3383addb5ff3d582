#pragma once
// A comment spoken instead of typed. Listens to the microphone (the input the recorder
// uses) and hands the editor the whole comment so far after every change: the text that was
// in the field before, then everything heard. Listening goes on across the speaker's pauses,
// one recognition pass after another, and ends by itself after two passes in a row in which
// nothing was heard, or when the editor stops it. Main thread only.

#include "platform/Speech.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace ombrel {

class CommentDictation : public QObject {
    Q_OBJECT
  public:
    explicit CommentDictation(QObject* parent = nullptr);
    ~CommentDictation() override;

    // Starts listening for a comment that continues `after`. Always asynchronous: the
    // permissions are asked first. `onStart` comes once listening has begun; `onWords` gets
    // the whole comment after every change; `onStop` comes once when listening ends; `problem`
    // gets a sentence for the user when dictation cannot start (then neither `onStart` nor
    // `onStop` comes). A dictation already running is stopped first.
    void start(const QString& after, std::function<void()> onStart,
               std::function<void(const QString&)> onWords, std::function<void()> onStop,
               std::function<void(const QString&)> problem);
    // Ends listening; nothing when not listening.
    void stop();
    bool isListening() const { return m_listening; }

    // Two pieces of dictated text joined by one space; after ".", "!" or "?" the second
    // begins with a capital. An empty piece adds nothing.
    static QString joined(const QString& a, const QString& b);
    // Whether the partial result `to` restarts rather than extends `from` (the recogniser
    // began a new transcript).
    static bool startedAfresh(const QString& from, const QString& to);

    // The fixed text and the current pass's latest text, for tests.
    const QString& before() const { return m_before; }
    const QString& heard() const { return m_heard; }
    int quietEndings() const { return m_quietEndings; }

  private:
    struct Tap;
    void begin(const QString& after, std::function<void(const QString&)> onWords,
               std::function<void()> onStop, const std::function<void(const QString&)>& problem);
    void listen();
    void handle(quint64 request, const std::optional<QString>& text, bool done);

    std::unique_ptr<AudioSource> m_engine;
    std::shared_ptr<Tap> m_tap; // where the microphone's buffers go: the current request
    std::shared_ptr<SpeechTask> m_task;
    quint64 m_request = 0; // identity of the current request; 0: none
    std::function<void(const QString&)> m_onWords;
    std::function<void()> m_onStop;
    QString m_before;
    bool m_listening = false;
    std::optional<QString> m_recognizer; // the language of the current dictation
    QString m_heard;
    int m_quietEndings = 0;
    quint64 m_starts = 0;   // makes an answer to an earlier start stale
    quint64 m_requests = 0; // numbers the requests
};

} // namespace ombrel
