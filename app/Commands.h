#pragma once
// The verbs of the command line that the application shell itself answers.

#include <QStringList>
#include <QTextStream>

namespace ombrel {

// Prints why a command failed on standard error and answers its exit status.
inline int failCommand(const QString& message) {
    QTextStream(stderr) << message << '\n';
    return 1;
}

int captureCommand(const QStringList& args);
int libraryCommand(const QStringList& args);
// Serves a PNG on the clipboard until another program takes it (used by capture --clipboard).
int holdClipboardCommand(const QStringList& args);
// Records the screen or a window headless and saves it (see RecordCommand.cpp).
int recordCommand(const QStringList& args);
// Writes the captions of what is said in a video (see TranscribeCommand.cpp).
int transcribeCommand(const QStringList& args);

} // namespace ombrel
