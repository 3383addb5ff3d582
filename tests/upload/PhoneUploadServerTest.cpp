// The upload server over real sockets on 127.0.0.1: its answers byte for byte, how it
// reads requests, saves bodies and protects itself from clients that misbehave.
#include "upload/PhoneUploadServer.h"
#include "UploadClient.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include <sys/stat.h>

using namespace ombrel;
using ombrel::test::exchange;
using ombrel::test::request;
using ombrel::test::UploadClient;
using ombrel::test::waitUntil;

namespace {

// An answer as the server must send it, byte for byte.
QByteArray answer(const QByteArray& status, const QByteArray& body, const QByteArray& type = "text/plain") {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}
const QByteArray ok = answer("200 OK", "ok");
const QByteArray notFound = answer("404 Not Found", "Not found");
const QByteArray badRequest = answer("400 Bad Request", "Bad request");

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char& c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The rights of a file or folder, as `ls -l` shows them.
unsigned mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class UploadServerTest : public ::testing::Test {
  protected:
    void start(PhoneUploadServer::Options options = {}) {
        ASSERT_TRUE(dir.isValid());
        if (options.inbox.isEmpty()) options.inbox = dir.filePath("inbox");
        options.bindAddress = QHostAddress::LocalHost;
        server = std::make_unique<PhoneUploadServer>(options);
        receivedSpy = std::make_unique<QSignalSpy>(server.get(), &PhoneUploadServer::received);
        QSignalSpy started(server.get(), &PhoneUploadServer::started);
        server->start();
        ASSERT_TRUE(started.wait(5000));
        port = server->port();
        ASSERT_NE(port, 0);
        ASSERT_EQ(started.first().first().toUInt(), port);
    }

    QByteArray pagePath() const { return "/" + server->token().toLatin1(); }
    QByteArray uploadPath() const { return pagePath() + "/upload"; }

    // Every entry of the inbox, hidden ones included.
    QStringList inboxEntries() const {
        return QDir(server->inbox())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    // The size of the file open in the inbox for an incoming body, or -1 when none is
    // open. Read through this process's file descriptors, as the file may have no name.
    qint64 incomingBytes() const {
        const QString inbox = QFileInfo(server->inbox()).absoluteFilePath() + '/';
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System)) {
            if (fd.symLinkTarget().startsWith(inbox)) return QFileInfo(fd.absoluteFilePath()).size();
        }
        return -1;
    }

    // The files announced so far, after letting queued announcements arrive.
    QStringList receivedPaths() {
        QCoreApplication::processEvents();
        QStringList paths;
        for (const QList<QVariant>& call : *receivedSpy)
            paths.append(call.first().toString());
        return paths;
    }

    QTemporaryDir dir;
    std::unique_ptr<PhoneUploadServer> server;
    std::unique_ptr<QSignalSpy> receivedSpy;
    quint16 port = 0;
};

using UploadServerAnswers = UploadServerTest;

TEST_F(UploadServerAnswers, ThePageIsServedAtTheTokenAnyOtherPathIsNotFoundAndMalformedRequestsAreBad) {
    start();
    const QByteArray page = answer("200 OK", PhoneUploadServer::page().toUtf8(), "text/html; charset=utf-8");
    const QByteArray wrongToken = "/" + QByteArray(32, 'A');
    const QList<std::pair<QByteArray, QByteArray>> exchanges{
        {request("GET", pagePath()), page},
        {request("GET", uploadPath()), page},
        {request("GET", pagePath() + "?from=qr"), page},       // a query does not change the path
        {"GET   " + pagePath() + "   HTTP/1.1\r\n\r\n", page}, // repeated spaces
        {request("GET", "/"), notFound},
        {request("GET", pagePath().toLower()), notFound},
        {request("GET", pagePath() + "X"), notFound},
        {request("GET", pagePath().chopped(1)), notFound},
        {request("GET", pagePath().chopped(1) + (pagePath().endsWith('0') ? "1" : "0")),
         notFound}, // last byte
        {request("GET", pagePath() + "/"), notFound},
        {request("GET", "/../" + pagePath()), notFound},
        {request("POST", wrongToken + "/upload", "data"), notFound},
        {request("DELETE", "/"), notFound},
        {"GET\r\nHost: x\r\n\r\n", badRequest}, // no target on the request line
        {"\r\n\r\n", badRequest},
        {request("GET", pagePath() + "%zz"), badRequest}, // broken escapes
        {request("GET", pagePath() + "%4"), badRequest},
        {request("GET", pagePath() + "<x>"), badRequest},
        {request("get", pagePath()), badRequest}, // methods are case-sensitive
        {request("PUT", uploadPath(), "data"), badRequest},
        {request("HEAD", pagePath()), badRequest},
        {"POST " + uploadPath() + " HTTP/1.1\r\n\r\n", badRequest}, // no length
        {request("POST", pagePath(), "data"), badRequest},          // not to /upload
    };
    for (const auto& [sent, expected] : exchanges)
        EXPECT_EQ(exchange(port, sent), expected) << sent.toStdString();
    EXPECT_TRUE(inboxEntries().isEmpty());
    EXPECT_TRUE(receivedPaths().isEmpty());
}

