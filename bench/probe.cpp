// The in-process measurements of bench/run. Each mode prints "key value" lines that bench/run reads.
//
//   vurk_bench serve COUNT SECONDS     a fake POP3 server for the program run from outside; prints its port
//   vurk_bench settings PORT           writes a settings file (XDG_CONFIG_HOME) for an account on it
//   vurk_bench alerts N                N checks that find mail: greeting-to-QUIT time, CPU of the alert
//   vurk_bench relay PORT N USER PASS  N checks against a real server on that loopback port
//   vurk_bench headers PORT N USER PASS N checks against a real server with the senders and subjects
//                                      off and on in turn (five new headers each time)
//   vurk_bench soak N                  N checks with every kind of reply: memory and descriptors after
//   vurk_bench clock notifier|floor S  how late the clock line shows each new second, over S seconds
//   vurk_bench program S               the whole program as shipped, ended cleanly after S seconds (for
//                                      heaptrack and perf, which need a normal end)
//   vurk_bench notice N                N new-mail notifications to the session bus's notification server
//   vurk_bench sound N                 N event sounds through libcanberra to the sound server
//
// The checks run the program's own handlers (the check tick, the socket, the blink and the shake) in
// this process under the X server of bench/run; the fake server runs on a thread of its own.

#include "app/entry.h"
#include "app/module1.h"
#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "fakepop3.h"
#include "floor/floorwindow.h"
#include "mailcheck/form1.h"
#include "mailcheck/seenids.h"
#include "mailcheck/timer.h"
#include "notifier/desktopnotice.h"
#include "notifier/eventsound.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "scramble/encrypt.h"

#include <QAbstractNativeEventFilter>
#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

using bench::FakePop3;
using bench::processCpuNs;
using bench::Script;

const char *const kColours[4] = {"0", "12500400", "16304788", "16737380"};

double ms(int64_t ns)
{
    return double(ns) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double maximum(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// A field of /proc/self/status in kB.
long statusKb(const char *key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return std::atol(line.c_str() + n + 1);
    }
    return -1;
}

QStringList openDescriptors()
{
    QStringList targets;
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return targets;
    while (dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.' || atoi(entry->d_name) == dirfd(dir))
            continue;
        char target[512] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        if (readlink(path.c_str(), target, sizeof target - 1) < 0)
            continue;
        targets << QString::fromLatin1(entry->d_name) + QStringLiteral(" -> ") +
                       QString::fromLocal8Bit(target);
    }
    closedir(dir);
    return targets;
}

// A port nothing listens on: bound, never listened, closed.
int deadPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

void put(const char *key, double value)
{
    std::printf("%s %.3f\n", key, value);
    std::fflush(stdout);
}

// Wall and CPU times of repeated rounds; the first also connects or loads, so it is kept apart.
struct Rounds {
    double first = 0;
    std::vector<double> walls, cpus;

    void add(int round, double wall, double cpu)
    {
        if (round == 0) {
            first = wall;
            return;
        }
        walls.push_back(wall);
        cpus.push_back(cpu);
    }
    void put(const std::string& name) const
    {
        ::put((name + "_first_ms").c_str(), first);
        ::put((name + "_median_ms").c_str(), median(walls));
        ::put((name + "_cpu_median_ms").c_str(), median(cpus));
    }
};

// Runs the event loop until done() holds or the time is up. The loop is quit from wherever done()
// turns true, nested loops included; it returns once those have unwound, so an alert is over.
class Waiter {
public:
    static Waiter *current;
    static std::mutex mutex;

    // From any thread: look again.
    static void wake()
    {
        std::lock_guard lock(mutex);
        if (current)
            QMetaObject::invokeMethod(
                &current->m_context, [w = current] { w->check(); }, Qt::QueuedConnection);
    }

    static bool until(const std::function<bool()>& done, int timeoutMs, int pollMs = 0)
    {
        if (done())
            return true;
        Waiter waiter(done);
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &waiter.m_loop, &QEventLoop::quit);
        deadline.start(timeoutMs);
        QTimer poll;
        if (pollMs > 0) {
            QObject::connect(&poll, &QTimer::timeout, &waiter.m_context, [&waiter] { waiter.check(); });
            poll.start(pollMs);
        }
        waiter.m_loop.exec();
        return done();
    }

    // From the main thread, inside or outside nested loops.
    static void checkNow()
    {
        if (current)
            current->check();
    }

private:
    explicit Waiter(const std::function<bool()>& done) : m_done(done)
    {
        std::lock_guard lock(mutex);
        m_outer = current;
        current = this;
    }
    ~Waiter()
    {
        std::lock_guard lock(mutex);
        current = m_outer;
    }
    void check()
    {
        if (m_done())
            m_loop.quit();
    }

    const std::function<bool()>& m_done;
    QEventLoop m_loop;
    QObject m_context;
    Waiter *m_outer = nullptr;
};
Waiter *Waiter::current = nullptr;
std::mutex Waiter::mutex;

