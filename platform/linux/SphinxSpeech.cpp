#include "SphinxSpeech.h"

#include "platform/Log.h"
#include "platform/SoundFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <pocketsphinx.h>
#include <thread>
#include <vector>

#ifndef OMBREL_SPHINX_MODELS
#define OMBREL_SPHINX_MODELS "/usr/share/pocketsphinx/model"
#endif

namespace ombrel {

namespace {

constexpr double framesPerSecond = 100.0;                  // the engine's feature frame rate
constexpr int quietPassSamples = Speech::soundRate * 5;    // a pass that hears nothing ends after 5 s
constexpr int partialEverySamples = Speech::soundRate / 5; // a partial result at most every 200 ms

const char* unavailable = "Speech recognition isn't available on this Mac right now.";

// A word as the dictionary spells it, without the alternate-pronunciation mark "(2)";
// empty for silence, breath and noise.
QString spokenWord(const char* raw) {
    if (!raw || !*raw || raw[0] == '<' || raw[0] == '[' || raw[0] == '+') return {};
    QString word = QString::fromUtf8(raw);
    if (const qsizetype mark = word.indexOf(QLatin1Char('(')); mark > 0) word.truncate(mark);
    return word;
}

QString cleanHypothesis(const char* hyp) {
    if (!hyp) return {};
    QStringList kept;
    for (const QString& w : QString::fromUtf8(hyp).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (QString word = spokenWord(w.toUtf8().constData()); !word.isEmpty()) kept << word;
    return kept.join(QLatin1Char(' '));
}

} // namespace

// One installed model and the decoders made from it. Loading a decoder reads the language
// model (tens of megabytes), so decoders are kept and handed out again; each is used by one
// thread at a time.
struct SphinxModel {
    QString acoustic, languageModel, dictionary;
    std::mutex mutex;
    std::vector<ps_decoder_t*> idle, idleLive;

    ~SphinxModel() {
        for (ps_decoder_t* d : idle)
            ps_free(d);
        for (ps_decoder_t* d : idleLive)
            ps_free(d);
    }

    // A live decoder keeps to its first search only, so its final result extends the
    // partial results shown before it rather than rewriting their beginning.
    ps_decoder_t* acquire(bool live) {
        {
            std::lock_guard lock(mutex);
            std::vector<ps_decoder_t*>& free = live ? idleLive : idle;
            if (!free.empty()) {
                ps_decoder_t* d = free.back();
                free.pop_back();
                return d;
            }
        }
        const QByteArray hmm = QFile::encodeName(acoustic), lm = QFile::encodeName(languageModel),
                         dict = QFile::encodeName(dictionary);
        cmd_ln_t* config =
            cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm", lm.constData(), "-dict",
                        dict.constData(), "-logfn", "/dev/null", "-samprate", "16000",
                        // The engine's own silence removal shifts the times of words
                        // heard after a long pause: silence is told by VoiceGate.
                        "-remove_silence", "no",
                        // A narrower search: several times faster than the default
                        // beams, and hardly less accurate on clear speech.
                        "-maxhmmpf", "3000", "-maxwpf", "10", "-pl_window", "5", "-fwdflat",
                        live ? "no" : "yes", "-bestpath", live ? "no" : "yes", nullptr);
        if (!config) return nullptr;
        ps_decoder_t* d = ps_init(config);
        cmd_ln_free_r(config);
        if (!d) qCWarning(logPlatform) << "the speech model in" << acoustic << "could not be loaded";
        return d;
    }
    void release(ps_decoder_t* d, bool live) {
        if (!d) return;
        std::lock_guard lock(mutex);
        (live ? idleLive : idle).push_back(d);
    }
};

namespace {

// The words of the utterance just ended, timed from the start of the utterance. The
// engine counts frames on from earlier utterances of the same decoder; its first segment
// (the utterance's start marker) begins where this utterance began.
QList<SpeechWord> segmentWords(ps_decoder_t* d) {
    QList<SpeechWord> words;
    std::optional<int> start;
    for (ps_seg_t* seg = ps_seg_iter(d); seg; seg = ps_seg_next(seg)) {
        int first = 0, last = 0;
        ps_seg_frames(seg, &first, &last);
        if (!start) start = first;
        const QString word = spokenWord(ps_seg_word(seg));
        if (word.isEmpty()) continue;
        words.append(
            {word, (first - *start) / framesPerSecond, std::max(1, last - first + 1) / framesPerSecond});
    }
    return words;
}

// Tells speech from silence by loudness, in frames of 10 ms: a voice is a run of 30 ms
// louder than the quiet so far (and than a fixed floor), and it has stopped after 0.6 s
// below that.
class VoiceGate {
  public:
    static constexpr size_t frame = Speech::soundRate / 100;
    static constexpr double floorLevel = 200; // about -44 dBFS
    static constexpr int onFrames = 3, offFrames = 60;

    static double level(const qint16* s, size_t n) {
        double sum = 0;
        for (size_t i = 0; i < n; ++i)
            sum += double(s[i]) * s[i];
        return n ? std::sqrt(sum / double(n)) : 0;
    }
    bool loud(double rms) const { return rms > std::max(floorLevel, m_noise * 4); }

