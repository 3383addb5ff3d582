#include "recording/RecordingFrame.h"

#include "platform/Platform.h"
#include "platform/ScreenSpace.h"
#include "ui/Glass.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace ombrel {

namespace {

constexpr int outlineWidth = 4;
constexpr int outlineInset = 2;
constexpr int pillTop = 16;
constexpr int pillLeft = 16;

QFont pillFont() {
    QFont f;
    f.setPixelSize(12);
    f.setWeight(QFont::DemiBold);
    return f;
}

} // namespace

const QColor RecordingBorderView::red{255, 59, 48};

RecordingBorderView::RecordingBorderView(QString name, QWidget* parent)
    : QWidget(parent), m_name(std::move(name)) {}

QRect RecordingBorderView::pillRect(QSize size) const {
    const QSize text = QFontMetrics(pillFont()).size(Qt::TextSingleLine, pillText());
    const QSize pill = text + QSize(16, 6);
    // Near the top left, kept inside the view when the area is small.
    const int x = std::clamp(pillLeft, 0, std::max(0, size.width() - pill.width()));
    return QRect(QPoint(x, std::min(pillTop, std::max(0, size.height() - pill.height()))), pill);
}

QRegion RecordingBorderView::drawnRegion(QSize size) const {
    const QRect outer(QPoint(0, 0), size);
    const QRect inner = outer.adjusted(outlineInset + outlineWidth, outlineInset + outlineWidth,
                                       -(outlineInset + outlineWidth), -(outlineInset + outlineWidth));
    QPainterPath pill;
    const QRect p = pillRect(size);
    pill.addRoundedRect(QRectF(p), p.height() / 2.0, p.height() / 2.0);
    return (QRegion(outer) - QRegion(inner)) + QRegion(pill.toFillPolygon().toPolygon());
}

void RecordingBorderView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(red, outlineWidth));
    p.setBrush(Qt::NoBrush);
    const double half = outlineWidth / 2.0;
    p.drawRect(QRectF(rect()).adjusted(outlineInset + half, outlineInset + half, -(outlineInset + half),
                                       -(outlineInset + half)));
    const QRect pill = pillRect(size());
    QPainterPath path;
    path.addRoundedRect(QRectF(pill), pill.height() / 2.0, pill.height() / 2.0);
    p.fillPath(path, red);
    p.setPen(Qt::white);
    p.setFont(pillFont());
    p.drawText(pill.adjusted(8, 3, -8, -3), Qt::AlignCenter, pillText());
}

RecordingFrame::RecordingFrame(const QString& name) : m_border(new RecordingBorderView(name, this)) {
    setObjectName(QStringLiteral("recordingFrame"));
    makeFloatingOverlay(this, true);
    m_followTimer.setInterval(followIntervalMs);
    QObject::connect(&m_followTimer, &QTimer::timeout, this, [this] { follow(); });
}

void RecordingFrame::place(QRect aroundGlobal) {
    const QRect around = ScreenSpace::toLogical(aroundGlobal);
    if (geometry() == around) return; // only moved when the window did
    setGeometry(around);
    m_border->setGeometry(rect());
    // Only the outline and the pill are there: the rest lets the screen show through,
    // with or without a compositing manager, and never catches the mouse.
    setMask(m_border->drawnRegion(around.size()));
}

void RecordingFrame::show(QRect aroundGlobal, std::optional<WindowId> followingWindow) {
    place(aroundGlobal);
    QWidget::show();
    raise();
    if (followingWindow) {
        m_window = *followingWindow;
        m_followTimer.start();
    }
}

void RecordingFrame::follow() {
    for (const WindowInfo& w : Platform::windows().windows()) {
        if (w.id == m_window) {
            place(w.frameGlobal);
            return;
        }
    }
}

void RecordingFrame::dismiss() {
    m_followTimer.stop();
    hide();
}

VoiceBars::VoiceBars(QWidget* parent) : QWidget(parent) {
    setFixedSize(barCount * 5 - 2, 16);
    m_decay.setInterval(50);
    QObject::connect(&m_decay, &QTimer::timeout, this, [this] {
        m_level *= 0.8;
        QWidget::update();
    });
}

void VoiceBars::start() {
    m_level = 0;
    m_decay.start();
    QWidget::show();
}

void VoiceBars::update(double level) {
    m_level = std::max(m_level, std::clamp(level, 0.0, 1.0));
    QWidget::update();
}

void VoiceBars::stop() {
    m_decay.stop();
    m_level = 0;
    QWidget::update();
}

void VoiceBars::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // The middle bars reach highest, so speech looks like a little wave.
    static constexpr double shape[barCount] = {0.55, 0.85, 1.0, 0.85, 0.55};
    for (int i = 0; i < barCount; ++i) {
        const double h = std::max(3.0, height() * std::min(1.0, m_level * shape[i] * 1.2));
        p.setBrush(QColor(255, 255, 255, m_level > 0.02 ? 230 : 110));
        p.drawRoundedRect(QRectF(i * 5, (height() - h) / 2, 3, h), 1.5, 1.5);
    }
}

} // namespace ombrel
