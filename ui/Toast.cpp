#include "Toast.h"
#include "Glass.h"
#include "Symbols.h"
#include "platform/ScreenSpace.h"
#include "ui/PlatformWords.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>

namespace ombrel {

namespace {

QPointer<QWidget>& currentPanel() {
    static QPointer<QWidget> panel;
    return panel;
}

QPointer<QTimer>& hideWork() {
    static QPointer<QTimer> timer;
    return timer;
}

// Lays the text out at the given width and keeps at most three lines, the last one
// elided when more would follow.
QString cutToLines(const QString& text, const QFont& font, int width, int maxLines) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            const QString rest = text.mid(line.textStart());
            lines.append(QFontMetrics(font).elidedText(rest.simplified(), Qt::ElideRight, width));
            break;
        }
        lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

double Toast::visibleSeconds(const QString& text, bool longer) {
    return std::max(1.8, double(text.size()) / 18.0) * (longer ? 1.6 : 1.0);
}

QWidget* Toast::panel() {
    return currentPanel();
}

QString Toast::currentText() {
    return currentPanel() ? currentPanel()->property("message").toString() : QString();
}

QString Toast::shownText() {
    if (!currentPanel()) return {};
    auto* label = currentPanel()->findChild<QLabel*>(QStringLiteral("toastText"));
    return label ? label->text() : QString();
}

void Toast::warn(const QString& text, QWidget* over) {
    show(text, warningSymbol, over, true);
}

void Toast::show(const QString& givenText, const QString& symbol, QWidget* over, bool longer) {
    const QString text = words(givenText);
    // 1. Only one toast: the old one goes at once, and its pending fade-out with it.
    if (hideWork()) hideWork()->deleteLater();
    hideWork() = nullptr;
    if (QWidget* old = currentPanel()) {
        old->hide();
        old->deleteLater();
        currentPanel() = nullptr;
    }

    // 2. The content: symbol and text in a glass view.
    auto* window = new QWidget(nullptr);
    window->setObjectName(QStringLiteral("toast"));
    window->setProperty("message", text);
    makeFloatingOverlay(window, true);
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* glass = new GlassView(14, window);
    auto* outer = new QHBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(glass);

    // Sizes are in logical pixels, the unit the layout widths and insets use.
    QFont font = QGuiApplication::font();
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    auto* label = new QLabel(glass);
    label->setObjectName(QStringLiteral("toastText"));
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    label->setWordWrap(true);
    const QString shown = cutToLines(text, font, maxTextWidth, maxLines);
    label->setText(shown);
    const QFontMetrics metrics(font);
    int naturalWidth = 0;
    for (const QString& line : shown.split(QLatin1Char('\n')))
        naturalWidth = std::max(naturalWidth, metrics.horizontalAdvance(line));
    label->setFixedWidth(std::min(maxTextWidth, naturalWidth + 2));

    const QColor tint =
        symbol.contains(QLatin1String("exclamation")) ? QColor(255, 149, 0) : QColor(52, 199, 89);
    const int symbolPx = 15;
    auto* image = new QLabel(glass);
    image->setObjectName(QStringLiteral("toastSymbol"));
    image->setPixmap(Symbols::pixmap(symbol, symbolPx, tint, window->devicePixelRatioF()));
    image->setStyleSheet(QStringLiteral("background: transparent;"));

    auto* stack = new QHBoxLayout(glass);
    stack->setSpacing(8);
    stack->setContentsMargins(14, 10, 16, 10);
    stack->addWidget(image, 0, Qt::AlignVCenter);
    stack->addWidget(label, 0, Qt::AlignVCenter);

    // 3, 4. Size and place: centred, 70 above a window's bottom or 90 above the screen's.
    window->adjustSize();
    const QSize size = window->sizeHint();
    window->resize(size);
    QRect reference;
    int lift = 90;
    if (over && over->isVisible()) {
        reference = over->window()->frameGeometry();
        lift = 70;
    } else if (QScreen* screen = ScreenSpace::mainScreen()) {
        reference = screen->availableGeometry();
    }
    roundCornersWithoutCompositor(window, glass->cornerRadius());
    window->move(reference.center().x() - size.width() / 2, reference.bottom() + 1 - lift - size.height());

    // 5, 6. Show without activating, fading in.
    window->setWindowOpacity(0.0);
    window->show();
    currentPanel() = window;
    auto* fadeIn = new QPropertyAnimation(window, "windowOpacity", window);
    fadeIn->setDuration(fadeInMs);
    fadeIn->setStartValue(0.0);
    fadeIn->setEndValue(1.0);
    fadeIn->start(QAbstractAnimation::DeleteWhenStopped);

    // 7, 8. Fade out after the reading time; only this panel is forgotten at the end.
    auto* timer = new QTimer(window);
    timer->setSingleShot(true);
    timer->setInterval(qRound(visibleSeconds(text, longer) * 1000));
    QObject::connect(timer, &QTimer::timeout, window, [window] {
        hideWork() = nullptr;
        auto* fadeOut = new QPropertyAnimation(window, "windowOpacity", window);
        fadeOut->setDuration(fadeOutMs);
        fadeOut->setEndValue(0.0);
        QObject::connect(fadeOut, &QPropertyAnimation::finished, window, [window] {
            window->hide();
            if (currentPanel() == window) currentPanel() = nullptr;
            window->deleteLater();
        });
        fadeOut->start(QAbstractAnimation::DeleteWhenStopped);
    });
    hideWork() = timer;
    timer->start();
}

} // namespace ombrel
