#pragma once

#include <QObject>
#include <QTimer>

// A timer that ticks while it is enabled and its interval is above zero. Interval 0 stops the
// ticks while the timer stays enabled, which is how checking is switched off.
class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(int interval, bool enabled, QObject *parent = nullptr);

    int interval() const { return m_interval; }
    void setInterval(int milliseconds);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // Whether ticks come at all.
    bool isRunning() const { return m_timer.isActive(); }

    // For a clock: with an interval of a whole number of seconds, each tick comes just after a
    // wall-clock second begins instead of wherever the interval happened to start.
    void setAlignedToSeconds(bool aligned);

signals:
    void tick();

private:
    void restart();
    void onTimeout();

    QTimer m_timer;
    int m_interval;
    bool m_enabled;
    bool m_aligned = false;
};
