#pragma once
// The names of this platform in the program's texts.
//
// The program's messages are written once, with the names a Mac user reads ("your Mac",
// "Finder", "Command-Z"). Every text shown to the user passes through `words`, which puts
// the names of this desktop in their place from one table, so the same thing is called
// the same everywhere: "Command-" is "Ctrl+", "Option" is "Alt", "your Mac" is "your
// computer", "Finder" is "Files", "System Settings" is "Settings". Sentences that only
// hold on the Mac (iCloud, the Apple Account) are dropped.

#include <QString>
#include <QStringList>

namespace ombrel {

// The text with this platform's names.
QString words(const QString& text);
QStringList words(const QStringList& texts);
// A key combination as the Parts write it ("Shift-Command-2", "Option-Shift-S",
// "Control-Option-Space") as this platform writes it ("Shift+Ctrl+2", "Alt+Shift+S",
// "Ctrl+Alt+Space").
QString keyWords(const QString& combination);

} // namespace ombrel
