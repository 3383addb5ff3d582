#include "HunspellSpelling.h"

#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTextBoundaryFinder>

#include <cstring>
#include <hunspell.h>
#include <textcat.h>

namespace ombrel {

namespace {

constexpr const char* fingerprintFolder = "/usr/share/libexttextcat/";

// A word worth checking: it has letters and no digits ("v2", "1080p" and codes are not words).
bool isCheckable(QStringView word) {
    bool letter = false;
    for (QChar c : word) {
        if (c.isDigit()) return false;
        letter = letter || c.isLetter();
    }
    return letter;
}

} // namespace

HunspellSpelling::HunspellSpelling(QStringList dictionaryFolders)
    : m_folders(dictionaryFolders.isEmpty() ? systemFolders() : std::move(dictionaryFolders)) {
    for (const QString& folder : m_folders) {
        const QDir dir(folder);
        for (const QFileInfo& dic : dir.entryInfoList({QStringLiteral("*.dic")}, QDir::Files)) {
            const QString name = dic.completeBaseName();
            // Hyphenation and thesaurus files share the folder; a dictionary has its .aff beside it.
            if (m_paths.contains(name) || !QFileInfo::exists(dir.filePath(name + QStringLiteral(".aff"))))
                continue;
            m_paths.insert(name, dir.filePath(name));
        }
    }
    m_languages = m_paths.keys();
    std::sort(m_languages.begin(), m_languages.end());
    // The user's own language first, so a guess of "en" picks British or American English as
    // the user writes it.
    const QString own = QLocale::system().name();
    if (m_languages.removeOne(own)) m_languages.prepend(own);
}

HunspellSpelling::~HunspellSpelling() {
    for (Hunhandle* h : std::as_const(m_loaded))
        if (h) Hunspell_destroy(h);
    if (m_guesser) textcat_Done(m_guesser);
}

QStringList HunspellSpelling::systemFolders() {
    QStringList folders;
    for (const QString& p : qEnvironmentVariable("DICPATH").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders << p;
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + QStringLiteral("/hunspell");
    folders << QStringLiteral("/usr/share/hunspell") << QStringLiteral("/usr/share/myspell")
            << QStringLiteral("/usr/share/myspell/dicts");
    folders.removeDuplicates();
    return folders;
}

QStringList HunspellSpelling::languages() {
    return m_languages;
}

QString HunspellSpelling::defaultLanguage() {
    if (m_languages.isEmpty()) return {};
    const QString own = QLocale::system().name();
    const QString ownCode = own.section(QLatin1Char('_'), 0, 0);
    for (const QString& l : m_languages)
        if (l == own || l.startsWith(ownCode + QLatin1Char('_'))) return l;
    for (const QString& l : {QStringLiteral("en_GB"), QStringLiteral("en_US")})
        if (m_languages.contains(l)) return l;
    return m_languages.first();
}

Hunhandle* HunspellSpelling::dictionary(const QString& language) {
    const QString name = language.isEmpty() ? defaultLanguage() : language;
    if (const auto hit = m_loaded.constFind(name); hit != m_loaded.constEnd()) return *hit;
    Hunhandle* handle = nullptr;
    const QString path = m_paths.value(name);
    if (!path.isEmpty()) {
        handle = Hunspell_create(QFile::encodeName(path + QStringLiteral(".aff")).constData(),
                                 QFile::encodeName(path + QStringLiteral(".dic")).constData());
        // Words are handed over as UTF-8; a dictionary in another encoding would read them wrong.
        if (handle && std::strcmp(Hunspell_get_dic_encoding(handle), "UTF-8") != 0) {
            qCWarning(logPlatform) << "The dictionary" << path << "is not in UTF-8; it is not used";
            Hunspell_destroy(handle);
            handle = nullptr;
        }
    }
    if (!handle) qCInfo(logPlatform) << "No spelling dictionary for" << name;
    m_loaded.insert(name, handle);
    return handle;
}

QString HunspellSpelling::dominantLanguage(const QString& text) {
    const QByteArray utf8 = text.simplified().toUtf8();
    std::lock_guard guard(m_mutex);
    if (!m_guesserTried) {
        m_guesserTried = true;
        const QByteArray conf = QByteArray(fingerprintFolder) + "fpdb.conf";
        m_guesser = special_textcat_Init(conf.constData(), fingerprintFolder);
        if (!m_guesser)
            qCWarning(logPlatform) << "The language fingerprints in" << fingerprintFolder << "are missing";
    }
    if (!m_guesser || utf8.isEmpty()) return {};
    candidate_t* candidates = textcat_GetClassifyFullOutput(m_guesser);
    const int count = textcat_ClassifyFull(m_guesser, utf8.constData(), size_t(utf8.size()), candidates);
    // The candidates are about as likely as each other, best first: prefer one a dictionary
    // is installed for ("en" over "sco", "de" over "lb").
    QString best;
    for (int i = 0; i < count; ++i) {
        // Names read "en--utf8", "zh-CN-utf8": the language code comes first.
        const QString code = QString::fromLatin1(candidates[i].name).section(QLatin1Char('-'), 0, 0);
        if (best.isEmpty()) best = code;
        const bool haveDictionary =
            std::any_of(m_languages.cbegin(), m_languages.cend(),
                        [&](const QString& l) { return l == code || l.startsWith(code + QLatin1Char('_')); });
        if (haveDictionary) {
            best = code;
            break;
        }
    }
    textcat_ReleaseClassifyFullOutput(m_guesser, candidates);
    return best;
}

std::optional<WordRange> HunspellSpelling::nextMisspelled(const QString& text, qsizetype from,
                                                          const QString& language) {
    if (from < 0 || from >= text.size()) return std::nullopt;
    std::lock_guard guard(m_mutex);
    Hunhandle* handle = dictionary(language);
    if (!handle) return std::nullopt;
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    words.setPosition(int(from));
    if (!words.isAtBoundary()) words.toPreviousBoundary();
    qsizetype start = words.position();
    while (start >= 0 && start < text.size()) {
        const qsizetype end = words.toNextBoundary();
        if (end < 0) break;
        const QStringView word = QStringView(text).mid(start, end - start);
        if (start >= from && isCheckable(word)) {
            // Dictionaries spell the apostrophe straight.
            QString plain = word.toString();
            plain.replace(QChar(0x2019), QLatin1Char('\''));
            if (!Hunspell_spell(handle, plain.toUtf8().constData())) return WordRange{start, end - start};
        }
        start = end;
    }
    return std::nullopt;
}

QStringList HunspellSpelling::suggestions(const QString& word, const QString& language) {
    std::lock_guard guard(m_mutex);
    Hunhandle* handle = dictionary(language);
    if (!handle) return {};
    char** list = nullptr;
    const int n = Hunspell_suggest(handle, &list, word.toUtf8().constData());
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QString::fromUtf8(list[i]);
    if (list) Hunspell_free_list(handle, &list, n);
    return out;
}

} // namespace ombrel
