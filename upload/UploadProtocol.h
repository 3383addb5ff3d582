#pragma once
// The HTTP pieces of the phone upload server that need no socket: deciding what a
// request head asks for, and the bytes of every answer. Kept apart from the connection
// handling so that each rule can be checked on plain bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace ombrel::upload {

// One answer: status line text, content type and body. Every answer closes the connection.
struct Response {
    QByteArray status;
    QByteArray contentType;
    QByteArray body;

    // The bytes sent on the wire: the head, byte for byte, followed by the body.
    QByteArray encoded() const;
};

Response pageResponse();
Response savedResponse();
Response badRequestResponse();
Response notFoundResponse();
Response tooLargeResponse();
Response couldNotSaveResponse();

// What a complete request asks for, decided from its head alone (the body only matters
// through its length, which the head announces).
enum class Action { Page, Upload, BadRequest, NotFound };

struct Decision {
    Action action = Action::BadRequest;
    QString clientName; // for Upload: the "name" query value, or "upload" when absent
};

// `head` is the request line and headers without the blank line; `token` the secret
// path component; `bodyBytes` the length of the body that completes the request.
Decision decide(const QByteArray& head, QByteArrayView token, qint64 bodyBytes);

// True when `target` is a URL reference made only of the characters a URL may carry,
// with every "%" starting a two-digit hexadecimal escape.
bool isWellFormedTarget(QByteArrayView target);

// Compares in time that depends only on the lengths, so a client cannot learn the
// token a byte at a time from how quickly it is refused.
bool constantTimeEquals(QByteArrayView a, QByteArrayView b);

} // namespace ombrel::upload