    // Takes samples; answers whether a voice is heard at their end.
    bool push(const qint16* s, size_t n) {
        for (size_t at = 0; at < n; at += frame) {
            const double rms = level(s + at, std::min(frame, n - at));
            if (loud(rms)) {
                m_quiet = 0;
                if (++m_loud >= onFrames) m_inSpeech = m_heard = true;
            } else {
                m_loud = 0;
                if (++m_quiet >= offFrames) m_inSpeech = false;
                // The quiet level follows the room: down at once, up slowly.
                m_noise = rms < m_noise ? rms : m_noise + (rms - m_noise) * 0.01;
            }
        }
        return m_inSpeech;
    }
    bool heard() const { return m_heard; }

  private:
    double m_noise = floorLevel / 4;
    int m_loud = 0, m_quiet = 0;
    bool m_inSpeech = false, m_heard = false;
};

// Microphone samples brought to 16 kHz mono 16-bit: channels are averaged, and higher rates
// are averaged down over each output sample's span (a box filter, enough for speech).
class Downsampler {
  public:
    void push(const AudioChunk& chunk, std::vector<qint16>& out) {
        if (chunk.channels < 1 || chunk.sampleRate < 1 || !chunk.data) return;
        for (qsizetype f = 0; f < chunk.frames; ++f) {
            double v = 0;
            for (int c = 0; c < chunk.channels; ++c) {
                const qsizetype i = f * chunk.channels + c;
                if (chunk.format == AudioChunk::SampleFormat::Float32)
                    v += static_cast<const float*>(chunk.data)[i];
                else if (chunk.format == AudioChunk::SampleFormat::Int16)
                    v += static_cast<const qint16*>(chunk.data)[i] / 32768.0;
            }
            m_sum += v / chunk.channels;
            ++m_count;
            m_position += Speech::soundRate;
            while (m_position >= chunk.sampleRate) {
                m_position -= chunk.sampleRate;
                const double mean = m_sum / std::max(1, m_count);
                out.push_back(qint16(std::clamp(mean * 32767.0, -32768.0, 32767.0)));
                m_sum = 0;
                m_count = 0;
            }
        }
    }

  private:
    double m_sum = 0;
    int m_count = 0;
    qint64 m_position = 0;
};

class SphinxTask : public SpeechTask {
  public:
    SphinxTask(std::shared_ptr<SphinxModel> model, Handler handler)
        : m_model(std::move(model)), m_handler(std::move(handler)) {
        m_thread = std::thread([this] { run(); });
    }
    ~SphinxTask() override {
        cancel();
        m_model->release(m_decoder, true);
    }

    void append(const AudioChunk& chunk) override {
        std::lock_guard lock(m_mutex);
        if (m_ended) return;
        m_down.push(chunk, m_queue);
        m_wake.notify_one();
    }
    void endAudio() override {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_wake.notify_one();
    }
    void cancel() override {
        {
            std::lock_guard lock(m_mutex);
            m_cancelled = true;
            m_wake.notify_one();
        }
        if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
    }

  private:
    void run() {
        // The first decoder of a model takes a moment to load: here, not on the caller's
        // thread. Audio waits in the queue meanwhile.
        m_decoder = m_model->acquire(true);
        if (!m_decoder) {
            if (!isCancelled()) m_handler(std::nullopt, true);
            return;
        }
        ps_start_utt(m_decoder);
        bool heardSpeech = false;
        VoiceGate gate;
        qint64 samples = 0, sinceUpdate = 0;
        QString lastText;
        std::vector<qint16> work;
        for (;;) {
            bool ended = false;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_cancelled || m_ended || !m_queue.empty(); });
                if (m_cancelled) break;
                work.swap(m_queue);
                m_queue.clear();
                ended = m_ended;
            }
            bool pauseAfterSpeech = false;
            // Fed in steps of 100 ms, so a pause ends the pass soon after the speaker stops.
            constexpr size_t step = Speech::soundRate / 10;
            for (size_t at = 0; at < work.size(); at += step) {
                const size_t n = std::min(step, work.size() - at);
                ps_process_raw(m_decoder, work.data() + at, n, FALSE, FALSE);
                samples += qint64(n);
                sinceUpdate += qint64(n);
                const bool inSpeech = gate.push(work.data() + at, n);
                if (inSpeech) heardSpeech = true;
                if (heardSpeech && !inSpeech) {
                    pauseAfterSpeech = true;
                    break;
                }
            }
            work.clear();
            if (pauseAfterSpeech || ended || (!heardSpeech && samples >= quietPassSamples)) break;
            if (heardSpeech && sinceUpdate >= partialEverySamples) {
                sinceUpdate = 0;
                const QString text = cleanHypothesis(ps_get_hyp(m_decoder, nullptr));
                if (!text.isEmpty() && text != lastText) {
                    lastText = text;
                    if (!isCancelled()) m_handler(text, false);
                }
            }
        }
        ps_end_utt(m_decoder);
        if (isCancelled()) return;
        const QString text = heardSpeech ? cleanHypothesis(ps_get_hyp(m_decoder, nullptr)) : QString();
        m_handler(text.isEmpty() ? std::nullopt : std::optional<QString>(text), true);
    }
    bool isCancelled() {
        std::lock_guard lock(m_mutex);
        return m_cancelled;
    }

    std::shared_ptr<SphinxModel> m_model;
    ps_decoder_t* m_decoder = nullptr;
    Handler m_handler;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<qint16> m_queue;
    Downsampler m_down;
    bool m_ended = false;
    bool m_cancelled = false;
    std::thread m_thread;
};

} // namespace

