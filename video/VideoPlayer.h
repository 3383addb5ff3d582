#pragma once
// Plays a video file in the editor: FFmpeg decodes on a worker thread a few pictures ahead,
// scaled to the size they are shown at, and the GUI thread shows each when the playback
// clock reaches its time. Seeking is exact, also while paused (the picture at that moment
// is shown), and the sound is played through the desktop's sound output unless muted.
// All calls are made on the GUI thread.

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <memory>

namespace ombrel {

class VideoPlayer : public QObject {
    Q_OBJECT
  public:
    explicit VideoPlayer(QObject* parent = nullptr);
    ~VideoPlayer() override;

    // Replaces what is played by `path`, paused at its start. `loaded` or `failed` follows.
    void open(const QString& path);
    QString path() const;
    bool isLoaded() const;
    // The length in seconds, 0 until loaded.
    double duration() const;
    // The size of the video's pictures, empty until loaded.
    QSize presentationSize() const;

    void play();
    void pause();
    bool isPlaying() const;
    // Where playback is, in seconds.
    double position() const;
    // Goes to `seconds` exactly; the picture shown at that moment follows.
    void seek(double seconds);

    void setMuted(bool muted);
    bool isMuted() const;

    // Pictures are scaled to fit this many device pixels (the view's size), keeping their shape.
    void setPictureSize(QSize devicePixels);
    // The picture shown now (null before the first one).
    const QImage& picture() const;
    double pictureTime() const;

  Q_SIGNALS:
    void loaded();
    void failed(const QString& why);
    void pictureChanged();
    void playingChanged(bool playing);

  private:
    void tick();
    struct Worker;
    struct Sound;
    std::unique_ptr<Worker> m_worker;
    std::unique_ptr<Sound> m_sound;
    struct State;
    std::unique_ptr<State> d;
};

} // namespace ombrel
