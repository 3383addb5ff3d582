#include "video/VideoOverlayView.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace ombrel {

VideoOverlayView::VideoOverlayView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(false);
}

void VideoOverlayView::setMode(Mode mode) {
    m_mode = mode;
    setCursor(mode == Mode::play ? Qt::ArrowCursor : Qt::CrossCursor);
    update();
}
void VideoOverlayView::setEdit(const VideoEdit& edit) {
    if (edit.notes != m_edit.notes || edit.captions != m_edit.captions ||
        edit.captionStyle != m_edit.captionStyle || edit.crop != m_edit.crop)
        forget();
    m_edit = edit;
    update();
}

void VideoOverlayView::forget() {
    m_noteLayouts.clear();
    m_noteSprites.clear();
    m_captionLayout.reset();
    m_captionSprite.reset();
}

VideoOverlayView::Sprite VideoOverlayView::sprite(const QRectF& bounds,
                                                  const std::function<void(QPainter&)>& paint) const {
    const qreal ratio = devicePixelRatioF();
    const QRectF area = bounds.toAlignedRect();
    QImage image((area.size() * ratio).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-area.topLeft());
    paint(painter);
    return Sprite{image, area.topLeft()};
}
void VideoOverlayView::setCurrentTime(double seconds) {
    if (seconds == m_currentTime) return;
    m_currentTime = seconds;
    update();
}
void VideoOverlayView::setVideoRect(const QRectF& rect) {
    if (rect != m_videoRect) forget();
    m_videoRect = rect;
    update();
}
void VideoOverlayView::setPaused(bool paused) {
    m_isPaused = paused;
    update();
}
void VideoOverlayView::setEditingCaption(std::optional<int> index) {
    m_editingCaption = index;
    update();
}
void VideoOverlayView::setTypingNote(std::optional<int> index) {
    m_typingNote = index;
    update();
}

QPointF VideoOverlayView::unit(const QPointF& p) const {
    if (m_videoRect.isEmpty()) return QPointF(0, 0);
    return QPointF(std::clamp((p.x() - m_videoRect.left()) / m_videoRect.width(), 0.0, 1.0),
                   std::clamp((p.y() - m_videoRect.top()) / m_videoRect.height(), 0.0, 1.0));
}

QRectF VideoOverlayView::view(const QRectF& r) const {
    return QRectF(m_videoRect.left() + r.left() * m_videoRect.width(),
                  m_videoRect.top() + r.top() * m_videoRect.height(), r.width() * m_videoRect.width(),
                  r.height() * m_videoRect.height());
}

double VideoOverlayView::notePointSize() const {
    return std::max(NoteLayout::screenMinimum, m_videoRect.width() / 48);
}

NoteLayout VideoOverlayView::noteLayout(int index) const {
    auto found = m_noteLayouts.constFind(index);
    if (found == m_noteLayouts.constEnd())
        found = m_noteLayouts.insert(
            index, NoteLayout::make(m_edit.notes.at(index), m_videoRect.width(), NoteLayout::screenMinimum));
    return *found;
}

QRectF VideoOverlayView::noteFrame(int index) const {
    const auto& note = m_edit.notes.at(index);
    const QPointF topLeft(m_videoRect.left() + note.x * m_videoRect.width(),
                          m_videoRect.top() + note.y * m_videoRect.height());
    return QRectF(topLeft, noteLayout(index).size);
}

QRectF VideoOverlayView::captionArea() const {
    return m_edit.crop ? view(*m_edit.crop) : m_videoRect;
}

CaptionPainter::Layout VideoOverlayView::captionLayout(int index) const {
    if (!m_captionLayout || m_captionLayout->first != index)
        m_captionLayout = {index, CaptionPainter::layout(m_edit.captions.at(index).text, m_edit.captionStyle,
                                                         captionArea())};
    return m_captionLayout->second;
}

QFont VideoOverlayView::hintFont() const {
    QFont font = this->font();
    font.setPointSizeF(11);
    font.setWeight(QFont::DemiBold);
    return font;
}

QRectF VideoOverlayView::hintFrame(const QRectF& box) const {
    const QFontMetricsF metrics(hintFont(), const_cast<VideoOverlayView*>(this));
    const QSizeF text(metrics.horizontalAdvance(hintText), metrics.height());
    const double width = text.width() + 18, height = text.height() + 7;
    const double top = std::max(box.top() - text.height() - 12, m_videoRect.top() + 4);
    return QRectF(box.center().x() - width / 2, top, width, height);
}

