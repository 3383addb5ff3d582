#include "upload/ServePhoneCommand.h"

#include "upload/PhoneUploadServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace ombrel {

namespace {

// A signal handler may only do async-signal-safe work: it writes one byte into a socket
// pair, and the event loop, watching the other end, quits.
int stopPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[0], &byte, 1);
}

bool isAnyAddress(const QHostAddress& address) {
    return address == QHostAddress(QHostAddress::Any) || address == QHostAddress(QHostAddress::AnyIPv4) ||
           address == QHostAddress(QHostAddress::AnyIPv6);
}

} // namespace

int servePhoneCommand(const QStringList& args) {
    QTextStream out(stdout);
    QTextStream err(stderr);

    PhoneUploadServer::Options options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& option = args[i];
        if ((option == QLatin1String("--inbox") || option == QLatin1String("--bind")) &&
            i + 1 >= args.size()) {
            err << option << " needs a value: serve-phone [--inbox DIR] [--bind ADDRESS].\n";
            return 2;
        }
        if (option == QLatin1String("--inbox")) {
            options.inbox = args[++i];
        } else if (option == QLatin1String("--bind")) {
            const QString text = args[++i];
            if (!options.bindAddress.setAddress(text)) {
                err << "\"" << text << "\" is not an IP address. Give one like 127.0.0.1 or 0.0.0.0.\n";
                return 2;
            }
        } else {
            err << "Unknown option \"" << option << "\". Use: serve-phone [--inbox DIR] [--bind ADDRESS].\n";
            return 2;
        }
    }

    QString host;
    if (isAnyAddress(options.bindAddress)) {
        const std::optional<QString> address = PhoneUploadServer::localAddress();
        if (!address) {
            err << "This computer isn't on a network. Join one, or pass --bind with the address to serve "
                   "on.\n";
            return 1;
        }
        host = *address;
    } else {
        host = options.bindAddress.protocol() == QAbstractSocket::IPv6Protocol
                   ? QLatin1Char('[') + options.bindAddress.toString() + QLatin1Char(']')
                   : options.bindAddress.toString();
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopPipe) != 0) {
        err << "Couldn't start: no way to listen for the stop signal.\n";
        return 1;
    }
    QSocketNotifier stopNotifier(stopPipe[1], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, qApp, [] {
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(stopPipe[1], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    struct sigaction oldInt = {}, oldTerm = {};
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);

    int status = 0;
    PhoneUploadServer server(options);
    QObject::connect(&server, &PhoneUploadServer::started, qApp, [&](quint16 port) {
        out << "http://" << host << ':' << port << '/' << server.token() << Qt::endl;
        err << "Files go to " << server.inbox() << ". Press Ctrl+C to stop.\n";
        err.flush();
    });
    QObject::connect(&server, &PhoneUploadServer::startFailed, qApp, [&](const QString& reason) {
        err << "Couldn't start: " << reason << '\n';
        status = 1;
        QCoreApplication::quit();
    });
    QObject::connect(&server, &PhoneUploadServer::received, qApp,
                     [&](const QString& path) { out << path << Qt::endl; });
    server.start();
    QCoreApplication::exec();
    server.stop();

    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    ::close(stopPipe[0]);
    ::close(stopPipe[1]);
    stopPipe[0] = stopPipe[1] = -1;
    return status;
}

} // namespace ombrel
