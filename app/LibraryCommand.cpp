#include "app/Commands.h"
#include "library/CaptureStore.h"

#include <QTextStream>

namespace ombrel {

int libraryCommand(const QStringList& args) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.isEmpty() ||
        (args.first() != QLatin1String("list") && args.first() != QLatin1String("search"))) {
        err << "Say what to do: \"library list\" or \"library search WORD…\".\n";
        return 2;
    }
    const QStringList found = args.first() == QLatin1String("list")
                                  ? CaptureStore::all()
                                  : CaptureStore::search(args.mid(1).join(QLatin1Char(' ')));
    for (const QString& path : found)
        out << path << '\n';
    return 0;
}

} // namespace ombrel
