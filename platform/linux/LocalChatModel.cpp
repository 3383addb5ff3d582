#include "LocalChatModel.h"

#include "platform/Log.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>

namespace ombrel {

LocalChatModel::LocalChatModel(QUrl base, QString model)
    : m_base(std::move(base)), m_model(std::move(model)) {
    // "localhost" could be made to mean another machine; the loopback address cannot.
    if (m_base.host() == QLatin1String("localhost")) m_base.setHost(QStringLiteral("127.0.0.1"));
}

bool LocalChatModel::isLocal(const QUrl& address) {
    if (address.scheme() != QLatin1String("http") || address.host().isEmpty()) return false;
    if (address.host() == QLatin1String("localhost")) return true;
    const QHostAddress host(address.host());
    return !host.isNull() && host.isLoopback();
}

Outcome<QByteArray> LocalChatModel::call(const QString& path, const QByteArray& body, int timeoutMs) {
    using Result = Outcome<QByteArray>;
    if (!isLocal(m_base))
        return Result::fail(Failure::Permanent,
                            QStringLiteral("The language model's address %1 is not on this computer.")
                                .arg(m_base.toString()));
    QUrl url = m_base;
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + path);
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy); // straight to this machine, never through a proxy
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply = nullptr;
    if (body.isNull()) {
        reply = manager.get(request);
    } else {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        reply = manager.post(request, body);
    }
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, [reply] { reply->abort(); });
    if (!reply->isFinished()) loop.exec();
    const QByteArray data = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    delete reply;
    if (status == 200) return Result::ok(data);
    if (status != 0) {
        // OpenAI-style servers explain a refusal in {"error": {"message": …}} or {"error": "…"}.
        const QJsonValue e = QJsonDocument::fromJson(data).object().value(QStringLiteral("error"));
        const QString why =
            e.isObject() ? e.toObject().value(QStringLiteral("message")).toString() : e.toString();
        return Result::fail(status == 429 || status >= 500 ? Failure::Temporary : Failure::Permanent,
                            why.isEmpty() ? QStringLiteral("The language model answered %1.").arg(status)
                                          : why);
    }
    const bool late = error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError;
    return Result::fail(late ? Failure::Temporary : Failure::Permanent,
                        late ? QStringLiteral("The language model took too long to answer.") : errorText);
}

Outcome<QString> LocalChatModel::model() {
    {
        std::lock_guard guard(m_mutex);
        if (!m_model.isEmpty()) return Outcome<QString>::ok(m_model);
    }
    const Outcome<QByteArray> listed = call(QStringLiteral("/models"), QByteArray(), checkTimeoutMs);
    if (!listed) return Outcome<QString>::fail(listed.failure(), listed.message());
    const QJsonArray models =
        QJsonDocument::fromJson(listed.value()).object().value(QStringLiteral("data")).toArray();
    const QString first =
        models.isEmpty() ? QString() : models.first().toObject().value(QStringLiteral("id")).toString();
    if (first.isEmpty())
        return Outcome<QString>::fail(Failure::Permanent,
                                      QStringLiteral("The language model server has no model installed."));
    std::lock_guard guard(m_mutex);
    m_model = first;
    return Outcome<QString>::ok(first);
}

bool LocalChatModel::isAvailable() {
    // A server that answers the model list, with a model to use, can rewrite.
    const Outcome<QByteArray> listed = call(QStringLiteral("/models"), QByteArray(), checkTimeoutMs);
    if (!listed) return false;
    return model().isOk();
}

Outcome<QString> LocalChatModel::answerOf(const QByteArray& reply) {
    const QJsonArray choices =
        QJsonDocument::fromJson(reply).object().value(QStringLiteral("choices")).toArray();
    if (choices.isEmpty())
        return Outcome<QString>::fail(Failure::Permanent,
                                      QStringLiteral("The language model gave no answer."));
    QString text = choices.first()
                       .toObject()
                       .value(QStringLiteral("message"))
                       .toObject()
                       .value(QStringLiteral("content"))
                       .toString();
    // Reasoning models put their thinking first, between tags; the answer follows it.
    static const QRegularExpression thinking(QStringLiteral("^\\s*<think>.*?</think>"),
                                             QRegularExpression::DotMatchesEverythingOption);
    text.remove(thinking);
    return Outcome<QString>::ok(text);
}

Outcome<QString> LocalChatModel::respond(const QString& instructions, const QString& prompt,
                                         double temperature) {
    const Outcome<QString> name = model();
    if (!name) return name;
    const QJsonObject body{
        {QStringLiteral("model"), name.value()},
        {QStringLiteral("messages"),
         QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                                {QStringLiteral("content"), instructions}},
                    QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                {QStringLiteral("content"), prompt}}}},
        {QStringLiteral("temperature"), temperature},
        {QStringLiteral("stream"), false},
    };
    const Outcome<QByteArray> reply =
        call(QStringLiteral("/chat/completions"), QJsonDocument(body).toJson(QJsonDocument::Compact),
             answerTimeoutMs);
    if (!reply) {
        qCInfo(logPlatform) << "The language model failed:" << reply.message();
        return Outcome<QString>::fail(reply.failure(), reply.message());
    }
    return answerOf(reply.value());
}

} // namespace ombrel
