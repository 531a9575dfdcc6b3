#include "floor/floorwindow.h"

#include <QDateTime>
#include <QLabel>

FloorWindow::FloorWindow()
{
    setWindowTitle(QStringLiteral("vurk floor"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(121, 37);

    m_panel = new QLabel(this);
    m_panel->setGeometry(7, 5, 107, 27);
    m_panel->setAutoFillBackground(true);
    m_text = new QLabel(QStringLiteral("Not Found e-Mail"), this);
    m_text->setGeometry(8, 6, 107, 15);
    m_clock = new QLabel(this);
    m_clock->setGeometry(8, 18, 108, 13);

    connect(&m_timer, &QTimer::timeout, this, &FloorWindow::tick);
    m_timer.start(1000);
    tick();
}

void FloorWindow::tick()
{
    m_clock->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
}
