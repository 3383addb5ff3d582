#include "video/VideoPlayer.h"

#include "platform/Log.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <variant>

namespace ombrel {

namespace {

constexpr size_t picturesAhead = 6;
constexpr int soundRate = 48000;
constexpr int soundChannels = 2;
constexpr int bytesPerSecond = soundRate * soundChannels * 2;

struct Picture {
    QImage image;
    double time = 0;
    int generation = 0;
};

struct SoundChunk {
    QByteArray pcm; // 16-bit stereo at 48 kHz
    double time = 0;
    int generation = 0;
};

struct Opened {
    double duration = 0;
    QSize size;
    bool hasSound = false;
};

} // namespace

// Decodes ahead on its own thread. Everything under `lock` is shared with the GUI thread;
// the FFmpeg state is the thread's own.
struct VideoPlayer::Worker {
    std::mutex lock;
    std::condition_variable wake;
    bool stopping = false;
    std::optional<double> seekTo;
    int generation = 0;
    QSize pictureSize;
    std::deque<Picture> pictures;
    std::deque<SoundChunk> sound;
    bool atEnd = false;
    bool soundAtEnd = false;
    std::thread thread;

    // Worker thread only.
    AVFormatContext* input = nullptr;
    // The sound is read through a reader of its own, so it can be decoded ahead of the
    // pictures however the file interleaves them.
    AVFormatContext* soundInput = nullptr;
    AVCodecContext* decoder = nullptr;
    AVCodecContext* soundDecoder = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVFrame* held = nullptr; // the last picture before a seek's target
    AVPacket* packet = av_packet_alloc();
    int videoIndex = -1, soundIndex = -1;
    double videoStart = 0, timeBase = 0, soundTimeBase = 0, frameSeconds = 1.0 / 30;
    std::optional<double> target;      // a seek in progress: pictures before it are passed over
    std::optional<double> soundTarget; // and sound before it is not heard

    ~Worker() {
        {
            std::lock_guard l(lock);
            stopping = true;
        }
        wake.notify_all();
        if (thread.joinable()) thread.join();
        sws_freeContext(scaler);
        swr_free(&resampler);
        av_frame_free(&frame);
        av_frame_free(&held);
        av_packet_free(&packet);
        avcodec_free_context(&decoder);
        avcodec_free_context(&soundDecoder);
        avformat_close_input(&input);
        avformat_close_input(&soundInput);
    }

    std::variant<Opened, QString> openFile(const QString& path) {
        const QByteArray name = path.toLocal8Bit();
        int status = avformat_open_input(&input, name.constData(), nullptr, nullptr);
        if (status < 0 || avformat_find_stream_info(input, nullptr) < 0)
            return QStringLiteral("This file can't be read as a video.");
        const AVCodec* codec = nullptr;
        videoIndex = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (videoIndex < 0 || !codec) return QStringLiteral("This file has no video in it.");
        AVStream* stream = input->streams[videoIndex];
        decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder, stream->codecpar);
        decoder->thread_count = 0;
        if (avcodec_open2(decoder, codec, nullptr) < 0)
            return QStringLiteral("This video's pictures can't be decoded.");
        timeBase = av_q2d(stream->time_base);
        videoStart = stream->start_time == AV_NOPTS_VALUE ? 0 : double(stream->start_time) * timeBase;
        if (stream->avg_frame_rate.num > 0) frameSeconds = 1 / av_q2d(stream->avg_frame_rate);
        Opened opened;
        opened.size = QSize(decoder->width, decoder->height);
        opened.duration = stream->duration > 0  ? double(stream->duration) * timeBase
                          : input->duration > 0 ? double(input->duration) / AV_TIME_BASE
                                                : 0;

