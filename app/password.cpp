#include "app/password.h"

#include "app/keyring.h"
#include "app/lifecycle.h"
#include "app/testseams.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "mailcheck/form1.h"
#include "notifier/form2.h"
#include "scramble/encrypt.h"

#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <optional>
#include <vector>

namespace Password {

namespace {

struct State {
    // The file's `pass` was empty and the keyring has not answered for readKey yet.
    bool awaited = false;
    QString readKey;
    bool reading = false;
    QString readError;
    // Keys whose entries may hold this program's password: the stored account's, and every key a
    // write went to that did not answer in time (it may still land).
    QStringList mayHold;
    // What the save under way put into the keyring: the one key to keep, or none at all for an
    // empty password; unset when the save left the keyring alone.
    std::optional<QString> keep;
    // Owns the answers under way: reset() drops them with it.
    QObject *answers = nullptr;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> listeners;
};

State& state()
{
    static State s;
    return s;
}

QObject *answers()
{
    State& s = state();
    if (!s.answers)
        s.answers = new QObject;
    return s.answers;
}

void answered(const Keyring::Reply& reply)
{
    State& s = state();
    s.reading = false;
    switch (reply.answer) {
    case Keyring::Answer::Found:
        // A password typed meanwhile is newer than the keyring's.
        if (form1().Text3->text().isEmpty())
            form1().Text3->setText(reply.password);
        s.awaited = false;
        break;
    case Keyring::Answer::None:
        s.awaited = false;
        s.mayHold.removeAll(s.readKey);
        break;
    case Keyring::Answer::Failed:
        s.readError = reply.error;
        break;
    }
    const auto listeners = std::exchange(s.listeners, {});
    for (const auto& [context, listener] : listeners) {
        if (context)
            listener();
    }
}

void startRead()
{
    State& s = state();
    if (s.reading || !s.awaited)
        return;
    // No D-Bus traffic before the notifier is on screen: start-up must not wait for any of it.
    Form2& notifier = form2();
    if (!notifier.isOnScreen()) {
        QObject::connect(
            &notifier, &Form2::firstExposed, answers(), [] { startRead(); }, Qt::SingleShotConnection);
        return;
    }
    s.reading = true;
    Keyring::read(s.readKey, answers(), answered);
}

// Runs events until the awaited password has been read or the deadline passes.
void waitForRead(QDeadlineTimer deadline)
{
    if (!state().awaited)
        return;
    QEventLoop loop;
    bool done = false;
    state().listeners.push_back({&loop, [&] {
                                     done = true;
                                     loop.quit();
                                 }});
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    startRead();
    while (!done && !deadline.hasExpired() && !app::isEnding()) {
        bound.start(int(std::min<qint64>(deadline.remainingTime(), 60000)));
        loop.exec();
    }
}

QString unknownWhy()
{
    if (!awaited())
        return {};
    if (state().readError.isEmpty())
        return QObject::tr("the keyring did not answer");
    return QObject::tr("the keyring could not be read: %1").arg(state().readError);
}

} // namespace

void loaded(const QString& storedKey, bool inFile)
{
    State& s = state();
    s.awaited = !inFile;
    s.readKey = storedKey;
    s.readError.clear();
    s.mayHold = QStringList{storedKey};
}

bool awaited()
{
    return state().awaited && form1().Text3->text().isEmpty();
}

void fetch(QObject *context, std::function<void(const QString&)> done)
{
    if (!awaited()) {
        done(QString());
        return;
    }
    // Whichever comes first, the answer or the bound, calls done; the other finds nothing to do.
    auto pending = std::make_shared<std::function<void(const QString&)>>(std::move(done));
    auto finish = [pending](const QString& why) {
        if (auto call = std::exchange(*pending, nullptr))
            call(why);
    };
    QTimer::singleShot(waitMs(), context, [finish] { finish(unknownWhy()); });
    state().listeners.push_back({context, [finish] { finish(unknownWhy()); }});
    state().readError.clear();
    startRead();
}

QString storedForm(const QString& key, QDeadlineTimer deadline)
{
    State& s = state();
    s.keep.reset();
    const QString typed = form1().Text3->text();
    // Once the program is ending nothing more reaches the file.
    if (app::saveIsClosed())
        return Encrypt::EncodePassword(typed);
    // A password that has not been read can only follow a changed account once the keyring gives it.
    if (awaited() && key != s.readKey)
        waitForRead(deadline);
    if (awaited())
        return QString(); // still in the keyring, where the file's empty `pass` sends the next start
    const QString password = form1().Text3->text();
    if (password.isEmpty()) {
        s.keep = QString();
        return QString();
    }
    const bool stored = Keyring::write(key, password, deadline);
    if (!s.mayHold.contains(key))
        s.mayHold << key;
    if (!stored)
        return Encrypt::EncodePassword(password);
    s.keep = key;
    return QString();
}

void saved(bool committed, QDeadlineTimer deadline)
{
    State& s = state();
    const std::optional<QString> keep = std::exchange(s.keep, std::nullopt);
    // Until the file names the new account, the old entry is the one a restart would look for.
    if (!committed || !keep)
        return;
    const QStringList old = s.mayHold;
    for (const QString& key : old) {
        if (key != *keep && Keyring::remove(key, deadline))
            s.mayHold.removeAll(key);
    }
}

int waitMs()
{
    return app::seams::keyringWaitMs();
}

void reset()
{
    State& s = state();
    delete s.answers;
    s = State();
}

} // namespace Password
