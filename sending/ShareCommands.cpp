#include "ShareCommands.h"

#include "CloudDrive.h"
#include "StepsPDF.h"
#include "library/CaptureStore.h"

#include <QFileInfo>
#include <QTextStream>

namespace ombrel {

namespace {

struct FilesAndOption {
    QStringList files;
    QString value;   // the path after the option
    QString problem; // empty when the arguments make sense
};

// FILE… and one option with a path ("--output PDF", "--output=PDF").
FilesAndOption parse(const QStringList& args, const QString& option) {
    FilesAndOption parsed;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == option) {
            if (i + 1 >= args.size()) {
                parsed.problem = QStringLiteral("Say which path goes after %1.").arg(option);
                return parsed;
            }
            parsed.value = args[++i];
        } else if (arg.startsWith(option + QLatin1Char('='))) {
            parsed.value = arg.mid(option.size() + 1);
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            parsed.problem = QStringLiteral("Unknown option \"%1\".").arg(arg);
            return parsed;
        } else if (!QFileInfo(arg).isFile()) {
            parsed.problem = QStringLiteral("There is no file %1.").arg(arg);
            return parsed;
        } else {
            parsed.files.append(arg);
        }
    }
    if (parsed.problem.isEmpty() && parsed.files.isEmpty())
        parsed.problem = QStringLiteral("Give the files.");
    return parsed;
}

int usage(const QString& problem, const char* line) {
    QTextStream(stderr) << problem << "\nUsage: ombrel-capture " << line << '\n';
    return 2;
}

} // namespace

int stepsCommand(const QStringList& args) {
    const FilesAndOption parsed = parse(args, QStringLiteral("--output"));
    if (!parsed.problem.isEmpty()) return usage(parsed.problem, "steps FILE… [--output PDF]");
    QTextStream err(stderr);
    if (StepsPDF::pictureFiles(parsed.files).isEmpty()) {
        err << "Couldn't make the document. There were no pictures to put in it.\n";
        return 1;
    }
    QString path = parsed.value;
    try {
        if (path.isEmpty()) path = CaptureStore::newStepsURL();
    } catch (const StoreError& error) {
        err << "Couldn't make the document: " << error.what() << '\n';
        return 1;
    }
    if (!StepsPDF::writeFiles(parsed.files, QStringLiteral("Steps"), path)) {
        err << "Couldn't write the document to " << path << ". Check the folder exists and has room.\n";
        return 1;
    }
    if (parsed.value.isEmpty()) CaptureStore::noteChange();
    QTextStream(stdout) << QFileInfo(path).absoluteFilePath() << '\n';
    return 0;
}

int saveCopyCommand(const QStringList& args) {
    const FilesAndOption parsed = parse(args, QStringLiteral("--to"));
    const char* line = "save-copy FILE… --to FOLDER";
    if (!parsed.problem.isEmpty()) return usage(parsed.problem, line);
    if (parsed.value.isEmpty()) return usage(QStringLiteral("Say which folder with --to FOLDER."), line);
    const QFileInfo folder(parsed.value);
    if (!folder.isDir()) return usage(QStringLiteral("There is no folder %1.").arg(parsed.value), line);
    const CloudDrive drive{folder.fileName(), folder.absoluteFilePath()};
    const Outcome<QStringList> copies = drive.save(parsed.files);
    if (!copies) {
        QTextStream(stderr) << "Couldn't save to " << drive.name << ". " << copies.message() << '\n';
        return 1;
    }
    QTextStream out(stdout);
    for (const QString& copy : copies.value())
        out << copy << '\n';
    return 0;
}

} // namespace ombrel
