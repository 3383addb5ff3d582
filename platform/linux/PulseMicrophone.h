#pragma once
// The default PulseAudio source (the microphone) as 32-bit float mono samples at 48 kHz,
// read on a thread of its own.

#include "platform/Recording.h"

#include <atomic>
#include <thread>

namespace ombrel {

class PulseMicrophone : public AudioSource {
  public:
    static constexpr int sampleRate = 48000;
    static constexpr int chunkFrames = 960; // 20 ms: fine enough for the level bars

    ~PulseMicrophone() override;
    Outcome<bool> start(std::function<void(const AudioChunk&)> onChunk) override;
    void stop() override;

    // True when the sound server opens a recording stream.
    static bool available();

  private:
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
};

} // namespace ombrel