        const AVCodec* soundCodec = nullptr;
        soundIndex = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, videoIndex, &soundCodec, 0);
        if (soundIndex >= 0 && soundCodec) {
            soundDecoder = avcodec_alloc_context3(soundCodec);
            avcodec_parameters_to_context(soundDecoder, input->streams[soundIndex]->codecpar);
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            if (avformat_open_input(&soundInput, name.constData(), nullptr, nullptr) < 0 ||
                avformat_find_stream_info(soundInput, nullptr) < 0 ||
                int(soundInput->nb_streams) <= soundIndex ||
                avcodec_open2(soundDecoder, soundCodec, nullptr) < 0 ||
                swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_S16, soundRate,
                                    &soundDecoder->ch_layout, soundDecoder->sample_fmt,
                                    soundDecoder->sample_rate, 0, nullptr) < 0 ||
                swr_init(resampler) < 0) {
                qCWarning(logVideo) << "the sound of" << path << "can't be played";
                avcodec_free_context(&soundDecoder);
                soundIndex = -1;
            } else {
                soundTimeBase = av_q2d(input->streams[soundIndex]->time_base);
                opened.hasSound = true;
                // Each reader skips what the other one reads.
                for (unsigned i = 0; i < soundInput->nb_streams; ++i)
                    if (int(i) != soundIndex) soundInput->streams[i]->discard = AVDISCARD_ALL;
                input->streams[soundIndex]->discard = AVDISCARD_ALL;
            }
        }
        return opened;
    }

    QImage toImage(const AVFrame* f, QSize fit) {
        QSize size(f->width, f->height);
        if (fit.isValid() && !fit.isEmpty() && (size.width() > fit.width() || size.height() > fit.height()))
            size = size.scaled(fit, Qt::KeepAspectRatio);
        size = size.expandedTo(QSize(1, 1));
        QImage image(size, QImage::Format_RGB32);
        scaler =
            sws_getCachedContext(scaler, f->width, f->height, AVPixelFormat(f->format), size.width(),
                                 size.height(), AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!scaler || image.isNull()) return {};
        uint8_t* planes[4] = {image.bits(), nullptr, nullptr, nullptr};
        const int lines[4] = {int(image.bytesPerLine()), 0, 0, 0};
        sws_scale(scaler, f->data, f->linesize, 0, f->height, planes, lines);
        return image;
    }

    double pictureTime(const AVFrame* f) const {
        const int64_t pts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        return pts == AV_NOPTS_VALUE ? 0 : double(pts) * timeBase - videoStart;
    }

    void push(const AVFrame* f, int gen, QSize fit, const std::function<void()>& announce) {
        Picture p{toImage(f, fit), pictureTime(f), gen};
        if (p.image.isNull()) return;
        bool wasEmpty;
        {
            std::lock_guard l(lock);
            if (gen != generation) return; // a seek came in the meantime
            wasEmpty = pictures.empty();
            pictures.push_back(std::move(p));
        }
        if (wasEmpty) announce();
    }

    // Hands out a decoded picture, passing over those before a seek's target: the picture
    // shown at the target is the last one that starts at or before it.
    void received(int gen, QSize fit, const std::function<void()>& announce) {
        if (target) {
            const double t = pictureTime(frame);
            if (t + frameSeconds / 2 <= *target) {
                av_frame_free(&held);
                held = av_frame_clone(frame);
                return;
            }
            if (held && t > *target + frameSeconds / 2) push(held, gen, fit, announce);
            av_frame_free(&held);
            target.reset();
        }
        push(frame, gen, fit, announce);
    }

    void receivedSound(int gen) {
        const int64_t pts =
            frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
        const double t = pts == AV_NOPTS_VALUE ? 0 : double(pts) * soundTimeBase - videoStart;
        const int most = swr_get_out_samples(resampler, frame->nb_samples);
        if (most <= 0) return;
        QByteArray pcm(qsizetype(most) * soundChannels * 2, Qt::Uninitialized);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(pcm.data())};
        const int made = swr_convert(resampler, out, most, const_cast<const uint8_t**>(frame->extended_data),
                                     frame->nb_samples);
        if (made <= 0) return;
        pcm.truncate(qsizetype(made) * soundChannels * 2);
        if (soundTarget && t + double(pcm.size()) / bytesPerSecond <= *soundTarget) return;
        soundTarget.reset();
        std::lock_guard l(lock);
        if (gen == generation) sound.push_back({pcm, t, gen});
    }

    // Reads until one more picture has been handed out, or the end.
    void decodeSome(int gen, QSize fit, const std::function<void()>& announce) {
        for (;;) {
            int status = avcodec_receive_frame(decoder, frame);
            if (status >= 0) {
                received(gen, fit, announce);
                av_frame_unref(frame);
                if (!target) return;
                continue;
            }
            if (status == AVERROR_EOF) {
                if (held) push(held, gen, fit, announce); // a seek past the last picture shows the last
                av_frame_free(&held);
                target.reset();
                std::lock_guard l(lock);
                if (gen == generation) atEnd = true;
                return;
            }
            status = av_read_frame(input, packet);
            if (status < 0) {
                avcodec_send_packet(decoder, nullptr); // drain what the decoder holds
                continue;
            }
            if (packet->stream_index == videoIndex) avcodec_send_packet(decoder, packet);
            av_packet_unref(packet);
        }
    }

    // Reads the sound until one more piece of it has been handed out, or its end.
    void decodeSound(int gen) {
        for (;;) {
            int status = avcodec_receive_frame(soundDecoder, frame);
            if (status >= 0) {
                receivedSound(gen);
                av_frame_unref(frame);
                return;
            }
            if (status == AVERROR_EOF) {
                std::lock_guard l(lock);
                if (gen == generation) soundAtEnd = true;
                return;
            }
            status = av_read_frame(soundInput, packet);
            if (status < 0)
                avcodec_send_packet(soundDecoder, nullptr);
            else if (packet->stream_index == soundIndex)
                avcodec_send_packet(soundDecoder, packet);
            av_packet_unref(packet);
        }
    }

    // Whether the sound queued is short of what playback should have in hand (under `lock`).
    bool wantsSound() const {
        if (!soundDecoder || soundAtEnd) return false;
        qsizetype bytes = 0;
        for (const SoundChunk& c : sound)
            bytes += c.pcm.size();
        return bytes < bytesPerSecond; // a second ahead
    }

    void seek(double seconds) {
        const AVStream* stream = input->streams[videoIndex];
        const int64_t ts = int64_t((seconds + videoStart) / timeBase);
        av_seek_frame(input, videoIndex,
                      std::max<int64_t>(ts, stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time),
                      AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(decoder);
        if (soundDecoder) {
            av_seek_frame(soundInput, soundIndex, int64_t((seconds + videoStart) / soundTimeBase),
                          AVSEEK_FLAG_BACKWARD);
            avcodec_flush_buffers(soundDecoder);
            swr_init(resampler);
            soundTarget = seconds;
        }
        av_frame_free(&held);
        target = seconds;
    }

    void run(const std::function<void()>& announce) {
        for (;;) {
            std::unique_lock l(lock);
            const auto wantsPictures = [this] { return pictures.size() < picturesAhead && !atEnd; };
            wake.wait(l, [&] { return stopping || seekTo || wantsPictures() || wantsSound(); });
            if (stopping) return;
            const std::optional<double> seekNow = std::exchange(seekTo, std::nullopt);
            const int gen = generation;
            const QSize fit = pictureSize;
            if (seekNow) atEnd = soundAtEnd = false;
            const bool pictures = seekNow || wantsPictures();
            const bool sound = seekNow ? soundDecoder != nullptr : wantsSound();
            l.unlock();
            if (seekNow) seek(*seekNow);
            if (pictures) decodeSome(gen, fit, announce);
            if (sound) decodeSound(gen);
        }
    }
};

