#pragma once
// One key for each main editor command, working whenever no text is being typed. The
// keys are the user's to change, turn off and reset; the choices are kept under
// "editorShortcuts" as a table from the command's raw value to its key ("" for none).

#include <QList>
#include <QString>
#include <optional>

namespace ombrel {

enum class EditorShortcut {
    Send,
    Copy,
    Share,
    Speak,
    Edit,
    Add,
    Blur,
    Tiles,
    Organise,
    Wand,
    Find,
    Look,
    Undo,
    Redo,
    Keys
};

namespace EditorShortcuts {

inline constexpr const char* storeKey = "editorShortcuts";

struct Info {
    EditorShortcut shortcut;
    const char* raw;
    const char* title;
    const char* defaultKey;
};
// Every shortcut in the order the shortcuts window lists them (and keys are looked up).
const QList<Info>& all();
const Info& info(EditorShortcut shortcut);
inline QString title(EditorShortcut s) {
    return QString::fromLatin1(info(s).title);
}

// The key of a shortcut: the stored one, else its default; none when it is turned off.
std::optional<QString> key(EditorShortcut shortcut);
// "S", "?" for the slash, or "None".
QString keyLabel(EditorShortcut shortcut);
// The shortcut a pressed character stands for ("?" counts as "/").
std::optional<EditorShortcut> action(const QString& pressed);
// Gives a shortcut a key (none turns it off) and answers the shortcut that lost that key.
// Posts EditorShortcutsChanged.
std::optional<EditorShortcut> setKey(EditorShortcut shortcut, const std::optional<QString>& key);
// One letter, number, "/" or "?", but none of the tool keys 1 to 4.
bool usable(const QString& key);
// Every shortcut back to its default key. Posts EditorShortcutsChanged.
void resetAll();

} // namespace EditorShortcuts

} // namespace ombrel
