#include "longpage/StitchCommand.h"

#include "longpage/ScrollStitcher.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QTextStream>

namespace ombrel {

namespace {

struct StitchArgs {
    QStringList framePaths;
    QString outputPath;
    QString problem; // empty when the arguments make sense
};

StitchArgs parse(const QStringList& args) {
    StitchArgs parsed;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--output") || arg == QLatin1String("-o")) {
            if (i + 1 >= args.size()) {
                parsed.problem = QStringLiteral("Say where to write the picture after --output.");
                return parsed;
            }
            parsed.outputPath = args[++i];
        } else if (arg.startsWith(QLatin1String("--output="))) {
            parsed.outputPath = arg.mid(9);
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            parsed.problem = QStringLiteral("Unknown option \"%1\".").arg(arg);
            return parsed;
        } else {
            parsed.framePaths.append(arg);
        }
    }
    if (parsed.framePaths.isEmpty())
        parsed.problem = QStringLiteral("Give the frames to stitch, top of the page first.");
    else if (parsed.outputPath.isEmpty())
        parsed.problem = QStringLiteral("Say where to write the picture with --output OUT.png.");
    return parsed;
}

// The format named by the output file's extension, PNG when it names none we can write.
QByteArray formatFor(const QString& path) {
    const QByteArray suffix = QFileInfo(path).suffix().toLower().toLatin1();
    return QImageWriter::supportedImageFormats().contains(suffix) ? suffix : QByteArray("png");
}

} // namespace

int stitchCommand(const QStringList& args) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    const StitchArgs parsed = parse(args);
    if (!parsed.problem.isEmpty()) {
        err << parsed.problem
            << QStringLiteral("\nUsage: ombrel-capture stitch FRAME.png… --output OUT.png\n");
        return 2;
    }

    ScrollStitcher stitcher;
    for (const QString& path : parsed.framePaths) {
        QImageReader reader(path);
        const QImage frame = reader.read();
        if (frame.isNull()) {
            err << "Couldn't read the frame \"" << path << "\": " << reader.errorString()
                << ". Check that the file exists and is a picture, then try again.\n";
            return 1;
        }
        const int addedRows = stitcher.add(frame);
        out << path << ": " << addedRows << (addedRows == 1 ? " row\n" : " rows\n");
    }

    const QImage picture = stitcher.finished();
    QSaveFile file(parsed.outputPath);
    if (picture.isNull() || !file.open(QIODevice::WriteOnly) ||
        !picture.save(&file, formatFor(parsed.outputPath).constData()) || !file.commit()) {
        err << "Couldn't write \"" << parsed.outputPath
            << "\": " << (picture.isNull() ? QStringLiteral("the picture is too large") : file.errorString())
            << ". Choose another place and try again.\n";
        return 1;
    }
    out << "Wrote " << parsed.outputPath << " (" << picture.width() << QStringLiteral(" × ")
        << picture.height() << " pixels)\n";
    return 0;
}

} // namespace ombrel
