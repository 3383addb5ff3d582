#include "understanding/CommentDictation.h"

#include "platform/Log.h"
#include "platform/Platform.h"
#include "ui/PlatformWords.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <mutex>

namespace ombrel {

// The microphone's buffers go to the request current when they arrive; the audio thread
// reads it under the lock, the main thread replaces it.
struct CommentDictation::Tap {
    std::mutex mutex;
    std::shared_ptr<SpeechTask> task;
};

namespace {

// The first run of letters, lower-cased; "" when there is none.
QString firstWord(const QString& text) {
    QString word;
    for (const QChar c : text.toLower()) {
        if (c.isLetter())
            word += c;
        else if (!word.isEmpty())
            break;
    }
    return word;
}

} // namespace

CommentDictation::CommentDictation(QObject* parent) : QObject(parent), m_tap(std::make_shared<Tap>()) {}

CommentDictation::~CommentDictation() {
    m_onStop = nullptr;
    stop();
}

QString CommentDictation::joined(const QString& a, const QString& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    QString second = b;
    const QChar last = a.back();
    if (last == QLatin1Char('.') || last == QLatin1Char('!') || last == QLatin1Char('?'))
        second[0] = second[0].toUpper();
    return a + QLatin1Char(' ') + second;
}

bool CommentDictation::startedAfresh(const QString& from, const QString& to) {
    if (from.size() < 12) return false;
    if (to.size() < from.size() * 6 / 10) return true;
    return to.size() < from.size() && firstWord(to) != firstWord(from);
}

void CommentDictation::start(const QString& after, std::function<void()> onStart,
                             std::function<void(const QString&)> onWords, std::function<void()> onStop,
                             std::function<void(const QString&)> problem) {
    stop();
    const quint64 attempt = ++m_starts;
    QPointer<CommentDictation> self(this);
    // The permission answers come later, as the desktop's questions would.
    QTimer::singleShot(
        0, this,
        [self, attempt, after, onStart = std::move(onStart), onWords = std::move(onWords),
         onStop = std::move(onStop), problem = std::move(problem)]() mutable {
            if (!self || self->m_starts != attempt) return;
            const bool speechAllowed = Platform::speech().requestAuthorization();
            const bool microphoneAllowed = speechAllowed && Platform::recording().requestMicrophoneAccess();
            if (!speechAllowed) {
                if (problem)
                    problem(words(
                        QStringLiteral("To speak comments, allow the microphone and speech recognition for "
                                       "Ombrel Capture in System Settings, Privacy and Security.")));
                return;
            }
            if (!microphoneAllowed) {
                // Nothing on this desktop refuses the microphone: the sound server has no input.
                if (problem)
                    problem(words(QStringLiteral(
                        "Couldn't find a microphone. Check that one is connected, then try again.")));
                return;
            }
            if (!Platform::speech().isAvailable(QString())) {
                if (problem)
                    problem(
                        words(QStringLiteral("Speech recognition isn't available on this Mac right now.")));
                return;
            }
            self->m_recognizer = QString(); // the desktop's language
            self->begin(after, std::move(onWords), std::move(onStop), problem);
            if (self && self->m_listening && onStart) onStart();
        });
}

void CommentDictation::begin(const QString& after, std::function<void(const QString&)> onWords,
                             std::function<void()> onStop,
                             const std::function<void(const QString&)>& problem) {
    if (!m_engine) m_engine = Platform::recording().microphone();
    if (!m_engine) {
        m_recognizer.reset();
        if (problem)
            problem(words(
                QStringLiteral("Couldn't find a microphone. Check that one is connected, then try again.")));
        return;
    }
    m_before = after.trimmed();
    m_heard.clear();
    m_quietEndings = 0;
    m_onWords = std::move(onWords);
    m_onStop = std::move(onStop);
    m_listening = true;
    listen();
    const std::shared_ptr<Tap> tap = m_tap;
    const Outcome<bool> started = m_engine->start([tap](const AudioChunk& chunk) {
        std::lock_guard lock(tap->mutex);
        if (tap->task) tap->task->append(chunk);
    });
    if (!started) {
        qCWarning(logUnderstanding) << "the microphone did not start:" << started.message();
        m_onStop = nullptr;
        stop();
        if (problem)
            problem(words(QStringLiteral("Couldn't use the microphone. Check that one is connected.")));
    }
}

void CommentDictation::listen() {
    if (!m_recognizer) return;
    const quint64 request = ++m_requests;
    // The finished pass goes first, so its recogniser is free for the next.
    std::shared_ptr<SpeechTask> old;
    {
        std::lock_guard lock(m_tap->mutex);
        old = std::exchange(m_tap->task, nullptr);
    }
    if (old) old->cancel();
    old.reset();
    m_task.reset();
    QPointer<CommentDictation> self(this);
    std::unique_ptr<SpeechTask> task =
        Platform::speech().startTask(*m_recognizer, [self, request](std::optional<QString> text, bool done) {
            QMetaObject::invokeMethod(
                qApp,
                [self, request, text = std::move(text), done] {
                    if (self) self->handle(request, text, done);
                },
                Qt::QueuedConnection);
        });
    {
        std::lock_guard lock(m_tap->mutex);
        m_tap->task = std::shared_ptr<SpeechTask>(std::move(task));
        m_task = m_tap->task;
    }
    m_request = m_task ? request : 0;
    if (!m_task) {
        // The recogniser went away between passes: what was heard stays, listening ends.
        qCWarning(logUnderstanding) << "no recognition pass could be started";
        QTimer::singleShot(0, this, [this] { stop(); });
    }
}

void CommentDictation::handle(quint64 request, const std::optional<QString>& text, bool done) {
    if (request == 0 || request != m_request) return;
    if (text && !text->isEmpty()) {
        if (startedAfresh(m_heard, *text)) m_before = joined(m_before, m_heard);
        m_heard = *text;
        m_quietEndings = 0;
        if (m_onWords) m_onWords(joined(m_before, *text));
    }
    if (done && m_listening) {
        if (m_heard.isEmpty()) ++m_quietEndings;
        m_before = joined(m_before, m_heard);
        m_heard.clear();
        if (m_quietEndings < 2)
            listen();
        else
            stop();
    }
}

void CommentDictation::stop() {
    if (!m_listening) return;
    m_listening = false;
    m_recognizer.reset();
    if (m_engine) m_engine->stop();
    std::shared_ptr<SpeechTask> task;
    {
        std::lock_guard lock(m_tap->mutex);
        task = std::exchange(m_tap->task, nullptr);
    }
    if (task) {
        task->endAudio();
        task->cancel();
    }
    m_task.reset();
    m_request = 0;
    std::function<void()> onStop = std::exchange(m_onStop, nullptr);
    m_onWords = nullptr;
    if (onStop) onStop();
}

} // namespace ombrel
