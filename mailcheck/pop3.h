#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <array>

// The arithmetic and parsing of one mail check, kept apart from the windows so it can be tested alone.
namespace mailcheck {

// A success reply: "+OK" followed by a space, a line end or nothing (RFC 1939 allows the bare form).
bool isSuccessReply(const QString& reply);
// A failure reply: it begins "-ERR".
bool isErrorReply(const QString& reply);

// The count text of a STAT reply, before it is turned into a number: the shortest text of 1 to 15
// characters from the 5th character on that ends in a space, less that space; else those 15 characters.
QString readMailCount(const QString& recvData);
// The decimal text of the whole number a count text begins with, leading blanks skipped; "0" when it
// does not begin with a digit.
QString countFromText(const QString& text);

// An account name or password that would split a command into two.
bool containsLineBreak(const QString& text);

// The port a check connects to: the port field when it holds a whole number 1 to 65535, else 110.
int portFromText(const QString& text);

// How often the check timer ticks while checking runs, in milliseconds.
int checkIntervalMs();
// How long a conversation may take from the connect request to its result.
int conversationTimeoutMs();
// The port on which the connection is encrypted from the first byte (POP3S).
int implicitTlsPort();
// Folder of extra trusted PEM certificates, beside the settings file.
QString certsFolder();

// The notifier's tooltip: when the last check ended and how, as plain text.
QString outcomeText(const QDateTime& when, const QString& outcome);
// "3 messages", "1 message".
QString messagesText(const QString& count);
// A server's or socket's text made fit for one line of a tooltip: printable ASCII, bounded length.
QString detailText(const QString& text);

// One row of the blink sequence: the colour slot (2 blink colour A, 3 blink colour B) and the wait
// after it, in seconds; the last row has no wait.
struct BlinkStep {
    int colourSlot;
    double wait;
};
inline constexpr int kBlinkColourA = 2;
inline constexpr int kBlinkColourB = 3;
extern const std::array<BlinkStep, 18> kBlinkSequence;

// Milliseconds from a moment at msOfSecond into a second until just after the next second begins.
int msUntilNextSecond(int msOfSecond);

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
