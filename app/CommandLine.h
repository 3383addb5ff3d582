#pragma once
// The command line beside the GUI: `ombrel-capture <verb> …` runs a job headless.

#include <QStringList>

namespace ombrel {

// What kind of application object a verb needs before it runs.
enum class VerbNeeds {
    Core,   // files and numbers only
    Gui,    // pictures, fonts or the X display
    Network // a QCoreApplication with an event loop for sockets
};

struct Verb {
    const char* name;
    const char* usage;   // one line: arguments, shown by --help
    const char* summary; // one line: what it does
    VerbNeeds needs;
    // Runs with the arguments after the verb; answers the exit status. Prints results to
    // stdout and errors, in plain words, to stderr.
    int (*run)(const QStringList& args);
};

// Every verb, in the order --help lists them.
const QList<Verb>& verbs();
const Verb* findVerb(const QString& name);
QString helpText();

} // namespace ombrel
