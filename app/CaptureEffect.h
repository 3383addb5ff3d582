#pragma once
// The shutter: a sound and a white flash over the captured screen; and the chimes that
// mark the start and end of a recording. Both stay silent when the user turned them off.

#include <QByteArray>
#include <QRect>

namespace ombrel {

class CaptureEffect {
  public:
    static bool isOn();
    static void setOn(bool on);
    static constexpr double flashAlpha = 0.75;
    static constexpr int flashMs = 220;
    // Plays the shutter sound and flashes the screen area `screenGlobal` (device pixels).
    static void play(const QRect& screenGlobal);
    // True while a flash is showing.
    static bool isFlashing();
};

class Chime {
  public:
    static constexpr int sampleRate = 44100;
    static constexpr double volume = 0.5;
    static void start(); // rising
    static void stop();  // falling
    // A complete 16-bit mono PCM WAV file of the two notes.
    static QByteArray wav(bool rising);
};

} // namespace ombrel
