#include "GlassPrompt.h"
#include "Glass.h"
#include "platform/ScreenSpace.h"
#include "ui/PlatformWords.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace ombrel {

namespace {

constexpr qreal cornerRadius = 22;
constexpr int thumbnailMaxPx = 800;
constexpr QSize previewBoxPt{200, 120};

// The small round logo at the top of the panel.
class LogoOrb : public QWidget {
  public:
    explicit LogoOrb(QWidget* parent) : QWidget(parent) { setFixedSize(18, 18); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(QPointF(6, 6), 12);
        g.setColorAt(0, QColor(190, 175, 255));
        g.setColorAt(1, GlassPalette::accent);
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(rect().adjusted(1, 1, -1, -1));
    }
};

// A picture fitted into a box, with rounded corners and a thin rim.
class RoundedPicture : public QWidget {
  public:
    RoundedPicture(const QImage& image, QWidget* parent) : QWidget(parent), m_image(image) {
        const QSize fitted = image.size().scaled(previewBoxPt, Qt::KeepAspectRatio);
        setFixedSize(fitted.isEmpty() ? QSize(1, 1) : fitted);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
        p.setClipPath(clip);
        p.drawImage(rect(), m_image);
        p.setClipping(false);
        p.setPen(QPen(GlassPalette::rim, 1));
        p.drawPath(clip);
    }

  private:
    QImage m_image;
};

// Lies over the whole panel and draws the flash of its border.
class FlashRim : public QWidget {
  public:
    explicit FlashRim(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    QColor color;
    qreal level = 0;

  protected:
    void paintEvent(QPaintEvent*) override {
        if (level <= 0) return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor c = color;
        c.setAlphaF(level);
        p.setPen(QPen(c, 4));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), cornerRadius, cornerRadius);
    }
};

QImage thumbnail(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > thumbnailMaxPx)
        reader.setScaledSize(size.scaled(thumbnailMaxPx, thumbnailMaxPx, Qt::KeepAspectRatio));
    return reader.read();
}

} // namespace

GlassPrompt::GlassPrompt(const QString& secondaryTitle, int width, QWidget* parent)
    : QWidget(parent), m_width(width) {
    makeFloatingOverlay(this, false);
    setWindowTitle(QStringLiteral("Ombrel Capture"));
    auto* glass = new GlassView(cornerRadius, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(glass);

    m_column = new QVBoxLayout(glass);
    m_column->setContentsMargins(28, 22, 28, 22);
    m_column->setSpacing(10);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(new LogoOrb(glass));
    auto* brand = new QLabel(QStringLiteral("OMBREL CAPTURE"), glass);
    brand->setStyleSheet(QStringLiteral("color:rgba(255,255,255,0.6);font-size:10px;font-weight:600;"
                                        "letter-spacing:1px;"));
    top->addWidget(brand);
    top->addStretch();
    m_column->addLayout(top);

    m_heading = new QLabel(glass);
    m_heading->setWordWrap(true);
    m_heading->setStyleSheet(QStringLiteral("color:white;"));
    QFont headingFont = m_heading->font();
    headingFont.setPixelSize(26);
    headingFont.setWeight(QFont::DemiBold);
    m_heading->setFont(headingFont);
    m_column->addWidget(m_heading);

    m_detail = new QLabel(glass);
    m_detail->setWordWrap(true);
    QFont detailFont = m_detail->font();
    detailFont.setPixelSize(14);
    m_detail->setFont(detailFont);
    setDetailColor(QColor(255, 255, 255, 184));
    m_column->addWidget(m_detail);

    m_name = new QLabel(glass);
    m_name->setStyleSheet(QStringLiteral("color:rgba(255,255,255,0.6);font-size:12px;"));
    m_name->hide();
    m_column->addWidget(m_name);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch();
    m_secondary = new QPushButton(secondaryTitle, glass);
    m_primary = new QPushButton(glass);
    for (QPushButton* b : {m_secondary, m_primary}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setCursor(Qt::PointingHandCursor);
    }
    m_secondary->setStyleSheet(glassButtonStyle(false));
    setPrimaryHighlighted(false);
    buttons->addWidget(m_secondary);
    buttons->addWidget(m_primary);
    m_column->addSpacing(6);
    m_column->addLayout(buttons);

    connect(m_primary, &QPushButton::clicked, this, [this] {
        if (onPrimary) onPrimary();
    });
    connect(m_secondary, &QPushButton::clicked, this, [this] {
        if (onSecondary) onSecondary();
    });

    m_flash = new QVariantAnimation(this);
    m_flash->setDuration(700);
    m_flash->setStartValue(1.0);
    m_flash->setEndValue(0.0);
    m_rim = new FlashRim(this);
    connect(m_flash, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        auto* rim = static_cast<FlashRim*>(m_rim);
        rim->level = v.toReal();
        rim->update();
    });
    setFixedWidth(m_width);
}

