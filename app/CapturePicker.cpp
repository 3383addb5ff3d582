#include "CapturePicker.h"
#include "platform/ScreenSpace.h"

#include "library/RecentModel.h"
#include "ui/Glass.h"

#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace ombrel {

namespace {

constexpr int minWidthPt = 200, minHeightPt = 120;
constexpr int cornerRadius = 16;
constexpr int rowHeight = 44;
constexpr int iconPx = 24;

const char* const browsers[] = {"Chrome", "Chromium", "Safari", "Firefox", "Arc", "Edge", "Brave", "Opera"};

QLabel* sectionLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setPixelSize(11);
    f.setWeight(QFont::DemiBold);
    label->setFont(f);
    label->setStyleSheet(QStringLiteral("color: rgba(255,255,255,150); padding: 6px 8px 2px 8px;"));
    return label;
}

} // namespace

bool isBrowserName(const QString& nameOrIdentifier) {
    for (const char* b : browsers)
        if (nameOrIdentifier.contains(QLatin1String(b), Qt::CaseInsensitive)) return true;
    return false;
}

QList<WindowInfo> pickerWindows(const QList<WindowInfo>& bottomToTop, qint64 ownPid,
                                const QString& ownBundleId, qreal pixelsPerPoint, int maxWindows) {
    if (pixelsPerPoint <= 0) pixelsPerPoint = 1;
    QList<WindowInfo> browserWindows, others;
    for (auto it = bottomToTop.crbegin(); it != bottomToTop.crend(); ++it) {
        const WindowInfo& w = *it;
        if (w.layer != 0 || !w.onScreen || w.kind != WindowKind::Normal) continue;
        if (w.frameGlobal.width() < minWidthPt * pixelsPerPoint ||
            w.frameGlobal.height() < minHeightPt * pixelsPerPoint)
            continue;
        if (w.pid == ownPid || (!ownBundleId.isEmpty() && w.bundleId == ownBundleId)) continue;
        (isBrowserName(w.bundleId) ? browserWindows : others).append(w);
    }
    return (browserWindows + others).mid(0, maxWindows);
}

CaptureRow::CaptureRow(CaptureChoice choice, QWidget* parent)
    : QAbstractButton(parent), m_choice(std::move(choice)) {
    setAccessibleName(QStringLiteral("Capture ") + m_choice.title);
    setToolTip(m_choice.detail);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

QSize CaptureRow::sizeHint() const {
    return QSize(CapturePicker::width - 16, rowHeight);
}

void CaptureRow::enterEvent(QEnterEvent*) {
    m_hover = true;
    update();
}

void CaptureRow::leaveEvent(QEvent*) {
    m_hover = false;
    update();
}

void CaptureRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_hover || isDown()) {
        QColor tint = GlassPalette::violet;
        tint.setAlpha(isDown() ? 110 : 70);
        p.setPen(Qt::NoPen);
        p.setBrush(tint);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 10, 10);
    }
    const QRect iconBox(10, (height() - iconPx) / 2, iconPx, iconPx);
    m_choice.icon.paint(&p, iconBox);
    const int textLeft = iconBox.right() + 12;
    const QRect textBox(textLeft, 5, width() - textLeft - 10, height() - 10);
    QFont title = font();
    title.setPixelSize(13);
    title.setWeight(QFont::DemiBold);
    QFont detail = font();
    detail.setPixelSize(11);
    p.setPen(Qt::white);
    p.setFont(title);
    p.drawText(textBox.adjusted(0, 0, 0, -textBox.height() / 2), Qt::AlignLeft | Qt::AlignBottom,
               QFontMetrics(title).elidedText(m_choice.title, Qt::ElideRight, textBox.width()));
    p.setPen(QColor(255, 255, 255, 150));
    p.setFont(detail);
    p.drawText(textBox.adjusted(0, textBox.height() / 2 + 1, 0, 0), Qt::AlignLeft | Qt::AlignTop,
               QFontMetrics(detail).elidedText(m_choice.detail, Qt::ElideRight, textBox.width()));
}

CapturePicker::CapturePicker() : m_content(new QWidget), m_list(new QVBoxLayout(m_content)) {
    setObjectName(QStringLiteral("capturePicker"));
    setWindowTitle(QStringLiteral("What should I capture?"));
    setAccessibleName(QStringLiteral("What should I capture?"));
    makeFloatingOverlay(this, false);
    auto* glass = new GlassView(cornerRadius, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(glass);
    auto* column = new QVBoxLayout(glass);
    column->setContentsMargins(8, 12, 8, 10);
    column->setSpacing(4);
    auto* heading = new QLabel(QStringLiteral("What should I capture?"), glass);
    heading->setObjectName(QStringLiteral("pickerHeading"));
    QFont f = heading->font();
    f.setPixelSize(26);
    f.setWeight(QFont::Medium);
    f.setLetterSpacing(QFont::AbsoluteSpacing, -0.6);
    heading->setFont(f);
    heading->setWordWrap(true); // a wide font wraps it rather than widening the panel
    heading->setStyleSheet(QStringLiteral("color: white; padding: 0 6px 4px 6px;"));
    setFixedWidth(width);
    column->addWidget(heading);
    m_list->setContentsMargins(0, 0, 0, 0);
    m_list->setSpacing(2);
    auto* scroll = new QScrollArea(glass);
    scroll->setObjectName(QStringLiteral("pickerScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    scroll->setWidget(m_content);
    column->addWidget(scroll);
}

QLabel* CapturePicker::heading() const {
    return findChild<QLabel*>(QStringLiteral("pickerHeading"));
}

QList<CaptureRow*> CapturePicker::rows() const {
    return m_content->findChildren<CaptureRow*>();
}

QRect CapturePicker::placement(QSize size, QRect beside, QRect visibleArea) {
    return ScreenSpace::beside(size, beside, visibleArea, gap);
}

void CapturePicker::show(const QList<CaptureChoice>& choices, QRect besideGlobal, QRect visibleArea) {
    while (QLayoutItem* item = m_list->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    int listHeight = 0;
    bool windowsHeading = false;
    m_list->addWidget(sectionLabel(QStringLiteral("Screens"), m_content));
    listHeight += 24;
    for (const CaptureChoice& choice : choices) {
        if (!choice.isScreen && !windowsHeading) {
            windowsHeading = true;
            m_list->addWidget(sectionLabel(QStringLiteral("Windows"), m_content));
            listHeight += 24;
        }
        auto* row = new CaptureRow(choice, m_content);
        connect(row, &QAbstractButton::clicked, this, [this, action = choice.action] {
            hide();
            // Leave the click's own handler before the capture starts.
            if (action) QTimer::singleShot(0, this, action);
        });
        m_list->addWidget(row);
        listHeight += rowHeight + m_list->spacing();
    }
    m_list->addStretch();
    layout()->activate();
    const int chrome =
        12 + 10 + 4 + heading()->heightForWidth(width - 16); // margins, spacing and the heading
    const int height = std::min(listHeight + chrome, visibleArea.isEmpty() ? 640 : visibleArea.height());
    setGeometry(placement(QSize(width, height), besideGlobal, visibleArea));
    roundCornersWithoutCompositor(this, cornerRadius);
    QWidget::show();
    raise();
}

void CapturePicker::enterEvent(QEnterEvent*) {
    if (onPointerInside) onPointerInside(true);
}

void CapturePicker::leaveEvent(QEvent*) {
    if (onPointerInside) onPointerInside(false);
}

} // namespace ombrel
