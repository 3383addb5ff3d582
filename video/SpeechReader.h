#pragma once
// What was said in a recording, as timed words: the sound is taken out of the video and
// heard part by part by the speech service of this computer (platform/Speech.h). The
// words become captions with VideoEdit::captionsFrom.
//
// Sound is heard in parts of 11 s that start every 10 s, so a word cut at the end of one
// part is heard whole in the next; a word heard in both is kept once. A part that fails is
// skipped. Every temporary sound file is private and deleted when its step ends, also after
// errors.

#include "platform/Defaults.h"
#include "platform/Speech.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace ombrel {

class SpeechReader {
  public:
    using Word = SpeechWord;

    struct Language {
        const char* name;
        std::optional<QString> code; // none: the desktop's own language
    };
    // The choices of the language menu, in order.
    static const QList<Language>& languages();

    static constexpr StringKey languageKey{"transcribeLanguage", ""};
    // The language Transcribe listens for; none: the desktop's. Setting none removes the key.
    static std::optional<QString> language();
    static void setLanguage(const std::optional<QString>& code);

    // Why a transcription gave no words.
    struct Error {
        QString domain = QStringLiteral("SpeechReader");
        int code = 0;
        QString description;
        bool notAvailable = false; // no recogniser for the language on this computer
    };
    struct Result {
        QList<Word> words;          // in time order; empty when nobody spoke
        std::optional<Error> error; // set only when no words were found because of it
    };

    // The whole transcription of `video` (a file FFmpeg reads; a file without sound has no
    // words). Waits for all of it: call it off the GUI thread. `onUpdate`, when given,
    // receives progress texts on the calling thread.
    static Result words(const QString& video, const std::function<void(const QString&)>& onUpdate = {});
    // The same in `language` (empty: the desktop's), whatever the setting says.
    static Result wordsIn(const QString& video, const QString& language,
                          const std::function<void(const QString&)>& onUpdate = {});

    // The parts a sound of `seconds` is heard in: (start, length) pairs.
    static QList<std::pair<double, double>> partRanges(double seconds);
    static constexpr double partStep = 10, partLength = 11;
    // Adds the words of one part, already shifted to video time, to `kept`: a word counts only
    // when nothing is kept yet or it starts no earlier than 0.05 s before the last kept word
    // ends.
    static void addHeard(QList<Word>& kept, const QList<Word>& shifted);
};

} // namespace ombrel
