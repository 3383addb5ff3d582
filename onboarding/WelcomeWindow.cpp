#include "WelcomeWindow.h"
#include "OnboardingKeys.h"

#include "platform/Log.h"
#include "platform/Platform.h"
#include "ui/Attention.h"
#include "ui/Glass.h"
#include "ui/Permissions.h"
#include "ui/PlatformWords.h"
#include "ui/Symbols.h"
#include "ui/Toast.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace ombrel {

namespace {

QPointer<WelcomeWindow>& openWindow() {
    static QPointer<WelcomeWindow> window;
    return window;
}

// A small drawing of how to capture: a screen with the floating buttons at its edge, the
// pointer on the camera button and the window choices that hovering it offers.
class CaptureDrawing : public QWidget {
  public:
    CaptureDrawing() { setFixedSize(150, 96); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF screen(1, 1, width() - 2, height() - 2);
        p.setPen(QPen(GlassPalette::rim, 1.2));
        p.setBrush(QColor(255, 255, 255, 18));
        p.drawRoundedRect(screen, 8, 8);
        // A window on the screen.
        p.setBrush(QColor(255, 255, 255, 34));
        p.drawRoundedRect(QRectF(10, 14, 62, 50), 4, 4);
        p.setBrush(QColor(255, 255, 255, 60));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(10, 14, 62, 8));
        // The floating buttons at the right edge, the camera first and lit.
        const QPointF camera(width() - 18.0, 26);
        for (int i = 0; i < 3; ++i) {
            const QPointF c(camera.x(), camera.y() + i * 22);
            p.setBrush(i == 0 ? GlassPalette::accent : QColor(255, 255, 255, 50));
            p.drawEllipse(c, 8, 8);
        }
        const QPixmap symbol =
            Symbols::pixmap(QStringLiteral("camera.fill"), 10, Qt::white, devicePixelRatioF());
        p.drawPixmap(QPointF(camera.x() - 5, camera.y() - 5), symbol);
        // Hovering offers the windows: two small cards beside the button.
        p.setPen(QPen(QColor(255, 255, 255, 110), 1, Qt::DashLine));
        p.setBrush(QColor(255, 255, 255, 22));
        p.drawRoundedRect(QRectF(camera.x() - 50, camera.y() - 10, 30, 20), 3, 3);
        p.drawRoundedRect(QRectF(camera.x() - 50, camera.y() + 14, 30, 20), 3, 3);
        // The pointer on the camera.
        QPainterPath arrow;
        const QPointF tip(camera.x() + 2, camera.y() + 3);
        arrow.moveTo(tip);
        arrow.lineTo(tip + QPointF(0, 14));
        arrow.lineTo(tip + QPointF(3.6, 10.6));
        arrow.lineTo(tip + QPointF(6.5, 16));
        arrow.lineTo(tip + QPointF(8.5, 15));
        arrow.lineTo(tip + QPointF(5.8, 9.8));
        arrow.lineTo(tip + QPointF(10.5, 9.8));
        arrow.closeSubpath();
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawPath(arrow);
    }
};

QWidget* symbolTile(const QString& symbol) {
    auto* tile = new QLabel;
    tile->setFixedSize(36, 36);
    tile->setAlignment(Qt::AlignCenter);
    tile->setPixmap(Symbols::pixmap(symbol, 20, Qt::white, tile->devicePixelRatioF()));
    tile->setStyleSheet(QStringLiteral("background: rgba(255,255,255,0.10); border-radius: 9px;"));
    return tile;
}

} // namespace

bool WelcomeWindow::hasBeenShown() {
    return Defaults::get(OnboardingKeys::welcomeShown);
}

WelcomeWindow* WelcomeWindow::current() {
    return openWindow();
}

