#include "PulseMicrophone.h"

#include <pulse/error.h>
#include <pulse/simple.h>
#include <vector>

namespace ombrel {

namespace {

pa_simple* openRecording(int* error) {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, uint32_t(PulseMicrophone::sampleRate), 1};
    pa_buffer_attr attributes;
    attributes.maxlength = uint32_t(-1);
    attributes.tlength = uint32_t(-1);
    attributes.prebuf = uint32_t(-1);
    attributes.minreq = uint32_t(-1);
    attributes.fragsize = uint32_t(PulseMicrophone::chunkFrames * sizeof(float));
    return pa_simple_new(nullptr, "Ombrel Capture", PA_STREAM_RECORD, nullptr, "Screen recording", &spec,
                         nullptr, &attributes, error);
}

} // namespace

PulseMicrophone::~PulseMicrophone() {
    stop();
}

bool PulseMicrophone::available() {
    int error = 0;
    pa_simple* stream = openRecording(&error);
    if (!stream) return false;
    pa_simple_free(stream);
    return true;
}

Outcome<bool> PulseMicrophone::start(std::function<void(const AudioChunk&)> onChunk) {
    stop();
    int error = 0;
    pa_simple* stream = openRecording(&error);
    if (!stream) return Outcome<bool>::fail(Failure::Permanent, QString::fromUtf8(pa_strerror(error)));
    m_stopping = false;
    m_thread = std::thread([this, stream, onChunk = std::move(onChunk)] {
        std::vector<float> samples(chunkFrames);
        int readError = 0;
        while (!m_stopping) {
            if (pa_simple_read(stream, samples.data(), samples.size() * sizeof(float), &readError) < 0)
                break; // the sound server went away; the recording goes on without sound
            AudioChunk chunk;
            chunk.format = AudioChunk::SampleFormat::Float32;
            chunk.channels = 1;
            chunk.sampleRate = sampleRate;
            chunk.data = samples.data();
            chunk.frames = chunkFrames;
            onChunk(chunk);
        }
        pa_simple_free(stream);
    });
    return Outcome<bool>::ok(true);
}

void PulseMicrophone::stop() {
    m_stopping = true;
    if (m_thread.joinable()) m_thread.join();
}

} // namespace ombrel
