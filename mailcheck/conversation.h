#pragma once

#include <QCoreApplication>
#include <QLatin1String>
#include <QString>

namespace mailcheck {

// popState's values, as the product names them.
namespace popstate {
inline constexpr QLatin1String kConnect("connect"); // connecting, or the greeting awaited; the resting value
inline constexpr QLatin1String kUser("user");       // passing: the greeting was taken, USER goes out now
inline constexpr QLatin1String kPass("pass");       // USER sent, its reply awaited
inline constexpr QLatin1String kStat("stat");       // PASS sent, its reply awaited
inline constexpr QLatin1String kAllOK("allOK");     // STAT sent, the count awaited
inline constexpr QLatin1String kCountRead("top 1 10");   // passing: the count was just read
inline constexpr QLatin1String kQuitSent("connectQQQQ"); // QUIT sent: the conversation is over
} // namespace popstate

// What the window does next with one reply.
struct Step {
    enum class Kind {
        Ignore,    // nothing at all
        Send,      // send command, then popState becomes state
        Finish,    // the check ends without a count: result line and detail
        CountRead, // popState becomes state, then the count is shown
    };
    Kind kind = Kind::Ignore;
    QString command; // Send: without its line end
    QString state;   // Send, CountRead
    QString result;  // Finish
    QString detail;  // Finish: what the tooltip adds to the result line
    QString count;   // CountRead: decimal digits without leading zeros
};

// What the commands carry.
struct Account {
    QString name;
    QString password;
};

// One POP3 check as a table of states, apart from the window and the socket: the state and one
// reply line give the next step. A new protocol step is a new state and a row in the table.
class Conversation {
    Q_DECLARE_TR_FUNCTIONS(Conversation)
public:
    explicit Conversation(Account account) : m_account(std::move(account)) {}

    // The step for a reply that came in state. unreadWaiting: more received bytes wait behind it,
    // which no command may be sent over, since they cannot be that command's answer.
    Step next(const QString& state, const QString& reply, bool unreadWaiting) const;

private:
    Account m_account;
};

} // namespace mailcheck
