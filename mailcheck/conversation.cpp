#include "mailcheck/conversation.h"

#include "mailcheck/pop3.h"

#include <optional>

namespace mailcheck {

using namespace popstate;

namespace {

// What a state does with a success reply.
enum class OnSuccess {
    PassOn,    // go on at once in the next state
    Send,      // send the row's command
    ReadCount, // the reply is STAT's
};

struct Row {
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

Step finish(const QString& result, const QString& detail)
{
    Step step;
    step.kind = Step::Kind::Finish;
    step.result = result;
    step.detail = detail;
    return step;
}

// "-ERR", or anything else where a reply was awaited.
Step refused(const Row *row, const QString& reply)
{
    const bool login = row && row->refusalIsLogin;
    if (login && isBusyReply(reply))
        return finish(QStringLiteral("Server busy"), reply);
    return finish(login ? QStringLiteral("Login failed") : QStringLiteral("Server error"), reply);
}

} // namespace

Step Conversation::next(const QString& state, const QString& reply, bool unreadWaiting) const
{
    // Once QUIT has gone out the conversation is over; the server's goodbye changes nothing.
    if (state == kQuitSent)
        return {};
    const Row *row = rowFor(state);
    if (!row || !isSuccessReply(reply))
        return refused(row, reply);
    while (row->onSuccess == OnSuccess::PassOn)
        row = rowFor(row->next);
    Step step;
    step.state = row->next;
    if (row->onSuccess == OnSuccess::ReadCount) {
        // A reply without a count is the server's fault, never an empty mailbox.
        const std::optional<QString> count = statCount(reply);
        if (!count)
            return finish(QStringLiteral("Server error"), reply);
        step.kind = Step::Kind::CountRead;
        step.count = *count;
        return step;
    }
    // Neither value may go out if either would split a command in two.
    if (row->carriesAccount && (containsLineBreak(m_account.name) || containsLineBreak(m_account.password)))
        return finish(QStringLiteral("Login failed"), tr("line break in the account name or password"));
    // What came in before the command goes out cannot be its answer: a server that talks ahead
    // would otherwise have PASS sent before USER was answered, or a stale count shown.
    if (unreadWaiting)
        return finish(QStringLiteral("Server error"), tr("a reply came before its command was sent"));
    step.kind = Step::Kind::Send;
    step.command = row->command(m_account);
    return step;
}

} // namespace mailcheck
