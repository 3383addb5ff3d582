#pragma once
// The mark-up layer's links to the rest of the program.

#include <QStringList>

namespace ombrel {

// Lets the capture store's search read the words written on pictures. Called at start-up.
void installMarkupIntoLibrary();

// `ombrel-capture render PICTURE [--marks MARKS.json] --output OUT.png`: renders a picture
// with its marks (the library's side file when --marks is absent) to a finished PNG.
int renderCommand(const QStringList& args);

// Writes a command's finished PNG whole to `path`; answers the exit status, saying on
// stderr why it could not be written.
int writeCommandPng(const QByteArray& png, const QString& path);

} // namespace ombrel
