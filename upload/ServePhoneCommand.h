#pragma once
// `ombrel-capture serve-phone [--inbox DIR] [--bind ADDRESS]`: the phone upload page
// without a window. Prints the page's address, then the path of each file received;
// stops on SIGINT or SIGTERM.

#include <QStringList>

namespace ombrel {

int servePhoneCommand(const QStringList& args);

} // namespace ombrel