// The notifier as start-up leaves it, without the first check: account on a loopback port, default
// colours, window shown. The check timer is stopped; the benchmark starts every check itself.
void prepareNotifier(int port, const QString& user, const QString& password, bool shake, bool beep)
{
    Form1& f1 = form1();
    f1.Timer1->setInterval(0);
    for (int i = 0; i < 4; ++i)
        form4().Colour[size_t(i)]->setText(QLatin1String(kColours[i]));
    f1.Text1->setText(QStringLiteral("127.0.0.1"));
    f1.Text2->setText(user);
    f1.Text3->setText(password);
    f1.Text4->setText(QString::number(port));
    form3().shindou->setChecked(shake);
    form3().checkbeep->setChecked(beep);
    Module1::connectAlerts();
    Form2& f2 = form2();
    f2.Label1->setText(QStringLiteral("Not Found e-Mail"));
    f2.show();
    Waiter::until([] { return false; }, 300); // mapped and painted
}

struct CheckRun {
    bool finished = false;
    int64_t cpuStartNs = 0; // the process less the server thread, when the check began
    QString outcome;
    double cpuMs = 0;
    double wallMs = 0;
};

// One check through the check tick, to its end: the result written, and the shake over when one is due.
CheckRun runCheck(FakePop3 *server, bool expectShake, int timeoutMs)
{
    CheckRun run;
    bool finished = false;
    int shakes = 0;
    expectShake = expectShake && form3().shindou->isChecked();
    const auto shaken = QObject::connect(&form1(), &Form1::shakeFinished, [&] {
        ++shakes;
        Waiter::checkNow();
    });
    const auto done = QObject::connect(&form1(), &Form1::checkFinished, [&](const QString& outcome) {
        finished = true;
        run.outcome = outcome;
        Waiter::checkNow();
    });
    const int64_t cpu0 = processCpuNs() - (server ? server->cpuNs() : 0);
    const int64_t wall0 = bench::monotonicNs();
    run.cpuStartNs = cpu0;
    form1().Timer1_Timer();
    run.finished = Waiter::until(
        [&] { return finished && (shakes > 0 || !expectShake) && !form1().Timer2->isEnabled(); }, timeoutMs);
    run.wallMs = ms(bench::monotonicNs() - wall0);
    run.cpuMs = ms(processCpuNs() - (server ? server->cpuNs() : 0) - cpu0);
    QObject::disconnect(shaken);
    QObject::disconnect(done);
    return run;
}

double sessionLatencyMs(const bench::Session& s)
{
    return s.greetingNs && s.quitNs ? ms(s.quitNs - s.greetingNs) : -1;
}

// With VURK_BENCH_XEVENTS set, counts the X events the program receives, by type, to find the cost
// of an alert.
class XEventCount : public QAbstractNativeEventFilter {
public:
    std::map<int, int> counts;
    std::map<xcb_atom_t, int> properties;
    bool nativeEventFilter(const QByteArray& type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<xcb_generic_event_t *>(message);
        ++counts[event->response_type & 0x7f];
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
            ++properties[reinterpret_cast<const xcb_property_notify_event_t *>(event)->atom];
        return false;
    }
    void report(const char *what)
    {
        std::fprintf(stderr, "  X events during %s:", what);
        for (const auto& [kind, n] : counts)
            std::fprintf(stderr, " type %d: %d;", kind, n);
        std::fputc('\n', stderr);
        auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        for (const auto& [atom, n] : properties) {
            xcb_get_atom_name_reply_t *name = xcb_get_atom_name_reply(
                x11->connection(), xcb_get_atom_name(x11->connection(), atom), nullptr);
            std::fprintf(stderr, "    property %.*s: %d\n", name ? xcb_get_atom_name_name_length(name) : 0,
                         name ? xcb_get_atom_name_name(name) : "", n);
            std::free(name);
        }
        counts.clear();
        properties.clear();
    }
};

