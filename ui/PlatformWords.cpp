#include "PlatformWords.h"

#include <QRegularExpression>
#include <utility>

namespace ombrel {

namespace {

// Whole sentences that only hold on the Mac, dropped with the space before them.
const QRegularExpression& macOnlySentence() {
    static const QRegularExpression re(
        QStringLiteral(R"(\s*[^.!?]*\b(iCloud|Apple Account|AirDrop)\b[^.!?]*[.!?])"));
    return re;
}

// Modifier names, with the "-" that joins them to the next key in a combination.
const QRegularExpression& combination() {
    static const QRegularExpression re(QStringLiteral(
        R"(\b((?:(?:Shift|Command|Cmd|Option|Control|Ctrl)-)+)(?=[A-Za-z0-9]|Return|Space|Click|click|Tab|Delete))"));
    return re;
}

QString modifiers(const QString& joined) {
    static const QList<std::pair<QString, QString>> names{{QStringLiteral("Command"), QStringLiteral("Ctrl")},
                                                          {QStringLiteral("Cmd"), QStringLiteral("Ctrl")},
                                                          {QStringLiteral("Control"), QStringLiteral("Ctrl")},
                                                          {QStringLiteral("Option"), QStringLiteral("Alt")},
                                                          {QStringLiteral("Shift"), QStringLiteral("Shift")},
                                                          {QStringLiteral("Ctrl"), QStringLiteral("Ctrl")}};
    QStringList out;
    for (const QString& part : joined.split(QLatin1Char('-'), Qt::SkipEmptyParts)) {
        QString name = part;
        for (const auto& [mac, here] : names)
            if (part == mac) name = here;
        if (!out.contains(name)) out << name; // "Command-Control-" is one Ctrl here
    }
    return out.join(QLatin1Char('+')) + QLatin1Char('+');
}

// Plain replacements, applied in order (longer phrases first).
const QList<std::pair<QString, QString>>& phrases() {
    static const QList<std::pair<QString, QString>> table{
        // Comments are rewritten by a model server the user runs, not by the system.
        {QStringLiteral("Rewriting needs Apple Intelligence, on macOS 26 or newer."),
         QStringLiteral("Rewriting needs a language model running on this computer, such as Ollama.")},
        // Speech is recognised on this computer alone: no online service to check or to name.
        {QStringLiteral("Check your internet connection and try again."), QStringLiteral("Try again.")},
        {QStringLiteral("Arabic (uses Apple's speech service)"), QStringLiteral("Arabic")},
        {QStringLiteral("Same as My Mac"), QStringLiteral("Same as My Computer")},
        {QStringLiteral("Your Mac"), QStringLiteral("Your computer")},
        {QStringLiteral("your Mac"), QStringLiteral("your computer")},
        {QStringLiteral("this Mac"), QStringLiteral("this computer")},
        {QStringLiteral("This Mac"), QStringLiteral("This computer")},
        {QStringLiteral("the Mac"), QStringLiteral("the computer")},
        {QStringLiteral("a busy Mac"), QStringLiteral("a busy computer")},
        {QStringLiteral("a Mac"), QStringLiteral("a computer")},
        // Programs started at login are listed by the desktop, not under a settings path.
        {QStringLiteral("System Settings > General > Login Items"),
         QStringLiteral("your desktop's Startup Applications")},
        {QStringLiteral("System Settings"), QStringLiteral("Settings")},
        {QStringLiteral("Finder"), QStringLiteral("Files")},
        {QStringLiteral("the Option key"), QStringLiteral("the Alt key")},
        {QStringLiteral("Option key"), QStringLiteral("Alt key")},
        {QStringLiteral("Command key"), QStringLiteral("Ctrl key")},
        {QStringLiteral("⌘"), QStringLiteral("Ctrl+")},
        {QStringLiteral("⌥"), QStringLiteral("Alt+")},
        {QStringLiteral("⇧"), QStringLiteral("Shift+")},
        {QStringLiteral("⌃"), QStringLiteral("Ctrl+")},
    };
    return table;
}

} // namespace

QString words(const QString& text) {
    QString out = text;
    // Lists of the Mac's sharing services keep the ones this desktop has, before the
    // sentences about services that exist only there are dropped.
    out.replace(QStringLiteral("AirDrop, Mail, Messages, Bluetooth"), QStringLiteral("Mail, Bluetooth"));
    out.remove(macOnlySentence());
    // A dropped first sentence leaves the space that stood before the next one.
    if (out.size() != text.size() && !text.isEmpty() && !text.front().isSpace()) {
        qsizetype lead = 0;
        while (lead < out.size() && out.at(lead).isSpace())
            ++lead;
        out.remove(0, lead);
    }
    // Combinations first, so "Shift-Command-Z" becomes "Shift+Ctrl+Z" as a whole.
    QString joined;
    qsizetype last = 0;
    auto it = combination().globalMatch(out);
    while (it.hasNext()) {
        const auto m = it.next();
        joined += QStringView(out).mid(last, m.capturedStart() - last);
        joined += modifiers(m.captured(1));
        last = m.capturedEnd();
    }
    joined += QStringView(out).mid(last);
    out = joined;
    for (const auto& [mac, here] : phrases()) {
        // Whole words only: "the Mac" is not the start of "the Machine".
        const bool wordStart = mac.front().isLetter(), wordEnd = mac.back().isLetter();
        const QRegularExpression re((wordStart ? QStringLiteral("\\b") : QString()) +
                                    QRegularExpression::escape(mac) +
                                    (wordEnd ? QStringLiteral("\\b") : QString()));
        out.replace(re, here);
    }
    // A "Mac" left on its own ("same Wi-Fi as this Mac" is handled above) is the computer.
    static const QRegularExpression mac(QStringLiteral(R"(\bMac\b(?!OS))"));
    out.replace(mac, QStringLiteral("computer"));
    return out;
}

QStringList words(const QStringList& texts) {
    QStringList out;
    out.reserve(texts.size());
    for (const QString& t : texts)
        out << words(t);
    return out;
}

QString keyWords(const QString& combinationText) {
    if (combinationText == QLatin1String("Off")) return combinationText;
    const qsizetype dash = combinationText.lastIndexOf(QLatin1Char('-'));
    if (dash <= 0) return words(combinationText);
    return modifiers(combinationText.left(dash + 1)) + combinationText.mid(dash + 1);
}

} // namespace ombrel
