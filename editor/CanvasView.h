#pragma once
// The drawing surface of the editor: one page's picture with its mark-up. Mouse gestures
// become marks, blur boxes, element boxes, crops, selections and note moves. The canvas
// owns the page's Markup and its undo history. Its y axis grows downward, like the picture.

#include "markup/Markup.h"
#include "understanding/ScreenElement.h"

#include "editor/NoteField.h"
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <functional>
#include <optional>

namespace ombrel {

class CanvasView : public QWidget {
    Q_OBJECT
  public:
    enum class Tool { Mark, Select, Hide, Crop };
    static constexpr double maxZoom = 8.0;
    static constexpr double minDragPx = 8.0; // smaller drags are clicks

    struct Snapshot {
        QList<Markup::Box> boxes;
        std::optional<QRectF> cropImageRect;
    };

    explicit CanvasView(Markup markup, QWidget* parent = nullptr);

    const Markup& markup() const { return m_markup; }
    // Direct access for the editor's note typing and link ticks; call update() after.
    Markup& markupForEditing() { return m_markup; }

    std::optional<qsizetype> selected() const { return m_selected; }
    // Selects a box (none for an invalid index) without calling onSelect.
    void select(std::optional<qsizetype> index);
    Tool tool() const { return m_tool; }
    void setTool(Tool tool);
    bool hideMode() const { return m_tool == Tool::Hide; }
    bool fillsScreen() const { return m_fillsScreen; }
    void setFillsScreen(bool fills);

    // Called when the selection or the boxes change, and after a crop.
    std::function<void()> onSelect;
    std::function<void()> onCrop;
    // Called after the zoom changed (buttons, pinch, Ctrl with the wheel).
    std::function<void()> onZoom;

    // Model changes, each one undoable step.
    void add(const QList<Markup::Box>& boxes);
    void remove(qsizetype index);
    void setCrop(const QRectF& imageRect);
    void clearMarks();
    void organise();
    void applyColor(const QColor& color);

    void undo();
    void redo();
    bool canUndo() const { return !m_undoSteps.isEmpty(); }
    bool canRedo() const { return !m_redoSteps.isEmpty(); }
    int undoCount() const { return int(m_undoSteps.size()); }

    double zoom() const { return m_zoom; }
    // Limits zoom to 1…8; keeps the image point under `viewPoint` in place.
    void setZoom(double zoom, std::optional<QPointF> viewPoint = std::nullopt);

    QList<ScreenElement> elements;
    std::optional<ScreenElement> hoveredElement() const { return m_hovered; }

    // The note typed on the canvas (sticky and glass looks); none hides the field.
    void setEditingNote(std::optional<qsizetype> index, bool takeFocus = true);
    // The note of box `index` was typed elsewhere (the notes list): the field on the
    // picture shows the same words.
    void showNoteText(qsizetype index, const QString& text);
    std::optional<qsizetype> editingNote() const { return m_editingNote; }
    NoteField* noteField() const { return m_noteField; }
    // Called on each change of the note field's text with the box index and the text.
    std::function<void(qsizetype, const QString&)> onNoteTyped;
    // Called when Return is pressed in the note field.
    std::function<void()> onNoteReturn;

    // The transform from image pixels to view coordinates, and back.
    QTransform imageToView() const;
    QPointF imagePoint(QPointF viewPoint) const;
    // The image rectangle shown: the whole picture on the frozen screen, else the kept
    // part with its comment strip.
    QRectF shownImageRect() const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void leaveEvent(QEvent*) override;
    bool event(QEvent*) override; // pinch gestures

  private:
    void remember();
    void restore(const Snapshot& snapshot);
    Snapshot current() const;
    void selectLastMark();
    void placeNoteField();
    std::optional<qsizetype> boxAt(QPointF imagePoint) const;
    // View pixels per image pixel (fit times zoom), and the image point at the view centre.
    double viewScale(const QRectF& shown) const;
    QPointF focusPoint(const QRectF& shown) const;
    void setZoomFocus(QPointF imagePoint);
    void updateHover(QPointF imagePoint);
    void paintHover(QPainter& painter, const ScreenElement& element) const;

    Markup m_markup;
    std::optional<qsizetype> m_selected;
    Tool m_tool = Tool::Mark;
    double m_zoom = 1.0;
    std::optional<QPointF> m_zoomFocus;
    bool m_fillsScreen = false;
    QList<Snapshot> m_undoSteps;
    QList<Snapshot> m_redoSteps;
    std::optional<QPointF> m_dragStart;
    std::optional<QRectF> m_liveBox;
    std::optional<qsizetype> m_draggingNote;
    QPointF m_noteGrabOffset;
    std::optional<ScreenElement> m_hovered;
    std::optional<qsizetype> m_editingNote;
    NoteField* m_noteField = nullptr;
};

} // namespace ombrel
