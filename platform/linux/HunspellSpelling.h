#pragma once
// Spelling through Hunspell with the dictionaries installed on the system, and the language
// of a text guessed by libexttextcat's n-gram fingerprints.

#include "platform/Spelling.h"

#include <QHash>
#include <QString>
#include <mutex>

struct Hunhandle;

namespace ombrel {

class HunspellSpelling : public Spelling {
  public:
    // Dictionaries are looked for in `dictionaryFolders` (the system's when empty).
    explicit HunspellSpelling(QStringList dictionaryFolders = {});
    ~HunspellSpelling() override;
    HunspellSpelling(const HunspellSpelling&) = delete;
    HunspellSpelling& operator=(const HunspellSpelling&) = delete;

    QStringList languages() override;
    QString dominantLanguage(const QString& text) override;
    std::optional<WordRange> nextMisspelled(const QString& text, qsizetype from,
                                            const QString& language) override;
    QStringList suggestions(const QString& word, const QString& language) override;

    // The folders Hunspell dictionaries are installed in on this system.
    static QStringList systemFolders();

  private:
    // The dictionary of `language` (the default one when empty), loaded on first use, or
    // null when there is none. Call with m_mutex held.
    Hunhandle* dictionary(const QString& language);
    QString defaultLanguage();

    std::mutex m_mutex;
    QStringList m_folders;
    QHash<QString, QString> m_paths; // language → path without extension
    QStringList m_languages;
    QHash<QString, Hunhandle*> m_loaded;
    void* m_guesser = nullptr;
    bool m_guesserTried = false;
};

} // namespace ombrel
