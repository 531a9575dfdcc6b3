#include "mailcheck/pop3.h"

namespace mailcheck {

bool isSuccessReply(const QString& reply)
{
    if (!reply.startsWith(QLatin1String("+OK")))
        return false;
    if (reply.size() == 3)
        return true;
    const QChar next = reply.at(3);
    return next == QLatin1Char(' ') || next == QLatin1Char('\r') || next == QLatin1Char('\n');
}

bool isErrorReply(const QString& reply)
{
    return reply.startsWith(QLatin1String("-ERR"));
}

QString readMailCount(const QString& recvData)
{
    for (int n = 0; n <= 15; ++n) {
        const QString text = recvData.mid(4, n);
        if (!text.isEmpty() && text.endsWith(QLatin1Char(' ')))
            return text.left(n - 1);
    }
    return recvData.mid(4, 15);
}

QString countFromText(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    const qsizetype digitsStart = i;
    while (i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'))
        ++i;
    QString digits = text.mid(digitsStart, i - digitsStart);
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    return digits.isEmpty() ? QStringLiteral("0") : digits;
}

bool containsLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

std::optional<int> portFromText(const QString& text)
{
    const QString trimmed = text.normalized(QString::NormalizationForm_KC).trimmed();
    bool allDigits = !trimmed.isEmpty() && trimmed.size() <= 5;
    for (const QChar c : trimmed)
        allDigits = allDigits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int port = allDigits ? trimmed.toInt() : 0;
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

QString hostFromText(const QString& text)
{
    if (text.size() > 2 && text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')) &&
        text.contains(QLatin1Char(':')))
        return text.mid(1, text.size() - 2);
    return text;
}

bool LineFramer::append(const QByteArray& bytes)
{
    if (m_overflowed)
        return false;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', start);
        const qsizetype stop = end < 0 ? bytes.size() : end;
        if (m_partial.size() + (stop - start) > m_maxLine) {
            m_overflowed = true;
            m_partial.clear();
            return false;
        }
        if (end < 0) {
            m_partial += bytes.mid(start);
            break;
        }
        m_partial += bytes.mid(start, end + 1 - start);
        m_lines.append(m_partial);
        m_partial.clear();
        start = end + 1;
    }
    return true;
}

QByteArray LineFramer::takeLine()
{
    return m_lines.isEmpty() ? QByteArray() : m_lines.takeFirst();
}

void LineFramer::clear()
{
    m_partial.clear();
    m_lines.clear();
    m_overflowed = false;
}

} // namespace mailcheck
