#pragma once
// The sharing jobs of the command line:
//   `ombrel-capture steps FILE… [--output PDF]` makes the steps document of the pictures;
//   `ombrel-capture save-copy FILE… --to FOLDER` saves copies as "Choose a Folder…" does.

#include <QStringList>

namespace ombrel {

// Writes the steps document (a new library file unless --output names one) and prints its
// path. Answers 0, 1 when there is no picture among the files or the document cannot be
// written, 2 for wrong arguments.
int stepsCommand(const QStringList& args);

// Copies the files into FOLDER's "Ombrel Capture" folder, each under a free name, and prints
// each copy's path. Answers 0, 1 when a copy fails (the earlier copies stay), 2 for wrong
// arguments.
int saveCopyCommand(const QStringList& args);

} // namespace ombrel
