#pragma once
// Small grey pictures of a video file near requested times, decoded with FFmpeg's libraries.
// One reader serves one thread; asking for times in ascending order decodes each part of the
// video at most once.

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace ombrel {

class VideoThumbnails {
  public:
    // Opens the first video stream of the file; every picture is scaled (stretched) to
    // widthPixels × heightPixels, one byte of grey per pixel, rows top first.
    VideoThumbnails(const QString& videoPath, int widthPixels, int heightPixels);
    ~VideoThumbnails();
    VideoThumbnails(const VideoThumbnails&) = delete;
    VideoThumbnails& operator=(const VideoThumbnails&) = delete;

    bool isOpen() const;

    // The length of the video as its container states it.
    std::optional<double> durationSeconds() const;

    // Fills `grey` with a picture shown within ±toleranceSeconds of atSeconds, preferring the
    // one shown at that time. False when there is none or it cannot be decoded.
    bool greyFrameNear(double atSeconds, double toleranceSeconds, std::vector<uint8_t>& grey);

  private:
    struct Decoder;
    std::unique_ptr<Decoder> d;
};

} // namespace ombrel
