#pragma once

#include "app/keyring.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

class TextBox;

// Where the account's password lives between runs: in the desktop's keyring (app/keyring.h) when
// one answers, with the settings file's `pass` left empty; otherwise scrambled in the file, as it
// always was. The field it is handed (Form1.Text3) holds the plain password in use either way; the
// object fills it from the keyring and never reaches any window itself.
class Password : public QObject {
    Q_OBJECT
public:
    // Runs run once the notifier is on screen (at once when it already is), unless context is gone
    // by then: no D-Bus traffic before that, start-up must not wait for any of it.
    using WhenOnScreen = std::function<void(QObject *context, std::function<void()> run)>;

    Password(TextBox *field, WhenOnScreen whenOnScreen, QObject *parent);

    // Start-up: the account's key as stored and whether the file held a password. An empty `pass`
    // leaves the password to the keyring, read once the notifier is on screen.
    void loaded(const QString& storedKey, bool inFile);

    // The keyring may hold the password and has not given it yet: the field is empty for want of an
    // answer, not because there is no password.
    bool awaited() const;

    // Reads the awaited password into the field once the notifier is on screen, and calls done when
    // the keyring has answered, or when it has not within waitMs(): with why the password is still
    // not known, or the empty text when the field now holds what the keyring has (nothing, if it has
    // none). A read that answers late still fills an empty field. done is not called once context is
    // gone, and a caller that has been answered or has timed out no longer listens.
    void fetch(QObject *context, std::function<void(const QString& unknownWhy)> done);

    enum class Save {
        Ok,   // the account window's OK: the user is there, the keyring may ask for its password
        Exit, // the program's end: nothing new goes into the keyring
    };
    // The saves, keyring first, then the file: the value for `pass` when the account is saved under
    // key with password, both as taken before the save (an empty password while one is awaited).
    // Writes the keyring and waits for it (bounded by deadline) only when the password or its key
    // changed since the keyring last gave or took it, and only on OK; the file gets the password
    // scrambled whenever the keyring has not taken it, so it is never lost.
    QString storeForSave(const QString& key, const QString& password, Save save, QDeadlineTimer deadline);
    // Once the file has been written (committed true) or not: the entries the account no longer
    // uses, after a change of server or account name, go from the keyring.
    void saved(bool committed, QDeadlineTimer deadline);

    // How many callers of fetch() are waiting for an answer now.
    int waiting() const { return m_waiting; }

    // How long a check waits for the keyring, and the account window's OK for its save (10 s: a
    // locked keyring may ask for its own password first).
    static int waitMs();

signals:
    // The keyring has answered the read under way, whatever it said.
    void readAnswered();

private:
    void startRead();
    void readFinished(const Keyring::Reply& reply);
    void waitForRead(QDeadlineTimer deadline);
    QString unknownWhy() const;

    TextBox *const m_field;
    const WhenOnScreen m_whenOnScreen;
    // The file's `pass` was empty and the keyring has not answered for m_readKey yet.
    bool m_awaited = false;
    QString m_readKey;
    QString m_readPassword;
    bool m_reading = false;
    bool m_readAsked = false;
    QString m_readError;
    int m_waiting = 0;
    // What the keyring is known to hold for this program, key and password, as it last gave or
    // took it: an equal save leaves the keyring alone.
    std::optional<std::pair<QString, QString>> m_inKeyring;
    // Keys whose entries may hold this program's password: the stored account's, and every key a
    // write went to that did not answer in time (it may still land).
    QStringList m_mayHold;
    // What the save under way left in the keyring: the one key to keep, or none at all for an empty
    // password; unset when the save left the file holding the password.
    std::optional<QString> m_keep;
};
