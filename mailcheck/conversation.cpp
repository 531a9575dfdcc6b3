#include "mailcheck/conversation.h"

#include "mailcheck/headerfetch.h"
#include "mailcheck/pop3.h"
#include "mailcheck/sasl.h"

#include <optional>

namespace mailcheck {

using namespace popstate;

// One state of the login: what a success reply there leads to.
struct ConversationRow {
    // What the state does with a success reply.
    enum class OnSuccess {
        PassOn,    // go on at once in the next state
        Send,      // send the row's command
        ReadCount, // the reply is STAT's
    };
    QLatin1String state;
    OnSuccess onSuccess;
    QLatin1String next;
    // Send: the command, and whether it carries the account name or password.
    QString (*command)(const Account&);
    bool carriesAccount;
    // A refusal here is about the account ("Login failed", or "Server busy" for a passing one),
    // not the server's fault.
    bool refusalIsLogin;
};

namespace {

using Row = ConversationRow;
using OnSuccess = Row::OnSuccess;

const Row kRows[] = {
    {kConnect, OnSuccess::PassOn, kUser, nullptr, false, false},
    {kUser, OnSuccess::Send, kPass, [](const Account& a) { return QStringLiteral("user ") + a.name; }, true,
     false},
    {kPass, OnSuccess::Send, kStat, [](const Account& a) { return QStringLiteral("pass ") + a.password; },
     true, true},
    {kStat, OnSuccess::Send, kAllOK, [](const Account&) { return QStringLiteral("stat"); }, false, true},
    {kAllOK, OnSuccess::ReadCount, kCountRead, nullptr, false, false},
};

template <typename Text> const Row *rowFor(const Text& state)
{
    for (const Row& row : kRows) {
        if (state == row.state)
            return &row;
    }
    return nullptr;
}

Step finish(const QString& result, const QString& detail, const QString& hint = QString())
{
    Step step;
    step.kind = Step::Kind::Finish;
    step.result = result;
    step.detail = detail;
    step.hint = hint;
    return step;
}

Step moveTo(Step::Kind kind, const QString& state, const QString& command = QString())
{
    Step step;
    step.kind = kind;
    step.state = state;
    step.command = command;
    return step;
}

// What came in before a command goes out cannot be its answer.
Step talkedAhead()
{
    return finish(QStringLiteral("Server error"),
                  Conversation::tr("a reply came before its command was sent"));
}

bool isStartTlsState(const QString& state)
{
    return state == kCapa || state == kCapaList || state == kCapaStls || state == kStls || state == kTls;
}

// The last line of a multi-line reply: a lone dot.
bool isListEnd(const QString& line)
{
    return line == QLatin1String(".\r\n") || line == QLatin1String(".\n");
}

// A capability line names STLS when its first word does (RFC 2449: case does not matter).
bool namesStls(const QString& line)
{
    return line.section(QLatin1Char(' '), 0, 0)
               .trimmed()
               .compare(QLatin1String("STLS"), Qt::CaseInsensitive) == 0;
}

// The headers are in, or as many as could be read: QUIT ends the conversation as it would have.
Step headersRead(const QString& why = QString())
{
    Step step = moveTo(Step::Kind::HeadersRead, kQuitSent, QStringLiteral("quit"));
    step.detail = why;
    return step;
}

} // namespace

bool isHeaderState(const QString& state)
{
    return state == kUidl || state == kUidlList || state == kTop || state == kTopLines;
}

Step Conversation::capabilities(const QString& state, const QString& reply, bool unreadWaiting) const
{
    const QString noStarttls = tr("the server offers no STARTTLS");
    if (state == kCapa) {
        if (!isSuccessReply(reply))
            return finish(QStringLiteral("Connection failed"), noStarttls);
        return moveTo(Step::Kind::Advance, kCapaList);
    }
    if (state == kCapaList || state == kCapaStls) {
        if (!isListEnd(reply))
            return moveTo(Step::Kind::Advance,
                          state == kCapaStls || namesStls(reply) ? kCapaStls : kCapaList);
        if (state == kCapaList)
            return finish(QStringLiteral("Connection failed"), noStarttls);
        if (unreadWaiting)
            return talkedAhead();
        return moveTo(Step::Kind::Send, kStls, QStringLiteral("stls"));
    }
    if (state == kStls) {
        if (!isSuccessReply(reply))
            return finish(QStringLiteral("Connection failed"),
                          tr("the server refused STARTTLS: %1").arg(reply));
        // Bytes behind the go-ahead came in plain text, yet would be read as if they came over TLS.
        if (unreadWaiting)
            return finish(QStringLiteral("Connection failed"), tr("the server sent data before TLS began"));
        return moveTo(Step::Kind::StartTls, kTls);
    }
    // kTls: the server has nothing to say until the handshake is over.
    return finish(QStringLiteral("Connection failed"), tr("the server sent data before TLS began"));
}

Step Conversation::next(const QString& state, const QString& reply, bool unreadWaiting) const
{
    // Once QUIT has gone out the conversation is over; the server's goodbye changes nothing.
    if (state == kQuitSent)
        return {};
    if (isHeaderState(state))
        return headers(state, reply, unreadWaiting);
    if (isStartTlsState(state))
        return capabilities(state, reply, unreadWaiting);
    if (state == kAuth || state == kAuthSent || state == kAuthRefused)
        return xoauth2(state, reply, unreadWaiting);
    // With STARTTLS chosen, the greeting is answered by CAPA: no STLS, no login.
    if (state == kConnect && m_security == Security::StartTls && isSuccessReply(reply)) {
        if (unreadWaiting)
            return talkedAhead();
        return moveTo(Step::Kind::Send, kCapa, QStringLiteral("capa"));
    }
    const Row *row = rowFor(state);
    if (!row || !isSuccessReply(reply))
        return refused(row, reply);
    if (state == kConnect)
        return logIn(unreadWaiting);
    return answer(row, reply, unreadWaiting);
}

Step Conversation::tlsReady(const QString& state, bool unreadWaiting) const
{
    if (state != kTls)
        return {};
    return logIn(unreadWaiting);
}

// The first command of the login, right after the greeting or the TLS handshake.
Step Conversation::logIn(bool unreadWaiting) const
{
    if (m_login == Login::Password)
        return answer(rowFor(kUser), QString(), unreadWaiting);
    // A bearer token is as good as a password to whoever reads it.
    if (m_security == Security::None)
        return finish(QStringLiteral("Login failed"), tr("OAuth2 sign-in needs SSL/TLS or STARTTLS"));
    if (unreadWaiting)
        return talkedAhead();
    return moveTo(Step::Kind::Send, kAuth, QStringLiteral("auth xoauth2"));
}

// AUTH XOAUTH2 in its two-line form: the command, the server's "+", the response on its own line.
Step Conversation::xoauth2(const QString& state, const QString& reply, bool unreadWaiting) const
{
    const QByteArray line = reply.toLatin1();
    if (state == kAuth) {
        if (!isContinuation(line))
            return finish(QStringLiteral("Login failed"), reply,
                          tr("the server does not take OAuth2 (XOAUTH2)"));
        const SaslResponse response = xoauth2Response(m_account.name, m_account.token);
        if (!response.error.isEmpty())
            return finish(QStringLiteral("Login failed"), response.error);
        if (unreadWaiting)
            return talkedAhead();
        return moveTo(Step::Kind::Send, kAuthSent, QString::fromLatin1(response.line));
    }
    if (state == kAuthSent && isContinuation(line)) {
        // The server's error report: an empty line asks for its verdict.
        if (unreadWaiting)
            return talkedAhead();
        return moveTo(Step::Kind::Send, kAuthRefused, QString());
    }
    if (state == kAuthSent && isSuccessReply(reply))
        return answer(rowFor(kStat), reply, unreadWaiting);
    if (state == kAuthSent && isBusyReply(reply))
        return finish(QStringLiteral("Server busy"), reply);
    Step step = finish(QStringLiteral("Login failed"), reply, tr("the server refused the access token"));
    step.tokenRefused = true;
    return step;
}

// UIDL, then TOP n 0 for each new message; a refusal or a surprise ends the reading, never the check.
Step Conversation::headers(const QString& state, const QString& reply, bool unreadWaiting) const
{
    if (!m_fetch)
        return headersRead();
    const QByteArray line = reply.toLatin1();
    if (state == kUidl) {
        if (!isSuccessReply(reply))
            return headersRead(tr("the server has no UIDL"));
        return moveTo(Step::Kind::Advance, kUidlList);
    }
    if (state == kUidlList)
        return m_fetch->addIdLine(line) ? nextHeader(unreadWaiting) : moveTo(Step::Kind::Advance, kUidlList);
    if (state == kTop) {
        // A message deleted since the listing, or no TOP at all: the others may still come.
        if (!isSuccessReply(reply))
            return nextHeader(unreadWaiting);
        m_fetch->beginHeader();
        return moveTo(Step::Kind::Advance, kTopLines);
    }
    return m_fetch->addHeaderLine(line) ? nextHeader(unreadWaiting) : moveTo(Step::Kind::Advance, kTopLines);
}

Step Conversation::nextHeader(bool unreadWaiting) const
{
    if (unreadWaiting)
        return headersRead(tr("a reply came before its command was sent"));
    if (const std::optional<int> number = m_fetch->takeNext())
        return moveTo(Step::Kind::Send, kTop, QStringLiteral("top %1 0").arg(*number));
    return headersRead();
}

Step Conversation::refused(const Row *row, const QString& reply) const
{
    const bool login = row && row->refusalIsLogin;
    if (login && isBusyReply(reply))
        return finish(QStringLiteral("Server busy"), reply);
    if (!login)
        return finish(QStringLiteral("Server error"), reply);
    // Many servers take no password in clear text from another host, and say so only as a refusal.
    const QString hint =
        m_security == Security::None ? tr("the server may want SSL/TLS or STARTTLS") : QString();
    return finish(QStringLiteral("Login failed"), reply, hint);
}

Step Conversation::answer(const Row *row, const QString& reply, bool unreadWaiting) const
{
    Step step;
    step.state = row->next;
    if (row->onSuccess == OnSuccess::ReadCount) {
        // A reply without a count is the server's fault, never an empty mailbox.
        const std::optional<QString> count = statCount(reply);
        if (!count)
            return finish(QStringLiteral("Server error"), reply);
        step.kind = Step::Kind::CountRead;
        step.count = *count;
        // Only asked for when wanted and there is mail; bytes behind the count cannot be UIDL's answer.
        if (m_fetch && *count != QLatin1String("0") && !unreadWaiting) {
            m_fetch->begin(*count);
            step.command = QStringLiteral("uidl");
            step.commandState = kUidl;
        }
        return step;
    }
    // Neither value may go out if either would split a command in two.
    if (row->carriesAccount && (containsLineBreak(m_account.name) || containsLineBreak(m_account.password)))
        return finish(QStringLiteral("Login failed"), tr("line break in the account name or password"));
    // What came in before the command goes out cannot be its answer: a server that talks ahead
    // would otherwise have PASS sent before USER was answered, or a stale count shown.
    if (unreadWaiting)
        return talkedAhead();
    step.kind = Step::Kind::Send;
    step.command = row->command(m_account);
    return step;
}

} // namespace mailcheck
