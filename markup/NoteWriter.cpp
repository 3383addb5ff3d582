#include "NoteWriter.h"

#include "platform/Log.h"
#include "platform/Platform.h"

#include <QtConcurrent>

namespace ombrel {

bool NoteWriter::canRewrite() {
    return Platform::languageModel().isAvailable();
}

QFuture<Outcome<QString>> NoteWriter::rewritten(const QString& comment) {
    return QtConcurrent::run([comment] {
        Outcome<QString> answer = Platform::languageModel().respond(instructions, comment, temperature);
        if (!answer) {
            qCInfo(logMarkup) << "Rewriting a comment failed:" << answer.message();
            return answer;
        }
        return Outcome<QString>::ok(cleaned(answer.value(), comment));
    });
}

QString NoteWriter::cleaned(const QString& answer, const QString& typed) {
    QString text = answer.trimmed();
    if (text.size() >= 3) {
        const bool straight = text.front() == QLatin1Char('"') && text.back() == QLatin1Char('"');
        const bool curly = text.front() == QChar(0x201C) && text.back() == QChar(0x201D);
        if (straight || curly) text = text.mid(1, text.size() - 2).trimmed();
    }
    // An answer that says nothing, or far more than was asked, is not a rewrite.
    if (text.isEmpty() || text.size() > 3 * typed.size() + 60) return typed;
    return text;
}

QString NoteWriter::spellingLanguage(const QString& text) {
    Spelling& spelling = Platform::spelling();
    const QString code = spelling.dominantLanguage(text);
    if (code.isEmpty()) return {};
    for (const QString& language : spelling.languages())
        if (language == code || language.startsWith(code + QLatin1Char('_'))) return language;
    return {};
}

QList<WordRange> NoteWriter::misspelledRanges(const QString& text) {
    Spelling& spelling = Platform::spelling();
    const QString language = spellingLanguage(text);
    QList<WordRange> found;
    qsizetype at = 0;
    while (at < text.size()) {
        const std::optional<WordRange> next = spelling.nextMisspelled(text, at, language);
        if (!next || next->length <= 0) break;
        found.append(*next);
        at = next->start + next->length;
    }
    return found;
}

int NoteWriter::misspelledCount(const QString& text) {
    return int(misspelledRanges(text).size());
}

} // namespace ombrel
