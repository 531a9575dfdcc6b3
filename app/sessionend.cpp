#include "app/sessionend.h"

#include "app/lifecycle.h"
#include "app/windows.h"
#include "notifier/form2.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace app {

namespace {

const int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int s_pipe[2] = {-1, -1};
bool s_started = false;

// Only async-signal-safe work here: the event loop picks the byte up.
void onSignal(int signal)
{
    const int savedErrno = errno;
    const char byte = char(signal);
    if (::write(s_pipe[1], &byte, 1) < 0) {
        // A full pipe already holds a request to end.
    }
    errno = savedErrno;
}

void signalArrived()
{
    char byte = 0;
    while (::read(s_pipe[0], &byte, 1) == 1) {
        if (!s_started) {
            // Nothing to save yet: end the way the signal would have ended the program.
            std::signal(byte, SIG_DFL);
            std::raise(byte);
            return;
        }
        endSession();
    }
}

} // namespace

void watchSessionEnd()
{
    if (s_pipe[0] >= 0 || ::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, qGuiApp);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { signalArrived(); });

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);

#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, qGuiApp, [](QSessionManager&) {
        if (s_started)
            endSession();
    });
#endif
}

void startUpFinished()
{
    s_started = true;
}

void endSession()
{
    if (isEnding())
        return;
    int cancel = 0;
    form2().Form_QueryUnload(cancel, notifier::UnloadAppWindows);
    endProgram();
}

} // namespace app
