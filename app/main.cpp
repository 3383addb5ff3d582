// ombrel-capture: the program, or one job of it run from the command line.
#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <memory>

using namespace ombrel;

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const QString first = args.value(0);
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        QTextStream(stdout) << helpText();
        return 0;
    }
    if (first == QLatin1String("--version")) {
        QTextStream(stdout) << "ombrel-capture " << OMBREL_VERSION << '\n';
        return 0;
    }
    if (const Verb* verb = findVerb(first); verb && verb->run) {
        std::unique_ptr<QCoreApplication> app;
        if (verb->needs == VerbNeeds::Gui)
            app = std::make_unique<QGuiApplication>(argc, argv);
        else
            app = std::make_unique<QCoreApplication>(argc, argv);
        return verb->run(args.mid(1));
    }
    QTextStream(stderr) << "Unknown command \"" << first << "\". Run ombrel-capture --help to see what it can do.\n";
    return 2;
}
