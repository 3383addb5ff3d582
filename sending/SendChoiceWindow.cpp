#include "SendChoiceWindow.h"
#include "platform/ScreenSpace.h"

#include "ui/Glass.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace ombrel {

namespace {

QPointer<SendChoiceWindow>& currentWindow() {
    static QPointer<SendChoiceWindow> window;
    return window;
}

constexpr int maxFanPictures = 3;
constexpr QSize cardSize{220, 200};

} // namespace

// ---- the cards ----

ChoiceCard::ChoiceCard(const QString& title, const QString& key, QList<QImage> pictures, bool main,
                       QWidget* parent)
    : QAbstractButton(parent), m_key(key), m_pictures(std::move(pictures)), m_main(main) {
    setText(title);
    setAccessibleName(title + QStringLiteral(". Key: ") + key);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    if (m_pictures.size() > maxFanPictures) m_pictures = m_pictures.mid(0, maxFanPictures);
}

QSize ChoiceCard::sizeHint() const {
    return cardSize;
}

void ChoiceCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool hovered = underMouse();
    const QRectF card = QRectF(rect()).adjusted(1, 1, -1, -1);
    p.setBrush(QColor(255, 255, 255, hovered ? 46 : 22));
    p.setPen(QPen(hovered ? GlassPalette::violet : (m_main ? GlassPalette::accent : GlassPalette::rim),
                  hovered || m_main ? 2 : 1));
    p.drawRoundedRect(card, 16, 16);

    // The fan: up to three pictures, the first on top, the others turned out behind it.
    const QRectF fanArea(card.left() + 20, card.top() + 18, card.width() - 40, card.height() - 82);
    const int n = int(m_pictures.size());
    for (int i = n - 1; i >= 0; --i) {
        const QImage& picture = m_pictures.at(i);
        const QSizeF fitted = QSizeF(picture.size()).scaled(fanArea.size() * 0.8, Qt::KeepAspectRatio);
        p.save();
        p.translate(fanArea.center());
        p.rotate((i - (n - 1) / 2.0) * 8.0 * (n > 1 ? 1 : 0) + (n > 1 ? -4 : 0));
        const QRectF box(-fitted.width() / 2, -fitted.height() / 2, fitted.width(), fitted.height());
        QPainterPath clip;
        clip.addRoundedRect(box, 8, 8);
        p.setClipPath(clip);
        p.drawImage(box, picture);
        p.setClipping(false);
        p.setPen(QPen(GlassPalette::rim, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(clip);
        p.restore();
    }

    QFont titleFont = font();
    titleFont.setPixelSize(15);
    titleFont.setWeight(QFont::DemiBold);
    p.setFont(titleFont);
    p.setPen(Qt::white);
    p.drawText(QRectF(card.left(), card.bottom() - 60, card.width(), 24), Qt::AlignCenter, text());

    QFont keyFont = font();
    keyFont.setPixelSize(12);
    p.setFont(keyFont);
    const QString key = m_key;
    const qreal keyWidth = QFontMetricsF(keyFont).horizontalAdvance(key) + 16;
    const QRectF keyBox(card.center().x() - keyWidth / 2, card.bottom() - 32, keyWidth, 20);
    p.setBrush(m_main ? GlassPalette::accent : QColor(255, 255, 255, 40));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(keyBox, 6, 6);
    p.setPen(Qt::white);
    p.drawText(keyBox, Qt::AlignCenter, key);
}

// ---- the window ----

SendChoiceWindow* SendChoiceWindow::current() {
    return currentWindow();
}

SendChoiceWindow* SendChoiceWindow::ask(const QString& verb, const QImage& current, const QList<QImage>& all,
                                        int count, OnChoose onChoose) {
    if (SendChoiceWindow* open = currentWindow()) open->cancel();
    auto* window = new SendChoiceWindow(verb, current, all, count, std::move(onChoose));
    currentWindow() = window;
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

SendChoiceWindow::SendChoiceWindow(const QString& verb, const QImage& current, const QList<QImage>& all,
                                   int count, OnChoose onChoose)
    : m_onChoose(std::move(onChoose)) {
    // The editor is in front when this asks, so it may take the keys: a frameless panel
    // above the editor, not an overlay.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("Ombrel Capture: ") + verb + QStringLiteral(": which pictures?"));
    auto* glass = new GlassView(22, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(glass);
    auto* column = new QVBoxLayout(glass);
    column->setContentsMargins(28, 22, 28, 22);
    column->setSpacing(12);

    m_heading = new QLabel(verb + QStringLiteral(": which pictures?"), glass);
    QFont headingFont = m_heading->font();
    headingFont.setPixelSize(26);
    headingFont.setWeight(QFont::DemiBold);
    m_heading->setFont(headingFont);
    m_heading->setStyleSheet(QStringLiteral("color:white;"));
    column->addWidget(m_heading);
    auto* detail = new QLabel(QStringLiteral("Press 1 for this picture, or Return for all of them."), glass);
    detail->setStyleSheet(QStringLiteral("color:rgba(255,255,255,0.72);font-size:14px;"));
    column->addWidget(detail);

    auto* cards = new QHBoxLayout;
    cards->setSpacing(14);
    m_thisCard = new ChoiceCard(QStringLiteral("This picture"), QStringLiteral("1"), {current}, false, glass);
    m_allCard = new ChoiceCard(QStringLiteral("All ") + QString::number(count) + QStringLiteral(" pictures"),
                               QStringLiteral("Return"), all, true, glass);
    cards->addWidget(m_thisCard);
    cards->addWidget(m_allCard);
    column->addLayout(cards);
    connect(m_thisCard, &QAbstractButton::clicked, this, [this] { choose(false); });
    connect(m_allCard, &QAbstractButton::clicked, this, [this] { choose(true); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_cancel = new QPushButton(QStringLiteral("Cancel"), glass);
    m_cancel->setToolTip(QStringLiteral("Go back to the picture. Esc does the same."));
    m_cancel->setFocusPolicy(Qt::NoFocus);
    m_cancel->setStyleSheet(
        QStringLiteral("QPushButton{background:rgba(255,255,255,0.14);color:white;border:none;"
                       "border-radius:9px;padding:7px 18px;}"
                       "QPushButton:hover{background:rgba(255,255,255,0.22);}"));
    buttons->addWidget(m_cancel);
    column->addLayout(buttons);
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancel(); });

    adjustSize();
    roundCornersWithoutCompositor(this, 22);
    if (QScreen* screen = ScreenSpace::mainScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    // The local key monitor: keys typed into any of the program's windows while this is open.
    qApp->installEventFilter(this);
    m_monitoring = true;
}

QString SendChoiceWindow::heading() const {
    return m_heading->text();
}

bool SendChoiceWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        choose(true);
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        cancel();
        return true;
    }
    if (key->text() == QLatin1String("1")) {
        choose(false);
        return true;
    }
    return false;
}

void SendChoiceWindow::choose(bool all) {
    finish(all);
}
void SendChoiceWindow::cancel() {
    finish(std::nullopt);
}

void SendChoiceWindow::finish(std::optional<bool> choice) {
    if (m_monitoring) {
        qApp->removeEventFilter(this);
        m_monitoring = false;
    }
    hide();
    if (currentWindow() == this) currentWindow() = nullptr;
    OnChoose onChoose = std::exchange(m_onChoose, nullptr);
    deleteLater();
    if (choice && onChoose) onChoose(*choice);
}

} // namespace ombrel
