#pragma once
// The command-line verbs of updates and crash reports:
//   ombrel-capture check-for-updates [--feed URL] [--install]
//   ombrel-capture crash-summary REPORT

#include <QStringList>

namespace ombrel {

// Checks the stored feed (or the one given) as the menu's "Check for Updates…" does and
// prints what it would say; with --install, installs an offered update into the bundle
// this program runs from. Exit status 0 when up to date, offered or installed.
int checkForUpdatesCommand(const QStringList& args);
// Prints the seven-member summary of a crash report as JSON.
int crashSummaryCommand(const QStringList& args);

} // namespace ombrel