WelcomeWindow* WelcomeWindow::present(std::function<void()> onFinish) {
    if (!openWindow()) {
        auto* window = new WelcomeWindow(permissionRows());
        window->setAttribute(Qt::WA_DeleteOnClose);
        openWindow() = window;
    }
    WelcomeWindow* window = openWindow();
    window->m_onFinish = std::move(onFinish);
    window->GlassWindow::present();
    return window;
}

QList<PermissionRow> WelcomeWindow::permissionRows() {
    QList<PermissionRow> rows;
    rows.append({QStringLiteral("display"), QStringLiteral("See your screen"),
                 QStringLiteral("So the camera can capture it. Required."),
                 [] { return Platform::access().screenCaptureAllowed(); },
                 [] { Permissions::explainScreenRecording(); }});
    rows.append({QStringLiteral("keyboard"), QStringLiteral("Press keys for you"),
                 QStringLiteral("So Send to Chat can paste and send."),
                 [] { return Platform::access().accessibilityTrusted() && Platform::keys().canPress(); },
                 [] {
                     QWidget* over = openWindow();
                     if (!Platform::keys().canPress()) {
                         Toast::warn(
                             QStringLiteral("This display can't press keys for other apps. Send to Chat "
                                            "still puts your picture on the clipboard to paste."),
                             over);
                         return;
                     }
                     // Switching the desktop's accessibility on is all it takes; where that
                     // is refused, its settings page is where to do it.
                     if (Platform::accessibility().requestTrust()) return;
                     if (!Platform::accessibility().openSettings())
                         Toast::warn(words(QStringLiteral("Turn on the accessibility of your desktop in its "
                                                          "System Settings, then come back here.")),
                                     over);
                 }});
    rows.append({QStringLiteral("mic"), QStringLiteral("Hear your voice"),
                 QStringLiteral("Only when you record with sound."),
                 [] { return Platform::recording().microphoneAccess() == MicrophoneAccess::Authorized; },
                 [] {
                     // Try the microphone; when it cannot be heard, the sound settings are
                     // where to choose or switch one on.
                     auto* watcher = new QFutureWatcher<bool>;
                     QObject::connect(watcher, &QFutureWatcher<bool>::finished, watcher, [watcher] {
                         watcher->deleteLater();
                         if (watcher->result()) {
                             if (openWindow()) openWindow()->refresh();
                             return;
                         }
                         if (!Platform::recording().openMicrophoneSettings())
                             Toast::warn(
                                 QStringLiteral("No microphone was found. Plug one in, or switch one on "
                                                "in your sound settings."),
                                 openWindow());
                     });
                     watcher->setFuture(
                         QtConcurrent::run([] { return Platform::recording().requestMicrophoneAccess(); }));
                 }});
    return rows;
}

