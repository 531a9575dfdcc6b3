#pragma once

#include "mailcheck/security.h"

#include <QCoreApplication>
#include <QLatin1String>
#include <QString>

namespace mailcheck {

// popState's values, as the product names them.
namespace popstate {
inline constexpr QLatin1String kConnect("connect"); // connecting, or the greeting awaited; the resting value
inline constexpr QLatin1String kCapa("capa");       // STARTTLS: CAPA sent, its status awaited
inline constexpr QLatin1String kCapaList("capa list");       // reading CAPA's list, no STLS in it so far
inline constexpr QLatin1String kCapaStls("capa stls");       // reading CAPA's list, STLS seen
inline constexpr QLatin1String kStls("stls");                // STLS sent, its reply awaited
inline constexpr QLatin1String kTls("tls");                  // the TLS handshake under way
inline constexpr QLatin1String kAuth("auth");                // AUTH XOAUTH2 sent, the "+" awaited
inline constexpr QLatin1String kAuthSent("auth sent");       // the token sent, its verdict awaited
inline constexpr QLatin1String kAuthRefused("auth refused"); // the server's error report answered
inline constexpr QLatin1String kUser("user");            // passing: the greeting was taken, USER goes out now
inline constexpr QLatin1String kPass("pass");            // USER sent, its reply awaited
inline constexpr QLatin1String kStat("stat");            // PASS sent, its reply awaited
inline constexpr QLatin1String kAllOK("allOK");          // STAT sent, the count awaited
inline constexpr QLatin1String kCountRead("top 1 10");   // passing: the count was just read
inline constexpr QLatin1String kQuitSent("connectQQQQ"); // QUIT sent: the conversation is over
// The count is shown; the senders and subjects of the new messages are read.
inline constexpr QLatin1String kUidl("uidl");          // UIDL sent, its status awaited
inline constexpr QLatin1String kUidlList("uidl list"); // reading UIDL's listing
inline constexpr QLatin1String kTop("top");            // TOP n 0 sent, its status awaited
inline constexpr QLatin1String kTopLines("top lines"); // reading TOP's header lines
} // namespace popstate

// The count is shown and the check reads the new messages' headers: a failure now ends only that.
bool isHeaderState(const QString& state);

class HeaderFetch;

// What the window does next with one reply.
struct Step {
    enum class Kind {
        Ignore,      // nothing at all
        Send,        // send command, then popState becomes state
        Finish,      // the check ends without a count: result line and detail
        CountRead,   // popState becomes state, then the count is shown
        Advance,     // popState becomes state; nothing goes out
        StartTls,    // popState becomes state, and the TLS handshake begins on the open connection
        HeadersRead, // send command (QUIT), popState becomes state; the headers read are shown
    };
    Kind kind = Kind::Ignore;
    QString command;           // Send, HeadersRead: without its line end; CountRead: instead of QUIT
    QString commandState;      // CountRead: popState once command went out
    QString state;             // Send, CountRead
    QString result;            // Finish
    QString detail;            // Finish: what the tooltip adds to the result line, as the server said it;
                               // HeadersRead: why no more headers were read, if not all were
    QString hint;              // Finish: our own advice after it, if any
    bool tokenRefused = false; // Finish: the server refused the access token (a fresh one may do)
    QString count;             // CountRead: decimal digits without leading zeros
};

// What the commands carry.
struct Account {
    QString name;
    QString password;
    QString token; // the OAuth2 access token, for Login::Xoauth2
};

// How the account logs in.
enum class Login {
    Password, // USER and PASS
    Xoauth2,  // SASL XOAUTH2 with an access token, only ever over TLS
};

struct ConversationRow;

// One POP3 check as a table of states, apart from the window and the socket: the state and one
// reply line give the next step. A new protocol step is a new state and a row in the table.
class Conversation {
    Q_DECLARE_TR_FUNCTIONS(Conversation)
public:
    // fetch: where the new messages' headers are read into, when the user wants them (none: the
    // conversation is the same as without the feature, byte for byte).
    explicit Conversation(Account account, Security security = Security::None, Login login = Login::Password,
                          HeaderFetch *fetch = nullptr)
        : m_account(std::move(account)), m_security(security), m_login(login), m_fetch(fetch)
    {
    }

    // The step for a reply that came in state. unreadWaiting: more received bytes wait behind it,
    // which no command may be sent over, since they cannot be that command's answer.
    Step next(const QString& state, const QString& reply, bool unreadWaiting) const;
    // The step once the TLS handshake that StartTls began has verified the server: the login,
    // knowing nothing of what the server said before it.
    Step tlsReady(const QString& state, bool unreadWaiting) const;

private:
    Step capabilities(const QString& state, const QString& reply, bool unreadWaiting) const;
    Step logIn(bool unreadWaiting) const;
    Step xoauth2(const QString& state, const QString& reply, bool unreadWaiting) const;
    Step headers(const QString& state, const QString& reply, bool unreadWaiting) const;
    Step nextHeader(bool unreadWaiting) const;
    Step refused(const ConversationRow *row, const QString& reply) const;
    Step answer(const ConversationRow *row, const QString& reply, bool unreadWaiting) const;

    Account m_account;
    Security m_security;
    Login m_login;
    HeaderFetch *m_fetch;
};

} // namespace mailcheck
