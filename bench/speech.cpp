// Speech on this computer (PocketSphinx): how fast Transcribe hears a 60 s recording, the
// share of words it recognises in clear test sentences (spoken by flite), and how long a
// dictated word takes to reach the comment after it was said.
//   bench_speech [SECONDS]     (default 60)
// Needs the flite and ffmpeg programs and the English speech model.
#include "platform/Platform.h"
#include "platform/SoundFile.h"
#include "video/SpeechReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>
#include <thread>

using namespace ombrel;

namespace {

const QStringList sentences{
    QStringLiteral("Click the blue button at the top of the page."),
    QStringLiteral("Then type your name into the box and press save."),
    QStringLiteral("Open the settings menu and choose a new theme."),
    QStringLiteral("This window shows the list of your recent files."),
    QStringLiteral("Drag the picture to the left side of the screen."),
    QStringLiteral("Now we can see the numbers in the second table."),
};

bool run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QStringList wordsOf(const QString& text) {
    static const QRegularExpression notLetters(QStringLiteral("[^a-z' ]"));
    return text.toLower()
        .replace(notLetters, QStringLiteral(" "))
        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// How many words of `said` were heard, in order (longest common subsequence).
int matched(const QStringList& said, const QStringList& heard) {
    std::vector<std::vector<int>> t(size_t(said.size() + 1), std::vector<int>(size_t(heard.size() + 1), 0));
    for (qsizetype i = 1; i <= said.size(); ++i)
        for (qsizetype j = 1; j <= heard.size(); ++j)
            t[size_t(i)][size_t(j)] = said[i - 1] == heard[j - 1] ? t[size_t(i - 1)][size_t(j - 1)] + 1
                                                                  : std::max(t[size_t(i - 1)][size_t(j)],
                                                                             t[size_t(i)][size_t(j - 1)]);
    return t[size_t(said.size())][size_t(heard.size())];
}

// A sentence as 16 kHz mono samples.
SoundFile::Mono speak(const QString& folder, int index) {
    const QString raw = QDir(folder).filePath(QStringLiteral("raw%1.wav").arg(index));
    const QString wav = QDir(folder).filePath(QStringLiteral("s%1.wav").arg(index));
    if (!run(QStringLiteral("flite"), {"-voice", "kal16", "-t", sentences.at(index), "-o", raw}) ||
        !run(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", raw, "-ac", "1", "-ar", "16000", wav}))
        return {};
    const Outcome<SoundFile::Mono> sound = SoundFile::read(wav);
    return sound ? sound.value() : SoundFile::Mono{};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 60.0;
    QTemporaryDir dir;
    PlatformServices services;
    services.speech = makeNativeSpeech();
    Platform::install(std::move(services));
    Speech& speech = Platform::speech();
    if (!speech.isAvailable(QStringLiteral("en-US"))) {
        out << "No English speech model is installed (pocketsphinx-en-us).\n";
        return 1;
    }

    QList<SoundFile::Mono> spoken;
    for (int i = 0; i < sentences.size(); ++i) {
        spoken.append(speak(dir.path(), i));
        if (spoken.last().samples.empty()) {
            out << "flite or ffmpeg failed.\n";
            return 1;
        }
    }

    // Recognised words, sentence by sentence.
    int said = 0, heard = 0;
    for (int i = 0; i < sentences.size(); ++i) {
        const QString wav = dir.filePath(QStringLiteral("s%1.wav").arg(i));
        const Recognition r = speech.recognizeFile(wav, QStringLiteral("en-US"));
        QStringList words;
        for (const SpeechWord& w : r.words)
            words << w.text;
        said += int(wordsOf(sentences.at(i)).size());
        heard += matched(wordsOf(sentences.at(i)), wordsOf(words.join(' ')));
        out << "  \"" << sentences.at(i) << "\" -> \"" << words.join(' ') << "\"\n";
    }
    out << "Words recognised in the test sentences: " << heard << " of " << said << " ("
        << QString::number(100.0 * heard / said, 'f', 1) << " %)\n";

    // Transcription speed: the sentences with 2 s of silence between them, over and over.
    std::vector<qint16> track;
    QStringList script;
    for (int i = 0; double(track.size()) / 16000 < seconds; i = (i + 1) % int(sentences.size())) {
        const auto& s = spoken.at(i).samples;
        const size_t room = size_t(seconds * 16000) - track.size();
        track.insert(track.end(), s.begin(), s.begin() + qsizetype(std::min(room, s.size())));
        if (s.size() <= room) script << sentences.at(i);
        track.resize(std::min(size_t(seconds * 16000), track.size() + 32000), 0);
    }
    const QString trackFile = dir.filePath(QStringLiteral("track.wav"));
    const QString video = dir.filePath(QStringLiteral("talk.mp4"));
    SoundFile::write(trackFile, track.data(), track.size(), 16000);
    if (!run(QStringLiteral("ffmpeg"),
             {"-v", "error", "-y", "-f", "lavfi", "-i",
              QStringLiteral("color=c=gray:s=640x360:r=30:d=%1").arg(seconds), "-i", trackFile, "-c:v",
              "libx264", "-preset", "ultrafast", "-c:a", "aac", "-shortest", video})) {
        out << "ffmpeg failed to make the video.\n";
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuBefore = std::clock();
    const SpeechReader::Result result = SpeechReader::wordsIn(video, QStringLiteral("en-US"));
    const double took = double(clock.elapsed()) / 1000;
    const double cpu = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    QStringList words;
    for (const SpeechWord& w : result.words)
        words << w.text;
    const QStringList reference = wordsOf(script.join(' '));
    out << "Transcription of a " << seconds << " s video: " << QString::number(took, 'f', 2) << " s, "
        << QString::number(seconds / took, 'f', 2) << " x real time (CPU " << QString::number(cpu, 'f', 2)
        << " s, " << QString::number(seconds / cpu, 'f', 2) << " x real time per core); "
        << matched(reference, wordsOf(words.join(' '))) << " of " << reference.size()
        << " words recognised\n";

    // Dictation latency: each sentence fed in real time, 20 ms at a time, as the microphone
    // does; from the end of its last word to the first result that shows that word.
    QList<double> latencies;
    for (int i = 0; i < sentences.size(); ++i) {
        const SoundFile::Mono& s = spoken.at(i);
        qsizetype lastLoud = 0;
        for (size_t k = 0; k < s.samples.size(); ++k)
            if (std::abs(int(s.samples[k])) > 600) lastLoud = qsizetype(k);
        const double speechEnd = double(lastLoud) / 16000;
        const QString lastWord = wordsOf(sentences.at(i)).last();
        std::mutex m;
        std::optional<double> shownAt;
        std::optional<double> doneAt;
        QElapsedTimer fed;
        auto task = speech.startTask(QStringLiteral("en-US"), [&](std::optional<QString> text, bool done) {
            std::lock_guard lock(m);
            const double t = double(fed.nsecsElapsed()) / 1e9;
            if (text && !shownAt && wordsOf(*text).contains(lastWord)) shownAt = t;
            if (done) doneAt = t;
        });
        fed.start();
        std::vector<float> chunk(320);
        const auto begin = std::chrono::steady_clock::now();
        // The sentence, then 2 s of quiet, at the microphone's pace.
        const size_t total = s.samples.size() + 32000;
        for (size_t at = 0; at < total; at += chunk.size()) {
            for (size_t k = 0; k < chunk.size(); ++k)
                chunk[k] = at + k < s.samples.size() ? float(s.samples[at + k]) / 32768.0f : 0.0f;
            AudioChunk c;
            c.format = AudioChunk::SampleFormat::Float32;
            c.channels = 1;
            c.sampleRate = 16000;
            c.data = chunk.data();
            c.frames = qsizetype(chunk.size());
            task->append(c);
            std::this_thread::sleep_until(
                begin + std::chrono::microseconds(qint64((at + chunk.size()) * 1e6 / 16000)));
            std::lock_guard lock(m);
            if (doneAt) break;
        }
        task->endAudio();
        for (int wait = 0; wait < 500; ++wait) {
            {
                std::lock_guard lock(m);
                if (doneAt) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        task->cancel();
        std::lock_guard lock(m);
        if (shownAt) latencies.append((*shownAt - speechEnd) * 1000);
        out << "  dictation \"" << lastWord << "\": "
            << (shownAt ? QString::number((*shownAt - speechEnd) * 1000, 'f', 0) + " ms after it was said"
                        : QStringLiteral("never shown"))
            << (doneAt
                    ? QStringLiteral(", pass ended %1 ms after").arg((*doneAt - speechEnd) * 1000, 0, 'f', 0)
                    : QString())
            << '\n';
    }
    if (!latencies.isEmpty()) {
        std::sort(latencies.begin(), latencies.end());
        out << "Dictation latency, end of the last word to its text: median "
            << QString::number(latencies.at(latencies.size() / 2), 'f', 0) << " ms, worst "
            << QString::number(latencies.last(), 'f', 0) << " ms (" << latencies.size() << " of "
            << sentences.size() << " shown)\n";
    }
    return 0;
}
