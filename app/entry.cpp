#include "app/entry.h"

#include "app/busreach.h"
#include "app/fontwarmup.h"
#include "app/log.h"
#include "app/module1.h"
#include "app/sessionend.h"
#include "app/testseams.h"
#include "app/windows.h"
#include "version.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <optional>

namespace app {

namespace {

const char kHelp[] = "Usage: vurk_mailchecker [--help] [--version]\n"
                     "A small desktop notifier that checks one POP3 account every minute.\n"
                     "Right-click the notifier window for its settings.\n";

// Options are answered before anything touches the settings or the instance lock.
bool answerOption(int argc, char *argv[], int& exitCode)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            exitCode = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("vurk_mailchecker %s\n", VURK_VERSION);
            exitCode = 0;
            return true;
        }
    }
    return false;
}

// A program cannot place its own window on Wayland; run on X11 (XWayland) where it is there.
void preferX11()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

// A session bus at start-up answers within this or is taken as frozen for the start.
constexpr int kSessionBusStartMs = 1000;

} // namespace

int run(int argc, char *argv[])
{
    int exitCode = 0;
    if (answerOption(argc, argv, exitCode))
        return exitCode;
    preferX11();
    seams::announceActiveKnobs();
    SessionBusProbe sessionBus(kSessionBusStartMs);
    FontWarmUp fonts;
    std::optional<QuietSessionBus> quiet;
    if (QString failure; !sessionBus.answered(&failure)) {
        tell(failure + QStringLiteral(
                           ": starting without it (no accessibility, nor input method or theme through it)"));
        fonts.join(); // fontconfig reads the environment that is about to change
        quiet.emplace();
    }
    QApplication application(argc, argv);
    quiet.reset();
    QApplication::setApplicationName(QStringLiteral("vurk_mailchecker"));
    QApplication::setApplicationVersion(QStringLiteral(VURK_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    watchSessionEnd();
    fonts.join();
    if (!Module1::Main())
        return 0;
    startUpFinished();
    Module1::watchAfterFirstPaint();
    exitCode = QApplication::exec();
    unloadAllWindows();
    return exitCode;
}

} // namespace app
