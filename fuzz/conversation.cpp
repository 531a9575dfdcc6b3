#include "mailcheck/conversation.h"
#include "fuzzsupport.h"
#include "mailcheck/headerfetch.h"
#include "mailcheck/pop3.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>

// What a server says, in any pieces, through the line framing and the conversation, interleaved
// with check ticks and socket errors, carried out as the account window does but without a window.
// Nothing may go out that splits a command or runs ahead of the replies, a check ends only with one
// of its result lines, and the conversation always rests in one of its waiting states. With the
// senders and subjects wanted, UIDL and at most five TOP n 0 follow the count, then QUIT.
namespace {

using namespace mailcheck::popstate;
using Kind = mailcheck::Step::Kind;

void checkFraming(FuzzedDataProvider& input)
{
    const qsizetype maxLine = input.ConsumeIntegralInRange<qsizetype>(1, 2 * mailcheck::LineFramer::kMaxLine);
    mailcheck::LineFramer framer(maxLine);
    QByteArray fed, taken;
    while (input.remaining_bytes() > 0) {
        const QByteArray chunk = QByteArray::fromStdString(
            input.ConsumeRandomLengthString(input.ConsumeIntegralInRange<std::size_t>(1, 3 * 4096)));
        const bool fits = framer.append(chunk);
        fed += chunk;
        while (framer.hasLine()) {
            const QByteArray line = framer.takeLine();
            FUZZ_REQUIRE(line.endsWith('\n') && line.count('\n') == 1 && line.size() <= maxLine + 1,
                         "line of %lld bytes", static_cast<long long>(line.size()));
            taken += line;
        }
        FUZZ_REQUIRE(fits == !framer.overflowed(), "append result");
        FUZZ_REQUIRE(framer.pendingBytes() <= maxLine, "pending %lld",
                     static_cast<long long>(framer.pendingBytes()));
        if (!framer.overflowed())
            FUZZ_REQUIRE(taken.size() + framer.pendingBytes() == fed.size() && fed.startsWith(taken),
                         "bytes lost or invented");
    }
}

// One connection as the account window runs it: the socket's framing, popState, and what went out.
class Check {
public:
    Check(const mailcheck::Account& account, mailcheck::Security security, bool headers)
        : m_fetch([] { return QSet<QByteArray>{"1"}; }, [](const QSet<QByteArray>&) {}),
          m_conversation(account, security, mailcheck::Login::Password, headers ? &m_fetch : nullptr),
          m_account(account), m_startTls(security == mailcheck::Security::StartTls), m_headers(headers)
    {
    }

    void tick()
    {
        m_state = kConnect;
        close();
    }

    // The handshake that StartTls began is over and the server verified.
    void handshakeDone()
    {
        if (m_state != kTls)
            return;
        m_encrypted = true;
        carryOut(m_conversation.tlsReady(m_state, unread()), unread());
    }

    void socketError()
    {
        close();
        // After QUIT the server hangs up: that is no failure; nor is it while the headers come, since
        // the count is shown already.
        if (mailcheck::isHeaderState(m_state))
            m_state = kConnect;
        else if (m_state != kQuitSent)
            finished(QStringLiteral("Connection failed"));
    }

    void receive(const QByteArray& bytes)
    {
        const bool fits = m_framer.append(bytes);
        while (m_framer.hasLine())
            answer(QString::fromLatin1(m_framer.takeLine()));
        if (fits || !m_framer.overflowed())
            return;
        close();
        if (mailcheck::isHeaderState(m_state))
            m_state = kConnect;
        else if (m_state != kQuitSent)
            finished(QStringLiteral("Server error"));
    }

    void requireResting() const
    {
        static const QStringList resting = {kConnect, kCapa,     kCapaList, kCapaStls, kStls,
                                            kTls,     kPass,     kStat,     kAllOK,    kQuitSent,
                                            kUidl,    kUidlList, kTop,      kTopLines};
        FUZZ_REQUIRE(resting.contains(m_state), "state \"%s\"", qPrintable(m_state));
    }

private:
    bool unread() const { return m_framer.hasLine() || m_framer.pendingBytes() > 0; }

    void answer(const QString& reply) { carryOut(m_conversation.next(m_state, reply, unread()), unread()); }

    void carryOut(const mailcheck::Step& step, bool unread)
    {
        const QString before = m_state;
        switch (step.kind) {
        case Kind::Ignore:
            FUZZ_REQUIRE(before == kQuitSent, "reply ignored in state \"%s\"", qPrintable(before));
            return;
        case Kind::Send:
            sent(step.command, unread);
            m_state = step.state;
            return;
        case Kind::Finish:
            close();
            finished(step.result);
            return;
        case Kind::Advance:
            m_state = step.state;
            return;
        case Kind::StartTls:
            FUZZ_REQUIRE(m_startTls && before == kStls && !unread, "TLS started in state \"%s\"",
                         qPrintable(before));
            m_state = step.state;
            return;
        case Kind::CountRead:
            FUZZ_REQUIRE(m_sent == expected().size(), "a count read after %d commands", m_sent);
            FUZZ_REQUIRE(countPattern().match(step.count).hasMatch(), "count \"%s\"", qPrintable(step.count));
            m_state = step.state;
            FUZZ_REQUIRE(step.command.isEmpty() || (m_headers && step.count != QLatin1String("0") && !unread),
                         "\"%s\" after the count", qPrintable(step.command));
            if (step.count == QLatin1String("0")) {
                m_state = kConnect;
                close();
            } else if (!step.command.isEmpty()) {
                sent(step.command, unread);
                m_state = step.commandState;
            } else {
                m_state = kQuitSent;
            }
            return;
        case Kind::HeadersRead:
            // QUIT ends it as it would have, whatever is still unread.
            FUZZ_REQUIRE(m_headers && mailcheck::isHeaderState(before) &&
                             step.command == QLatin1String("quit"),
                         "\"%s\" in state \"%s\"", qPrintable(step.command), qPrintable(before));
            m_state = step.state;
            return;
        }
    }