// Checks that find mail, each a full alert: beep (the count changes every time), shake and blink.
int alerts(int count)
{
    FakePop3 server;
    server.setOnEvent(&Waiter::wake);
    // VURK_BENCH_SHAKE=0 leaves the shake out, to tell its share of the cost.
    const bool shake = qEnvironmentVariableIntValue("VURK_BENCH_SHAKE") != 0 ||
                       !qEnvironmentVariableIsSet("VURK_BENCH_SHAKE");
    prepareNotifier(server.port(), QStringLiteral("bench"), QStringLiteral("bench"), shake, true);
    std::vector<double> latencies, cpus, walls;
    std::unique_ptr<XEventCount> xevents;
    if (qEnvironmentVariableIsSet("VURK_BENCH_XEVENTS")) {
        xevents = std::make_unique<XEventCount>();
        qApp->installNativeEventFilter(xevents.get());
    }
    // What the program costs meanwhile anyway (the clock), to tell the alert's own share.
    const int64_t idleCpu0 = processCpuNs() - server.cpuNs();
    const int64_t idleWall0 = bench::monotonicNs();
    Waiter::until([] { return false; }, 4000);
    const double idleRate =
        double(processCpuNs() - server.cpuNs() - idleCpu0) / double(bench::monotonicNs() - idleWall0);
    std::vector<double> nets;
    for (int i = -1; i < count; ++i) { // the first one warms up
        server.setScript(Script::Count, 3 + (i & 1));
        const size_t index = server.sessionCount();
        const CheckRun run = runCheck(&server, true, 15000);
        const auto sessions = server.sessions();
        const double latency = index < sessions.size() ? sessionLatencyMs(sessions[index]) : -1;
        std::fprintf(stderr, "check %d: greeting-to-QUIT %.3f ms, cpu %.2f ms, wall %.0f ms, %s\n", i,
                     latency, run.cpuMs, run.wallMs, qPrintable(run.outcome));
        if (xevents)
            xevents->report("the alert");
        if (!run.finished || latency < 0) {
            std::fprintf(stderr, "alerts: check %d did not finish as expected\n", i);
            return 1;
        }
        if (i < 0)
            continue;
        latencies.push_back(latency);
        cpus.push_back(run.cpuMs);
        nets.push_back(run.cpuMs - idleRate * run.wallMs);
        walls.push_back(run.wallMs);
    }
    put("latency_median_ms", median(latencies));
    put("latency_max_ms", maximum(latencies));
    put("alert_cpu_median_ms", median(cpus));
    put("alert_cpu_max_ms", maximum(cpus));
    put("alert_cpu_net_median_ms", median(nets));
    put("idle_cpu_ms_per_s", idleRate * 1000);
    put("alert_wall_median_ms", median(walls));
    return 0;
}

// Checks against a real server through a relay that stamps the greeting and the QUIT.
int relay(int upstreamPort, int count, const QString& user, const QString& password)
{
    FakePop3 server(upstreamPort);
    server.setOnEvent(&Waiter::wake);
    prepareNotifier(server.port(), user, password, false, false);
    std::vector<double> latencies, cpus, toQuit, sent, received;
    for (int i = -2; i < count; ++i) { // the first two let the server build its indexes
        const size_t index = server.sessionCount();
        const CheckRun run = runCheck(&server, false, 60000);
        const auto sessions = server.sessions();
        const double latency = index < sessions.size() ? sessionLatencyMs(sessions[index]) : -1;
        const double cpuToQuit = index < sessions.size() && sessions[index].clientCpuAtQuitNs
                                     ? ms(sessions[index].clientCpuAtQuitNs - run.cpuStartNs)
                                     : -1;
        std::fprintf(stderr,
                     "check %d: greeting-to-QUIT %.3f ms, cpu to QUIT %.3f ms, cpu with blink %.2f ms, %s\n",
                     i, latency, cpuToQuit, run.cpuMs, qPrintable(run.outcome));
        // Where the time goes: each chunk either way, from the greeting on.
        if (index < sessions.size()) {
            std::string line;
            for (const bench::Session::Chunk& chunk : sessions[index].chunks) {
                std::string head = chunk.head.substr(0, chunk.head.find_first_of("\r\n"));
                if (chunk.from == 'C' && head.rfind("pass ", 0) == 0)
                    head = "pass";
                line += "  " + std::to_string(ms(chunk.ns - sessions[index].greetingNs)).substr(0, 7) + " " +
                        chunk.from + ":" + head;
            }
            std::fprintf(stderr, "   %s\n", line.c_str());
        }
        if (!run.finished || latency < 0) {
            std::fprintf(stderr, "relay: check %d did not reach QUIT\n", i);
            return 1;
        }
        if (i < 0)
            continue;
        latencies.push_back(latency);
        cpus.push_back(run.cpuMs);
        toQuit.push_back(cpuToQuit);
        sent.push_back(double(sessions[index].received.size()));
        received.push_back(double(sessions[index].relayedToClient));
    }
    put("latency_median_ms", median(latencies));
    put("check_cpu_median_ms", median(toQuit));
    put("check_cpu_with_blink_median_ms", median(cpus));
    put("client_bytes_sent", maximum(sent));
    put("client_bytes_received", maximum(received));
    return 0;
}

