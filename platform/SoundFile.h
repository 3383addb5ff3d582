#pragma once
// Plain WAV files of 16-bit mono samples: the sound handed to speech recognition.

#include "Outcome.h"

#include <QString>
#include <vector>

namespace ombrel::SoundFile {

struct Mono {
    std::vector<qint16> samples;
    int rate = 16000;

    double seconds() const { return rate > 0 ? double(samples.size()) / rate : 0; }
};

// Reads a WAV file of 16-bit PCM mono samples; fails with a sentence for anything else.
Outcome<Mono> read(const QString& path);

// Writes `count` samples from `samples` at `rate` as a WAV file over `path` (which may
// already exist, as a private file made for it does): whole, or not at all.
Outcome<bool> write(const QString& path, const qint16* samples, size_t count, int rate);

} // namespace ombrel::SoundFile
