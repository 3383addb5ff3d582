// The editor's drawing surface. The picture is fitted into the view and centred; zooming
// scales it about a focus point that stays at the view centre. All gestures work in image
// pixels, so marks keep their place whatever the zoom.
#include "CanvasView.h"

#include "markup/MarkupParts.h"
#include "markup/MarkupRender.h"
#include "understanding/ElementMap.h"

#include <QApplication>
#include <QHash>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace ombrel {

namespace {

const QColor accentViolet = QColor::fromRgbF(0.43f, 0.55f, 1.0f);
const QColor accentBlue = QColor::fromRgbF(0.27f, 0.4f, 0.9f);

bool typesOnCanvas(NoteLook look) {
    return look == NoteLook::Sticky || look == NoteLook::Glass;
}

} // namespace

CanvasView::CanvasView(Markup markup, QWidget* parent) : QWidget(parent), m_markup(std::move(markup)) {
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setAttribute(Qt::WA_AcceptTouchEvents, false);

    m_noteField = new NoteField(NoteField::Look::Bare, {}, this);
    m_noteField->setPlaceholderText(QStringLiteral("Type here"));
    m_noteField->setToolTip(QStringLiteral("Type your comment. Press Return for the next note."));
    m_noteField->hide();
    connect(m_noteField, &NoteField::textEdited, this, [this](const QString& text) {
        if (!m_editingNote) return;
        if (onNoteTyped) onNoteTyped(*m_editingNote, text);
        // The note grows as it fills; keep the field over it.
        placeNoteField();
        update();
    });
    connect(m_noteField, &NoteField::returnPressed, this, [this] {
        if (onNoteReturn) onNoteReturn();
    });
}

// MARK: Selection and tools

void CanvasView::select(std::optional<qsizetype> index) {
    if (index && (*index < 0 || *index >= m_markup.boxes.size())) index.reset();
    m_selected = index;
    update();
}

void CanvasView::setTool(Tool tool) {
    m_tool = tool;
    m_liveBox.reset();
    if (tool != Tool::Select) m_hovered.reset();
    update();
}

void CanvasView::setFillsScreen(bool fills) {
    m_fillsScreen = fills;
    placeNoteField();
    update();
}

// MARK: Model changes

void CanvasView::add(const QList<Markup::Box>& boxes) {
    if (boxes.isEmpty()) return;
    remember();
    m_markup.boxes.append(boxes);
    m_selected = m_markup.boxes.size() - 1;
    placeNoteField();
    update();
    if (onSelect) onSelect();
}

void CanvasView::remove(qsizetype index) {
    if (index < 0 || index >= m_markup.boxes.size()) return;
    remember();
    m_markup.boxes.removeAt(index);
    if (m_editingNote) {
        if (*m_editingNote == index)
            m_editingNote.reset();
        else if (*m_editingNote > index)
            m_editingNote = *m_editingNote - 1;
    }
    selectLastMark();
    placeNoteField();
    update();
    if (onSelect) onSelect();
}

void CanvasView::setCrop(const QRectF& imageRect) {
    remember();
    m_markup.cropImageRect = imageRect.normalized();
    setTool(Tool::Mark);
    setZoom(1.0);
    placeNoteField();
    update();
    if (onCrop) onCrop();
    if (onSelect) onSelect();
}

void CanvasView::clearMarks() {
    if (m_markup.boxes.isEmpty()) return;
    remember();
    m_markup.boxes.clear();
    m_selected.reset();
    m_editingNote.reset();
    placeNoteField();
    update();
    if (onSelect) onSelect();
}

void CanvasView::organise() {
    if (m_markup.boxes.isEmpty()) return;
    remember();
    m_markup.boxes = m_markup.organisedBoxes();
    m_selected.reset();
    placeNoteField();
    update();
    if (onSelect) onSelect();
}

void CanvasView::applyColor(const QColor& color) {
    m_markup.color = color;
    update();
}

// MARK: Undo

CanvasView::Snapshot CanvasView::current() const {
    return Snapshot{m_markup.boxes, m_markup.cropImageRect};
}

void CanvasView::remember() {
    m_undoSteps.append(current());
    m_redoSteps.clear();
}

void CanvasView::undo() {
    if (m_undoSteps.isEmpty()) return;
    const Snapshot snapshot = m_undoSteps.takeLast();
    m_redoSteps.append(current());
    restore(snapshot);
}

