#pragma once

#include "app/settingsstore.h"
#include "app/windows.h"
#include "docking/docking.h"
#include "mailcheck/form1.h"
#include "support/ending.h"

#include <QCoreApplication>
#include <QEvent>

namespace testsupport {

// Deletes the windows the program has unloaded and left for the event loop to delete.
inline void destroyUnloaded()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Back to a program that has not started, between two tests: no windows, no save waiting, no
// conversation, no password awaited from the keyring (it goes with Form1), no docking state, no end under
// way, nobody told of settings problems.
inline void resetProgram()
{
    Store::discardPending();
    Store::setProblemHandler({});
    unloadAllWindows();
    destroyUnloaded();
    popState.clear();
    Docking::resetDockingState();
    resetEnding();
}

} // namespace testsupport
