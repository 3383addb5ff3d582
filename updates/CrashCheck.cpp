#include "CrashCheck.h"

#include "CrashHandler.h"
#include "Network.h"
#include "Updater.h"
#include "UpdatesConfig.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "ui/GlassPrompt.h"
#include "ui/Toast.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QStringDecoder>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <cmath>

namespace ombrel::CrashCheck {

namespace {

constexpr int promptWidth = 460;
constexpr qint64 maxReportBytes = 8 * 1024 * 1024;

QPointer<GlassPrompt>& currentPrompt() {
    static QPointer<GlassPrompt> p;
    return p;
}

QString stringOf(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString() : QString();
}

// An integer JSON number (1 or 1.0, not 1.5), as the value of `v`.
std::optional<qint64> integerOf(const QJsonValue& v) {
    if (!v.isDouble()) return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::floor(d) != d || std::fabs(d) > 9007199254740992.0) return std::nullopt;
    return qint64(d);
}

QJsonArray objectsOf(const QJsonValue& v) {
    QJsonArray objects;
    for (const QJsonValue& item : v.toArray())
        if (item.isObject()) objects.append(item);
    return v.isArray() && objects.size() == v.toArray().size() ? objects : QJsonArray();
}

// The first `count` characters as the user reads them (a letter with its accents, an emoji).
QString firstCharacters(const QString& text, int count) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0) return text;
        end = next;
    }
    return text.left(end);
}

QString frameLine(const QJsonObject& frame, const QJsonArray& images) {
    QString image = QStringLiteral("?");
    if (const auto index = integerOf(frame.value(QStringLiteral("imageIndex")));
        index && *index >= 0 && *index < images.size()) {
        const QJsonValue name = images.at(qsizetype(*index)).toObject().value(QStringLiteral("name"));
        if (name.isString()) image = name.toString();
    }
    const QJsonValue symbol = frame.value(QStringLiteral("symbol"));
    if (symbol.isString()) return image + QLatin1Char(' ') + symbol.toString();
    const qint64 offset = integerOf(frame.value(QStringLiteral("imageOffset"))).value_or(0);
    return image + QStringLiteral(" +") + QString::number(offset);
}

// The "asi" member's strings, when it maps names to lists of strings; else "".
QString applicationInformation(const QJsonValue& asi) {
    if (!asi.isObject()) return {};
    QStringList lines;
    const QJsonObject o = asi.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!it->isArray()) return {};
        for (const QJsonValue& line : it->toArray()) {
            if (!line.isString()) return {};
            lines.append(line.toString());
        }
    }
    return lines.join(QLatin1Char(' '));
}

std::optional<QByteArray> readUtf8(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxReportBytes) return std::nullopt;
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError()) return std::nullopt;
    return bytes;
}

void offerEmail(const QString& reportPath) {
    const QString to = UpdatesConfig::current().supportEmail;
    if (to.isEmpty()) return;
    if (GlassPrompt* old = currentPrompt()) old->deleteLater();
    auto* prompt = new GlassPrompt(QStringLiteral("No Thanks"), promptWidth);
    prompt->setObjectName(QStringLiteral("crashReportOffer"));
    prompt->say(
        QStringLiteral("Sorry, it closed unexpectedly"),
        QStringLiteral("Send the report so it can be fixed? You'll see the email first. It only says what "
                       "the app was doing, not what was on your screen."),
        QStringLiteral("Send Report"));
    prompt->setPrimaryHighlighted(true);
    currentPrompt() = prompt;
    const QPointer<GlassPrompt> weak(prompt);
    prompt->onSecondary = [weak] {
        if (weak) weak->dismiss();
    };
    prompt->onPrimary = [weak, to, reportPath] {
        if (weak) weak->dismiss();
        const QString subject =
            QStringLiteral("Ombrel Capture crash report, version ") + Updater::currentVersion();
        if (!Platform::workspace().composeMail({to}, subject, reportPath))
            qCWarning(logUpdates) << "no e-mail program to write the crash report with";
    };
    prompt->open();
}

} // namespace

bool sendsAutomatically() {
    return !Defaults::get(Keys::crashReportsOff);
}

void setSendsAutomatically(bool on) {
    Defaults::set(Keys::crashReportsOff, !on);
}

std::optional<Report> newestReport(const QString& folder, const QDateTime& since) {
    const QDir dir(folder);
    if (!dir.exists()) return std::nullopt;
    std::optional<Report> newest;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (!entry.fileName().startsWith(QLatin1String("OmbrelCapture")) ||
            entry.suffix() != QLatin1String("ips"))
            continue;
        const QDateTime modified = entry.lastModified();
        if (!modified.isValid() || modified <= since) continue;
        if (!newest || modified > newest->modified) newest = Report{entry.absoluteFilePath(), modified};
    }
    return newest;
}

