// The rules of the upload server that need no socket: lengths, names, addresses, routes, the page.
#include "platform/PrivateFiles.h"
#include "support/TestEnv.h"
#include "upload/PhoneUploadServer.h"
#include "upload/UploadProtocol.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace ombrel;
using namespace ombrel::upload;

TEST(UploadContentLength, ReadsTheFirstContentLengthHeaderWhateverItsCase) {
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x HTTP/1.1\r\nContent-Length: 42"), 42);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x HTTP/1.1\r\nHost: a\r\nCONTENT-LENGTH:7\r\nX: y"), 7);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x HTTP/1.1\r\ncontent-length:   12   \r\nX: y"), 12);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x\r\nContent-Length: 3\r\nContent-Length: 9"), 3);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x\r\nContent-Length: 524288000"), 524288000);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x\r\nContent-Length: 524288001"), 524288001);
}

TEST(UploadContentLength, IsZeroWhenAbsentOrNotADecimalNumber) {
    EXPECT_EQ(PhoneUploadServer::contentLength("GET /x HTTP/1.1\r\nHost: a"), 0);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x\r\nContent-Length: twelve"), 0);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x\r\nContent-Length: 12abc"), 0);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x\r\nContent-Length: 0x10"), 0);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x\r\nContent-Length:"), 0);
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x\r\nContent-Length: 99999999999999999999999"), 0)
        << "a number too large to hold is not a number";
    EXPECT_EQ(PhoneUploadServer::contentLength("POST /x\r\nX-Content-Length: 5"), 0)
        << "the header name must start the line";
}

TEST(UploadSafeName, KeepsOnlyTheFinalComponentWithoutFolderSteps) {
    EXPECT_EQ(PhoneUploadServer::safeName("IMG_0042.HEIC"), "IMG_0042.HEIC");
    EXPECT_EQ(PhoneUploadServer::safeName("../../etc/passwd"), "passwd");
    EXPECT_EQ(PhoneUploadServer::safeName("/etc/passwd"), "passwd");
    EXPECT_EQ(PhoneUploadServer::safeName("photos/holiday/"), "holiday");
    EXPECT_EQ(PhoneUploadServer::safeName("..\\..\\windows\\x.png"), "windowsx.png")
        << "backslashes are not kept, so they cannot separate folders either";
}

TEST(UploadSafeName, DropsEverythingButLettersDigitsDotsDashesUnderscoresAndSpaces) {
    EXPECT_EQ(PhoneUploadServer::safeName("my photo (1).jpg"), "my photo 1.jpg");
    EXPECT_EQ(PhoneUploadServer::safeName(QString::fromUtf8("Фото ☀️ 3.png")),
              QString::fromUtf8("Фото  3.png"));
    EXPECT_EQ(PhoneUploadServer::safeName(QStringLiteral("evil") + QChar(0) + QStringLiteral(".png")),
              "evil.png");
    EXPECT_EQ(PhoneUploadServer::safeName("a;rm -rf ~.txt"), "arm -rf .txt");
}

TEST(UploadSafeName, NamesWithNothingLeftBecomeUpload) {
    for (const QString name : {"", ".", "..", "...", " . . ", "/", "//", "../", "?*:|"})
        EXPECT_EQ(PhoneUploadServer::safeName(name), "upload") << name.toStdString();
    EXPECT_EQ(PhoneUploadServer::safeName(" .hidden. "), "hidden")
        << "dots and spaces are trimmed at both ends";
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

TEST(UploadRoutes, ARequestLineNeedsAMethodAndAWellFormedTarget) {
    const QByteArray token = "0123456789ABCDEF0123456789ABCDEF";
    EXPECT_EQ(decide("GET", token, 0).action, Action::BadRequest);
    EXPECT_EQ(decide("GET\r\nHost: x", token, 0).action, Action::BadRequest);
    EXPECT_EQ(decide("", token, 0).action, Action::BadRequest);
    EXPECT_EQ(decide("GET   /" + token + "   HTTP/1.1", token, 0).action, Action::Page) << "repeated spaces";
    EXPECT_EQ(decide("GET /" + token + "%zz HTTP/1.1", token, 0).action, Action::BadRequest);
    EXPECT_EQ(decide("GET /" + token + "<x> HTTP/1.1", token, 0).action, Action::BadRequest);
    EXPECT_EQ(decide("GET /" + token + "%4 HTTP/1.1", token, 0).action, Action::BadRequest);
}

TEST(UploadRoutes, TheUploadNameIsTheFirstDecodedNameItem) {
    const QByteArray token = "0123456789ABCDEF0123456789ABCDEF";
    const QByteArray upload = "POST /" + token + "/upload";
    EXPECT_EQ(decide(upload + "?name=a%20b.jpg&name=c.jpg HTTP/1.1", token, 4).clientName, "a b.jpg");
    EXPECT_EQ(decide(upload + "?x=1&name=..%2F..%2Fsecret HTTP/1.1", token, 4).clientName, "../../secret");
    EXPECT_EQ(decide(upload + " HTTP/1.1", token, 4).clientName, "upload");
    EXPECT_EQ(decide(upload + "?name=x HTTP/1.1", token, 4).action, Action::Upload);
    EXPECT_EQ(decide(upload + "?name=x HTTP/1.1", token, 0).action, Action::BadRequest) << "empty body";
}

TEST(UploadRoutes, TokensCompareEqualOnlyWhenEveryByteMatches) {
    EXPECT_TRUE(constantTimeEquals("ABCDEF", "ABCDEF"));
    EXPECT_FALSE(constantTimeEquals("ABCDEF", "ABCDEG"));
    EXPECT_FALSE(constantTimeEquals("ABCDEF", "ABCDE"));
    EXPECT_FALSE(constantTimeEquals("ABCDE", "ABCDEF"));
    EXPECT_FALSE(constantTimeEquals("", "A"));
    EXPECT_TRUE(constantTimeEquals("", ""));
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
    EXPECT_TRUE(page.contains("Send to your computer")) << "the heading in this desktop's words";
    EXPECT_FALSE(page.contains("http:")) << "no external resources";
    EXPECT_FALSE(page.contains("https:"));
    EXPECT_FALSE(page.contains("innerHTML")) << "file names are shown as text, never as markup";
}