TEST_F(UploadServerAnswers, AnUploadIsSavedPrivatelyInTheInboxUnderItsFinalNameAnnouncedAndAnsweredOk) {
    start();
    const QList<std::pair<QByteArray, QString>> cases{
        {"?name=IMG_0042.jpg", "IMG_0042.jpg"},
        {"", "upload"},
        {"?name=..%2F..%2Fescape.txt", "escape.txt"},
        {"?x=1&name=a%20b.jpg&name=c.jpg", "a b.jpg"}, // the first name, decoded
    };
    for (const auto& [query, savedAs] : cases)
        EXPECT_EQ(exchange(port, request("POST", uploadPath() + query, "bytes of " + query)), ok)
            << query.toStdString();
    const QStringList paths = receivedPaths();
    ASSERT_EQ(paths.size(), cases.size());
    for (qsizetype i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(QFileInfo(paths[i]).absolutePath(), QFileInfo(server->inbox()).absoluteFilePath());
        EXPECT_TRUE(
            QRegularExpression("^[0-9A-F]{8}-$").match(QFileInfo(paths[i]).fileName().left(9)).hasMatch());
        EXPECT_EQ(QFileInfo(paths[i]).fileName().mid(9), cases[i].second) << cases[i].first.toStdString();
        EXPECT_EQ(readFile(paths[i]), "bytes of " + cases[i].first);
        // Photos from the phone are the user's alone: 0600 files in a 0700 inbox.
        EXPECT_EQ(mode(paths[i]), 0600u);
    }
    EXPECT_EQ(mode(server->inbox()), 0700u);
    EXPECT_EQ(inboxEntries().size(), cases.size()) << "no temporary file stays behind";
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("escape.txt")));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(dir.path()).absolutePath() + "/escape.txt"));
}

TEST_F(UploadServerAnswers, AFailedSaveAnswers500AfterTheWholeBody) {
    PhoneUploadServer::Options options;
    options.inbox = dir.filePath("occupied");
    ASSERT_TRUE(QFile(options.inbox).open(QIODevice::WriteOnly)); // a file where the inbox should be
    start(options);
    EXPECT_EQ(exchange(port, request("POST", uploadPath() + "?name=a.png", randomBytes(200000))),
              answer("500 Error", "Could not save"));
    EXPECT_TRUE(receivedPaths().isEmpty());
}

TEST_F(UploadServerAnswers, Over500MiBIsRefusedFromTheHeadAloneExactly500WrittenAsItArrivesAndDroppedIfLeft) {
    start();
    UploadClient refused(port);
    refused.send("POST " + uploadPath() + "?name=big.mov HTTP/1.1\r\nContent-Length: 524288001\r\n\r\n");
    EXPECT_EQ(refused.answer(), answer("413 Too Large", "Too large"));
    EXPECT_TRUE(inboxEntries().isEmpty());

    UploadClient client(port);
    client.send("POST " + uploadPath() + "?name=big.mov HTTP/1.1\r\nContent-Length: 524288000\r\n\r\n");
    client.send(randomBytes(3000000));
    EXPECT_TRUE(client.silentFor(300)) << "the server waits for the rest of the body";
    EXPECT_TRUE(waitUntil([&] { return incomingBytes() == 3000000; }, 5000))
        << "the body so far is in a file in the inbox, not held in memory: " << incomingBytes();
    client.send(randomBytes(1000)); // a piece far smaller than a file buffer is on disk too
    EXPECT_TRUE(waitUntil([&] { return incomingBytes() == 3001000; }, 5000)) << incomingBytes();
    EXPECT_TRUE(inboxEntries().isEmpty()) << "an incomplete body is never visible under a name";
    client.close();
    EXPECT_TRUE(waitUntil([&] { return incomingBytes() == -1; }, 5000));
    EXPECT_TRUE(inboxEntries().isEmpty());
    EXPECT_TRUE(receivedPaths().isEmpty());
}

using UploadServerReading = UploadServerTest;

TEST_F(UploadServerReading, AHeadSplitAcrossPacketsAndABodyOverManyReadsAreJoinedAndBytesBeyondIgnored) {
    start();
    UploadClient client(port);
    const QByteArray body = randomBytes(3 * 1048576 + 12345);
    const QByteArray whole = request("POST", uploadPath() + "?name=split.mp4", body) + "beyond";
    // Pieces that cut the method, the target, a header name and the blank line itself, then
    // the body in pieces of 64 KiB and bytes beyond the announced length.
    QList<qsizetype> cuts{
        2, 10, 40, whole.indexOf("Length") + 3, whole.indexOf("\r\n\r\n") + 1, whole.indexOf("\r\n\r\n") + 3};
    for (qsizetype at = cuts.last() + 65536; at < whole.size(); at += 65536)
        cuts.append(at);
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        client.send(whole.mid(from, cut - from), cut - from < 100 ? 30 : 0);
        from = cut;
    }
    client.send(whole.mid(from));
    EXPECT_EQ(client.answer(), ok);
    ASSERT_EQ(receivedPaths().size(), 1);
    EXPECT_TRUE(readFile(receivedPaths().first()) == body);
}

