#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>

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

} // namespace app