// The cost of reading five headers: the same checks against a real server with the switch off and on,
// in turn; with it on every check finds the five newest new (the seen ids are forgotten before it).
// Each check is taken from its start to its QUIT and the blink's end, whichever comes later.
int headers(int upstreamPort, int count, const QString& user, const QString& password)
{
    FakePop3 server(upstreamPort);
    server.setOnEvent(&Waiter::wake);
    prepareNotifier(server.port(), user, password, false, false);
    std::vector<double> cpu[2], sent[2], received[2];
    for (int i = -2; i < count; ++i) {
        for (const bool on : {false, true}) {
            form3().checkpreview->setChecked(on);
            QFile::remove(mailcheck::SeenIds::filePath());
            const size_t index = server.sessionCount();
            const int64_t cpu0 = processCpuNs() - server.cpuNs();
            const CheckRun run = runCheck(&server, false, 60000);
            const bool quit = Waiter::until(
                [&] {
                    const auto sessions = server.sessions();
                    return index < sessions.size() && sessions[index].quitNs != 0;
                },
                30000, 5);
            const double cpuMs = ms(processCpuNs() - server.cpuNs() - cpu0);
            const auto sessions = server.sessions();
            if (!run.finished || !quit || index >= sessions.size()) {
                std::fprintf(stderr, "headers: check %d (switch %s) did not reach QUIT\n", i,
                             on ? "on" : "off");
                return 1;
            }
            std::fprintf(stderr, "check %d, switch %s: cpu %.2f ms, sent %zu, received %zu\n", i,
                         on ? "on" : "off", cpuMs, sessions[index].received.size(),
                         sessions[index].relayedToClient);
            if (i < 0)
                continue;
            cpu[on].push_back(cpuMs);
            sent[on].push_back(double(sessions[index].received.size()));
            received[on].push_back(double(sessions[index].relayedToClient));
        }
    }
    put("check_cpu_off_median_ms", median(cpu[0]));
    put("check_cpu_on_median_ms", median(cpu[1]));
    put("client_bytes_sent_off", maximum(sent[0]));
    put("client_bytes_sent_on", maximum(sent[1]));
    put("client_bytes_received_off", maximum(received[0]));
    put("client_bytes_received_on", maximum(received[1]));
    return 0;
}

struct SoakCase {
    Script script;
    long long count;
    bool refused;
};

