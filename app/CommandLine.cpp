#include "CommandLine.h"

#include "app/Commands.h"
#include "recording/ZoomPlanCommand.h"

#include <QTextStream>

namespace ombrel {

const QList<Verb>& verbs() {
    // Each subsystem adds its verbs here; the function lives beside the logic it drives.
    static const QList<Verb> table{
        {"library", "list | search WORD…", "Print library files, newest first, or those matching every word.",
         VerbNeeds::Core, &libraryCommand},
        {"zoom-plan", "EVENTS.json [--video FILE] --output PLAN.json",
         "Plan the zoom camera of a recording from its pointer events (and its video).", VerbNeeds::Core,
         &zoomPlanCommand},
    };
    return table;
}

const Verb* findVerb(const QString& name) {
    for (const Verb& v : verbs())
        if (name == QLatin1String(v.name))
            return &v;
    return nullptr;
}

QString helpText() {
    QString text;
    QTextStream out(&text);
    out << "Ombrel Capture " << OMBREL_VERSION << ": pictures and recordings of your screen for your AI chat.\n\n"
        << "Usage:\n"
        << "  ombrel-capture                 start the program (or show the running one)\n"
        << "  ombrel-capture URL             hand an ombrel-capture:// URL to the program\n";
    for (const Verb& v : verbs())
        out << "  ombrel-capture " << v.name << ' ' << v.usage << "\n      " << v.summary << '\n';
    out << "  ombrel-capture --help | --version\n";
    return text;
}

} // namespace ombrel
