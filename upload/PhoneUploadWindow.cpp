#include "upload/PhoneUploadWindow.h"
#include "platform/ScreenSpace.h"
#include "ui/PlatformWords.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QVBoxLayout>

#include <qrencode.h>

namespace ombrel {

namespace {

constexpr int qrViewPoints = 260;

// The window is always dark, whatever the desktop's theme.
QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x1f, 0x20, 0x26);
    const QColor text(0xf2, 0xf2, 0xf5);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Base, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9b, 0xa6));
    return palette;
}

} // namespace

PhoneUploadWindow::PhoneUploadWindow(QWidget* parent)
    : PhoneUploadWindow(PhoneUploadServer::Options{}, &PhoneUploadServer::localAddress, parent) {}

PhoneUploadWindow::PhoneUploadWindow(const PhoneUploadServer::Options& options, AddressSource addressSource,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), m_server(options), m_addressSource(std::move(addressSource)) {
    setWindowTitle(QStringLiteral("Add from Phone"));
    setFixedSize(380, 500);
    setPalette(darkPalette());
    setAutoFillBackground(true);

    auto* heading = new QLabel(QStringLiteral("Scan with your phone's camera"), this);
    QFont headingFont = heading->font();
    headingFont.setPixelSize(17);
    headingFont.setWeight(QFont::DemiBold);
    heading->setFont(headingFont);
    heading->setAlignment(Qt::AlignCenter);

    auto* info = new QLabel(
        words(QStringLiteral("Your phone must be on the same Wi-Fi as this Mac. Pick photos or files "
                             "on the page that opens, and they'll appear here.")),
        this);
    info->setWordWrap(true);
    info->setAlignment(Qt::AlignCenter);
    QPalette secondary = info->palette();
    secondary.setColor(QPalette::WindowText, palette().color(QPalette::PlaceholderText));
    info->setPalette(secondary);

    m_qrView = new QLabel(this);
    m_qrView->setFixedSize(qrViewPoints, qrViewPoints);
    m_qrView->setAlignment(Qt::AlignCenter);

    // The address as text under the code, for a phone that cannot scan: typed into its
    // browser, it opens the same page. Selectable, so it can be copied too.
    m_addressLine = new QLabel(this);
    m_addressLine->setObjectName(QStringLiteral("pageAddress"));
    m_addressLine->setAlignment(Qt::AlignCenter);
    m_addressLine->setTextFormat(Qt::PlainText);
    m_addressLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont addressFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    addressFont.setPixelSize(12);
    m_addressLine->setFont(addressFont);
    m_addressLine->setPalette(secondary);
    m_addressLine->hide();

    m_status = new QLabel(QStringLiteral("Starting…"), this);
    m_status->setWordWrap(true);
    m_status->setAlignment(Qt::AlignCenter);

    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(14);
    stack->setContentsMargins(24, 24, 24, 24);
    stack->addStretch(1);
    stack->addWidget(heading, 0, Qt::AlignHCenter);
    stack->addWidget(info);
    stack->addWidget(m_qrView, 0, Qt::AlignHCenter);
    stack->addWidget(m_addressLine);
    stack->addWidget(m_status);
    stack->addStretch(1);

    connect(&m_server, &PhoneUploadServer::started, this, &PhoneUploadWindow::serverStarted);
    connect(&m_server, &PhoneUploadServer::startFailed, this, [this](const QString& reason) {
        m_status->setText(QStringLiteral("Couldn't start: ") + reason);
    });
    connect(&m_server, &PhoneUploadServer::received, this, &PhoneUploadWindow::fileReceived);
}

PhoneUploadWindow::~PhoneUploadWindow() {
    m_server.stop();
}

QString PhoneUploadWindow::shownAddress() const {
    return m_addressLine->isVisibleTo(this) ? m_addressLine->text().remove(QLatin1Char('\n')) : QString();
}

QString PhoneUploadWindow::statusText() const {
    return m_status->text();
}

void PhoneUploadWindow::begin() {
    if (const QScreen* screen = ScreenSpace::mainScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();

    const std::optional<QString> address = m_addressSource ? m_addressSource() : std::nullopt;
    if (!address) {
        m_status->setText(words(QStringLiteral("This Mac isn't on a network. Join Wi-Fi, then try again.")));
        return;
    }
    m_address = *address;
    m_server.start();
}

void PhoneUploadWindow::serverStarted(quint16 port) {
    const QString host =
        m_address.contains(QLatin1Char(':')) ? QLatin1Char('[') + m_address + QLatin1Char(']') : m_address;
    m_pageAddress = QStringLiteral("http://%1:%2/%3").arg(host).arg(port).arg(m_server.token());
    const QImage code = qrCode(m_pageAddress);
    if (!code.isNull()) {
        const qreal ratio = devicePixelRatioF();
        const int side = qRound(qrViewPoints * ratio);
        QPixmap pixmap =
            QPixmap::fromImage(code.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(ratio);
        m_qrView->setPixmap(pixmap);
    }
    // The long token cannot wrap by itself: it goes on a line of its own, under the host.
    const qsizetype tokenAt = m_pageAddress.lastIndexOf(QLatin1Char('/')) + 1;
    m_addressLine->setText(m_pageAddress.left(tokenAt) + QLatin1Char('\n') + m_pageAddress.mid(tokenAt));
    m_addressLine->show();
    m_status->setText(QStringLiteral("Ready. It stops when you close this window."));
}

void PhoneUploadWindow::fileReceived(const QString& path) {
    ++m_received;
    m_status->setText(m_received == 1 ? QStringLiteral("1 file received.")
                                      : QString::number(m_received) + QStringLiteral(" files received."));
    Q_EMIT received(path);
}

void PhoneUploadWindow::closeEvent(QCloseEvent* event) {
    m_server.stop();
    QWidget::closeEvent(event);
    Q_EMIT closed();
}

QImage PhoneUploadWindow::qrCode(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    QRcode* code =
        QRcode_encodeData(static_cast<int>(bytes.size()),
                          reinterpret_cast<const unsigned char*>(bytes.constData()), 0, QR_ECLEVEL_M);
    if (!code) return {};
    const int modules = code->width + 2 * qrBorderModules;
    QImage image(modules * qrScale, modules * qrScale, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            // Bit 0 of each byte says whether the module is dark.
            if (code->data[y * code->width + x] & 1)
                painter.fillRect((x + qrBorderModules) * qrScale, (y + qrBorderModules) * qrScale, qrScale,
                                 qrScale, Qt::black);
        }
    }
    painter.end();
    QRcode_free(code);
    return image;
}

} // namespace ombrel
