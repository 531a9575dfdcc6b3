#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <cstdio>
#include <cstdlib>

// What every fuzz target starts with: an offscreen application created once, and a private
// settings directory, so a run never touches the user's own settings.
namespace fuzzsupport {

inline QString& privateDir()
{
    static QString dir;
    return dir;
}

inline void removePrivateDir()
{
    if (!privateDir().isEmpty())
        QDir(privateDir()).removeRecursively();
}

inline void startApplication(bool widgets)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    // Memory beats disk for a file rewritten millions of times. A crash skips the clean-up, so the
    // scripts name a folder of their own to remove afterwards.
    QByteArray base = qgetenv("VURK_FUZZ_TMP");
    if (base.isEmpty())
        base = QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm" : "/tmp";
    QByteArray pattern = base + "/vurk-fuzz.XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    privateDir() = QString::fromLocal8Bit(pattern);
    qputenv("XDG_CONFIG_HOME", pattern + "/config");
    qputenv("XDG_RUNTIME_DIR", pattern + "/runtime");
    QDir().mkpath(privateDir() + QStringLiteral("/runtime"));
    QFile::setPermissions(privateDir() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    std::atexit(removePrivateDir);

    static int argc = 1;
    static char name[] = "vurk_fuzz";
    static char *argv[] = {name, nullptr};
    // Kept for the whole process: tearing Qt down inside exit handlers gains nothing.
    static QCoreApplication *application =
        widgets ? new QApplication(argc, argv) : new QCoreApplication(argc, argv);
    Q_UNUSED(application);
    QCoreApplication::setApplicationName(QStringLiteral("vurk_mailchecker"));
}

// A broken property is a finding: say which, then crash so libFuzzer keeps the input.
#define FUZZ_REQUIRE(condition, ...)                                                                         \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "property broken: %s\n", #condition);                                       \
            std::fprintf(stderr, __VA_ARGS__);                                                               \
            std::fputc('\n', stderr);                                                                        \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

} // namespace fuzzsupport
