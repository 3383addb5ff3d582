#pragma once
// The verbs of the command line that the application shell itself answers.

#include <QStringList>

namespace ombrel {

int captureCommand(const QStringList& args);
int libraryCommand(const QStringList& args);
// Serves a PNG on the clipboard until another program takes it (used by capture --clipboard).
int holdClipboardCommand(const QStringList& args);
// Records the screen or a window headless and saves it (see RecordCommand.cpp).
int recordCommand(const QStringList& args);

} // namespace ombrel
