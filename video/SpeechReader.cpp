#include "video/SpeechReader.h"

#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/PrivateFiles.h"
#include "platform/SoundFile.h"

#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>
#include <algorithm>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace ombrel {

namespace {

// Deletes a temporary file when its step ends, whatever way it ends.
struct Temporary {
    QString path;
    ~Temporary() {
        if (!path.isEmpty() && QFile::exists(path) && !QFile::remove(path))
            qCWarning(logVideo) << "a temporary sound file was left behind:" << path;
    }
};

struct SoundOut {
    std::vector<qint16> samples;
    bool hasSound = false;
};

// Decodes the first sound stream of `video` into mono 16-bit samples at the speech rate.
Outcome<SoundOut> decodeSound(const QString& video) {
    using Result = Outcome<SoundOut>;
    AVFormatContext* input = nullptr;
    const QByteArray name = QFile::encodeName(video);
    if (avformat_open_input(&input, name.constData(), nullptr, nullptr) < 0)
        return Result::fail(Failure::Permanent, QStringLiteral("This video can't be opened."));
    std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> inputGuard(&input, avformat_close_input);
    if (avformat_find_stream_info(input, nullptr) < 0)
        return Result::fail(Failure::Permanent, QStringLiteral("This video can't be read."));
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    SoundOut out;
    if (index < 0 || !codec) return Result::ok(std::move(out)); // no sound: nothing was said
    out.hasSound = true;
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    std::unique_ptr<AVCodecContext*, void (*)(AVCodecContext**)> decoderGuard(&decoder, avcodec_free_context);
    avcodec_parameters_to_context(decoder, input->streams[index]->codecpar);
    if (avcodec_open2(decoder, codec, nullptr) < 0)
        return Result::fail(Failure::Permanent, QStringLiteral("This video's sound can't be decoded."));
    SwrContext* resampler = nullptr;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    if (swr_alloc_set_opts2(&resampler, &mono, AV_SAMPLE_FMT_S16, Speech::soundRate, &decoder->ch_layout,
                            decoder->sample_fmt, decoder->sample_rate, 0, nullptr) < 0 ||
        swr_init(resampler) < 0) {
        swr_free(&resampler);
        return Result::fail(Failure::Permanent, QStringLiteral("This video's sound can't be converted."));
    }
    std::unique_ptr<SwrContext*, void (*)(SwrContext**)> resamplerGuard(&resampler, swr_free);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::unique_ptr<AVPacket*, void (*)(AVPacket**)> packetGuard(&packet, av_packet_free);
    std::unique_ptr<AVFrame*, void (*)(AVFrame**)> frameGuard(&frame, av_frame_free);

    const auto convert = [&](const uint8_t** in, int count) {
        const int most = swr_get_out_samples(resampler, count);
        if (most <= 0) return;
        const size_t at = out.samples.size();
        out.samples.resize(at + size_t(most));
        uint8_t* dest[1] = {reinterpret_cast<uint8_t*>(out.samples.data() + at)};
        const int made = swr_convert(resampler, dest, most, in, count);
        out.samples.resize(at + size_t(std::max(0, made)));
    };
    const auto drain = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            convert(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(decoder, packet) >= 0) drain();
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    drain();
    convert(nullptr, 0); // what the resampler still holds
    return Result::ok(std::move(out));
}

// Writes the whole sound of `video` to the private file `to`, as the speech service reads it.
Outcome<bool> exportSound(const QString& video, const QString& to, bool* hasSound) {
    const Outcome<SoundOut> sound = decodeSound(video);
    if (!sound) return Outcome<bool>::fail(sound.failure(), sound.message());
    *hasSound = sound.value().hasSound;
    const std::vector<qint16>& s = sound.value().samples;
    return SoundFile::write(to, s.data(), s.size(), Speech::soundRate);
}

SpeechReader::Error errorOf(const Recognition& r) {
    SpeechReader::Error e;
    e.code = int(r.status);
    e.description = r.message;
    e.notAvailable = r.status == Recognition::Status::NotAvailable;
    return e;
}

} // namespace

const QList<SpeechReader::Language>& SpeechReader::languages() {
    static const QList<Language> list{
        {"Same as My Mac", std::nullopt},
        {"English", QStringLiteral("en-GB")},
        {"Arabic (uses Apple's speech service)", QStringLiteral("ar-SA")},
        {"French", QStringLiteral("fr-FR")},
        {"Spanish", QStringLiteral("es-ES")},
        {"German", QStringLiteral("de-DE")},
        {"Hindi", QStringLiteral("hi-IN")},
    };
    return list;
}

