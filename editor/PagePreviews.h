#pragma once
// The editor's small floating pictures: the thumbnail that stands for a minimised editor,
// and the larger preview of a page shown while the pointer rests on its chip.

#include <QImage>
#include <QList>
#include <QRect>
#include <QWidget>
#include <functional>

namespace ombrel {

// The pictures of a minimised set. One picture is drawn as a card; several are stacked,
// and fan out side by side while the pointer is over them. A click answers the page under
// the pointer.
class MinimizedThumbView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int cardWidth = 150;
    static constexpr int cardHeight = 100;
    static constexpr int margin = 10;
    static constexpr int fanSpacing = 10;

    explicit MinimizedThumbView(QList<QImage> pictures, QWidget* parent = nullptr);

    bool isFannedOut() const { return m_fanned; }
    // The cards' rectangles in the view, first page first, as they are drawn now.
    QList<QRect> cardRects() const;
    // The page whose card is at `point`, or -1. While stacked every click opens the top
    // (first) page.
    int pageAt(QPoint point) const;
    // The size the view wants for the stacked and the fanned-out arrangement.
    QSize stackedSize() const;
    QSize fannedSize() const;

    std::function<void(int page)> onOpen;
    // Called when the arrangement changes size, so the window can follow.
    std::function<void(QSize)> onResize;

    void setFannedOut(bool fanned);

  protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QList<QImage> m_cards; // the pictures scaled to fit a card
    bool m_fanned = false;
};

// The floating window of a minimised editor, at the bottom right of the work area the
// editor was on. It never takes the keyboard focus.
class MinimizedThumb : public QWidget {
    Q_OBJECT
  public:
    // Under `anchor` (the floating buttons), or above them when there is no room below,
    // when they are in the work area; else in the work area's bottom right corner.
    MinimizedThumb(QList<QImage> pictures, QRect workArea, std::function<void(int page)> onOpen,
                   QRect anchor = {});

    MinimizedThumbView* view() const { return m_view; }

    static constexpr int inset = 20;     // from the work area's corner
    static constexpr int anchorGap = 12; // from the buttons

  private:
    void place(QSize size);

    MinimizedThumbView* m_view;
    QRect m_workArea;
    QRect m_anchor;
};

// A larger picture of a page, shown above its chip while the pointer rests there.
class ChipPreview : public QWidget {
    Q_OBJECT
  public:
    static constexpr int previewWidth = 320;

    ChipPreview();
    // Shows `picture` centred above `chipGlobal` (below it when there is no room above),
    // inside `workArea`.
    void showFor(const QImage& picture, QRect chipGlobal, QRect workArea);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage m_picture;
};

} // namespace ombrel
