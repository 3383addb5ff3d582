#pragma once
// Writes a crash report when the program dies of a fatal signal (SIGSEGV, SIGABRT,
// SIGBUS, SIGFPE, SIGILL), for the next launch to find (CrashCheck.h).
//
// A report is two JSON documents: one line of header (versions, build, system), then the
// body (the signal, the last fatal message, the crashed thread's frames as image and
// offset, and the images they lie in). The handler is async-signal-safe: the report file
// is opened at start-up, everything that needs memory is prepared then, and in the
// handler only system calls run (the frames come from the unwinder, warmed up at
// start-up, and the images from /proc/self/maps, read with `read`). The report is
// written under a hidden name and renamed into place when it is whole.

#include <QString>

namespace ombrel::CrashHandler {

// The folder of crash reports: $XDG_STATE_HOME/ombrel-capture/crash-reports.
QString reportsFolder();

// Starts watching for fatal signals; reports go into `folder` (made private when
// missing). Also keeps the message of a fatal Qt error or an uncaught exception for the
// report. Answers false when the report file could not be opened (nothing is watched).
bool install(const QString& folder, const QString& appVersion);
// Stops watching and removes the unused report file (a clean exit).
void uninstall();

// The executable's GNU build id in hex, or "" when it has none.
QString buildId();

} // namespace ombrel::CrashHandler