void CanvasView::redo() {
    if (m_redoSteps.isEmpty()) return;
    const Snapshot snapshot = m_redoSteps.takeLast();
    m_undoSteps.append(current());
    restore(snapshot);
}

void CanvasView::restore(const Snapshot& snapshot) {
    // Notes are typed straight into the boxes, outside the history; a box that comes back
    // keeps what was typed on it since. Boxes are known by their identity, so two boxes on
    // the same rectangle keep notes of their own.
    QHash<quint64, QString> typed;
    for (const Markup::Box& box : m_markup.boxes)
        typed.insert(box.id, box.note);
    QList<Markup::Box> boxes = snapshot.boxes;
    for (Markup::Box& box : boxes) {
        const auto it = typed.constFind(box.id);
        if (it != typed.constEnd()) box.note = *it;
    }
    m_markup.boxes = boxes;
    m_markup.cropImageRect = snapshot.cropImageRect;
    selectLastMark();
    placeNoteField();
    update();
    if (onSelect) onSelect();
}

void CanvasView::selectLastMark() {
    m_selected.reset();
    for (qsizetype i = m_markup.boxes.size() - 1; i >= 0; --i)
        if (!m_markup.boxes[i].hides) {
            m_selected = i;
            break;
        }
}

// MARK: Coordinates

QRectF CanvasView::shownImageRect() const {
    if (m_fillsScreen) return QRectF(QPointF(0, 0), QSizeF(m_markup.imageSize()));
    const MarkupMetrics m = MarkupRender::metrics(m_markup, MarkLook::current(), m_editingNote);
    return QRectF(m_markup.keptImageRect().topLeft(), m.canvasSize);
}

double CanvasView::viewScale(const QRectF& shown) const {
    const QRectF view = contentsRect();
    if (shown.width() <= 0 || shown.height() <= 0 || view.isEmpty()) return 1.0;
    return std::min(view.width() / shown.width(), view.height() / shown.height()) * m_zoom;
}

QPointF CanvasView::focusPoint(const QRectF& shown) const {
    if (!m_zoomFocus) return shown.center();
    // Keep the picture covering the view: the focus stays half a view inside each edge.
    const double scale = viewScale(shown);
    const QRectF view = contentsRect();
    const double halfW = view.width() / 2 / scale;
    const double halfH = view.height() / 2 / scale;
    QPointF f = *m_zoomFocus;
    f.setX(shown.width() > 2 * halfW ? std::clamp(f.x(), shown.left() + halfW, shown.right() - halfW)
                                     : shown.center().x());
    f.setY(shown.height() > 2 * halfH ? std::clamp(f.y(), shown.top() + halfH, shown.bottom() - halfH)
                                      : shown.center().y());
    return f;
}

void CanvasView::setZoomFocus(QPointF imagePoint) {
    m_zoomFocus = imagePoint;
    m_zoomFocus = focusPoint(shownImageRect());
}

QTransform CanvasView::imageToView() const {
    // The shown rectangle needs the comment strip laid out: work it out once.
    const QRectF shown = shownImageRect();
    const double scale = viewScale(shown);
    const QPointF centre = QRectF(contentsRect()).center();
    const QPointF focus = focusPoint(shown);
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.scale(scale, scale);
    t.translate(-focus.x(), -focus.y());
    return t;
}

QPointF CanvasView::imagePoint(QPointF viewPoint) const {
    return imageToView().inverted().map(viewPoint);
}

void CanvasView::setZoom(double zoom, std::optional<QPointF> viewPoint) {
    zoom = std::clamp(zoom, 1.0, maxZoom);
    if (zoom == 1.0) {
        m_zoom = 1.0;
        m_zoomFocus.reset();
    } else {
        const QPointF anchorView = viewPoint.value_or(QRectF(contentsRect()).center());
        const QPointF anchorImage = imagePoint(anchorView);
        m_zoom = zoom;
        // The anchor keeps its place: focus = anchor − (anchor's offset from the centre) / scale.
        const QPointF offset = anchorView - QRectF(contentsRect()).center();
        setZoomFocus(anchorImage - offset / viewScale(shownImageRect()));
    }
    placeNoteField();
    update();
    if (onZoom) onZoom();
}

// MARK: Painting