    QStringList expected() const
    {
        QStringList commands{QStringLiteral("user ") + m_account.name,
                             QStringLiteral("pass ") + m_account.password, QStringLiteral("stat")};
        if (m_startTls)
            commands = QStringList{QStringLiteral("capa"), QStringLiteral("stls")} + commands;
        return commands;
    }

    // (CAPA and STLS,) USER, PASS and STAT, each once, in that order, never over a reply not yet
    // read, and with STARTTLS nothing after STLS before the handshake is over.
    void sent(const QString& command, bool unread)
    {
        FUZZ_REQUIRE(!unread, "\"%s\" sent with a reply still unread", qPrintable(command));
        FUZZ_REQUIRE(!mailcheck::containsLineBreak(command), "a line break in \"%s\"", qPrintable(command));
        const QStringList commands = expected();
        // After the count: UIDL once, then TOP n 0 for at most five messages, newest first.
        if (m_headers && m_sent >= commands.size()) {
            if (m_sent == commands.size()) {
                FUZZ_REQUIRE(command == QLatin1String("uidl"), "\"%s\" after the count", qPrintable(command));
            } else {
                const QRegularExpressionMatch top = topPattern().match(command);
                const int number = top.captured(1).toInt();
                FUZZ_REQUIRE(top.hasMatch() && m_sent - commands.size() <= mailcheck::kMaxHeadersFetched &&
                                 (m_lastTop == 0 || number < m_lastTop),
                             "\"%s\" after %d commands", qPrintable(command), m_sent);
                m_lastTop = number;
            }
            ++m_sent;
            return;
        }
        FUZZ_REQUIRE(m_sent < commands.size() && command == commands[m_sent], "\"%s\" after %d commands",
                     qPrintable(command), m_sent);
        FUZZ_REQUIRE(!m_startTls || m_sent < 2 || m_encrypted, "\"%s\" sent in clear text",
                     qPrintable(command));
        ++m_sent;
    }

    void finished(const QString& result)
    {
        static const QStringList results = {QStringLiteral("Login failed"), QStringLiteral("Server busy"),
                                            QStringLiteral("Server error"),
                                            QStringLiteral("Connection failed")};
        FUZZ_REQUIRE(results.contains(result), "result \"%s\"", qPrintable(result));
        m_state = kConnect;
    }

    void close()
    {
        m_framer.clear();
        m_sent = 0;
        m_lastTop = 0;
        m_encrypted = false;
    }

    static const QRegularExpression& topPattern()
    {
        static const QRegularExpression pattern(QStringLiteral("\\Atop ([1-9][0-9]*) 0\\z"));
        return pattern;
    }

    static const QRegularExpression& countPattern()
    {
        static const QRegularExpression pattern(QStringLiteral("\\A(0|[1-9][0-9]*)\\z"));
        return pattern;
    }

    mailcheck::HeaderFetch m_fetch;
    const mailcheck::Conversation m_conversation;
    const mailcheck::Account m_account;
    mailcheck::LineFramer m_framer;
    const bool m_startTls;
    const bool m_headers;
    int m_lastTop = 0;
    QString m_state = kConnect;
    int m_sent = 0;
    bool m_encrypted = false;
};

void checkConversation(FuzzedDataProvider& input)
{
    // Mostly a plain account; sometimes one whose values would split a command.
    mailcheck::Account account{QStringLiteral("fuzz"), QStringLiteral("secret"), {}};
    if (input.ConsumeIntegralInRange(0, 7) == 0) {
        account.name = QString::fromLatin1(QByteArray::fromStdString(input.ConsumeRandomLengthString(16)));
        account.password =
            QString::fromLatin1(QByteArray::fromStdString(input.ConsumeRandomLengthString(16)));
    }
    const auto security = mailcheck::Security(input.ConsumeIntegralInRange(0, 2));
    Check check(account, security, input.ConsumeBool());
    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 9)) {
        case 0:
            check.tick();
            break;
        case 1:
            check.socketError();
            break;
        case 2:
            check.handshakeDone();
            break;
        default:
            check.receive(QByteArray::fromStdString(
                input.ConsumeRandomLengthString(input.ConsumeIntegralInRange<std::size_t>(1, 3 * 4096))));
            break;
        }
        check.requireResting();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeIntegralInRange(0, 3) == 0)
        checkFraming(input);
    else
        checkConversation(input);
    return 0;
}
