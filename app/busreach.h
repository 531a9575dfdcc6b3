#pragma once

#include <QDBusConnection>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <thread>

class QObject;

namespace app {

// Reaches the system or the session bus without ever blocking the calling thread. libdbus's first
// exchange with a bus has no timeout, and Qt makes every connection on one thread of its own: a bus
// that accepts and never answers would hold that thread, and with it every D-Bus call of the
// program and the GUI thread that waits on it, for good. So a thread of the helper's own first asks
// the bus for a sign of life, bounded by answerMs, and only a bus that answered is handed to Qt
// (as QDBusConnection::systemBus() or sessionBus(): later callers of those get it at once).
//
// prepare runs on that thread with the connected bus, for what blocks on it (subscribing to
// signals); ready then runs on receiver's thread, queued, with the bus, or with a bus that is not
// connected and why. Neither runs once receiver is gone.
using BusReady = std::function<void(const QDBusConnection& bus, const QString& failure)>;
void reachBus(QDBusConnection::BusType type, QObject *receiver, BusReady ready,
              std::function<void(QDBusConnection& bus)> prepare = {}, int answerMs = 5000);

// The address the bus of that type is found at, as libdbus would pick it; empty when it would look
// it up some other way (autolaunch).
QString busAddress(QDBusConnection::BusType type);

// Whether something listens at address and answers a first authentication line within answerMs.
// Only unix: addresses are probed; any other is taken as answering. failure says why not.
bool busAnswers(const QString& address, int answerMs, QString *failure);

// Asks the session bus for a sign of life on a thread of its own, from construction on, so that
// start-up knows before Qt reaches for the bus whether it may. answered() waits for the answer,
// which comes within answerMs; failure then says why there was none.
class SessionBusProbe {
public:
    explicit SessionBusProbe(int answerMs);
    bool answered(QString *failure);

private:
    bool m_answered = true;
    QString m_failure;
    std::jthread m_thread;
};

// Keeps Qt's own users of the session bus off one that did not answer, for Qt's first use of a bus
// waits for it for good: the accessibility bridges (Qt's AT-SPI and GTK's, in a GTK platform theme)
// ask it for their bus at the first widget, the IBus portal, Fcitx and the portal platform theme as
// the application starts. While it lives, the environment turns them away (Qt falls back to its
// own input and theme); end() builds Qt's bridge (it reads the environment then) and puts back
// what the user had, so the programs started later (the mail program) get the user's own.
class QuietSessionBus {
public:
    QuietSessionBus();
    ~QuietSessionBus() { end(); }
    QuietSessionBus(const QuietSessionBus&) = delete;
    QuietSessionBus& operator=(const QuietSessionBus&) = delete;
    void end();

private:
    // Each variable changed, with what it was (nullopt: unset).
    QList<std::pair<QByteArray, std::optional<QByteArray>>> m_changed;
};

} // namespace app