std::optional<QJsonObject> summary(const QByteArray& reportText) {
    const qsizetype lineEnd = reportText.indexOf('\n');
    if (lineEnd < 0) return std::nullopt;
    const QJsonDocument headerDoc = QJsonDocument::fromJson(reportText.left(lineEnd));
    const QJsonDocument bodyDoc = QJsonDocument::fromJson(reportText.mid(lineEnd + 1));
    if (!headerDoc.isObject() || !bodyDoc.isObject()) return std::nullopt;
    const QJsonObject header = headerDoc.object();
    const QJsonObject body = bodyDoc.object();

    const QJsonArray images = objectsOf(body.value(QStringLiteral("usedImages")));
    const QJsonArray threads = objectsOf(body.value(QStringLiteral("threads")));
    std::optional<QJsonObject> crashed;
    for (const QJsonValue& thread : threads)
        if (const QJsonValue t = thread.toObject().value(QStringLiteral("triggered"));
            t.isBool() && t.toBool()) {
            crashed = thread.toObject();
            break;
        }
    if (!crashed && !threads.isEmpty()) crashed = threads.first().toObject();

    QJsonArray frames;
    if (crashed) {
        const QJsonArray all = objectsOf(crashed->value(QStringLiteral("frames")));
        for (qsizetype i = 0; i < all.size() && i < maxFrames; ++i)
            frames.append(frameLine(all.at(i).toObject(), images));
    }

    const QJsonObject exception = body.value(QStringLiteral("exception")).toObject();
    QStringList exceptionParts;
    for (const char* key : {"type", "signal"})
        if (const QString part = stringOf(exception, key); exception.value(QLatin1String(key)).isString())
            exceptionParts.append(part);

    QStringList reasonParts;
    for (const QString& part : {applicationInformation(body.value(QStringLiteral("asi"))),
                                stringOf(body.value(QStringLiteral("termination")).toObject(), "indicator")})
        if (!part.isEmpty()) reasonParts.append(part);

    return QJsonObject{
        {QStringLiteral("version"), stringOf(header, "app_version")},
        {QStringLiteral("build"), stringOf(header, "build_version")},
        {QStringLiteral("macos"), stringOf(header, "os_version")},
        {QStringLiteral("cpu"), stringOf(body, "cpuType")},
        {QStringLiteral("exception"), exceptionParts.join(QLatin1Char(' '))},
        {QStringLiteral("reason"), firstCharacters(reasonParts.join(QLatin1Char(' ')), maxReasonCharacters)},
        {QStringLiteral("frames"), frames},
    };
}

void send(const QJsonObject& summary, QObject* context, std::function<void(bool)> done) {
    const QUrl address(UpdatesSettings::crashReportsAddress(), QUrl::StrictMode);
    if (!address.isValid() || address.scheme().isEmpty() || address.host().isEmpty()) {
        QTimer::singleShot(0, context, [done = std::move(done)] { done(false); });
        return;
    }
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(sendTimeoutMs);
    QNetworkReply* reply =
        Network::access().post(request, QJsonDocument(summary).toJson(QJsonDocument::Compact));
    QObject::connect(reply, &QNetworkReply::finished, context, [reply, done = std::move(done)] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool sent = reply->error() == QNetworkReply::NoError && status == 200;
        if (!sent) qCInfo(logUpdates) << "the crash summary was not taken:" << status << reply->errorString();
        done(sent);
    });
}

void run() {
    run(CrashHandler::reportsFolder(), QDateTime::currentDateTimeUtc());
}

void run(const QString& folder, const QDateTime& now) {
    const std::optional<QDateTime> earlier = UpdatesSettings::date(Keys::lastCrashSeen);
    UpdatesSettings::setDate(Keys::lastCrashSeen, now);
    if (!earlier) return; // the first look: older reports are never offered
    const std::optional<Report> report = newestReport(folder, *earlier);
    if (!report) return;
    if (sendsAutomatically()) {
        const std::optional<QByteArray> text = readUtf8(report->path);
        if (const std::optional<QJsonObject> made = text ? summary(*text) : std::nullopt) {
            send(*made, QCoreApplication::instance(), [](bool sent) {
                if (sent)
                    Toast::show(
                        QStringLiteral(
                            "It closed unexpectedly last time. A report went to us so we can fix it."),
                        QStringLiteral("ant"));
            });
            return;
        }
        qCInfo(logUpdates) << "the crash report" << report->path
                           << "has no summary; offering the e-mail instead";
    }
    offerEmail(report->path);
}

GlassPrompt* prompt() {
    return currentPrompt();
}

} // namespace ombrel::CrashCheck
