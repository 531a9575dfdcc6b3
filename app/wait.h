#pragma once

#include <QDeadlineTimer>
#include <QObject>

class QEventLoop;

namespace app {

// The one way this program waits on the GUI thread for another process or for the clock: the
// keyring's answer, the blink's and the shake's pauses. It runs events meanwhile, so nothing stalls,
// but that means anything may run inside a wait: a check tick (a new conversation), socket data,
// the clock, a menu choice, user input in any window, another wait nested inside this one (this one
// ends only after that one has), and the program's end.
//
// So, before it waits, a caller takes everything it will use afterwards (the account's fields, the
// key, the password) and afterwards uses only what it took, never the live controls; and it keeps
// its own window from being used twice meanwhile (disabled, or a flag). A wait ends at finish(), at
// its deadline, or at once when the program begins to end, whichever comes first.
class Wait : public QObject {
    Q_OBJECT
public:
    // Connect what ends the wait with this object as the context: the connection goes with it.
    explicit Wait(QObject *parent = nullptr);

    // Runs events until finish() is called, the deadline passes or the program ends; true when
    // finished. A wait already finished returns at once.
    bool until(QDeadlineTimer deadline);
    // Ends the wait from inside it (a slot that ran during it); before it, until() returns at once.
    void finish();
    bool isFinished() const { return m_finished; }

private:
    QEventLoop *m_loop = nullptr;
    bool m_finished = false;
};

// Returns once the deadline has passed, or at once when the program begins to end.
void sleepWhileEventsRun(QDeadlineTimer deadline);

} // namespace app
