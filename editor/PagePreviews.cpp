#include "editor/PagePreviews.h"
#include "platform/ScreenSpace.h"

#include "ui/Glass.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace ombrel {

namespace {

constexpr qreal cornerRadius = 12;
// How far each picture under the top one peeks out of a stack.
constexpr int stackOffset = 6;
// Pictures drawn in a stack; more would only thicken its edge.
constexpr int maxStacked = 3;

// The picture scaled to fit a card, keeping its proportions.
QImage card(const QImage& picture, QSize box) {
    if (picture.isNull()) return {};
    return picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void paintGlass(QPainter& p, const QRect& rect) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(GlassPalette::rim, 1));
    p.setBrush(QColor(28, 28, 32, 230));
    p.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

void paintCard(QPainter& p, const QImage& image, const QRect& cell) {
    if (image.isNull()) return;
    const QRect at(cell.center() - QPoint(image.width() / 2, image.height() / 2), image.size());
    p.drawImage(at, image);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(at).adjusted(-0.5, -0.5, 0.5, 0.5));
}

QString tipFor(qsizetype count) {
    return count == 1 ? QStringLiteral("Click to bring it back")
                      : QString::number(count) +
                            QStringLiteral(" pictures. Point to see them, and click one to open it.");
}

} // namespace

// ---------- MinimizedThumbView ----------

MinimizedThumbView::MinimizedThumbView(QList<QImage> pictures, QWidget* parent) : QWidget(parent) {
    for (const QImage& picture : pictures)
        m_cards.append(card(picture, QSize(cardWidth, cardHeight)));
    setToolTip(tipFor(m_cards.size()));
    setAttribute(Qt::WA_AlwaysShowToolTips); // the thumbnail never becomes the active window
    setCursor(Qt::PointingHandCursor);
    setFixedSize(stackedSize());
}

QSize MinimizedThumbView::stackedSize() const {
    const int extra = int(std::min<qsizetype>(m_cards.size(), maxStacked) - 1) * stackOffset;
    return {cardWidth + 2 * margin + std::max(0, extra), cardHeight + 2 * margin + std::max(0, extra)};
}

QSize MinimizedThumbView::fannedSize() const {
    const int count = int(m_cards.size());
    return {count * cardWidth + std::max(0, count - 1) * fanSpacing + 2 * margin, cardHeight + 2 * margin};
}

QList<QRect> MinimizedThumbView::cardRects() const {
    QList<QRect> rects;
    for (int i = 0; i < m_cards.size(); ++i) {
        if (m_fanned) {
            rects.append(QRect(margin + i * (cardWidth + fanSpacing), margin, cardWidth, cardHeight));
        } else {
            // The first page lies on top, the next ones peek out below and to the right.
            const int depth = std::min(i, maxStacked - 1);
            rects.append(
                QRect(margin + depth * stackOffset, margin + depth * stackOffset, cardWidth, cardHeight));
        }
    }
    return rects;
}

int MinimizedThumbView::pageAt(QPoint point) const {
    if (m_cards.isEmpty() || !rect().contains(point)) return -1;
    if (!m_fanned) return 0;
    const QList<QRect> rects = cardRects();
    for (int i = 0; i < rects.size(); ++i)
        if (rects[i].contains(point)) return i;
    return -1;
}

void MinimizedThumbView::setFannedOut(bool fanned) {
    // A single picture has nothing to fan out.
    fanned = fanned && m_cards.size() > 1;
    if (fanned == m_fanned) return;
    m_fanned = fanned;
    const QSize size = fanned ? fannedSize() : stackedSize();
    setFixedSize(size);
    if (onResize) onResize(size);
    update();
}

void MinimizedThumbView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintGlass(p, rect());
    const QList<QRect> rects = cardRects();
    // Paint from the bottom of the stack up, so the first page ends on top.
    for (qsizetype i = rects.size() - 1; i >= 0; --i) {
        if (!m_fanned && i >= maxStacked) continue;
        paintCard(p, m_cards[i], rects[i]);
    }
}

void MinimizedThumbView::enterEvent(QEnterEvent*) {
    setFannedOut(true);
}

void MinimizedThumbView::leaveEvent(QEvent*) {
    setFannedOut(false);
}

void MinimizedThumbView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int page = pageAt(event->position().toPoint());
    if (page >= 0 && onOpen) onOpen(page);
}

// ---------- MinimizedThumb ----------

MinimizedThumb::MinimizedThumb(QList<QImage> pictures, QRect workArea, std::function<void(int)> onOpen,
                               QRect anchor)
    : m_view(new MinimizedThumbView(std::move(pictures), this)), m_workArea(workArea),
      m_anchor(m_workArea.contains(anchor) ? anchor : QRect()) {
    setObjectName(QStringLiteral("minimizedThumb"));
    setWindowTitle(QStringLiteral("Ombrel Capture: minimised"));
    makeFloatingOverlay(this, false);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->onOpen = std::move(onOpen);
    m_view->onResize = [this](QSize size) { place(size); };
    place(m_view->stackedSize());
}

void MinimizedThumb::place(QSize size) {
    // Grows away from its fixed corner (towards the middle of the screen), so the picture
    // the pointer is on stays under it when the stack fans out. Beside the buttons is where
    // the Recent panel and the capture picker open: under them (or above) it stays clear.
    QRect frame(QPoint(0, 0), size);
    if (!m_anchor.isEmpty()) {
        const bool buttonsOnTheRight = m_anchor.center().x() >= m_workArea.center().x();
        const bool roomBelow = m_anchor.bottom() + anchorGap + size.height() <= m_workArea.bottom();
        const int y =
            roomBelow ? m_anchor.bottom() + 1 + anchorGap : m_anchor.top() - anchorGap - size.height();
        if (buttonsOnTheRight)
            frame.moveTopRight(QPoint(m_anchor.right(), y));
        else
            frame.moveTopLeft(QPoint(m_anchor.left(), y));
        frame = ScreenSpace::keepInside(frame, m_workArea);
    } else if (m_workArea.isEmpty()) {
        frame.moveTopLeft(QPoint(inset, inset));
    } else {
        frame.moveBottomRight(m_workArea.bottomRight() - QPoint(inset, inset));
    }
    setGeometry(frame);
    roundCornersWithoutCompositor(this, cornerRadius);
}

// ---------- ChipPreview ----------

ChipPreview::ChipPreview() {
    setObjectName(QStringLiteral("chipPreview"));
    makeFloatingOverlay(this, true);
}

void ChipPreview::showFor(const QImage& picture, QRect chipGlobal, QRect workArea) {
    constexpr int pad = 6;
    m_picture = picture.isNull() ? QImage()
                                 : picture.scaled(QSize(previewWidth, previewWidth * 3 / 4),
                                                  Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (m_picture.isNull()) {
        hide();
        return;
    }
    const QSize size = m_picture.size() + QSize(2 * pad, 2 * pad);
    QPoint topLeft(chipGlobal.center().x() - size.width() / 2, chipGlobal.top() - size.height() - 6);
    if (!workArea.isEmpty()) {
        if (topLeft.y() < workArea.top()) topLeft.setY(chipGlobal.bottom() + 6);
        topLeft.setX(std::clamp(topLeft.x(), workArea.left(),
                                std::max(workArea.left(), workArea.right() - size.width())));
    }
    setGeometry(QRect(topLeft, size));
    roundCornersWithoutCompositor(this, 8);
    show();
    update();
}

void ChipPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(GlassPalette::rim, 1));
    p.setBrush(QColor(28, 28, 32, 235));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    p.drawImage(QPoint(6, 6), m_picture);
}

} // namespace ombrel
