#include "app/lifecycle.h"

#include <QCoreApplication>

namespace app {

static bool s_ending = false;

bool isEnding()
{
    return s_ending;
}

bool saveIsClosed()
{
    return s_ending;
}

void endProgram(int exitCode)
{
    if (s_ending)
        return;
    s_ending = true;
    // Leaves every running event loop, nested ones included; loops started later return at once.
    QCoreApplication::exit(exitCode);
}

void resetEnding()
{
    s_ending = false;
}

} // namespace app
