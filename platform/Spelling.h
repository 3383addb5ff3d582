#pragma once
// The spell checker of the system and its guess of the language a text is written in.

#include <QString>
#include <QStringList>
#include <optional>

namespace ombrel {

// Where a word stands in a text, in UTF-16 code units.
struct WordRange {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const WordRange&, const WordRange&) = default;
};

// Safe to call from any thread; calls may wait for a dictionary being loaded by another.
class Spelling {
  public:
    virtual ~Spelling() = default;

    // The languages a dictionary is installed for, as "en_GB", "de_DE" …; the user's own
    // language comes first.
    virtual QStringList languages() = 0;

    // The language most of `text` is written in, as a code such as "en" or "de"; empty when
    // the text is too short or too mixed to tell.
    virtual QString dominantLanguage(const QString& text) = 0;

    // The first misspelled word of `text` at or after `from`, checked in `language` (one of
    // `languages`); an empty language lets the checker choose (the user's language when a
    // dictionary for it is installed). None when there is no misspelled word after `from`
    // or no dictionary at all.
    virtual std::optional<WordRange> nextMisspelled(const QString& text, qsizetype from,
                                                    const QString& language) = 0;

    // Better spellings of `word`, best first.
    virtual QStringList suggestions(const QString& word, const QString& language) = 0;
};

} // namespace ombrel
