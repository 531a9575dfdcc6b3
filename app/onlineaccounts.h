#pragma once

#include <QList>
#include <QString>
#include <functional>

class QObject;

// The desktop's Google accounts, through GNOME Online Accounts on the session bus: which accounts hold
// mail, and their access tokens, which GOA keeps and refreshes. Every call is asynchronous and bounded
// by seams::onlineAccountsWaitMs(), the bus reached first off the GUI thread (app::reachBus), so a
// silent bus or service never holds the program. done runs once, on context's thread, unless context
// is gone by then. No token is ever logged.
namespace OnlineAccounts {

struct Account {
    QString id;       // GOA's own, as in its object path
    QString identity; // what GOA shows for it, usually the address
    QString email;
    bool attentionNeeded = false; // GOA wants the user to sign in again
};

struct AccountList {
    QList<Account> accounts;
    QString error; // why there is no list: GOA absent, silent or failing
};

struct Token {
    QString token;
    QString error; // when there is no token
};

// At most this many accounts are listed.
inline constexpr qsizetype kMaxAccounts = 64;

// The Google accounts whose mail is enabled, in GOA's order of object paths.
void mailAccounts(QObject *context, std::function<void(const AccountList&)> done);

// The account's access token: GOA hands out the one it holds or refreshes it first.
void accessToken(const QString& id, QObject *context, std::function<void(const Token&)> done);

// Makes GOA refresh the account's credentials; done gets the empty text when it did, else why not.
void ensureCredentials(const QString& id, QObject *context, std::function<void(const QString& error)> done);

} // namespace OnlineAccounts
