#include "mailcheck/timer.h"

#include "app/clock.h"

#include <QDateTime>

Timer::Timer(int interval, bool enabled, QObject *parent)
    : QObject(parent), m_interval(interval), m_enabled(enabled)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::onTimeout);
    restart();
}

void Timer::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    restart();
}

void Timer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    restart();
}

void Timer::setAlignedToSeconds(bool aligned)
{
    m_aligned = aligned;
    restart();
}

void Timer::restart()
{
    if (!m_enabled || m_interval <= 0) {
        m_timer.stop();
        return;
    }
    if (m_aligned && m_interval % 1000 == 0) {
        // Re-armed at every tick from the wall clock, so a late tick never shifts the next one.
        const int msOfSecond = int(QDateTime::currentMSecsSinceEpoch() % 1000);
        m_timer.setSingleShot(true);
        m_timer.start(app::msUntilNextSecond(msOfSecond) + m_interval - 1000);
        return;
    }
    m_timer.setSingleShot(false);
    m_timer.start(m_interval);
}

void Timer::onTimeout()
{
    if (m_timer.isSingleShot())
        restart();
    emit tick();
}