void CanvasView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.25f));

    const QTransform toView = imageToView();
    const QRectF shown = shownImageRect();
    painter.save();
    painter.setTransform(toView);
    painter.setClipRect(shown);
    const PaintOptions options{m_selected, m_fillsScreen, m_editingNote};
    if (m_liveBox && (m_tool == Tool::Mark || m_tool == Tool::Hide)) {
        // The box being dragged is painted as it will be, numbered or blurred.
        Markup preview = m_markup;
        preview.boxes.append(Markup::Box(*m_liveBox, {}, m_tool == Tool::Hide));
        MarkupRender::paint(painter, preview, options);
    } else {
        MarkupRender::paint(painter, m_markup, options);
    }
    painter.setClipping(false);
    if (m_liveBox && m_tool == Tool::Crop) {
        const double width = std::max(3.0, m_markup.imageSize().width() / 800.0);
        QPen pen(Qt::white, width, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setDashPattern({4, 3});
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(*m_liveBox);
    }
    painter.restore();

    if (m_tool == Tool::Select && m_hovered) paintHover(painter, *m_hovered);
}

void CanvasView::paintHover(QPainter& painter, const ScreenElement& element) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = imageToView().mapRect(element.imageRect.normalized());
    QColor fill = accentViolet;
    fill.setAlphaF(0.2f);
    painter.fillRect(frame, fill);
    painter.setPen(QPen(accentViolet, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);

    QFont font = QApplication::font();
    font.setPointSizeF(12);
    painter.setFont(font);
    const QString name = element.hoverName();
    const QFontMetricsF fm(font, painter.device());
    const QSizeF plate(fm.horizontalAdvance(name) + 12, fm.height() + 6);
    // Just above the frame's top left corner; below it when there is no room above.
    QPointF at(frame.left(), frame.top() - plate.height() - 4);
    if (at.y() < 0) at.setY(frame.bottom() + 4);
    at.setX(std::clamp(at.x(), 0.0, std::max(0.0, width() - plate.width())));
    at.setY(std::clamp(at.y(), 0.0, std::max(0.0, height() - plate.height())));
    const QRectF plateRect(at, plate);
    painter.setPen(Qt::NoPen);
    painter.setBrush(accentBlue);
    painter.drawRoundedRect(plateRect, 5, 5);
    painter.setPen(Qt::white);
    painter.drawText(plateRect, Qt::AlignCenter, name);
    painter.restore();
}

// MARK: Mouse

std::optional<qsizetype> CanvasView::boxAt(QPointF p) const {
    std::optional<qsizetype> best;
    double bestArea = 0;
    for (qsizetype i = 0; i < m_markup.boxes.size(); ++i) {
        const QRectF r = m_markup.boxes[i].imageRect.normalized();
        if (!r.contains(p)) continue;
        const double area = r.width() * r.height();
        if (!best || area < bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

void CanvasView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPointF p = imagePoint(event->position());
    m_dragStart = p;
    m_liveBox.reset();
    m_draggingNote.reset();
    // Notes are painted over everything, the later ones on top: grab the topmost.
    const auto frames = MarkupRender::noteFrames(m_markup, m_editingNote);
    for (auto it = frames.rbegin(); it != frames.rend(); ++it)
        if (it->imageRect.contains(p)) {
            m_draggingNote = it->box;
            m_noteGrabOffset = p - it->imageRect.topLeft();
            break;
        }
}

void CanvasView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = imagePoint(event->position());
    if (!m_dragStart || !(event->buttons() & Qt::LeftButton)) {
        updateHover(p);
        return;
    }
    if (m_draggingNote) {
        if (*m_draggingNote < m_markup.boxes.size()) {
            m_markup.boxes[*m_draggingNote].notePosition = p - m_noteGrabOffset;
            placeNoteField();
            update();
        }
        return;
    }
    if (m_tool != Tool::Select) {
        m_liveBox = QRectF(*m_dragStart, p).normalized();
        update();
    }
}

void CanvasView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragStart) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointF start = *m_dragStart;
    const std::optional<QRectF> box = m_liveBox;
    const std::optional<qsizetype> note = m_draggingNote;
    m_dragStart.reset();
    m_liveBox.reset();
    m_draggingNote.reset();

    if (note) {
        select(*note);
    } else if (box && box->width() >= minDragPx && box->height() >= minDragPx) {
        switch (m_tool) {
        case Tool::Crop: {
            // A crop stays inside the part of the picture on show.
            const QRectF picture(QPointF(0, 0), QSizeF(m_markup.imageSize()));
            const QRectF inside =
                box->intersected(m_fillsScreen ? picture : picture.intersected(m_markup.keptImageRect()));
            if (!inside.isEmpty()) setCrop(inside);
            break;
        }
        case Tool::Mark:
            add({Markup::Box(*box)});
            break;
        case Tool::Hide:
            add({Markup::Box(*box, {}, true)});
            break;
        case Tool::Select:
            break;
        }
    } else if (const auto hit = boxAt(start)) {
        select(*hit);
    } else if (m_tool == Tool::Select) {
        if (const auto element = ElementMap::element(start, elements)) {
            const QString label = element->label();
            add({Markup::Box(element->imageRect.normalized(), {}, false,
                             label.isEmpty() ? std::nullopt : std::optional<QString>(label))});
            m_hovered.reset();
        } else {
            select(std::nullopt);
        }
    } else {
        select(std::nullopt);
    }
    if (onSelect) onSelect();
    update();
}

