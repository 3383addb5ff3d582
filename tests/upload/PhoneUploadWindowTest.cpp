// The "Add from Phone" window, offscreen: its texts, QR code, count and lifetime.
#include "upload/PhoneUploadWindow.h"
#include "UploadClient.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QPixmap>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>

using namespace ombrel;
using ombrel::test::exchange;
using ombrel::test::request;
using ombrel::test::waitUntil;

namespace {

const QLabel* qrView(const QWidget& window) {
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (label->text().isEmpty()) return label;
    return nullptr;
}

} // namespace

class PhoneUploadWindowTest : public ::testing::Test {
  protected:
    PhoneUploadServer::Options localOptions() const {
        PhoneUploadServer::Options options;
        options.inbox = dir.filePath("inbox");
        options.bindAddress = QHostAddress::LocalHost;
        return options;
    }
    static PhoneUploadWindow::AddressSource loopback() {
        return [] { return std::optional<QString>(QStringLiteral("127.0.0.1")); };
    }
    QTemporaryDir dir;
};

TEST_F(PhoneUploadWindowTest, ShowsTheCodeOfAnAddressThatServesThePageCountsFilesAndStopsOnClose) {
    PhoneUploadWindow window(localOptions(), loopback());
    QSignalSpy received(&window, &PhoneUploadWindow::received);
    QSignalSpy closed(&window, &PhoneUploadWindow::closed);
    window.begin();
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(waitUntil([&] { return window.statusText() != "Starting…"; }, 5000));
    EXPECT_EQ(window.statusText(), "Ready. It stops when you close this window.");
    const quint16 port = window.server().port();
    const QString address = QString("http://127.0.0.1:%1/%2").arg(port).arg(window.server().token());
    EXPECT_EQ(window.pageAddress(), address);
    // The address is also written under the code, for a phone that cannot scan.
    EXPECT_EQ(window.shownAddress(), address);
    const QLabel* qr = qrView(window);
    ASSERT_NE(qr, nullptr);
    EXPECT_FALSE(qr->pixmap().isNull());
    const QByteArray page = "/" + window.server().token().toLatin1();

    exchange(port, request("POST", page + "/upload?name=one.png", "1"));
    ASSERT_TRUE(waitUntil([&] { return received.size() == 1; }, 5000));
    EXPECT_EQ(window.statusText(), "1 file received.");
    exchange(port, request("POST", page + "/upload?name=two.png", "2"));
    ASSERT_TRUE(waitUntil([&] { return received.size() == 2; }, 5000));
    EXPECT_EQ(window.statusText(), "2 files received.");
    EXPECT_EQ(window.receivedCount(), 2);
    EXPECT_TRUE(received.at(0).first().toString().endsWith("-one.png"));

    window.close();
    EXPECT_EQ(closed.size(), 1);
    EXPECT_FALSE(window.server().isRunning());
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, port)) << "the port was given back";
}

TEST_F(PhoneUploadWindowTest, WithoutANetworkItSaysSoAndServesNothing) {
    PhoneUploadWindow window(localOptions(), [] { return std::optional<QString>(); });
    window.begin();
    EXPECT_EQ(window.statusText(), "This computer isn't on a network. Join Wi-Fi, then try again.");
    EXPECT_FALSE(window.server().isRunning());
    EXPECT_TRUE(window.pageAddress().isEmpty());
    EXPECT_TRUE(window.shownAddress().isEmpty());
    EXPECT_TRUE(qrView(window)->pixmap().isNull());
}

TEST_F(PhoneUploadWindowTest, AListenerThatCannotStartIsReported) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost));
    PhoneUploadServer::Options options = localOptions();
    options.port = occupant.serverPort();
    PhoneUploadWindow window(options, loopback());
    window.begin();
    ASSERT_TRUE(waitUntil([&] { return window.statusText() != "Starting…"; }, 5000));
    EXPECT_TRUE(window.statusText().startsWith("Couldn't start: ")) << window.statusText().toStdString();
    EXPECT_GT(window.statusText().size(), QString("Couldn't start: ").size()) << "and says why";
    EXPECT_FALSE(window.server().isRunning());
}

TEST(PhoneUploadQrCode, IsTwelvePixelsPerModuleWithAWhiteBorderAndFinderPatternsOrNoneForTooLongText) {
    const QImage code =
        PhoneUploadWindow::qrCode("http://192.168.1.20:50123/0123456789ABCDEF0123456789ABCDEF");
    ASSERT_FALSE(code.isNull());
    EXPECT_EQ(code.width(), code.height());
    ASSERT_EQ(code.width() % 12, 0);
    const int modules = code.width() / 12 - 2 * PhoneUploadWindow::qrBorderModules;
    // 60 bytes at level M need version 4 (33 modules); at level L version 3 would do.
    EXPECT_EQ(modules, 33);

    auto dark = [&](int moduleX, int moduleY) {
        const int border = PhoneUploadWindow::qrBorderModules;
        return qGray(code.pixel((moduleX + border) * 12 + 6, (moduleY + border) * 12 + 6)) < 128;
    };
    EXPECT_EQ(qGray(code.pixel(0, 0)), 255);
    for (const auto& [x, y] : {std::pair{0, 0}, {modules - 7, 0}, {0, modules - 7}}) {
        EXPECT_TRUE(dark(x, y) && dark(x + 6, y + 6)) << "outer ring of a finder pattern";
        EXPECT_FALSE(dark(x + 1, y + 1)) << "its white ring";
        EXPECT_TRUE(dark(x + 3, y + 3)) << "its centre";
    }
    for (int x = 0; x < code.width(); x += 5) // only pure black and white: no smoothing
        EXPECT_TRUE(qGray(code.pixel(x, code.height() / 2)) == 0 ||
                    qGray(code.pixel(x, code.height() / 2)) == 255);
    // Too long for any QR code: no image rather than a broken one.
    EXPECT_TRUE(PhoneUploadWindow::qrCode(QString(3000, 'x')).isNull());
    EXPECT_FALSE(PhoneUploadWindow::qrCode(QString(2000, 'x')).isNull());
}
