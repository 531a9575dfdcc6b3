#include "app/wait.h"

#include "app/lifecycle.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace app {

Wait::Wait(QObject *parent) : QObject(parent) {}

bool Wait::until(QDeadlineTimer deadline)
{
    QEventLoop loop;
    QEventLoop *outer = std::exchange(m_loop, &loop);
    QTimer bound;
    bound.setSingleShot(true);
    bound.setTimerType(deadline.timerType());
    connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    // QTimer takes an int: a long deadline is waited for in slices.
    while (!m_finished && !deadline.hasExpired() && !isEnding()) {
        const qint64 left = deadline.remainingTime(); // -1: never
        bound.start(int(left < 0 ? 60000 : std::min<qint64>(left, 60000)));
        loop.exec();
    }
    m_loop = outer;
    return m_finished;
}

void Wait::finish()
{
    m_finished = true;
    if (m_loop)
        m_loop->quit();
}

void sleepWhileEventsRun(QDeadlineTimer deadline)
{
    Wait().until(deadline);
}

} // namespace app
