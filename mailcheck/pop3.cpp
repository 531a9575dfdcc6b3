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

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

std::optional<QString> statCount(const QString& reply)
{
    constexpr qsizetype kHead = 3; // "+OK"
    if (!reply.startsWith(QLatin1String("+OK")) || reply.size() <= kHead || !isBlank(reply.at(kHead)))
        return std::nullopt;
    qsizetype i = kHead;
    while (i < reply.size() && isBlank(reply.at(i)))
        ++i;
    const qsizetype start = i;
    while (i < reply.size() && isAsciiDigit(reply.at(i)))
        ++i;
    if (i == start)
        return std::nullopt;
    if (i < reply.size() && !isBlank(reply.at(i)) && reply.at(i) != QLatin1Char('\r') &&
        reply.at(i) != QLatin1Char('\n'))
        return std::nullopt;
    qsizetype first = start;
    while (first < i - 1 && reply.at(first) == QLatin1Char('0'))
        ++first;
    return reply.mid(first, i - first);
}

bool isBusyReply(const QString& reply)
{
    if (!isErrorReply(reply))
        return false;
    const QString rest = reply.mid(4).trimmed();
    for (const QLatin1String code :
         {QLatin1String("[IN-USE"), QLatin1String("[LOGIN-DELAY"), QLatin1String("[SYS/TEMP")}) {
        if (rest.startsWith(code, Qt::CaseInsensitive) && rest.size() > code.size() &&
            (rest.at(code.size()) == QLatin1Char(']') || rest.at(code.size()) == QLatin1Char('/')))
            return true;
    }
    return false;
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
        allDigits = allDigits && isAsciiDigit(c);
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
