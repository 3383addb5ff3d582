// Throughput of the phone upload server over 127.0.0.1: page requests per second and
// upload bytes per second (the body goes straight to a file in the inbox).
#include "upload/PhoneUploadServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

using namespace ombrel;

namespace {

struct RunningServer {
    QTemporaryDir dir;
    PhoneUploadServer server;

    RunningServer() : server(options(dir.filePath("inbox"))) {
        QEventLoop loop;
        QObject::connect(&server, &PhoneUploadServer::started, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        server.start();
        loop.exec();
    }
    static PhoneUploadServer::Options options(const QString& inbox) {
        PhoneUploadServer::Options o;
        o.inbox = inbox;
        o.bindAddress = QHostAddress::LocalHost;
        return o;
    }
    void emptyInbox() {
        QDir inbox(server.inbox());
        for (const QString& name : inbox.entryList(QDir::Files))
            inbox.remove(name);
    }
};

// Sends `head` then `body` in 1 MiB pieces and returns the whole answer.
QByteArray exchange(quint16 port, const QByteArray& head, const QByteArray& body) {
    QTcpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.waitForConnected(5000);
    socket.write(head);
    for (qsizetype at = 0; at < body.size(); at += 1048576) {
        socket.write(body.constData() + at, std::min<qsizetype>(1048576, body.size() - at));
        while (socket.bytesToWrite() > 4 * 1048576 && socket.waitForBytesWritten(5000)) {
        }
    }
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
    }
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
        answer += socket.readAll();
    return answer + socket.readAll();
}

void BM_PageRequest(benchmark::State& state) {
    RunningServer running;
    const QByteArray head = "GET /" + running.server.token().toLatin1() + " HTTP/1.1\r\nHost: x\r\n\r\n";
    for (auto _ : state) {
        const QByteArray answer = exchange(running.server.port(), head, {});
        if (!answer.startsWith("HTTP/1.1 200 OK")) state.SkipWithError("the page was not served");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PageRequest)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Upload(benchmark::State& state) {
    RunningServer running;
    const QByteArray body(state.range(0), 'x');
    const QByteArray head =
        "POST /" + running.server.token().toLatin1() +
        "/upload?name=bench.bin HTTP/1.1\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    for (auto _ : state) {
        if (!exchange(running.server.port(), head, body).endsWith("\r\n\r\nok"))
            state.SkipWithError("the upload was not saved");
        state.PauseTiming();
        running.emptyInbox();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(BM_Upload)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
