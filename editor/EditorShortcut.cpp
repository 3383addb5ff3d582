#include "EditorShortcut.h"

#include "platform/Defaults.h"
#include "platform/Notifier.h"

#include <QVariantMap>

namespace ombrel::EditorShortcuts {

namespace {

const QStringList toolKeys{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                           QStringLiteral("4")};

QVariantMap stored() {
    return Defaults::store().value(QString::fromLatin1(storeKey)).toMap();
}

// Keys are kept in lower case, and the question mark as the slash it shares a key with.
QString normalised(const QString& key) {
    const QString lower = key.toLower();
    return lower == QLatin1String("?") ? QStringLiteral("/") : lower;
}

} // namespace

const QList<Info>& all() {
    static const QList<Info> table{
        {EditorShortcut::Send, "send", "Send to Chat", "s"},
        {EditorShortcut::Copy, "copy", "Copy", "c"},
        {EditorShortcut::Share, "share", "Share", "h"},
        {EditorShortcut::Speak, "speak", "Speak a comment", "v"},
        {EditorShortcut::Edit, "edit", "Type in the current comment", "e"},
        {EditorShortcut::Add, "add", "Add another screen", "a"},
        {EditorShortcut::Blur, "blur", "Auto-Blur private details", "b"},
        {EditorShortcut::Tiles, "tiles", "Crop into Tiles", "t"},
        {EditorShortcut::Organise, "organise", "Organise Steps", "o"},
        {EditorShortcut::Wand, "wand", "Improve the wording", "w"},
        {EditorShortcut::Find, "find", "Find on the screen", "f"},
        {EditorShortcut::Look, "look", "Change how comments look", "l"},
        {EditorShortcut::Undo, "undo", "Undo", "u"},
        {EditorShortcut::Redo, "redo", "Redo", "r"},
        {EditorShortcut::Keys, "keys", "Show these shortcuts", "/"},
    };
    return table;
}

const Info& info(EditorShortcut shortcut) {
    return all().at(int(shortcut));
}

std::optional<QString> key(EditorShortcut shortcut) {
    const Info& i = info(shortcut);
    const QVariantMap choices = stored();
    const QString key = choices.contains(QLatin1String(i.raw))
                            ? choices.value(QLatin1String(i.raw)).toString()
                            : QString::fromLatin1(i.defaultKey);
    if (key.isEmpty()) return std::nullopt;
    return key;
}

QString keyLabel(EditorShortcut shortcut) {
    const std::optional<QString> k = key(shortcut);
    if (!k) return QStringLiteral("None");
    return *k == QLatin1String("/") ? QStringLiteral("?") : k->toUpper();
}

std::optional<EditorShortcut> action(const QString& pressed) {
    if (pressed.size() != 1) return std::nullopt;
    const QString wanted = normalised(pressed);
    for (const Info& i : all())
        if (key(i.shortcut) == wanted) return i.shortcut;
    return std::nullopt;
}

bool usable(const QString& key) {
    if (key.size() != 1 || toolKeys.contains(key)) return false;
    const QChar c = key.front();
    return c.isLetter() || c.isNumber() || c == QLatin1Char('/') || c == QLatin1Char('?');
}

std::optional<EditorShortcut> setKey(EditorShortcut shortcut, const std::optional<QString>& newKey) {
    QVariantMap choices = stored();
    std::optional<EditorShortcut> lost;
    const QString wanted = newKey ? normalised(*newKey) : QString();
    if (!wanted.isEmpty()) {
        for (const Info& i : all())
            if (i.shortcut != shortcut && key(i.shortcut) == wanted) {
                choices.insert(QLatin1String(i.raw), QString());
                lost = i.shortcut;
                break;
            }
    }
    choices.insert(QLatin1String(info(shortcut).raw), wanted);
    Defaults::store().setValue(QString::fromLatin1(storeKey), choices);
    Q_EMIT Notifier::instance().EditorShortcutsChanged();
    return lost;
}

void resetAll() {
    Defaults::store().remove(QString::fromLatin1(storeKey));
    Q_EMIT Notifier::instance().EditorShortcutsChanged();
}

} // namespace ombrel::EditorShortcuts
