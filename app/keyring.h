#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <functional>

class QObject;

// The password's place in the desktop's keyring: the Secret Service (GNOME Keyring, KeePassXC) or
// KWallet, through QtKeychain, under the service "vurk_mailchecker" with one entry per "user@server".
// Every call talks to another process over D-Bus, so none is made before the notifier is on screen.
namespace Keyring {

enum class Answer {
    Found,
    None, // no entry under the key: not a failure, the keyring simply holds no password for it
    Failed,
};

struct Reply {
    Answer answer = Answer::Failed;
    QString password; // when found
    QString error;    // when failed: the keyring's own words
};

// The entry's key: the account name and the server as typed.
QString key(const QString& user, const QString& server);

// Starts reading an entry; done runs once, when the keyring answers, unless context is gone by then.
void read(const QString& key, QObject *context, std::function<void(const Reply&)> done);

// Store or remove an entry, handling events until the keyring answers or the deadline passes. True
// when it is done; false when the keyring refused, failed or did not answer in time (a job that
// answers late still does its work then).
bool write(const QString& key, const QString& password, QDeadlineTimer deadline);
bool remove(const QString& key, QDeadlineTimer deadline);

} // namespace Keyring