WelcomeWindow::WelcomeWindow(QList<PermissionRow> rows) : GlassWindow(520), m_rows(std::move(rows)) {
    setObjectName(QStringLiteral("welcome"));
    setWindowTitle(QStringLiteral("Welcome to Ombrel Capture"));
    QVBoxLayout* c = column();
    c->addWidget(label(QStringLiteral("Three quick things"), 18, true));
    c->addWidget(
        label(words(QStringLiteral(
                  "Your Mac asks you to allow these once. Nothing leaves your Mac unless you send it.")),
              10, false, 0.7));
    c->addSpacing(10);

    for (int i = 0; i < m_rows.size(); ++i) {
        const PermissionRow& r = m_rows.at(i);
        auto* row = new QHBoxLayout;
        row->setSpacing(12);
        row->addWidget(symbolTile(r.symbol));
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(label(r.title, 11, true));
        texts->addWidget(label(r.detail, 9, false, 0.6));
        row->addLayout(texts, 1);
        RowView view;
        view.allow = button(QStringLiteral("Allow"), false);
        view.allow->setObjectName(QStringLiteral("allow%1").arg(i));
        connect(view.allow, &QPushButton::clicked, this, [this, i] {
            if (m_rows.at(i).onAllow) m_rows.at(i).onAllow();
            refresh();
        });
        view.tick = label(QStringLiteral("✓ Allowed"), 10, true);
        view.tick->setStyleSheet(view.tick->styleSheet() +
                                 QStringLiteral("color: %1;").arg(GlassPalette::seen.name()));
        view.tick->hide();
        row->addWidget(view.allow);
        row->addWidget(view.tick);
        c->addLayout(row);
        c->addSpacing(4);
        m_views.append(view);
        m_allowed.append(false);
    }

    c->addSpacing(10);
    auto* capture = new QHBoxLayout;
    capture->setSpacing(14);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    lines->addWidget(label(QStringLiteral("CAMERA BUTTON"), 8, true, 0.55));
    lines->addWidget(label(QStringLiteral("Then take your first capture"), 12, true));
    lines->addWidget(label(QStringLiteral("Click the camera button to capture. Hover it to pick a window."),
                           9, false, 0.7));
    lines->addStretch(1);
    capture->addLayout(lines, 1);
    capture->addWidget(new CaptureDrawing, 0, Qt::AlignTop);
    c->addLayout(capture);

    c->addSpacing(12);
    auto* bottom = new QHBoxLayout;
    m_note = label(QString(), 9, false, 0.6);
    m_note->setObjectName(QStringLiteral("note"));
    bottom->addWidget(m_note, 1);
    m_start = button(QStringLiteral("Start Using It"), false);
    m_start->setObjectName(QStringLiteral("start"));
    connect(m_start, &QPushButton::clicked, this, &WelcomeWindow::finish);
    bottom->addWidget(m_start, 0, Qt::AlignBottom);
    c->addLayout(bottom);

    connect(&m_check, &QFutureWatcher<QList<bool>>::finished, this, [this] { showStates(m_check.result()); });
    m_timer.setInterval(refreshMs);
    connect(&m_timer, &QTimer::timeout, this, &WelcomeWindow::refresh);
    m_timer.start();
    showStates(m_allowed);
    refresh();
}

WelcomeWindow::~WelcomeWindow() {
    // The check reaches the platform from another thread: let it end first.
    m_check.waitForFinished();
}

void WelcomeWindow::refresh() {
    if (m_check.isRunning()) return; // the next tick asks again
    QList<std::function<bool()>> tests;
    for (const PermissionRow& r : std::as_const(m_rows))
        tests.append(r.isAllowed);
    m_check.setFuture(QtConcurrent::run([tests] {
        QList<bool> allowed;
        for (const auto& test : tests)
            allowed.append(test && test());
        return allowed;
    }));
}

void WelcomeWindow::showStates(const QList<bool>& allowed) {
    m_allowed = allowed;
    for (int i = 0; i < m_views.size(); ++i) {
        const bool yes = m_allowed.value(i);
        m_views.at(i).allow->setVisible(!yes);
        m_views.at(i).tick->setVisible(yes);
    }
    // Seeing the screen is the one permission the program cannot work without.
    const bool ready = m_allowed.value(0);
    setMain(m_start, ready);
    if (ready) {
        m_note->setText(QStringLiteral("You're ready."));
        m_note->setStyleSheet(QStringLiteral("color: white; font-size: 10pt; font-weight: 600;"));
    } else {
        m_note->setText(words(QStringLiteral(
            "After turning on screen access, your Mac may ask to quit and reopen the app. That's normal.")));
        m_note->setStyleSheet(QStringLiteral("color: rgba(255,255,255,153); font-size: 9pt;"));
    }
    Q_EMIT refreshed();
}

void WelcomeWindow::finish() {
    Defaults::set(OnboardingKeys::welcomeShown, true);
    m_timer.stop();
    const std::function<void()> onFinish = std::move(m_onFinish);
    m_onFinish = nullptr;
    if (onFinish) onFinish();
    close();
    // Where to click next.
    if (cameraButtonFrame)
        if (const std::optional<QRect> camera = cameraButtonFrame(); camera && !camera->isEmpty())
            Attention::pointAt(*camera);
}

} // namespace ombrel
