#pragma once
// Short sounds: the theme's event sounds and synthesised WAV data.

#include <QByteArray>
#include <QString>

namespace ombrel {

class Sounds {
  public:
    virtual ~Sounds() = default;

    // Plays the sound theme's event sound `eventId` (freedesktop naming, e.g.
    // "camera-shutter") without waiting. Silently does nothing where no sound can play.
    virtual void playEvent(const QString& eventId) = 0;

    // Plays a complete WAV file held in memory at `volume` (0…1) without waiting; a later
    // call replaces a sound still playing from an earlier one.
    virtual void playWav(const QByteArray& wav, double volume) = 0;
};

} // namespace ombrel
