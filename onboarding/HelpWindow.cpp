#include "HelpWindow.h"
#include "OnboardingKeys.h"

#include "platform/Platform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace ombrel {

namespace {
HelpWindow*& made() {
    static HelpWindow* window = nullptr;
    return window;
}
} // namespace

HelpWindow::HelpWindow() {
    setObjectName(QStringLiteral("help"));
    setWindowTitle(QStringLiteral("Ombrel Capture Help"));
    setWindowFlag(Qt::Window);
    setMinimumSize(minimumSizePt);
    setFrameShape(QFrame::NoFrame);
    // Links inside the page move within it; links out of it open in the browser.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == QLatin1String("qrc") || url.isRelative()) {
            if (!url.fragment().isEmpty()) scrollToAnchor(url.fragment());
        } else {
            Platform::workspace().open(url);
        }
    });
    document()->setDocumentMargin(24);
    // A missing page leaves the window empty.
    setSource(QUrl(page));
}

HelpWindow& HelpWindow::shared() {
    if (!made()) made() = new HelpWindow;
    return *made();
}

bool HelpWindow::exists() {
    return made() != nullptr;
}

void HelpWindow::present() {
    HelpWindow& window = shared();
    if (!window.isVisible()) {
        // Sized to the screen under the pointer, centred on it.
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen) screen = QGuiApplication::primaryScreen();
        if (screen) {
            const QRect area = screen->availableGeometry();
            const QSize size(std::clamp(area.width() / 2, minimumSizePt.width(), 860),
                             std::clamp(area.height() * 4 / 5, minimumSizePt.height(), 1000));
            window.resize(size);
            window.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        }
    }
    window.show();
    window.raise();
    window.activateWindow();
}

void HelpWindow::presentOnFirstLaunch() {
    if (Defaults::get(OnboardingKeys::hasSeenHelp)) return;
    Defaults::set(OnboardingKeys::hasSeenHelp, true);
    present();
}

} // namespace ombrel
