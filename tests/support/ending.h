#pragma once

#include "app/lifecycle.h"

#include <QCoreApplication>
#include <QTimer>

namespace testsupport {

// Lets a test go on after the program "ended": besides the program's own flag, Qt keeps every
// later event loop from running until the main loop has run and returned once.
inline void resetEnding()
{
    if (app::isEnding()) {
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    app::resetEnding();
}

} // namespace testsupport