TEST_F(UploadServerReading, AHeadOfUpTo64KiBWithItsBlankLineIsReadAndALongerOneDroppedUnanswered) {
    start();
    // A head whose request line, padding header and blank line come to exactly `size` bytes.
    auto headOf = [this](qsizetype size) {
        const QByteArray start = "GET " + pagePath() + " HTTP/1.1\r\nX-Pad: ";
        return start + QByteArray(size - start.size() - 4, 'p') + "\r\n\r\n";
    };
    const QByteArray largest = headOf(PhoneUploadServer::maxHeadBytes);
    ASSERT_EQ(largest.size(), 65536);
    EXPECT_TRUE(exchange(port, largest).startsWith("HTTP/1.1 200 OK\r\n"));
    {
        UploadClient client(port); // the same head in pieces, the blank line split over two
        client.send(largest.left(65534), 50);
        client.send(largest.mid(65534));
        EXPECT_TRUE(client.answer().startsWith("HTTP/1.1 200 OK\r\n"));
    }
    EXPECT_EQ(exchange(port, headOf(PhoneUploadServer::maxHeadBytes + 1)), "");
    {
        UploadClient client(port); // no end of head at all
        client.send("GET " + pagePath() + " HTTP/1.1\r\nX-Pad: " + QByteArray(70000, 'p'));
        EXPECT_TRUE(client.closedWithin(5000));
        EXPECT_EQ(client.answer(), "");
    }
}

TEST_F(UploadServerReading, AClientThatStopsSendingAfterAWholeRequestStillGetsItsAnswer) {
    start();
    UploadClient client(port);
    client.send(request("POST", uploadPath() + "?name=last.txt", "final"));
    client.finishSending();
    EXPECT_EQ(client.answer(), ok);
}

using UploadServerLimits = UploadServerTest;

TEST_F(UploadServerLimits, AHeadThatDoesNotArriveInTimeOrABodyThatStallsClosesTheConnectionAndLeavesNoFile) {
    PhoneUploadServer::Options options;
    options.headTimeoutMs = 200;
    options.bodyStallTimeoutMs = 200;
    start(options);
    UploadClient head(port), body(port);
    head.send("GET " + pagePath() + " HTTP/1.1\r\nHost: ");
    body.send("POST " + uploadPath() + "?name=stall.jpg HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc");
    for (UploadClient* client : {&head, &body}) {
        EXPECT_TRUE(client->closedWithin(5000));
        EXPECT_EQ(client->answer(), "");
    }
    EXPECT_TRUE(waitUntil([&] { return inboxEntries().isEmpty(); }, 5000));
    EXPECT_TRUE(receivedPaths().isEmpty());
}

TEST_F(UploadServerLimits, ABodyThatKeepsComingSlowlyIsNotCutOff) {
    PhoneUploadServer::Options options;
    options.bodyStallTimeoutMs = 600;
    options.headTimeoutMs = 600;
    start(options);
    UploadClient client(port);
    client.send("POST " + uploadPath() + "?name=slow.txt HTTP/1.1\r\nContent-Length: 12\r\n\r\n", 100);
    for (int i = 0; i < 12; ++i)
        client.send("x", 100); // 1.2 s in all: longer than either timeout, never stalling for one
    EXPECT_EQ(client.answer(), ok);
}

TEST_F(UploadServerLimits, AtMostEightConnectionsAreServedAtOnceAndTheNextWaits) {
    start();
    std::vector<std::unique_ptr<UploadClient>> idle;
    for (int i = 0; i < PhoneUploadServer::maxConnections; ++i) {
        idle.push_back(std::make_unique<UploadClient>(port));
        ASSERT_TRUE(idle.back()->isConnected());
    }
    UploadClient waiting(port);
    waiting.send(request("GET", "/"));
    EXPECT_TRUE(waiting.silentFor(500)) << "nobody reads the ninth request while eight are open";
    idle.front()->close();
    EXPECT_EQ(waiting.answer(), notFound);
}

TEST_F(UploadServerLimits, StoppingClosesThePortDropsOpenUploadsAndKeepsSavedFiles) {
    start();
    EXPECT_EQ(exchange(port, request("POST", uploadPath() + "?name=kept.txt", "kept")), ok);
    UploadClient unfinished(port);
    unfinished.send("POST " + uploadPath() + "?name=cut.txt HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc", 100);
    server->stop();
    EXPECT_FALSE(server->isRunning());
    EXPECT_EQ(server->port(), 0);
    EXPECT_TRUE(unfinished.closedWithin(5000));
    EXPECT_EQ(inboxEntries().size(), 1);
    EXPECT_EQ(QFileInfo(receivedPaths().value(0)).fileName().mid(9), "kept.txt");

    QTcpServer probe; // the port is free again
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, port)) << probe.errorString().toStdString();
}
