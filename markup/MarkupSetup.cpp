#include "MarkupSetup.h"

#include "MarkStore.h"
#include "MarkupRender.h"
#include "library/CaptureStore.h"

#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QTextStream>

namespace ombrel {

void installMarkupIntoLibrary() {
    CaptureStore::setWordsReader([](const QString& path) { return MarkStore::words(path); });
}

int renderCommand(const QStringList& args) {
    QTextStream err(stderr);
    const QString usage =
        QStringLiteral("Usage: ombrel-capture render PICTURE [--marks MARKS.json] --output OUT.png\n");
    QString picture, marks, output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--marks") || arg == QLatin1String("--output")) {
            if (i + 1 >= args.size()) {
                err << "Say which file comes after " << arg << ".\n" << usage;
                return 2;
            }
            (arg == QLatin1String("--marks") ? marks : output) = args[++i];
        } else if (arg.startsWith(QLatin1String("--")) || !picture.isEmpty()) {
            err << "Unexpected \"" << arg << "\".\n" << usage;
            return 2;
        } else {
            picture = arg;
        }
    }
    if (picture.isEmpty() || output.isEmpty()) {
        err << "Give the picture to render and the file to write with --output.\n" << usage;
        return 2;
    }

    Markup markup;
    if (marks.isEmpty()) {
        // A library picture: its unmarked copy and marks come from the side files.
        if (!QFileInfo::exists(picture)) {
            err << "Couldn't find the picture " << picture << ".\n";
            return 1;
        }
        const auto loaded = MarkStore::load(picture);
        if (!loaded) {
            err << "There are no readable marks for " << picture
                << ". Give a marks file with --marks, or pick a picture from the library that has marks.\n";
            return 1;
        }
        markup = loaded->saved.applied(loaded->unmarked);
    } else {
        const QImage image = QImageReader(picture).read();
        if (image.isNull()) {
            err << "Couldn't read the picture " << picture << ". Check that it is a PNG or JPEG file.\n";
            return 1;
        }
        const auto saved = MarkStore::read(marks);
        if (!saved) {
            err << "Couldn't read the marks in " << marks << ". Check that it is a marks file.\n";
            return 1;
        }
        markup = saved->applied(image);
    }

    const auto png = MarkupRender::pngData(markup);
    if (!png) {
        err << "Couldn't make the finished picture. The picture may be too large.\n";
        return 1;
    }
    return writeCommandPng(*png, output);
}

int writeCommandPng(const QByteArray& png, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit()) {
        QTextStream(stderr) << "Couldn't write " << path
                            << ". Check that its folder exists and can be written.\n";
        return 1;
    }
    return 0;
}

} // namespace ombrel
