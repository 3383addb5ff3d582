// The rules of the upload server that need no socket: lengths, names, addresses, the page.
#include "platform/PrivateFiles.h"
#include "support/TestEnv.h"
#include "upload/PhoneUploadServer.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace ombrel;

TEST(UploadContentLength, IsTheFirstDecimalContentLengthHeaderWhateverItsCaseOrElseZero) {
    const QList<std::pair<QByteArray, qint64>> heads{
        {"POST /x HTTP/1.1\r\nContent-Length: 42", 42},
        {"POST /x HTTP/1.1\r\nHost: a\r\nCONTENT-LENGTH:7\r\nX: y", 7},
        {"POST /x HTTP/1.1\r\ncontent-length:   12   \r\nX: y", 12},
        {"POST /x\r\nContent-Length: 3\r\nContent-Length: 9", 3},
        {"GET /x HTTP/1.1\r\nHost: a", 0},
        {"POST /x\r\nContent-Length: 12abc", 0},
        {"POST /x\r\nContent-Length: 0x10", 0},
        {"POST /x\r\nContent-Length: 99999999999999999999999", 0}, // too large to hold
        {"POST /x\r\nX-Content-Length: 5", 0},                     // the name must start the line
    };
    for (const auto& [head, length] : heads)
        EXPECT_EQ(PhoneUploadServer::contentLength(head), length) << head.toStdString();
}

TEST(UploadSafeName, KeepsTheFinalComponentsLettersDigitsDotsDashesUnderscoresAndSpacesOrElseUpload) {
    const QList<std::pair<QString, QString>> names{
        {"IMG_0042.HEIC", "IMG_0042.HEIC"},
        {"../../etc/passwd", "passwd"},
        {"photos/holiday/", "holiday"},
        {"..\\..\\windows\\x.png", "windowsx.png"}, // backslashes cannot separate folders either
        {"my photo (1).jpg", "my photo 1.jpg"},
        {QString::fromUtf8("Фото ☀️ 3.png"), QString::fromUtf8("Фото  3.png")},
        {QStringLiteral("evil") + QChar(0) + QStringLiteral(".png"), "evil.png"},
        {"a;rm -rf ~.txt", "arm -rf .txt"},
        {" .hidden. ", "hidden"}, // dots and spaces are trimmed at both ends
        {"", "upload"},
        {"../", "upload"},
        {"?*:|", "upload"},
    };
    for (const auto& [name, safe] : names)
        EXPECT_EQ(PhoneUploadServer::safeName(name), safe) << name.toStdString();
}

TEST(UploadLocalAddress, AdvertisesTheFirstWiredOrWirelessInterfaceByName) {
    using A = PhoneUploadServer::InterfaceAddress;
    EXPECT_EQ(PhoneUploadServer::chooseAddress({A{"en1", "10.0.0.2"}, A{"en0", "10.0.0.1"}}), "10.0.0.1");
    EXPECT_EQ(PhoneUploadServer::chooseAddress({A{"wlan0", "192.168.1.5"}, A{"eth0", "192.168.1.4"}}),
              "192.168.1.4");
    EXPECT_EQ(PhoneUploadServer::chooseAddress({A{"lo", "127.0.0.1"}, A{"wlp2s0", "192.168.1.9"}}),
              "192.168.1.9");
    EXPECT_EQ(PhoneUploadServer::chooseAddress(
                  {A{"lo", "127.0.0.1"}, A{"docker0", "172.17.0.1"}, A{"tun0", "10.8.0.1"}}),
              std::nullopt);
    EXPECT_EQ(PhoneUploadServer::chooseAddress({}), std::nullopt);
}

TEST(UploadServerIdentity, TokenIs32UpperCaseHexDigitsAndTheDefaultInboxIsFreshAndNotYetMade) {
    PhoneUploadServer a;
    PhoneUploadServer b;
    const QRegularExpression hex32("^[0-9A-F]{32}$");
    EXPECT_TRUE(hex32.match(a.token()).hasMatch()) << a.token().toStdString();
    EXPECT_NE(a.token(), b.token());
    const QFileInfo inbox(a.inbox());
    // Photos go to the program's private work folder, never the shared temporary one.
    EXPECT_EQ(inbox.absolutePath(), PrivateFiles::folder(PrivateFiles::Size::Large));
    EXPECT_TRUE(QRegularExpression("^ombrel-phone-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")
                    .match(inbox.fileName())
                    .hasMatch())
        << inbox.fileName().toStdString();
    EXPECT_NE(a.inbox(), b.inbox());
    EXPECT_FALSE(inbox.exists());
    EXPECT_EQ(a.port(), 0);
}

TEST(UploadPage, UploadsEachFileByItsEncodedNameAndNeedsNothingFromOutside) {
    const QString page = PhoneUploadServer::page();
    EXPECT_TRUE(page.contains("type=\"file\" multiple"));
    EXPECT_TRUE(page.contains("\"/upload?name=\"") && page.contains("encodeURIComponent"));
    EXPECT_FALSE(page.contains("http:")) << "no external resources";
    EXPECT_FALSE(page.contains("https:"));
    EXPECT_FALSE(page.contains("innerHTML")) << "file names are shown as text, never as markup";
}
