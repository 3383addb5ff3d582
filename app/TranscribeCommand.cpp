// `ombrel-capture transcribe VIDEO [--language CODE] --output CAPTIONS.json`: hears what is
// said in a video, as Transcribe in the video editor does, and writes the captions as
//   {"captions": [{"time": 0.4, "duration": 2.1, "text": "Click the blue button."}]}
// which `video-render` also reads as an edit.

#include "app/Commands.h"
#include "platform/Platform.h"
#include "ui/PlatformWords.h"
#include "video/SpeechReader.h"
#include "video/VideoEdit.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTextStream>

namespace ombrel {

int transcribeCommand(const QStringList& args) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    const auto usage = [&] {
        err << "Usage: ombrel-capture transcribe VIDEO [--language CODE] --output CAPTIONS.json\n";
        return 2;
    };
    QString video, output;
    std::optional<QString> language;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--output") || a == QLatin1String("--language")) {
            if (i + 1 >= args.size()) {
                err << a << " needs a value.\n";
                return usage();
            }
            (a == QLatin1String("--output") ? output : language.emplace()) = args.at(++i);
        } else if (a.startsWith(QLatin1String("--")) || !video.isEmpty()) {
            err << "Unknown argument \"" << a << "\".\n";
            return usage();
        } else {
            video = a;
        }
    }
    if (video.isEmpty()) {
        err << "Name the video to transcribe.\n";
        return usage();
    }
    if (output.isEmpty()) {
        err << "Say where to write the captions with --output FILE.\n";
        return usage();
    }
    if (!QFileInfo(video).isFile()) {
        err << "Couldn't find the video " << video << ".\n";
        return 1;
    }
    if (QFileInfo(output).absoluteFilePath() == QFileInfo(video).absoluteFilePath()) {
        err << "Write the captions to another file than " << video << ".\n";
        return 1;
    }

    PlatformServices services;
    services.speech = makeNativeSpeech();
    Platform::install(std::move(services));
    const SpeechReader::Result heard =
        SpeechReader::wordsIn(video, language.value_or(SpeechReader::language().value_or(QString())));
    if (heard.error) {
        err << "Couldn't transcribe " << video << ": " << words(heard.error->description) << '\n';
        return 1;
    }
    const QList<VideoEdit::Caption> captions = VideoEdit::captionsFrom(heard.words);
    QJsonArray list;
    for (const VideoEdit::Caption& c : captions)
        list.append(QJsonObject{{"time", c.time}, {"duration", c.duration}, {"text", c.text}});
    QSaveFile file(output);
    const QByteArray json = QJsonDocument(QJsonObject{{"captions", list}}).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        err << "Couldn't write " << output << ": " << file.errorString() << '\n';
        return 1;
    }
    if (captions.isEmpty())
        out << "No speech found in this video.\n";
    else
        out << captions.size() << " captions written to " << QFileInfo(output).absoluteFilePath() << ".\n";
    return 0;
}

} // namespace ombrel
