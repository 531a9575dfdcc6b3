#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <functional>

class QObject;

// Where the account's password lives between runs: in the desktop's keyring (app/keyring.h) when
// one answers, with the settings file's `pass` left empty; otherwise scrambled in the file, as it
// always was. Form1.Text3 holds the plain password in use either way.
namespace Password {

// Start-up: the account's key as stored and whether the file held a password. An empty `pass` leaves
// the password to the keyring, read once the notifier is on screen: start-up never waits for it.
void loaded(const QString& storedKey, bool inFile);

// The keyring may hold the password and has not given it yet: Text3 is empty for want of an answer,
// not because there is no password.
bool awaited();

// Reads the awaited password into Text3 once the notifier is on screen, and calls done when the
// keyring has answered, or when it has not within the wait's bound: with why the password is still
// not known, or the empty text when Text3 now holds what the keyring has (nothing, if it has none).
// A read that answers late still fills an empty Text3. done is not called once context is gone.
void fetch(QObject *context, std::function<void(const QString& unknownWhy)> done);

// The saves, keyring first, then the file: the value for `pass` when the account is saved under key.
// The password goes into the keyring and `pass` stays empty; a keyring that fails or has not
// answered by the deadline leaves the password scrambled in the file instead, so it is never lost.
QString storedForm(const QString& key, QDeadlineTimer deadline);
// Once the file has been written (committed true) or not: the entries the account no longer uses,
// after a change of server or account name, go from the keyring.
void saved(bool committed, QDeadlineTimer deadline);

// How long a check waits for the keyring, and the account window's OK for its save (10 s: a locked
// keyring may ask for its own password first).
int waitMs();

// For tests: back to a program that has read nothing; answers still under way are dropped.
void reset();

} // namespace Password