std::optional<QString> SpeechReader::language() {
    if (!Defaults::has(languageKey.name)) return std::nullopt;
    const QString code = Defaults::get(languageKey);
    if (code.isEmpty()) return std::nullopt;
    return code;
}

void SpeechReader::setLanguage(const std::optional<QString>& code) {
    if (code && !code->isEmpty())
        Defaults::set(languageKey, *code);
    else
        Defaults::remove(languageKey.name);
}

QList<std::pair<double, double>> SpeechReader::partRanges(double seconds) {
    QList<std::pair<double, double>> parts;
    for (double start = 0; start < seconds; start += partStep)
        parts.append({start, std::min(partLength, seconds - start)});
    return parts;
}

void SpeechReader::addHeard(QList<Word>& kept, const QList<Word>& shifted) {
    for (const Word& word : shifted)
        if (kept.isEmpty() || word.time >= kept.last().time + kept.last().duration - 0.05) kept.append(word);
}

SpeechReader::Result SpeechReader::words(const QString& video,
                                         const std::function<void(const QString&)>& onUpdate) {
    return wordsIn(video, language().value_or(QString()), onUpdate);
}

SpeechReader::Result SpeechReader::wordsIn(const QString& video, const QString& language,
                                           const std::function<void(const QString&)>& onUpdate) {
    Result result;
    Speech& speech = Platform::speech();
    // With no recogniser for the language there is nothing to listen with: said before the
    // sound is taken out, rather than once for every part.
    if (!speech.isAvailable(language)) {
        Error e;
        e.notAvailable = true;
        e.code = int(Recognition::Status::NotAvailable);
        e.description = QStringLiteral("Speech recognition isn't available on this Mac right now.");
        result.error = e;
        return result;
    }

    const Outcome<QString> soundFile =
        PrivateFiles::makeFile(QStringLiteral("ombrel-speech-"), QStringLiteral(".wav"));
    if (!soundFile) {
        result.error = Error{QStringLiteral("SpeechReader"), 1, soundFile.message(), false};
        return result;
    }
    const Temporary soundGuard{soundFile.value()};
    bool hasSound = false;
    if (const Outcome<bool> exported = exportSound(video, soundFile.value(), &hasSound); !exported) {
        result.error = Error{QStringLiteral("SpeechReader"), 2, exported.message(), false};
        return result;
    }
    if (!hasSound) return result;
    const Outcome<SoundFile::Mono> sound = SoundFile::read(soundFile.value());
    if (!sound) {
        result.error = Error{QStringLiteral("SpeechReader"), 3, sound.message(), false};
        return result;
    }
    if (onUpdate) onUpdate(QStringLiteral("Listening to your whole video…"));

    const SoundFile::Mono& all = sound.value();
    // Each part is written to its own private file and heard; two parts at a time where the
    // computer has the cores for it. The words are then taken in the order of the parts.
    struct Heard {
        QList<Word> words; // shifted to the video's time
        std::optional<Error> error;
    };
    const auto hear = [&](const std::pair<double, double>& part) -> Heard {
        const auto& [start, length] = part;
        const size_t first = size_t(std::llround(start * all.rate));
        const size_t count = std::min(all.samples.size() - first, size_t(std::llround(length * all.rate)));
        const Outcome<QString> partFile =
            PrivateFiles::makeFile(QStringLiteral("ombrel-part-"), QStringLiteral(".wav"));
        if (!partFile) return {{}, Error{QStringLiteral("SpeechReader"), 1, partFile.message(), false}};
        const Temporary partGuard{partFile.value()};
        if (const Outcome<bool> written =
                SoundFile::write(partFile.value(), all.samples.data() + first, count, all.rate);
            !written)
            return {{}, Error{QStringLiteral("SpeechReader"), 2, written.message(), false}};
        const Recognition heard = speech.recognizeFile(partFile.value(), language);
        if (heard.isFailure()) {
            qCWarning(logVideo) << "the part at" << start << "s could not be heard:" << heard.message;
            return {{}, errorOf(heard)};
        }
        Heard out{heard.words, std::nullopt};
        for (Word& w : out.words)
            w.time += start;
        return out;
    };
    QThreadPool pool; // its own: the caller may already run on the global pool
    pool.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 2));
    const QList<std::pair<double, double>> parts = partRanges(all.seconds());
    const QList<Heard> heard = QtConcurrent::blockingMapped<QList<Heard>>(&pool, parts, hear);
    std::optional<Error> remembered;
    for (const Heard& part : heard) {
        if (part.error) remembered = part.error;
        addHeard(result.words, part.words);
    }
    if (result.words.isEmpty()) result.error = remembered;
    return result;
}

} // namespace ombrel
