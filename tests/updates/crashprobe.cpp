// A program that installs the crash handler and then dies the way it is told:
//   crashprobe FOLDER segv | fatal | exception | clean
#include "updates/CrashHandler.h"

#include <QCoreApplication>
#include <stdexcept>

namespace {

// Kept out of line, so the crash happens in a frame of its own with this name.
[[gnu::noinline]] void writeThroughNull(volatile int* where) {
    *where = 42;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || !ombrel::CrashHandler::install(args[1], QStringLiteral("7.7.7"))) return 2;
    const QString how = args[2];
    if (how == QLatin1String("segv")) writeThroughNull(nullptr);
    if (how == QLatin1String("fatal")) qFatal("The canvas lost its picture");
    if (how == QLatin1String("exception")) throw std::runtime_error("no page to send");
    ombrel::CrashHandler::uninstall();
    return 0;
}
