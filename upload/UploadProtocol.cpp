#include "upload/UploadProtocol.h"

#include "upload/PhoneUploadServer.h"

#include <QList>
#include <QUrl>
#include <QUrlQuery>

namespace ombrel::upload {

QByteArray Response::encoded() const {
    QByteArray bytes;
    bytes.reserve(96 + body.size());
    bytes += "HTTP/1.1 " + status + "\r\n";
    bytes += "Content-Type: " + contentType + "\r\n";
    bytes += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    bytes += "Connection: close\r\n\r\n";
    bytes += body;
    return bytes;
}

Response pageResponse() {
    return {"200 OK", "text/html; charset=utf-8", PhoneUploadServer::page().toUtf8()};
}
Response savedResponse() {
    return {"200 OK", "text/plain", "ok"};
}
Response badRequestResponse() {
    return {"400 Bad Request", "text/plain", "Bad request"};
}
Response notFoundResponse() {
    return {"404 Not Found", "text/plain", "Not found"};
}
Response tooLargeResponse() {
    return {"413 Too Large", "text/plain", "Too large"};
}
Response couldNotSaveResponse() {
    return {"500 Error", "text/plain", "Could not save"};
}

bool constantTimeEquals(QByteArrayView a, QByteArrayView b) {
    const qsizetype n = std::max(a.size(), b.size());
    unsigned difference = a.size() == b.size() ? 0u : 1u;
    for (qsizetype i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(i < a.size() ? a[i] : 0);
        const auto y = static_cast<unsigned char>(i < b.size() ? b[i] : 0);
        difference |= static_cast<unsigned>(x ^ y);
    }
    return difference == 0;
}

namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isUrlCharacter(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    static constexpr QByteArrayView allowed = "-._~:/?#[]@!$&'()*+,;=";
    return allowed.contains(c);
}

} // namespace

bool isWellFormedTarget(QByteArrayView target) {
    for (qsizetype i = 0; i < target.size(); ++i) {
        const char c = target[i];
        if (c == '%') {
            if (i + 2 >= target.size() || !isHexDigit(target[i + 1]) || !isHexDigit(target[i + 2]))
                return false;
            i += 2;
        } else if (!isUrlCharacter(c)) {
            return false;
        }
    }
    return true;
}

Decision decide(const QByteArray& head, QByteArrayView token, qint64 bodyBytes) {
    const qsizetype lineEnd = head.indexOf("\r\n");
    const QByteArray requestLine = lineEnd < 0 ? head : head.left(lineEnd);
    const QList<QByteArray> pieces = requestLine.split(' ');
    QList<QByteArray> words;
    for (const QByteArray& piece : pieces)
        if (!piece.isEmpty()) words.append(piece);
    if (words.size() < 2) return {Action::BadRequest, {}};

    const QByteArray& method = words[0];
    const QByteArray& target = words[1];
    if (!isWellFormedTarget(target)) return {Action::BadRequest, {}};
    const QUrl url(QString::fromLatin1(target), QUrl::StrictMode);
    if (!url.isValid()) return {Action::BadRequest, {}};

    const QByteArray path = url.path(QUrl::FullyDecoded).toUtf8();
    const QByteArray pagePath = "/" + token.toByteArray();
    const QByteArray uploadPath = pagePath + "/upload";
    // Both comparisons always run, so the time taken does not say which one matched.
    const bool isPage = constantTimeEquals(path, pagePath);
    const bool isUpload = constantTimeEquals(path, uploadPath);
    if (!isPage && !isUpload) return {Action::NotFound, {}};

    if (method == "GET") return {Action::Page, {}};
    if (method != "POST" || !isUpload || bodyBytes <= 0) return {Action::BadRequest, {}};

    QString name = QStringLiteral("upload");
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("name")) {
            name = value;
            break;
        }
    }
    return {Action::Upload, name};
}

} // namespace ombrel::upload
