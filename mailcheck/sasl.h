#pragma once

#include <QByteArray>
#include <QString>

// SASL XOAUTH2 for POP3's AUTH command (RFC 5034), as Google and Microsoft take it. Always the two-line
// form: "AUTH XOAUTH2", the server's "+", then the initial response on a line of its own, since a
// token with its "user=" passes the 255 octets RFC 5034 allows the command line.
namespace mailcheck {

struct SaslResponse {
    QByteArray line; // the base64 response, without a line end
    QString error;   // why none could be made; never holds the token
};

// base64("user=" + user + "\x01auth=Bearer " + token + "\x01\x01"). A user or token holding CR, LF
// or \x01 would change what the server reads, so it is refused, as is an empty one.
SaslResponse xoauth2Response(const QString& user, const QString& token);

// A server continuation: "+", a blank or nothing, then maybe base64 data.
bool isContinuation(const QByteArray& line);

// Why the server refused the token, in a few plain words, from the base64 JSON of a "+ <base64>"
// continuation sent after the response (Google, Dovecot: {"status":"401",...}). Only a short status
// from it is kept, so nothing the server echoes (such as the token) is ever shown.
QString xoauth2Refusal(const QByteArray& continuation);

} // namespace mailcheck