// The desktop's sound output, fed from the GUI thread as playback goes on.
struct VideoPlayer::Sound {
    std::unique_ptr<QAudioSink> sink;
    QIODevice* device = nullptr;

    Sound() {
        const QAudioDevice output = QMediaDevices::defaultAudioOutput();
        if (output.isNull()) return;
        QAudioFormat format;
        format.setSampleRate(soundRate);
        format.setChannelCount(soundChannels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!output.isFormatSupported(format)) return;
        sink = std::make_unique<QAudioSink>(output, format);
        sink->setBufferSize(bytesPerSecond / 4);
    }
    void start() {
        if (sink && !device) device = sink->start();
    }
    void stop() {
        if (sink) sink->reset();
        device = nullptr;
    }
};

struct VideoPlayer::State {
    QString path;
    bool loaded = false;
    Opened opened;
    bool playing = false;
    bool muted = false;
    double anchor = 0; // the position when playback last started or the player last moved
    QElapsedTimer clock;
    QImage picture;
    double pictureTime = 0;
    int shownGeneration = -1;
    QSize pictureSize;
    QTimer ticker;
};

VideoPlayer::VideoPlayer(QObject* parent)
    : QObject(parent), m_sound(std::make_unique<Sound>()), d(std::make_unique<State>()) {
    d->ticker.setInterval(10);
    connect(&d->ticker, &QTimer::timeout, this, &VideoPlayer::tick);
}

VideoPlayer::~VideoPlayer() {
    m_worker.reset(); // joins the thread before the state it reports to goes
}

void VideoPlayer::open(const QString& path) {
    pause();
    m_worker.reset();
    m_sound->stop();
    d->path = path;
    d->loaded = false;
    d->opened = {};
    d->anchor = 0;
    d->picture = QImage();
    d->pictureTime = 0;
    d->shownGeneration = -1;
    m_worker = std::make_unique<Worker>();
    Worker* worker = m_worker.get();
    worker->pictureSize = d->pictureSize;
    QPointer<VideoPlayer> self(this);
    const auto announce = [self] {
        QMetaObject::invokeMethod(
            self.data(),
            [self] {
                if (self) self->tick();
            },
            Qt::QueuedConnection);
    };
    worker->thread = std::thread([worker, path, self, announce] {
        const auto opened = worker->openFile(path);
        if (const QString* why = std::get_if<QString>(&opened)) {
            const QString message = *why;
            QMetaObject::invokeMethod(
                self.data(),
                [self, message] {
                    if (self) Q_EMIT self->failed(message);
                },
                Qt::QueuedConnection);
            return;
        }
        const Opened info = std::get<Opened>(opened);
        QMetaObject::invokeMethod(
            self.data(),
            [self, info, worker] {
                if (!self || self->m_worker.get() != worker) return;
                self->d->opened = info;
                self->d->loaded = true;
                Q_EMIT self->loaded();
            },
            Qt::QueuedConnection);
        worker->run(announce);
    });
}

