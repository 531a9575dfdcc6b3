#include "app/busreach.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDBusError>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace app {

namespace {

// The first unix: entry of an address list, as (path, abstract); empty when there is none.
std::pair<QByteArray, bool> unixPath(const QString& address)
{
    for (const QString& entry : address.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!entry.startsWith(QLatin1String("unix:")))
            continue;
        for (const QString& pair : entry.mid(5).split(QLatin1Char(','))) {
            const QByteArray value =
                QByteArray::fromPercentEncoding(pair.section(QLatin1Char('='), 1).toUtf8());
            if (pair.startsWith(QLatin1String("path=")))
                return {value, false};
            if (pair.startsWith(QLatin1String("abstract=")))
                return {value, true};
        }
    }
    return {};
}

class Socket {
public:
    Socket() : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Waits for fd to be ready for events, up to the deadline.
bool ready(int fd, short events, const QDeadlineTimer& deadline)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int rc = ::poll(&p, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (rc > 0)
            return true;
        if (rc == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

QString busAddress(QDBusConnection::BusType type)
{
    if (type == QDBusConnection::SystemBus) {
        const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
        return address.isEmpty() ? QStringLiteral("unix:path=/var/run/dbus/system_bus_socket") : address;
    }
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    // libdbus's own default where the session has a runtime directory with a bus in it.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    return {};
}

bool busAnswers(const QString& address, int answerMs, QString *failure)
{
    const auto [path, abstract] = unixPath(address);
    if (path.isEmpty())
        return true;
    const QDeadlineTimer deadline(answerMs);
    Socket socket;
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    const qsizetype offset = abstract ? 1 : 0;
    if (socket.fd() < 0 || path.size() + offset >= qsizetype(sizeof where.sun_path)) {
        *failure = QStringLiteral("cannot reach ") + address;
        return false;
    }
    std::memcpy(where.sun_path + offset, path.constData(), size_t(path.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(offset + path.size()));
    if (::connect(socket.fd(), reinterpret_cast<sockaddr *>(&where), length) != 0 &&
        !(errno == EINPROGRESS && ready(socket.fd(), POLLOUT, deadline))) {
        *failure = address + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // A bare AUTH: any bus answers it at once with the mechanisms it takes, and no login follows.
    static const char kAsk[] = "\0AUTH\r\n";
    if (::send(socket.fd(), kAsk, sizeof kAsk - 1, MSG_NOSIGNAL) != qsizetype(sizeof kAsk - 1)) {
        *failure = address + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    char answer[64];
    if (!ready(socket.fd(), POLLIN, deadline) || ::recv(socket.fd(), answer, sizeof answer, 0) <= 0) {
        *failure = QStringLiteral("%1 did not answer within %2 ms").arg(address).arg(answerMs);
        return false;
    }
    return true;
}

void reachBus(QDBusConnection::BusType type, QObject *receiver, BusReady ready,
              std::function<void(QDBusConnection& bus)> prepare, int answerMs)
{
    QPointer<QObject> guard(receiver);
    const QString address = busAddress(type);
    std::thread([=] {
        QString failure;
        QDBusConnection bus(QStringLiteral("vurk_unreached"));
        if (busAnswers(address, answerMs, &failure)) {
            bus = type == QDBusConnection::SystemBus ? QDBusConnection::systemBus()
                                                     : QDBusConnection::sessionBus();
            if (!bus.isConnected())
                failure = bus.lastError().message();
            else if (prepare)
                prepare(bus);
        }
        // The program may be ending: then nobody is left to hand the bus to.
        QCoreApplication *application = QCoreApplication::instance();
        if (!application)
            return;
        QMetaObject::invokeMethod(
            application,
            [guard, ready, bus, failure] {
                if (guard)
                    ready(bus, failure);
            },
            Qt::QueuedConnection);
    }).detach();
}

SessionBusProbe::SessionBusProbe(int answerMs)
    : m_thread([this, answerMs] {
          const QString address = busAddress(QDBusConnection::SessionBus);
          m_answered = busAnswers(address, answerMs, &m_failure);
      })
{
}

bool SessionBusProbe::answered(QString *failure)
{
    if (m_thread.joinable())
        m_thread.join();
    *failure = m_failure;
    return m_answered;
}

namespace {

// A bus address that fails at once: nothing can listen on a device node.
constexpr char kNoBus[] = "unix:path=/dev/null";

struct Quiet {
    const char *name;
    const char *value;            // set to this while quiet when the user has not set it; nullptr: unset
    QByteArrayList onlyFrom = {}; // unset only from these values (empty: from any)
};

const Quiet kQuiet[] = {
    {"AT_SPI_BUS_ADDRESS", kNoBus}, // Qt's bridge and GTK's take it instead of asking the session bus
    {"NO_AT_BRIDGE", "1"},          // GTK leaves its bridge unloaded
    {"IBUS_USE_PORTAL", nullptr},   // IBus is then reached on its own bus, not through the portal
    {"QT_IM_MODULE", nullptr, {"fcitx", "fcitx5"}}, // Fcitx lives on the session bus
    {"QT_QPA_PLATFORMTHEME", nullptr, {"xdgdesktopportal", "flatpak", "snap"}},
};

} // namespace

QuietSessionBus::QuietSessionBus()
{
    for (const Quiet& quiet : kQuiet) {
        const bool set = qEnvironmentVariableIsSet(quiet.name);
        const QByteArray was = qgetenv(quiet.name);
        if (quiet.value && !set)
            qputenv(quiet.name, quiet.value);
        else if (!quiet.value && set && (quiet.onlyFrom.isEmpty() || quiet.onlyFrom.contains(was)))
            qunsetenv(quiet.name);
        else
            continue;
        m_changed.append({quiet.name, set ? std::optional(was) : std::nullopt});
    }
}

void QuietSessionBus::end()
{
    if (m_changed.isEmpty())
        return;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QAccessible::isActive();
    for (const auto& [name, was] : std::as_const(m_changed)) {
        if (was)
            qputenv(name.constData(), *was);
        else
            qunsetenv(name.constData());
    }
    m_changed.clear();
}

} // namespace app
