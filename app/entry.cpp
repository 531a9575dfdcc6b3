#include "app/entry.h"

#include "app/fontwarmup.h"
#include "app/module1.h"
#include "app/sessionend.h"
#include "app/testseams.h"
#include "app/windows.h"
#include "mailcheck/recheck.h"
#include "notifier/form2.h"
#include "version.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

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

// Runs work once, after the window's first paint: what is needed only later must not hold up the
// notifier's first appearance.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWidget *window, std::function<void()> work) : QObject(window), m_work(std::move(work))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued, so the paint itself and its flush to the screen come first.
            QTimer::singleShot(0, QCoreApplication::instance(), std::move(m_work));
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_work;
};

} // namespace

int run(int argc, char *argv[])
{
    int exitCode = 0;
    if (answerOption(argc, argv, exitCode))
        return exitCode;
    preferX11();
    seams::announceActiveKnobs();
    FontWarmUp fonts;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vurk_mailchecker"));
    QApplication::setApplicationVersion(QStringLiteral(VURK_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    watchSessionEnd();
    fonts.join();
    if (!Module1::Main())
        return 0;
    startUpFinished();
    new AfterFirstPaint(&form2(), &mailcheck::watchForRechecks);
    exitCode = QApplication::exec();
    unloadAllWindows();
    return exitCode;
}

} // namespace app