void CanvasView::updateHover(QPointF p) {
    std::optional<ScreenElement> hovered;
    if (m_tool == Tool::Select && !boxAt(p)) hovered = ElementMap::element(p, elements);
    if (hovered != m_hovered) {
        m_hovered = hovered;
        update();
    }
}

void CanvasView::leaveEvent(QEvent* event) {
    if (m_hovered) {
        m_hovered.reset();
        update();
    }
    QWidget::leaveEvent(event);
}

// MARK: Zoom and scrolling

void CanvasView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        // Ctrl with the wheel zooms about the pointer, a fifth per notch.
        const double notches = event->angleDelta().y() / 120.0;
        if (notches != 0) setZoom(m_zoom * std::pow(1.2, notches), event->position());
        event->accept();
        return;
    }
    if (m_zoom <= 1.0) {
        event->ignore(); // the enclosing view scrolls the pages
        return;
    }
    // Touchpads give pixels; a wheel notch moves 60 view pixels.
    const QPointF delta =
        !event->pixelDelta().isNull() ? QPointF(event->pixelDelta()) : QPointF(event->angleDelta()) / 2.0;
    const QRectF shown = shownImageRect();
    setZoomFocus(focusPoint(shown) - delta / viewScale(shown));
    placeNoteField();
    update();
    event->accept();
}

bool CanvasView::event(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            setZoom(m_zoom * (1 + gesture->value()), gesture->position());
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void CanvasView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeNoteField();
}

// MARK: Note typing

void CanvasView::setEditingNote(std::optional<qsizetype> index, bool takeFocus) {
    if (index && (*index < 0 || *index >= m_markup.boxes.size())) index.reset();
    m_editingNote = index;
    if (index) {
        const QSignalBlocker quiet(m_noteField);
        m_noteField->setText(m_markup.boxes[*index].note);
    }
    placeNoteField();
    if (takeFocus && m_noteField->isVisible()) m_noteField->setFocus();
    update();
}

void CanvasView::showNoteText(qsizetype index, const QString& text) {
    if (m_editingNote != index) return;
    if (m_noteField->text() != text) {
        const QSignalBlocker quiet(m_noteField);
        m_noteField->setText(text);
    }
    placeNoteField(); // the note grows as it fills
    update();
}

void CanvasView::placeNoteField() {
    if (!m_noteField) return;
    const MarkLook look = MarkLook::current();
    const bool valid = m_editingNote && *m_editingNote >= 0 && *m_editingNote < m_markup.boxes.size();
    const auto typing = valid && typesOnCanvas(look.noteLook)
                            ? MarkupRender::noteTypingRect(m_markup, *m_editingNote, look)
                            : std::nullopt;
    if (!typing) {
        m_noteField->hide();
        return;
    }
    const double scale = viewScale(shownImageRect());
    // The note font carries its image-pixel size as its point size; bring it to the view.
    const MarkupMetrics m = MarkupRender::metrics(m_markup, look, m_editingNote);
    QFont font = render_parts::noteFont(look, m.noteUnit);
    const double viewPx = font.pointSizeF() * scale;
    font.setPointSizeF(std::max(11.0, viewPx * 72.0 / std::max(1, logicalDpiY())));
    m_noteField->setFont(font);

    const QColor ink = render_parts::inkFor(m_markup.boxes[*m_editingNote], look.noteLook);
    QPalette palette = m_noteField->palette();
    palette.setColor(QPalette::Text, ink);
    QColor faint = ink;
    faint.setAlphaF(0.5f);
    palette.setColor(QPalette::PlaceholderText, faint);
    m_noteField->setPalette(palette);

    QRect area = imageToView().mapRect(*typing).toAlignedRect();
    area.setHeight(std::max(area.height(), QFontMetrics(font).height() + 2));
    m_noteField->setGeometry(area);
    m_noteField->show();
}

} // namespace ombrel