GlassPrompt::~GlassPrompt() = default;

QString GlassPrompt::heading() const {
    return m_heading->text();
}
QString GlassPrompt::detail() const {
    return m_detail->text();
}

void GlassPrompt::say(const QString& givenHeading, const QString& givenDetail, const QString& givenButton) {
    const QString heading = words(givenHeading);
    const QString detail = words(givenDetail);
    const QString button = words(givenButton);
    m_heading->setText(heading);
    m_detail->setText(detail);
    m_primary->setText(button);
    // The window's name follows the heading, so the panel can be told apart from outside.
    setWindowTitle(QStringLiteral("Ombrel Capture: ") + heading);
    if (isVisible()) centre();
}

void GlassPrompt::centre() {
    layout()->activate();
    resize(m_width, heightForWidth(m_width) > 0 ? heightForWidth(m_width) : sizeHint().height());
    roundCornersWithoutCompositor(this, cornerRadius);
    QScreen* screen = ScreenSpace::mainScreen(); // where the user is
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void GlassPrompt::open() {
    centre();
    show();
    raise();
}

void GlassPrompt::dismiss() {
    hide();
}

QString GlassPrompt::morePicturesLine(int fileCount) {
    const int more = fileCount - 1;
    if (more <= 0) return {};
    if (more == 1) return QStringLiteral("and 1 more picture");
    return QStringLiteral("and ") + QString::number(more) + QStringLiteral(" more pictures");
}

void GlassPrompt::insertIntoColumn(QWidget* view) {
    m_column->insertWidget(m_column->indexOf(m_name), view);
}

void GlassPrompt::showPicture(const QStringList& files) {
    if (files.isEmpty()) return;
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 6, 0, 0);
    column->setSpacing(6);
    auto* picture = new RoundedPicture(thumbnail(files.first()), box);
    picture->setAccessibleName(QStringLiteral("The picture you're sending"));
    column->addWidget(picture, 0, Qt::AlignLeft);
    const QString more = morePicturesLine(int(files.size()));
    if (!more.isEmpty()) {
        auto* line = new QLabel(more, box);
        QFont font = line->font();
        font.setPixelSize(12);
        line->setFont(font);
        line->setStyleSheet(QStringLiteral("color:rgba(255,255,255,0.6);"));
        column->addWidget(line);
    }
    m_preview = box;
    insertIntoColumn(box);
    if (isVisible()) centre();
}

void GlassPrompt::offerNotNow() {
    if (m_notNow) return;
    m_notNow = new QPushButton(QStringLiteral("Not Now"), this);
    m_notNow->setFlat(true);
    m_notNow->setFocusPolicy(Qt::NoFocus);
    m_notNow->setCursor(Qt::PointingHandCursor);
    QFont font = m_notNow->font();
    font.setPixelSize(13);
    font.setWeight(QFont::Medium);
    m_notNow->setFont(font);
    m_notNow->setStyleSheet(QStringLiteral("QPushButton{border:none;background:transparent;"
                                           "color:rgba(255,255,255,0.7);}"));
    m_column->addWidget(m_notNow, 0, Qt::AlignHCenter);
    connect(m_notNow, &QPushButton::clicked, this, [this] { dismiss(); });
    if (isVisible()) centre();
}

void GlassPrompt::setName(const QString& name) {
    m_name->setText(name);
    m_name->setVisible(!name.isEmpty());
}

void GlassPrompt::setDetailColor(const QColor& color) {
    m_detail->setStyleSheet(QStringLiteral("color:%1;").arg(color.name(QColor::HexArgb)));
}

void GlassPrompt::setPrimaryHighlighted(bool highlighted) {
    m_primary->setStyleSheet(glassButtonStyle(highlighted));
    m_primary->setProperty("highlighted", highlighted);
}

void GlassPrompt::flash(const QColor& color) {
    static_cast<FlashRim*>(m_rim)->color = color;
    m_rim->setGeometry(rect());
    m_rim->raise();
    m_flash->stop();
    m_flash->start();
}

bool GlassPrompt::isFlashing() const {
    return m_flash->state() == QAbstractAnimation::Running;
}

void GlassPrompt::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_rim->setGeometry(rect());
    m_rim->raise();
}

} // namespace ombrel
