// Where the editor window goes and how big it is: the size presets, a size chosen by hand,
// presenting the window, and its small stand-ins (the minimised thumbnail and the preview
// of a page chip).
#include "EditorWindow.h"

#include "markup/MarkupRender.h"
#include "platform/Defaults.h"
#include "platform/Platform.h"
#include "platform/ScreenSpace.h"
#include "ui/Glass.h"

#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <climits>
#include <cmath>

namespace ombrel {

const QList<EditorWindowController::SizePreset>& EditorWindowController::sizePresets() {
    static const QList<SizePreset> presets{
        {"Small", 520}, {"Medium", 800}, {"Large", 1120}, {"Extra large", 1500}, {"Full screen", 0}};
    return presets;
}

QSize EditorWindowController::presetWindowSize(int pictureWidth, QSize imageSize, QRect workArea,
                                               int controlsHeight) {
    if (pictureWidth <= 0) return workArea.adjusted(12, 12, -12, -12).size();
    const int width = std::min(pictureWidth, workArea.width() - 24);
    const double aspect = imageSize.isEmpty() ? 0.6 : double(imageSize.height()) / imageSize.width();
    const int height = std::min(int(std::round(width * aspect)) + controlsHeight, workArea.height() - 28);
    return QSize(width, height);
}

void EditorWindowController::chooseSize(int presetIndex) {
    const SizePreset& preset = sizePresets().at(presetIndex);
    const QRect work = workArea();
    const int width =
        preset.pictureWidth <= 0 ? work.width() - 24 : std::min(preset.pictureWidth, work.width() - 24);
    const QSize size =
        presetWindowSize(preset.pictureWidth, canvas()->markup().imageSize(), work, controlsHeight(width));
    m_sizingItself = true;
    QRect frame(geometry().topLeft(), size);
    if (preset.pictureWidth <= 0) frame.moveTopLeft(work.topLeft() + QPoint(12, 12));
    // Grown, the window stays on its screen.
    frame.moveRight(std::min(frame.right(), work.right()));
    frame.moveBottom(std::min(frame.bottom(), work.bottom()));
    frame.moveLeft(std::max(frame.left(), work.left()));
    frame.moveTop(std::max(frame.top(), work.top()));
    setGeometry(frame);
    m_sizingItself = false;
    storeWindowSize(size);
    refreshSizeChoice();
}

QString EditorWindowController::sizeChoice() const {
    return m_size ? m_size->currentText() : QString();
}

void EditorWindowController::refreshSizeChoice() {
    if (!m_size) return;
    // The preset nearest the window's size: full screen when it fills the work area, else
    // the preset whose picture width is closest to the window's.
    const QRect work = workArea();
    const QSize full = presetWindowSize(0, {}, work, 0);
    int best = 0;
    if (std::abs(width() - full.width()) <= 2 && std::abs(height() - full.height()) <= 2) {
        best = int(sizePresets().size()) - 1;
    } else {
        int bestDistance = INT_MAX;
        for (int i = 0; i < sizePresets().size(); ++i) {
            const int presetWidth = sizePresets().at(i).pictureWidth;
            if (presetWidth <= 0) continue;
            const int distance = std::abs(std::min(presetWidth, work.width() - 24) - width());
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
    }
    m_size->setCurrentIndex(best);
}

void EditorWindowController::storeWindowSize(QSize size) {
    Defaults::store().setValue(QString::fromLatin1(sizeKey),
                               QStringLiteral("{%1, %2}").arg(size.width()).arg(size.height()));
}

void EditorWindowController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPanels();
    refreshSizeChoice();
    if (m_style == CaptureStyle::MiniPanel) roundCornersWithoutCompositor(this, 16);
    // Only a mini panel resized by hand: the full-screen style and the program's own
    // presets say nothing about the size the user wants next time.
    if (m_style == CaptureStyle::MiniPanel && isVisible() && !m_sizingItself && !m_finished)
        m_resizeSettled.start();
}

QRect EditorWindowController::workArea() const {
    QScreen* screen =
        QGuiApplication::screenAt(m_screenGlobal.isEmpty() ? geometry().center() : m_screenGlobal.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void EditorWindowController::showChipPreview(int page, QWidget* chip) {
    if (page < 0 || page >= pageCount()) return;
    if (!m_chipPreview) m_chipPreview = std::make_unique<ChipPreview>();
    const std::optional<QImage> finished = MarkupRender::flattened(m_pages.at(size_t(page)).canvas->markup());
    m_chipPreview->showFor(finished ? *finished : m_pages.at(size_t(page)).canvas->markup().image,
                           QRect(chip->mapToGlobal(QPoint(0, 0)), chip->size()), workArea());
}

void EditorWindowController::minimise() {
    if (m_finished || m_thumb) return;
    if (m_chipPreview) m_chipPreview->hide();
    QList<QImage> pictures;
    for (const CapturePage& p : m_pages) {
        const std::optional<QImage> finished = MarkupRender::flattened(p.canvas->markup());
        pictures.append(finished ? *finished : p.canvas->markup().image);
    }
    m_cursorTimer.stop();
    hide();
    m_thumb = std::make_unique<MinimizedThumb>(
        pictures, workArea(),
        [this](int page) {
            // Leave the click's own handler before the thumbnail goes away.
            QTimer::singleShot(0, this, [this, page] { restoreFromThumbnail(page); });
        },
        anchor ? anchor() : QRect());
    m_thumb->show();
}

void EditorWindowController::restoreFromThumbnail(int page) {
    if (!m_thumb) return;
    m_thumb.reset();
    if (page >= 0 && page < pageCount()) showPage(page);
    bringToFront();
}

void EditorWindowController::bringToFront() {
    show();
    raise();
    activateWindow();
    // Window managers may refuse a program's own request for the focus when it was started
    // from elsewhere (a URL, another program); ask as a pager does, which they honour.
    QTimer::singleShot(0, this, [] { Platform::windows().activate(Platform::windows().ownPid()); });
    canvas()->setFocus();
    m_cursorTimer.start();
}

void EditorWindowController::placeOnScreen() {
    const QRect work = workArea();
    if (m_style == CaptureStyle::OnScreen) {
        // Over the screen the picture was taken from, so it lies exactly over what it shows.
        QScreen* screen =
            QGuiApplication::screenAt(m_screenGlobal.isEmpty() ? work.center() : m_screenGlobal.center());
        if (!screen) screen = QGuiApplication::primaryScreen();
        setGeometry(screen ? screen->geometry() : m_screenGlobal);
        return;
    }
    QSize size = presetWindowSize(800, canvas()->markup().imageSize(), work,
                                  controlsHeight(std::min(800, work.width() - 24)));
    const QStringList parts = Defaults::store()
                                  .value(QString::fromLatin1(sizeKey))
                                  .toString()
                                  .remove(QLatin1Char('{'))
                                  .remove(QLatin1Char('}'))
                                  .split(QLatin1Char(','));
    if (parts.size() == 2 && parts[0].trimmed().toInt() > 200 && parts[1].trimmed().toInt() > 150)
        size = QSize(parts[0].trimmed().toInt(), parts[1].trimmed().toInt()).boundedTo(work.size());
    m_sizingItself = true;
    // Beside the floating buttons when they are on this screen and there is room for it
    // there, else centred on the screen.
    QRect frame(work.center() - QPoint(size.width() / 2, size.height() / 2), size);
    if (const QRect buttons = anchor ? anchor() : QRect(); work.contains(buttons)) {
        const QRect besideButtons = ScreenSpace::beside(size, buttons, work, anchorGap);
        if (!besideButtons.intersects(buttons)) frame = besideButtons;
    }
    setGeometry(frame);
    m_sizingItself = false;
}

void EditorWindowController::present() {
    if (auto front = Platform::windows().frontApplication();
        front && front->pid != Platform::windows().ownPid())
        m_previousPid = front->pid;
    placeOnScreen();
    chooseTool(CanvasView::Tool::Mark);
    bringToFront();
    // Some window managers place a new window themselves: put it back where it belongs.
    const QPoint wanted = pos();
    QTimer::singleShot(0, this, [this, wanted] {
        if (pos() != wanted && !m_finished) move(wanted);
    });
}

} // namespace ombrel
