#pragma once
// Speech recognition: the words of a sound file with their times, for transcription, and a
// live stream of partial results from the microphone, for dictated comments.
//
// Languages are locale codes as the program offers them ("en-GB", "fr-FR"); an empty code
// means the desktop's own language. A language is available when the engine has a model for
// it installed on this computer; nothing is sent anywhere else.

#include "Recording.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace ombrel {

// One word heard, as recognition gives it: start and length in seconds from the start of
// the sound it was heard in.
struct SpeechWord {
    QString text;
    double time = 0;
    double duration = 0;

    friend bool operator==(const SpeechWord&, const SpeechWord&) = default;
};

// What recognising a sound file gave.
struct Recognition {
    enum class Status {
        Words,        // `words` holds what was heard
        NoSpeech,     // the sound was read, and nobody spoke in it
        NotAvailable, // no model for the language (or no engine at all) on this computer
        Failed,       // the sound could not be read, or the engine broke down
    };
    Status status = Status::NoSpeech;
    QList<SpeechWord> words;
    // For NotAvailable and Failed: a sentence for the user saying what went wrong.
    QString message;

    static Recognition heard(QList<SpeechWord> words) {
        if (words.isEmpty()) return {};
        return {Status::Words, std::move(words), {}};
    }
    static Recognition failed(Status status, QString message) { return {status, {}, std::move(message)}; }
    bool isFailure() const { return status == Status::NotAvailable || status == Status::Failed; }
};

// One pass of live recognition over audio handed to it. Results come on a thread of the
// engine's, never after `cancel` has returned: `text` is the whole transcript of the pass so
// far (it may revise what an earlier result said; none when a result carries no text) and
// `done` is true for the pass's last result: the speaker paused after speaking, the pass
// heard nothing for a while, the audio ended, or the engine failed.
class SpeechTask {
  public:
    using Handler = std::function<void(std::optional<QString> text, bool done)>;
    virtual ~SpeechTask() = default;
    // Audio for the pass; safe from the audio source's own thread.
    virtual void append(const AudioChunk& chunk) = 0;
    // No more audio: what was heard so far becomes the final result.
    virtual void endAudio() = 0;
    // Stops the pass at once; no result is delivered after this returns.
    virtual void cancel() = 0;
};

class Speech {
  public:
    static constexpr int soundRate = 16000;

    virtual ~Speech() = default;

    // Whether recognition may be used. Answers at once.
    virtual bool isAuthorized() = 0;
    // Asks for it where the desktop asks such things, and answers whether it was granted.
    virtual bool requestAuthorization() = 0;

    // Whether `language` (empty: the desktop's) can be recognised on this computer now.
    virtual bool isAvailable(const QString& language) = 0;

    // The words of the sound file `soundFile`, a WAV file of 16-bit samples, mono, at
    // `soundRate` (16 kHz). Waits for the whole file: call it off the GUI thread. Safe from
    // several threads at once.
    virtual Recognition recognizeFile(const QString& soundFile, const QString& language) = 0;

    // Starts a live pass in `language` that reports through `handler`; none when the
    // language is not available.
    virtual std::unique_ptr<SpeechTask> startTask(const QString& language, SpeechTask::Handler handler) = 0;
};

} // namespace ombrel