QString VideoPlayer::path() const {
    return d->path;
}
bool VideoPlayer::isLoaded() const {
    return d->loaded;
}
double VideoPlayer::duration() const {
    return d->opened.duration;
}
QSize VideoPlayer::presentationSize() const {
    return d->opened.size;
}
bool VideoPlayer::isPlaying() const {
    return d->playing;
}
bool VideoPlayer::isMuted() const {
    return d->muted;
}
const QImage& VideoPlayer::picture() const {
    return d->picture;
}
double VideoPlayer::pictureTime() const {
    return d->pictureTime;
}

double VideoPlayer::position() const {
    if (!d->playing) return d->anchor;
    const double t = d->anchor + d->clock.nsecsElapsed() / 1e9;
    return d->opened.duration > 0 ? std::min(t, d->opened.duration) : t;
}

void VideoPlayer::play() {
    if (d->playing || !m_worker) return;
    d->playing = true;
    d->clock.restart();
    d->ticker.start();
    if (!d->muted) m_sound->start();
    Q_EMIT playingChanged(true);
}

void VideoPlayer::pause() {
    if (!d->playing) return;
    d->anchor = position();
    d->playing = false;
    d->ticker.stop();
    m_sound->stop();
    Q_EMIT playingChanged(false);
}

void VideoPlayer::seek(double seconds) {
    if (!m_worker) return;
    const double t = std::clamp(seconds, 0.0, std::max(0.0, d->opened.duration));
    d->anchor = t;
    d->clock.restart();
    m_sound->stop();
    {
        std::lock_guard l(m_worker->lock);
        ++m_worker->generation;
        m_worker->seekTo = t;
        m_worker->pictures.clear();
        m_worker->sound.clear();
    }
    m_worker->wake.notify_all();
    if (d->playing && !d->muted) m_sound->start();
}

void VideoPlayer::setMuted(bool muted) {
    d->muted = muted;
    if (muted)
        m_sound->stop();
    else if (d->playing)
        m_sound->start();
}

void VideoPlayer::setPictureSize(QSize devicePixels) {
    d->pictureSize = devicePixels;
    if (!m_worker) return;
    {
        std::lock_guard l(m_worker->lock);
        m_worker->pictureSize = devicePixels;
    }
    // The pictures already decoded keep their size; the picture shown is made again.
    if (d->loaded && !d->playing) seek(position());
}

void VideoPlayer::tick() {
    if (!m_worker) return;
    const double now = position();
    std::optional<Picture> shown;
    bool atEnd = false;
    {
        std::lock_guard l(m_worker->lock);
        auto& queue = m_worker->pictures;
        while (!queue.empty()) {
            Picture& next = queue.front();
            if (next.generation != m_worker->generation) {
                queue.pop_front();
                continue;
            }
            // The first picture after a seek is shown at once; later ones when their time comes.
            const bool firstOfSeek = d->shownGeneration != next.generation && !shown;
            if (!firstOfSeek && (!d->playing || next.time > now)) break;
            shown = std::move(next);
            d->shownGeneration = shown->generation;
            queue.pop_front();
        }
        auto& sound = m_worker->sound;
        while (!sound.empty() &&
               (sound.front().generation != m_worker->generation ||
                sound.front().time + double(sound.front().pcm.size()) / bytesPerSecond < now - 0.1))
            sound.pop_front();
        if (d->playing && !d->muted && m_sound->device)
            while (!sound.empty() && sound.front().time < now + 0.25 &&
                   m_sound->sink->bytesFree() >= sound.front().pcm.size()) {
                m_sound->device->write(sound.front().pcm);
                sound.pop_front();
            }
        atEnd = m_worker->atEnd && queue.empty();
    }
    m_worker->wake.notify_all();
    if (shown) {
        d->picture = std::move(shown->image);
        d->pictureTime = shown->time;
        Q_EMIT pictureChanged();
    }
    if (d->playing && (now >= d->opened.duration || (atEnd && now > d->pictureTime + 0.1))) {
        pause();
        d->anchor = d->opened.duration > 0 ? d->opened.duration : now;
    }
}

} // namespace ombrel
