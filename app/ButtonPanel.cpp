#include "ButtonPanel.h"

#include "library/RecentModel.h"
#include "platform/Platform.h"
#include "platform/ScreenSpace.h"
#include "ui/Glass.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace ombrel {

namespace {

// A 56 × 132 column, or a 130 × 56 row.
constexpr int cameraPx = 56, smallPx = 32, gapPx = 6, rowGapPx = 5;
constexpr int stripGap = 8;

QList<QRect> visibleAreas() {
    QList<QRect> areas;
    if (QScreen* main = ScreenSpace::mainScreen()) areas << main->availableGeometry();
    for (QScreen* s : QGuiApplication::screens())
        if (!areas.contains(s->availableGeometry())) areas << s->availableGeometry();
    return areas;
}

} // namespace

// ——— The strip with the time and the voice bars ———

RecordingStrip::RecordingStrip() : m_time(new QLabel(this)), m_bars(new VoiceBars(this)) {
    setObjectName(QStringLiteral("recordingStrip"));
    makeFloatingOverlay(this, true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(6);
    row->addWidget(m_time);
    row->addWidget(m_bars);
    QFont f = m_time->font();
    f.setPointSize(10);
    f.setWeight(QFont::DemiBold);
    f.setStyleHint(QFont::Monospace);
    f.setFamily(QStringLiteral("monospace"));
    m_time->setFont(f);
    m_time->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    m_time->setAlignment(Qt::AlignCenter);
    m_bars->hide();
    setFixedHeight(labelHeight);
    fit();
}

void RecordingStrip::fit() {
    layout()->activate();
    resize(std::max(sizeHint().width(), 44), labelHeight);
    roundCornersWithoutCompositor(this, 8);
}

void RecordingStrip::setText(const QString& text) {
    m_time->setText(text);
    fit();
}

void RecordingStrip::setCentred(bool centred) {
    if (centred) m_bars->hide();
    fit();
}

void RecordingStrip::setBarsShown(bool shown) {
    m_bars->setVisible(shown);
    fit();
}

void RecordingStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 8, 8);
    p.fillPath(path, QColor(26, 26, 26, 230)); // white level 0.1 at 90 %
}

// ——— The panel ———

ButtonLayout ButtonPanel::layout(bool sideBySide) {
    const int inset = (cameraPx - smallPx) / 2;
    if (sideBySide) {
        const int gap = rowGapPx;
        return {QSize(cameraPx + 2 * (gap + smallPx), cameraPx), QRect(0, 0, cameraPx, cameraPx),
                QRect(cameraPx + gap, inset, smallPx, smallPx),
                QRect(cameraPx + 2 * gap + smallPx, inset, smallPx, smallPx)};
    }
    const int height = cameraPx + 2 * (gapPx + smallPx);
    return {QSize(cameraPx, height), QRect(0, height - cameraPx, cameraPx, cameraPx),
            QRect(inset, height - cameraPx - gapPx - smallPx, smallPx, smallPx),
            QRect(inset, 0, smallPx, smallPx)};
}

QRect ButtonPanel::initialFrame(QSize size, QRect visibleArea) {
    const QPoint at(visibleArea.right() + 1 - margin - size.width(),
                    visibleArea.top() + visibleArea.height() * 3 / 5 - size.height() / 2);
    return ScreenSpace::keepInside(QRect(at, size), visibleArea);
}

QRect ButtonPanel::keptInside(QRect frame, const QList<QRect>& visibleAreas) {
    if (visibleAreas.isEmpty()) return frame;
    QRect home;
    for (const QRect& area : visibleAreas)
        if (area.contains(frame.center())) home = area;
    if (home.isNull()) {
        qint64 best = 0;
        for (const QRect& area : visibleAreas) {
            const QRect overlap = area & frame;
            const qint64 size = qint64(overlap.width()) * overlap.height();
            if (size > best) {
                best = size;
                home = area;
            }
        }
    }
    if (home.isNull()) home = visibleAreas.first();
    return ScreenSpace::keepInside(frame, home);
}

QRect ButtonPanel::besideButton(QRect buttonGlobal, QSize size, QRect visibleArea) {
    return ScreenSpace::beside(size, buttonGlobal, visibleArea, stripGap);
}

ButtonPanel::ButtonPanel()
    : m_camera(new FloatingButton(QStringLiteral("camera.fill"), 22, this)),
      m_recent(new FloatingButton(QStringLiteral("photo.stack"), 13, this)),
      m_record(new FloatingButton(QStringLiteral("record.circle"), 14, this)),
      m_strip(std::make_unique<RecordingStrip>()) {
    setObjectName(QStringLiteral("floatingButtons"));
    setWindowTitle(QStringLiteral("Ombrel Capture buttons"));
    // A small tool window the window manager keeps above others; it never takes the focus.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    for (FloatingButton* b : {m_camera, m_recent, m_record})
        b->onDragEnd = [this] { keepInsideScreen(); };
    layOut(false);
    watchScreens();
}

void ButtonPanel::watchScreens() {
    auto follow = [this](QScreen* s) {
        connect(s, &QScreen::availableGeometryChanged, this, [this] { keepInsideScreen(); });
    };
    for (QScreen* s : QGuiApplication::screens())
        follow(s);
    connect(qApp, &QGuiApplication::screenAdded, this, follow);
    // A screen that goes away takes no panel with it: it comes back onto a screen that is there.
    connect(qApp, &QGuiApplication::screenRemoved, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { keepInsideScreen(); }, Qt::QueuedConnection);
    });
}

void ButtonPanel::layOut(bool sideBySide) {
    const ButtonLayout l = layout(sideBySide);
    const bool first = !m_placed;
    const QPoint bottomLeft = geometry().bottomLeft();
    m_sideBySide = sideBySide;
    m_camera->setGeometry(l.camera);
    m_recent->setGeometry(l.recent);
    m_record->setGeometry(l.record);
    setFixedSize(l.panel);
    updateMask();
    if (first) {
        QScreen* main = ScreenSpace::mainScreen();
        setGeometry(initialFrame(l.panel, main ? main->availableGeometry() : QRect(QPoint(0, 0), l.panel)));
        m_placed = true;
    } else {
        QRect frame(QPoint(0, 0), l.panel);
        frame.moveBottomLeft(bottomLeft);
        setGeometry(keptInside(frame, visibleAreas()));
    }
    layOutStrip();
}

void ButtonPanel::updateMask() {
    // Only the round buttons are there: the corners between them show the desktop and let
    // clicks through, with or without a compositing manager.
    QRegion region;
    for (FloatingButton* b : {m_camera, m_recent, m_record})
        region += QRegion(b->geometry(), QRegion::Ellipse);
    setMask(region);
}

void ButtonPanel::showFloating() {
    show();
    raise();
    if (Platform::isInstalled()) Platform::windows().keepFloating(winId());
    layOutStrip();
}

QRect ButtonPanel::visibleArea() const {
    QScreen* s = QGuiApplication::screenAt(geometry().center());
    if (!s) s = ScreenSpace::mainScreen();
    return s ? s->availableGeometry() : QRect();
}

void ButtonPanel::keepInsideScreen() {
    const QRect inside = keptInside(geometry(), visibleAreas());
    if (inside != geometry()) move(inside.topLeft());
    layOutStrip();
}

void ButtonPanel::layOutStrip() {
    const QRect button(mapToGlobal(m_record->geometry().topLeft()), m_record->size());
    m_strip->move(besideButton(button, m_strip->size(), visibleArea()).topLeft());
}

void ButtonPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (m_strip->isVisible()) layOutStrip();
}

} // namespace ombrel
