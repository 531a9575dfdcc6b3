#include "mailcheck/sasl.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace mailcheck {

namespace {

bool holdsSeparator(const QString& text)
{
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\x01')
            return true;
    }
    return false;
}

// A status worth repeating: short and made of letters, digits and a few marks. A token is neither.
bool isPlainStatus(const QString& status)
{
    if (status.isEmpty() || status.size() > 24)
        return false;
    for (const QChar c : status) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'_' && c != u'-' && c != u'.')
            return false;
    }
    return true;
}

// Larger continuations are not an error report: nothing is decoded from them.
constexpr qsizetype kMaxContinuation = 4096;

} // namespace

SaslResponse xoauth2Response(const QString& user, const QString& token)
{
    SaslResponse response;
    if (user.isEmpty() || token.isEmpty())
        response.error = user.isEmpty() ? QStringLiteral("the account name is empty")
                                        : QStringLiteral("the access token is empty");
    else if (holdsSeparator(user))
        response.error = QStringLiteral("the account name holds a line break or control character");
    else if (holdsSeparator(token))
        response.error = QStringLiteral("the access token holds a line break or control character");
    if (!response.error.isEmpty())
        return response;
    const QChar separator(1);
    const QString text = QStringLiteral("user=") + user + separator + QStringLiteral("auth=Bearer ") + token +
                         separator + separator;
    response.line = text.toUtf8().toBase64();
    return response;
}

bool isContinuation(const QByteArray& line)
{
    return line.startsWith('+') && (line.size() == 1 || line[1] == ' ' || line[1] == '\r' || line[1] == '\n');
}

QString xoauth2Refusal(const QByteArray& continuation)
{
    const QString refused = QStringLiteral("the server refused the access token");
    const QByteArray data = continuation.mid(1).trimmed();
    if (data.isEmpty() || data.size() > kMaxContinuation)
        return refused;
    const auto decoded = QByteArray::fromBase64Encoding(data, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return refused;
    const QJsonObject report = QJsonDocument::fromJson(*decoded).object();
    const QJsonValue value = report.value(QLatin1String("status"));
    const QString status = value.isDouble() ? QString::number(value.toInteger()) : value.toString();
    return isPlainStatus(status) ? refused + QStringLiteral(" (") + status + QLatin1Char(')') : refused;
}

} // namespace mailcheck
