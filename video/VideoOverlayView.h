#pragma once
// The transparent view laid exactly over the playing video in the video editor. It draws
// the crop, the notes and the caption shown at the current time with the renderer's own
// layout rules (measured on the shown picture), so what the user sees is what the saved
// version shows, and turns mouse gestures into edit requests: a crop dragged, a note placed
// or moved, a caption clicked to change its words.
//
// Positions of notes and the crop are unit coordinates of the video picture (x and y from
// 0 to 1, y downward); view coordinates are the widget's, y downward.

#include "video/CaptionPainter.h"
#include "video/VideoEdit.h"
#include "video/VideoNotes.h"

#include <QHash>
#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

namespace ombrel {

class VideoOverlayView : public QWidget {
    Q_OBJECT
  public:
    enum class Mode { play, crop, addText };

    explicit VideoOverlayView(QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    const VideoEdit& edit() const { return m_edit; }
    void setEdit(const VideoEdit& edit);
    double currentTime() const { return m_currentTime; }
    void setCurrentTime(double seconds);
    // Where the video picture is shown in the view.
    QRectF videoRect() const { return m_videoRect; }
    void setVideoRect(const QRectF& rect);
    bool isPaused() const { return m_isPaused; }
    void setPaused(bool paused);
    std::optional<int> editingCaption() const { return m_editingCaption; }
    void setEditingCaption(std::optional<int> index);
    // The note whose text is being typed in place: it is not drawn.
    std::optional<int> typingNote() const { return m_typingNote; }
    void setTypingNote(std::optional<int> index);

    std::function<void(const QRectF& unitRect)> onCrop;
    std::function<void(const QPointF& unitPoint)> onPlaceText;
    std::function<void(int index, const QPointF& unitPoint)> onMoveNote;
    std::function<void(int index)> onEditCaption;

    // A view point in unit coordinates of the picture, clamped to [0, 1] on both axes.
    QPointF unit(const QPointF& viewPoint) const;
    // A unit rectangle in view coordinates.
    QRectF view(const QRectF& unitRect) const;

    // The base point size of notes on the screen: max(12, picture width / 48).
    double notePointSize() const;
    NoteLayout noteLayout(int index) const;
    // The frame of a note in view coordinates.
    QRectF noteFrame(int index) const;
    // Where captions are laid out: the crop when there is one, else the picture.
    QRectF captionArea() const;
    CaptionPainter::Layout captionLayout(int index) const;
    // The "Click to change" pill above a caption box, and where its text starts.
    QRectF hintFrame(const QRectF& box) const;

    // The note under a view point: the first in list order that has text, is shown now and
    // whose frame holds the point.
    std::optional<int> noteAt(const QPointF& viewPoint) const;

    static inline const QString hintText = QStringLiteral("Click to change");

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void drawCaption(QPainter& painter) const;
    QFont hintFont() const;
    // Laid-out notes and captions with their pictures, made when first drawn and kept until
    // the edit or the picture's place changes: playback only moves the time, so each frame
    // draws a few finished pictures.
    struct Sprite {
        QImage image;    // at the screen's pixel ratio
        QPointF topLeft; // in the view
    };
    Sprite sprite(const QRectF& bounds, const std::function<void(QPainter&)>& paint) const;
    void forget();
    mutable QHash<int, NoteLayout> m_noteLayouts;
    mutable QHash<int, Sprite> m_noteSprites;
    mutable std::optional<std::pair<int, CaptionPainter::Layout>> m_captionLayout;
    mutable std::optional<std::pair<int, Sprite>> m_captionSprite;

    Mode m_mode = Mode::play;
    VideoEdit m_edit;
    double m_currentTime = 0;
    QRectF m_videoRect;
    bool m_isPaused = true;
    std::optional<int> m_editingCaption;
    std::optional<int> m_pressedCaption;
    std::optional<QPointF> m_dragStart;
    std::optional<QRectF> m_liveCrop;
    std::optional<int> m_movingNote;
    std::optional<int> m_typingNote;
};

} // namespace ombrel
