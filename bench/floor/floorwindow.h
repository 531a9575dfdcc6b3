#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

// The floor of the benchmarks: a frameless window the notifier's size with three labels, one of them
// refreshed by a one-second timer. Nothing else, so its cost is what any such Qt window costs.
class FloorWindow : public QWidget {
    Q_OBJECT
public:
    FloorWindow();

    QLabel *clockLabel() const { return m_clock; }

private:
    void tick();

    QLabel *m_panel;
    QLabel *m_text;
    QLabel *m_clock;
    QTimer m_timer;
};
