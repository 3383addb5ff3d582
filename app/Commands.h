#pragma once
// The verbs of the command line that the application shell itself answers.

#include <QStringList>

namespace ombrel {

int captureCommand(const QStringList& args);
int libraryCommand(const QStringList& args);

} // namespace ombrel
