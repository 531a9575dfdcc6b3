#include "mailcheck/timer.h"

Timer::Timer(int interval, bool enabled, QObject *parent)
    : QObject(parent), m_interval(interval), m_enabled(enabled)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::tick);
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

void Timer::restart()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}