// Every kind of check, over and over; a check that finds mail (a 3 s alert) only every 50th time.
int soak(int count)
{
    // Lets the silent server's checks end quickly.
    qputenv("VURK_TEST_CONVERSATION_TIMEOUT_MS", "300");
    FakePop3 server;
    server.setOnEvent(&Waiter::wake);
    prepareNotifier(server.port(), QStringLiteral("bench"), QStringLiteral("bench"), true, true);
    const int livePort = server.port();
    const std::vector<SoakCase> cases = {
        {Script::Count, 0, false},    {Script::ErrUser, 0, false},     {Script::SplitCount, 0, false},
        {Script::ErrPass, 0, false},  {Script::Garbage, 0, false},     {Script::ErrStat, 0, false},
        {Script::Overlong, 0, false}, {Script::ErrGreeting, 0, false}, {Script::Drop, 0, false},
        {Script::Count, 0, true},     {Script::Silent, 0, false},      {Script::Count, 0, false},
    };
    const int warmUp = 100;
    long rssWarm = 0;
    QStringList fdsWarm;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        SoakCase c = cases[size_t(i) % cases.size()];
        if (i % 50 == 49)
            c = {Script::Count, 5 + (i / 50) % 3, false};
        server.setScript(c.script, c.count);
        form1().Text4->setText(QString::number(c.refused ? deadPort() : livePort));
        const CheckRun run = runCheck(&server, c.script == Script::Count && c.count > 0 && !c.refused, 10000);
        if (!run.finished && ++failures <= 5)
            std::fprintf(stderr, "soak: check %d (script %d) did not finish\n", i, int(c.script));
        if (i + 1 == warmUp) {
            Waiter::until([] { return false; }, 100); // lets deferred deletes run
            rssWarm = statusKb("VmRSS");
            fdsWarm = openDescriptors();
        }
    }
    Waiter::until([] { return false; }, 100);
    const long rssEnd = statusKb("VmRSS");
    const QStringList fdsEnd = openDescriptors();
    for (const QString& fd : fdsEnd) {
        if (!fdsWarm.contains(fd))
            std::fprintf(stderr, "soak: descriptor left open: %s\n", qPrintable(fd));
    }
    put("checks", count);
    put("unfinished", failures);
    put("rss_warm_kb", double(rssWarm));
    put("rss_end_kb", double(rssEnd));
    put("rss_growth_kb", double(rssEnd - rssWarm));
    put("fds_warm", fdsWarm.size());
    put("fds_end", fdsEnd.size());
    put("sessions", double(server.sessionCount()));
    return 0;
}

// How late the clock line shows each new second: measured when the label paints a new text.
class ClockWatch : public QObject {
public:
    explicit ClockWatch(QLabel *label) : m_label(label) { label->installEventFilter(this); }

    std::vector<double> lateness;
    int skipped = 0;
    int repeated = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint && m_label->text() != m_last) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            const double nowMs = double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
            m_last = m_label->text();
            const QDateTime shown =
                QDateTime::fromString(m_last.right(19), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
            if (shown.isValid()) {
                const qint64 shownMs = shown.toMSecsSinceEpoch();
                if (m_previous != 0) { // the first text was written at an arbitrary moment
                    lateness.push_back(nowMs - double(shownMs));
                    if (shownMs - m_previous > 1000)
                        skipped += int((shownMs - m_previous) / 1000 - 1);
                    if (shownMs - m_previous <= 0)
                        ++repeated;
                }
                m_previous = shownMs;
            }
        }
        return false;
    }

private:
    QLabel *m_label;
    QString m_last;
    qint64 m_previous = 0;
};

int clockAccuracy(const QString& which, int seconds)
{
    std::unique_ptr<FloorWindow> floor;
    QLabel *label = nullptr;
    if (which == QLatin1String("floor")) {
        floor = std::make_unique<FloorWindow>();
        floor->show();
        label = floor->clockLabel();
    } else {
        prepareNotifier(deadPort(), QStringLiteral("bench"), QStringLiteral("bench"), false, false);
        label = form2().Label2;
    }
    ClockWatch watch(label);
    Waiter::until([] { return false; }, seconds * 1000);
    std::vector<double> late = watch.lateness;
    std::sort(late.begin(), late.end());
    put("samples", double(late.size()));
    put("late_median_ms", median(late));
    put("late_p95_ms", late.empty() ? 0 : late[size_t(double(late.size() - 1) * 0.95)]);
    put("late_max_ms", maximum(late));
    put("skipped", watch.skipped);
    put("repeated", watch.repeated);
    return 0;
}

// One Notify call as the program sends it, to its answer: wall and CPU time. The first reaches the bus
// too, so it is shown on its own; each later one replaces the one before, as the program's do.
int notices(int count)
{
    Rounds rounds;
    uint id = 0;
    for (int i = 0; i <= count; ++i) {
        const QDBusMessage message = notifier::noticeMessage(
            id, QString::number(i + 1),
            notifier::noticeBody(QStringLiteral("bench"), QStringLiteral("127.0.0.1"), true));
        const int64_t cpu0 = processCpuNs();
        const int64_t wall0 = bench::monotonicNs();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(message);
        const double wall = ms(bench::monotonicNs() - wall0);
        const double cpu = ms(processCpuNs() - cpu0);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            std::fprintf(stderr, "notice: %s\n", qPrintable(reply.errorMessage()));
            return 1;
        }
        id = reply.arguments().first().toUInt();
        rounds.add(i, wall, cpu);
    }
    rounds.put("notice");
    return 0;
}