SphinxSpeech::SphinxSpeech(QString modelsFolder)
    : m_models(modelsFolder.isEmpty() ? QStringLiteral(OMBREL_SPHINX_MODELS) : std::move(modelsFolder)) {}

SphinxSpeech::~SphinxSpeech() = default;

QString SphinxSpeech::desktopLanguage() {
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C) return QStringLiteral("en-US");
    return locale.name().replace(QLatin1Char('_'), QLatin1Char('-'));
}

QString SphinxSpeech::modelFolder(const QString& language) const {
    const QString code = (language.isEmpty() ? desktopLanguage() : language).toLower();
    const QString base = code.section(QLatin1Char('-'), 0, 0);
    const QDir models(m_models);
    const auto usable = [&](const QString& name) {
        const QDir folder(models.filePath(name));
        return QFileInfo::exists(folder.filePath(name + QStringLiteral("/mdef"))) &&
               QFileInfo::exists(folder.filePath(name + QStringLiteral(".lm.bin"))) &&
               !folder.entryList({QStringLiteral("*.dict")}, QDir::Files).isEmpty();
    };
    if (usable(code)) return models.filePath(code);
    const QStringList names = models.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        if ((name == base || name.startsWith(base + QLatin1Char('-'))) && usable(name))
            return models.filePath(name);
    return {};
}

bool SphinxSpeech::isAvailable(const QString& language) {
    return !modelFolder(language).isEmpty();
}

std::shared_ptr<SphinxModel> SphinxSpeech::model(const QString& language) {
    const QString folder = modelFolder(language);
    if (folder.isEmpty()) return nullptr;
    std::lock_guard lock(m_mutex);
    std::shared_ptr<SphinxModel>& m = m_loaded[folder];
    if (!m) {
        m = std::make_shared<SphinxModel>();
        const QDir dir(folder);
        const QString name = QFileInfo(folder).fileName();
        m->acoustic = dir.filePath(name);
        m->languageModel = dir.filePath(name + QStringLiteral(".lm.bin"));
        m->dictionary =
            dir.filePath(dir.entryList({QStringLiteral("*.dict")}, QDir::Files, QDir::Name).first());
    }
    return m;
}

Recognition SphinxSpeech::recognizeFile(const QString& soundFile, const QString& language) {
    const std::shared_ptr<SphinxModel> m = model(language);
    if (!m) return Recognition::failed(Recognition::Status::NotAvailable, QString::fromUtf8(unavailable));
    const Outcome<SoundFile::Mono> read = SoundFile::read(soundFile);
    if (!read) return Recognition::failed(Recognition::Status::Failed, read.message());
    if (read.value().rate != Speech::soundRate)
        return Recognition::failed(Recognition::Status::Failed,
                                   QStringLiteral("The sound is not at 16 kHz."));
    const std::vector<qint16>& samples = read.value().samples;
    ps_decoder_t* d = m->acquire(false);
    if (!d) return Recognition::failed(Recognition::Status::NotAvailable, QString::fromUtf8(unavailable));
    VoiceGate gate;
    gate.push(samples.data(), samples.size());
    // Silence is not searched for words: nothing could be said in it.
    if (!gate.heard()) {
        m->release(d, false);
        return Recognition::heard({});
    }
    ps_start_utt(d);
    constexpr size_t step = Speech::soundRate / 10;
    for (size_t at = 0; at < samples.size(); at += step)
        ps_process_raw(d, samples.data() + at, std::min(step, samples.size() - at), FALSE, FALSE);
    ps_end_utt(d);
    QList<SpeechWord> words = segmentWords(d);
    m->release(d, false);
    // A word guessed where the sound is quiet throughout is noise, not speech.
    words.removeIf([&](const SpeechWord& w) {
        const size_t first = std::min(samples.size(), size_t(w.time * Speech::soundRate));
        const size_t last = std::min(samples.size(), size_t((w.time + w.duration) * Speech::soundRate));
        for (size_t at = first; at < last; at += VoiceGate::frame)
            if (VoiceGate::level(samples.data() + at, std::min(VoiceGate::frame, last - at)) >
                VoiceGate::floorLevel)
                return false;
        return true;
    });
    return Recognition::heard(std::move(words));
}

std::unique_ptr<SpeechTask> SphinxSpeech::startTask(const QString& language, SpeechTask::Handler handler) {
    const std::shared_ptr<SphinxModel> m = model(language);
    if (!m) return nullptr;
    return std::make_unique<SphinxTask>(m, std::move(handler));
}

} // namespace ombrel
