#include "upload/ServePhoneCommand.h"

#include "platform/StopSignals.h"
#include "upload/PhoneUploadServer.h"

#include <QCoreApplication>
#include <QTextStream>

namespace ombrel {

namespace {

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

    StopSignals stopSignals([](int) { QCoreApplication::quit(); });
    if (!stopSignals.isWatching()) {
        err << "Couldn't start: no way to listen for the stop signal.\n";
        return 1;
    }

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

    return status;
}

} // namespace ombrel
