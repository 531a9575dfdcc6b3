#include "docking/mydoevents.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

namespace mdlMyDoevents {

void MyDoEvents()
{
    QAbstractEventDispatcher *dispatcher = QThread::currentThread()->eventDispatcher();
    if (!dispatcher)
        return;
    // Events that handlers post meanwhile are handled in the same call. The bound only keeps a
    // zero-interval timer from holding the caller forever.
    for (int round = 0; round < 10000; ++round) {
        QCoreApplication::sendPostedEvents();
        if (!dispatcher->processEvents(QEventLoop::AllEvents))
            break;
    }
}

} // namespace mdlMyDoevents