// One event sound through the program's own player, until libcanberra returns: the first loads the
// library, connects and decodes the sound, so it is shown on its own.
int sounds(int count)
{
    int bells = 0;
    notifier::EventSound sound(QByteArrayLiteral("libcanberra.so.0"), [&bells] { ++bells; });
    Rounds rounds;
    for (int i = 0; i <= count; ++i) {
        const int64_t cpu0 = processCpuNs();
        const int64_t wall0 = bench::monotonicNs();
        const notifier::SoundOutcome outcome = sound.play();
        const double wall = ms(bench::monotonicNs() - wall0);
        const double cpu = ms(processCpuNs() - cpu0);
        if (outcome != notifier::SoundOutcome::Played) {
            std::fprintf(stderr, "sound: not played (%d X bells)\n", bells);
            return 1;
        }
        // Apart, as beeps are; the sounds themselves play on in the server meanwhile.
        Waiter::until([] { return false; }, 100);
        rounds.add(i, wall, cpu);
    }
    rounds.put("sound");
    return 0;
}

int serve(long long count, int seconds)
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr); // before the server thread starts, so it inherits
    FakePop3 server;
    server.setScript(Script::Count, count);
    std::printf("%d\n", server.port());
    std::fflush(stdout);
    const timespec bound{seconds, 0};
    sigtimedwait(&stopSignals, nullptr, &bound);
    std::fprintf(stderr, "serve: %zu sessions\n", server.sessionCount());
    return 0;
}

int writeSettings(int port)
{
    const QString path = Store::filePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(Store::Key::path(Store::Key::server), QStringLiteral("127.0.0.1"));
    settings.setValue(Store::Key::path(Store::Key::user), QStringLiteral("bench"));
    settings.setValue(Store::Key::path(Store::Key::pass), Encrypt::EncodePassword(QStringLiteral("bench")));
    settings.setValue(Store::Key::path(Store::Key::port), QString::number(port));
    settings.setValue(Store::Key::path(Store::Key::shindou), QStringLiteral("True"));
    settings.setValue(Store::Key::path(Store::Key::checkbeep), QStringLiteral("True"));
    settings.sync();
    return settings.status() == QSettings::NoError ? 0 : 1;
}

int usage()
{
    std::fputs("usage: vurk_bench serve COUNT SECONDS | settings PORT | alerts N | relay PORT N USER PASS"
               " | headers PORT N USER PASS"
               " | soak N | clock notifier|floor SECONDS | notice N | sound N\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2)
        return usage();
    const std::string mode = argv[1];
    const auto arg = [&](int i) { return i < argc ? std::atoll(argv[i]) : 0LL; };
    if (mode == "serve" && argc == 4)
        return serve(arg(2), int(arg(3)));
    if (mode == "program" && argc == 3) {
        const int seconds = int(arg(2));
        std::thread stopper([seconds] {
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            if (QCoreApplication *app = QCoreApplication::instance())
                QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
        });
        stopper.detach();
        char *programArgv[] = {argv[0], nullptr};
        int programArgc = 1;
        return app::run(programArgc, programArgv);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vurk_mailchecker"));
    QApplication::setQuitOnLastWindowClosed(false);
    int rc = 2;
    if (mode == "settings" && argc == 3)
        return writeSettings(int(arg(2)));
    if (mode == "alerts" && argc == 3)
        rc = alerts(int(arg(2)));
    else if (mode == "relay" && argc == 6)
        rc =
            relay(int(arg(2)), int(arg(3)), QString::fromLocal8Bit(argv[4]), QString::fromLocal8Bit(argv[5]));
    else if (mode == "headers" && argc == 6)
        rc = headers(int(arg(2)), int(arg(3)), QString::fromLocal8Bit(argv[4]),
                     QString::fromLocal8Bit(argv[5]));
    else if (mode == "soak" && argc == 3)
        rc = soak(int(arg(2)));
    else if (mode == "notice" && argc == 3)
        rc = notices(int(arg(2)));
    else if (mode == "sound" && argc == 3)
        rc = sounds(int(arg(2)));
    else if (mode == "clock" && argc == 4)
        rc = clockAccuracy(QString::fromLatin1(argv[2]), int(arg(3)));
    else
        return usage();
    unloadAllWindows();
    return rc;
}
