#include "understanding/ReadCommand.h"

#include "understanding/TextFinder.h"

#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace ombrel {

namespace {

struct ReadArgs {
    QString picture;
    bool careful = false;
    bool privateDetails = false;
    std::optional<QString> query;
    QString problem;
};

ReadArgs parse(const QStringList& args) {
    ReadArgs parsed;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--careful")) {
            parsed.careful = true;
        } else if (arg == QLatin1String("--private")) {
            parsed.privateDetails = true;
        } else if (arg == QLatin1String("--find")) {
            if (i + 1 >= args.size()) {
                parsed.problem = QStringLiteral("Say what to find after --find.");
                return parsed;
            }
            parsed.query = args[++i];
        } else if (arg.startsWith(QLatin1String("--find="))) {
            parsed.query = arg.mid(7);
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            parsed.problem = QStringLiteral("Unknown option \"%1\".").arg(arg);
            return parsed;
        } else if (parsed.picture.isEmpty()) {
            parsed.picture = arg;
        } else {
            parsed.problem = QStringLiteral("Give one picture to read.");
            return parsed;
        }
    }
    if (parsed.picture.isEmpty())
        parsed.problem = QStringLiteral("Give the picture to read.");
    else if (parsed.query && parsed.privateDetails)
        parsed.problem = QStringLiteral("Use either --find or --private, not both.");
    return parsed;
}

QJsonArray rectJson(const QRectF& r) {
    return {qRound(r.x() * 10) / 10.0, qRound(r.y() * 10) / 10.0, qRound(r.width() * 10) / 10.0,
            qRound(r.height() * 10) / 10.0};
}

QJsonArray rectsJson(const QList<QRectF>& rects) {
    QJsonArray out;
    for (const QRectF& r : rects)
        out.append(rectJson(r));
    return out;
}

} // namespace

int readCommand(const QStringList& args) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    const ReadArgs parsed = parse(args);
    if (!parsed.problem.isEmpty()) {
        err << parsed.problem
            << QStringLiteral(
                   "\nUsage: ombrel-capture read PICTURE [--careful] [--find QUERY] [--private]\n");
        return 2;
    }
    QImageReader reader(parsed.picture);
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        err << "Couldn't read the picture \"" << parsed.picture << "\": " << reader.errorString()
            << ". Check that the file exists and is a picture, then try again.\n";
        return 1;
    }
    // Auto-blur always reads carefully; a find reads quickly first and carefully when the
    // quick reading finds nothing, as the editor does.
    QJsonObject result;
    if (parsed.privateDetails) {
        result.insert(QStringLiteral("rects"),
                      rectsJson(TextFinder::privateAreas(TextFinder::read(picture, true), picture.size())));
    } else if (parsed.query) {
        QList<QRectF> rects =
            TextFinder::find(*parsed.query, TextFinder::read(picture, parsed.careful), picture.size());
        if (rects.isEmpty() && !parsed.careful)
            rects = TextFinder::find(*parsed.query, TextFinder::read(picture, true), picture.size());
        result.insert(QStringLiteral("query"), *parsed.query);
        result.insert(QStringLiteral("rects"), rectsJson(rects));
    } else {
        QJsonArray lines;
        for (const TextFinder::Line& line : TextFinder::read(picture, parsed.careful)) {
            QJsonObject o{{QStringLiteral("text"), line.text}};
            if (auto box = line.box({0, line.text.size()})) o.insert(QStringLiteral("box"), rectJson(*box));
            lines.append(o);
        }
        result.insert(QStringLiteral("lines"), lines);
    }
    out << QJsonDocument(result).toJson(QJsonDocument::Indented);
    return 0;
}

} // namespace ombrel
