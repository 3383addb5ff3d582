#include "upload/PhoneUploadServer.h"

#include "platform/PrivateFiles.h"

#include "upload/UploadConnection.h"

#include <QDir>
#include <QStringList>
#include <QThread>
#include <QUuid>
#include <algorithm>

#include <ifaddrs.h>
#include <netdb.h>
#include <sys/socket.h>

namespace ombrel {

namespace {

QString defaultInbox() {
    // Inside the program's private work folder (0700), on the home disk like the library, so
    // that adopting a received file is a rename; the inbox itself is made 0700 on first use.
    return QDir(PrivateFiles::folder(PrivateFiles::Size::Large))
        .filePath(QStringLiteral("ombrel-phone-") +
                  QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
}

// Optional sign and decimal digits only; anything else, or a value that does not fit, is 0.
qint64 decimalOrZero(QStringView text) {
    if (text.isEmpty()) return 0;
    bool negative = false;
    qsizetype i = 0;
    if (text[0] == QLatin1Char('+') || text[0] == QLatin1Char('-')) {
        negative = text[0] == QLatin1Char('-');
        i = 1;
    }
    if (i == text.size()) return 0;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') return 0;
        if (value > (std::numeric_limits<qint64>::max() - (c - u'0')) / 10) return 0;
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

bool isAdvertisedInterface(const QString& name) {
    return name.startsWith(QLatin1String("en")) || name.startsWith(QLatin1String("eth")) ||
           name.startsWith(QLatin1String("wl"));
}

} // namespace

PhoneUploadServer::PhoneUploadServer(QObject* parent) : PhoneUploadServer(Options{}, parent) {}

PhoneUploadServer::PhoneUploadServer(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)),
      m_token(QUuid::createUuid().toString(QUuid::Id128).toUpper()) {
    if (m_options.inbox.isEmpty()) m_options.inbox = defaultInbox();
}

PhoneUploadServer::~PhoneUploadServer() {
    stop();
}

void PhoneUploadServer::start() {
    if (m_thread) return;
    const int generation = ++m_generation;
    m_thread = std::make_unique<QThread>();
    m_thread->setObjectName(QStringLiteral("ombrel.phone-upload"));

    upload::ConnectionSettings settings;
    settings.token = m_token.toLatin1();
    settings.inbox = m_options.inbox;
    settings.headTimeoutMs = m_options.headTimeoutMs;
    settings.bodyStallTimeoutMs = m_options.bodyStallTimeoutMs;
    m_listener = new upload::UploadListener(settings, maxConnections);
    m_listener->moveToThread(m_thread.get());

    // The worker's signals cross to this thread; an answer that belongs to an earlier
    // start (stopped since) is ignored.
    connect(m_listener, &upload::UploadListener::ready, this, [this, generation](quint16 port) {
        if (generation != m_generation || !m_thread) return;
        m_port = port;
        Q_EMIT started(port);
    });
    connect(m_listener, &upload::UploadListener::failed, this, [this, generation](const QString& reason) {
        if (generation != m_generation || !m_thread) return;
        stop();
        Q_EMIT startFailed(reason);
    });
    connect(m_listener, &upload::UploadListener::saved, this, &PhoneUploadServer::received);

    m_thread->start();
    QMetaObject::invokeMethod(
        m_listener,
        [listener = m_listener, address = m_options.bindAddress, port = m_options.port] {
            listener->begin(address, port);
        },
        Qt::QueuedConnection);
}

void PhoneUploadServer::stop() {
    if (!m_thread) return;
    // The listener and its connections belong to the worker thread: delete them there.
    QMetaObject::invokeMethod(
        m_listener, [listener = m_listener] { delete listener; }, Qt::BlockingQueuedConnection);
    m_listener = nullptr;
    m_thread->quit();
    m_thread->wait();
    m_thread.reset();
    m_port = 0;
}

qint64 PhoneUploadServer::contentLength(const QByteArray& head) {
    const QString text = QString::fromUtf8(head);
    static const QLatin1String name("content-length:");
    for (const QStringView line : QStringView(text).split(u"\r\n")) {
        if (line.toString().toLower().startsWith(name)) {
            QStringView value = line.mid(name.size());
            while (!value.isEmpty() && (value.front() == u' ' || value.front() == u'\t'))
                value = value.mid(1);
            while (!value.isEmpty() && (value.back() == u' ' || value.back() == u'\t'))
                value.chop(1);
            return decimalOrZero(value);
        }
    }
    return 0;
}

QString PhoneUploadServer::safeName(const QString& name) {
    // The last path component, as a path would have it: trailing slashes do not count.
    QStringView last(name);
    while (last.size() > 1 && last.endsWith(u'/'))
        last.chop(1);
    if (const qsizetype slash = last.lastIndexOf(u'/'); slash >= 0 && last.size() > 1)
        last = last.mid(slash + 1);

    QString kept;
    for (const char32_t c : last.toUcs4()) {
        const bool allowed = QChar::isLetterOrNumber(c) || c == U'.' || c == U'-' || c == U'_' || c == U' ';
        if (allowed) kept += QString::fromUcs4(&c, 1);
    }
    qsizetype start = 0;
    qsizetype end = kept.size();
    auto isTrimmed = [](QChar c) { return c == QLatin1Char('.') || c == QLatin1Char(' '); };
    while (start < end && isTrimmed(kept[start]))
        ++start;
    while (end > start && isTrimmed(kept[end - 1]))
        --end;
    kept = kept.mid(start, end - start);
    return kept.isEmpty() ? QStringLiteral("upload") : kept;
}

std::optional<QString> PhoneUploadServer::chooseAddress(QList<InterfaceAddress> candidates) {
    candidates.removeIf([](const InterfaceAddress& c) { return !isAdvertisedInterface(c.interfaceName); });
    if (candidates.isEmpty()) return std::nullopt;
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const InterfaceAddress& a, const InterfaceAddress& b) {
                         return a.interfaceName.toUtf8() < b.interfaceName.toUtf8();
                     });
    return candidates.front().address;
}

std::optional<QString> PhoneUploadServer::localAddress() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    QList<InterfaceAddress> candidates;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_name) continue;
        char host[1025];
        if (getnameinfo(entry->ifa_addr, sizeof(sockaddr_in), host, sizeof host, nullptr, 0,
                        NI_NUMERICHOST) != 0)
            continue;
        candidates.append({QString::fromUtf8(entry->ifa_name), QString::fromLatin1(host)});
    }
    freeifaddrs(list);
    return chooseAddress(std::move(candidates));
}

} // namespace ombrel
