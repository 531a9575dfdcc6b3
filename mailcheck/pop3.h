#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The arithmetic and parsing of one mail check, kept apart from the windows so it can be tested alone.
namespace mailcheck {

// A success reply: "+OK" followed by a space, a line end or nothing (RFC 1939 allows the bare form).
bool isSuccessReply(const QString& reply);
// A failure reply: it begins "-ERR".
bool isErrorReply(const QString& reply);

// The message count of a STAT reply: "+OK", blanks, the count in ASCII digits, then a blank or the
// line's end (the size follows). The count's decimal text without leading zeros, of any length;
// nothing when the reply holds no count.
std::optional<QString> statCount(const QString& reply);

// A refusal for a passing condition (RFC 2449, RFC 3206): the mailbox is open in another session,
// logins come too close together, or the server has a temporary fault. Not a wrong password; the
// next check may well get in.
bool isBusyReply(const QString& reply);

// An account name or password that would split a command into two.
bool containsLineBreak(const QString& text);

// The port a check connects to: the whole number 1 to 65535 the port field holds, blanks around it
// and full-width digits (what a Japanese input method types) allowed; nothing when it holds none.
std::optional<int> portFromText(const QString& text);

// The host to connect to: an IPv6 literal as users write it in a URL, "[::1]", without its brackets.
QString hostFromText(const QString& text);

// Cuts received bytes into lines that end in LF (CR LF preferred). Memory stays bounded: a line
// longer than the limit before its LF is never kept, and from then on nothing is.
class LineFramer {
public:
    static constexpr qsizetype kMaxLine = 4096;

    explicit LineFramer(qsizetype maxLine = kMaxLine) : m_maxLine(maxLine) {}

    // Adds bytes; false once a line has run over the limit.
    bool append(const QByteArray& bytes);
    bool hasLine() const { return !m_lines.isEmpty(); }
    // The oldest complete line, with its line end.
    QByteArray takeLine();
    bool overflowed() const { return m_overflowed; }
    // Bytes of an unfinished line still waiting for their end.
    qsizetype pendingBytes() const { return m_partial.size(); }
    void clear();

private:
    qsizetype m_maxLine;
    QByteArray m_partial;
    QList<QByteArray> m_lines;
    bool m_overflowed = false;
};

} // namespace mailcheck
