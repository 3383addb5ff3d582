#include "recording/VoiceLevel.h"

#include <algorithm>
#include <cmath>

namespace ombrel::VoiceLevel {

double ofSamples(const float* samples, qsizetype count) {
    if (!samples || count <= 0) return 0;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    return std::min(1.0, std::sqrt(sum / double(count)) * 8);
}

double of(const AudioChunk& chunk) {
    if (chunk.format != AudioChunk::SampleFormat::Float32 || chunk.frames <= 0 || chunk.channels <= 0)
        return 0;
    return ofSamples(static_cast<const float*>(chunk.data), chunk.frames * chunk.channels);
}

} // namespace ombrel::VoiceLevel
