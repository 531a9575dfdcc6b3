#include "app/password.h"

#include "app/lifecycle.h"
#include "app/testseams.h"
#include "app/textbox.h"
#include "app/wait.h"
#include "scramble/encrypt.h"

#include <QTimer>
#include <memory>

Password::Password(TextBox *field, WhenOnScreen whenOnScreen, QObject *parent)
    : QObject(parent), m_field(field), m_whenOnScreen(std::move(whenOnScreen))
{
}

void Password::loaded(const QString& storedKey, bool inFile)
{
    m_awaited = !inFile;
    m_readKey = storedKey;
    m_readError.clear();
    m_inKeyring.reset();
    m_mayHold = QStringList{storedKey};
}

bool Password::awaited() const
{
    return m_awaited && m_field->text().isEmpty();
}

void Password::startRead()
{
    if (m_reading || m_readAsked || !m_awaited)
        return;
    m_readAsked = true;
    m_whenOnScreen(this, [this] {
        m_readAsked = false;
        m_reading = true;
        Keyring::read(m_readKey, this, [this](const Keyring::Reply& reply) { readFinished(reply); });
    });
}

void Password::readFinished(const Keyring::Reply& reply)
{
    m_reading = false;
    switch (reply.answer) {
    case Keyring::Answer::Found:
        // A password typed meanwhile is newer than the keyring's.
        if (m_field->text().isEmpty())
            m_field->setText(reply.password);
        m_readPassword = reply.password;
        m_inKeyring = std::pair{m_readKey, reply.password};
        m_awaited = false;
        break;
    case Keyring::Answer::None:
        m_awaited = false;
        m_mayHold.removeAll(m_readKey);
        break;
    case Keyring::Answer::Failed:
        m_readError = reply.error;
        break;
    }
    emit readAnswered();
}

void Password::fetch(QObject *context, std::function<void(const QString&)> done)
{
    if (!awaited()) {
        done(QString());
        return;
    }
    // Whichever comes first, the answer or the bound, calls done and ends this caller's listening,
    // so a read that hangs does not gather a listener per check.
    auto *bound = new QTimer(context);
    bound->setSingleShot(true);
    ++m_waiting;
    auto listening = std::make_shared<bool>(true);
    auto finish = [this, bound, listening, done = std::move(done)] {
        *listening = false;
        --m_waiting;
        disconnect(this, nullptr, bound, nullptr);
        bound->stop();
        bound->deleteLater();
        done(unknownWhy());
    };
    connect(bound, &QTimer::timeout, bound, finish);
    connect(this, &Password::readAnswered, bound, finish);
    // A caller dropped before either came no longer waits.
    connect(bound, &QObject::destroyed, this, [this, listening] {
        if (std::exchange(*listening, false))
            --m_waiting;
    });
    bound->start(waitMs());
    m_readError.clear();
    startRead();
}

void Password::waitForRead(QDeadlineTimer deadline)
{
    if (!m_awaited)
        return;
    app::Wait wait;
    connect(this, &Password::readAnswered, &wait, &app::Wait::finish);
    startRead();
    wait.until(deadline);
}

QString Password::unknownWhy() const
{
    if (!awaited())
        return {};
    if (m_readError.isEmpty())
        return tr("the keyring did not answer");
    return tr("the keyring could not be read: %1").arg(m_readError);
}

QString Password::storeForSave(const QString& key, const QString& password, Save save,
                               QDeadlineTimer deadline)
{
    m_keep.reset();
    // Once the program is ending nothing more reaches the keyring.
    if (app::saveIsClosed())
        return Encrypt::EncodePassword(password);
    QString known = password;
    if (known.isEmpty() && m_awaited) {
        // Still in the keyring under the key the file names: nothing to move.
        if (key == m_readKey)
            return QString();
        // A password that has not been read can only follow a changed account once the keyring gives it.
        waitForRead(deadline);
        if (m_awaited)
            return QString();
        known = m_readPassword;
    }
    if (known.isEmpty()) {
        m_keep = QString();
        return QString();
    }
    // Unchanged: a rewrite could only raise an unlock prompt, or spoil a secret the keyring keeps
    // better than a text does.
    if (m_inKeyring == std::pair{key, known}) {
        m_keep = key;
        return QString();
    }
    // A move into the keyring may ask the user something: only while the user is there to answer.
    if (save == Save::Exit)
        return Encrypt::EncodePassword(known);
    const bool stored = Keyring::write(key, known, deadline);
    if (!m_mayHold.contains(key))
        m_mayHold << key;
    if (!stored)
        return Encrypt::EncodePassword(known);
    m_inKeyring = std::pair{key, known};
    m_keep = key;
    return QString();
}

void Password::saved(bool committed, QDeadlineTimer deadline)
{
    const std::optional<QString> keep = std::exchange(m_keep, std::nullopt);
    // Until the file names the new account, the old entry is the one a restart would look for.
    if (!committed || !keep)
        return;
    const QStringList old = m_mayHold;
    for (const QString& key : old) {
        if (key != *keep && Keyring::remove(key, deadline))
            m_mayHold.removeAll(key);
    }
}

int Password::waitMs()
{
    return app::seams::keyringWaitMs();
}