std::optional<int> VideoOverlayView::noteAt(const QPointF& p) const {
    for (int i : m_edit.noteIndexes(m_currentTime))
        if (noteFrame(i).contains(p)) return i;
    return std::nullopt;
}

void VideoOverlayView::paintEvent(QPaintEvent*) {
    if (m_videoRect.isEmpty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // The crop: everything outside it darkened, the kept part outlined.
    const std::optional<QRectF> crop = m_liveCrop ? m_liveCrop : m_edit.crop;
    if (crop) {
        const QRectF kept = view(*crop);
        QPainterPath outside;
        outside.setFillRule(Qt::OddEvenFill);
        outside.addRect(m_videoRect);
        outside.addRect(kept);
        painter.fillPath(outside, QColor(0, 0, 0, qRound(0.55 * 255)));
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(kept);
    }

    for (int i : m_edit.noteIndexes(m_currentTime)) {
        if (i == m_typingNote) continue;
        auto found = m_noteSprites.constFind(i);
        if (found == m_noteSprites.constEnd()) {
            const NoteLayout laid = noteLayout(i);
            const QRectF frame = noteFrame(i);
            const double spread = laid.basePointSize * 0.3 + 3; // room for a shadow
            found = m_noteSprites.insert(i, sprite(frame.adjusted(-spread, -spread, spread, spread),
                                                   [&](QPainter& p) { laid.paint(p, frame.topLeft()); }));
        }
        painter.drawImage(found->topLeft, found->image);
    }

    if (!m_editingCaption) drawCaption(painter);
}

void VideoOverlayView::drawCaption(QPainter& painter) const {
    const std::optional<int> index = m_edit.captionIndex(m_currentTime);
    if (!index) return;
    const CaptionPainter::Layout laid = captionLayout(*index);
    if (!m_captionSprite || m_captionSprite->first != *index) {
        const double spread = laid.basePointSize * 0.6 + 3; // room for the outline's shadow
        m_captionSprite = {*index,
                           sprite(laid.box.adjusted(-spread, -spread, spread, spread),
                                  [&](QPainter& p) { CaptionPainter::paint(p, laid, m_edit.captionStyle); })};
    }
    painter.drawImage(m_captionSprite->second.topLeft, m_captionSprite->second.image);
    if (!m_isPaused || m_mode != Mode::play) return;
    const QRectF pill = hintFrame(laid.box);
    QPainterPath shape;
    shape.addRoundedRect(pill, pill.height() / 2, pill.height() / 2);
    painter.fillPath(shape, QColor(0, 0, 0, qRound(0.72 * 255)));
    painter.setFont(hintFont());
    painter.setPen(Qt::white);
    const QFontMetricsF metrics(hintFont(), painter.device());
    painter.drawText(QPointF(pill.left() + 9, pill.top() + 3.5 + metrics.ascent()), hintText);
}

void VideoOverlayView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPointF p = event->position();
    m_dragStart = p;
    if (m_mode == Mode::crop) return;
    if (const auto note = noteAt(p)) {
        m_movingNote = note;
        return;
    }
    if (m_mode == Mode::play)
        if (const auto caption = m_edit.captionIndex(m_currentTime);
            caption && !m_editingCaption && captionLayout(*caption).box.contains(p))
            m_pressedCaption = caption;
}

void VideoOverlayView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragStart) return;
    const QPointF p = event->position();
    if (m_mode == Mode::crop) {
        const QPointF a = unit(*m_dragStart), b = unit(p);
        m_liveCrop = QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                            QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
        update();
    } else if (m_movingNote && onMoveNote) {
        onMoveNote(*m_movingNote, unit(p));
    }
}

void VideoOverlayView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // Whatever happens below, the gesture ends here.
    const std::optional<QPointF> start = std::exchange(m_dragStart, std::nullopt);
    const std::optional<QRectF> crop = std::exchange(m_liveCrop, std::nullopt);
    const std::optional<int> moved = std::exchange(m_movingNote, std::nullopt);
    const std::optional<int> pressed = std::exchange(m_pressedCaption, std::nullopt);
    update();
    if (!start) return;
    if (m_mode == Mode::crop) {
        if (crop && crop->width() > 0.03 && crop->height() > 0.03 && onCrop) onCrop(*crop);
        return;
    }
    if (pressed) {
        if (onEditCaption) onEditCaption(*pressed);
        return;
    }
    if (m_mode == Mode::addText && !moved && onPlaceText) onPlaceText(unit(*start));
}

} // namespace ombrel
