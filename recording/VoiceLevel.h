#pragma once
// How loud the microphone is, from 0 (silence) to 1, for the level bars shown while recording.

#include "platform/Recording.h"

namespace ombrel::VoiceLevel {

// The level of a run of samples: the root mean square times 8, at most 1; 0 when empty.
double ofSamples(const float* samples, qsizetype count);

// The level of a chunk of microphone sound. Only 32-bit float sound is measured; any other
// format answers 0.
double of(const AudioChunk& chunk);

} // namespace ombrel::VoiceLevel
