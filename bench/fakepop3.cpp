#include "fakepop3.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t processCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

namespace {

int loopbackSocket()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    return address;
}

void sendAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

bool startsWithCommand(const std::string& line, const char *command)
{
    const size_t n = std::strlen(command);
    if (line.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != command[i])
            return false;
    }
    return true;
}

} // namespace

struct FakePop3::Connection {
    int fd = -1;
    int upstream = -1;
    size_t session = 0;
    Script script = Script::Count;
    long long count = 0;
    std::string pending; // client bytes not yet ending in LF
    std::string scan;    // relay: the tail of client bytes, to find "quit"
    bool done = false;
};

FakePop3::FakePop3(int upstreamPort) : m_upstreamPort(upstreamPort)
{
    m_listen = loopbackSocket();
    const sockaddr_in address = loopback(0);
    ::bind(m_listen, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    ::listen(m_listen, 16);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&bound), &length);
    m_port = ntohs(bound.sin_port);
    if (::pipe2(m_wake, O_CLOEXEC) != 0)
        m_wake[0] = m_wake[1] = -1;
    m_thread = std::thread([this] { serve(); });
}

FakePop3::~FakePop3()
{
    const char stop = 's';
    if (::write(m_wake[1], &stop, 1) != 1)
        ::shutdown(m_listen, SHUT_RDWR);
    m_thread.join();
    for (Connection *conn : m_connections) {
        ::close(conn->fd);
        if (conn->upstream >= 0)
            ::close(conn->upstream);
        delete conn;
    }
    ::close(m_listen);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void FakePop3::setScript(Script script, long long count)
{
    std::lock_guard lock(m_mutex);
    m_script = script;
    m_count = count;
}

void FakePop3::setOnEvent(std::function<void()> callback)
{
    std::lock_guard lock(m_mutex);
    m_onEvent = std::move(callback);
}

std::vector<Session> FakePop3::sessions() const
{
    std::lock_guard lock(m_mutex);
    return m_sessions;
}

size_t FakePop3::sessionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_sessions.size();
}

int64_t FakePop3::cpuNs() const
{
    clockid_t clock{};
    if (pthread_getcpuclockid(const_cast<std::thread&>(m_thread).native_handle(), &clock) != 0)
        return 0;
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void FakePop3::notify()
{
    std::function<void()> callback;
    {
        std::lock_guard lock(m_mutex);
        callback = m_onEvent;
    }
    if (callback)
        callback();
}

void FakePop3::serve()
{
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({m_wake[0], POLLIN, 0});
        fds.push_back({m_listen, POLLIN, 0});
        for (Connection *conn : m_connections) {
            fds.push_back({conn->fd, POLLIN, 0});
            if (conn->upstream >= 0)
                fds.push_back({conn->upstream, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents)
            return;
        if (fds[1].revents)
            accept();
        size_t i = 2;
        for (Connection *conn : std::vector<Connection *>(m_connections)) {
            if (i >= fds.size())
                break;
            const bool clientReady = fds[i++].revents != 0;
            const bool upstreamReady = conn->upstream >= 0 && fds[i++].revents != 0;
            if (!conn->done && clientReady && !onClientData(*conn))
                finish(*conn);
            if (!conn->done && upstreamReady && !onUpstreamData(*conn))
                finish(*conn);
        }
        const auto gone = std::remove_if(m_connections.begin(), m_connections.end(), [](Connection *conn) {
            if (!conn->done)
                return false;
            delete conn;
            return true;
        });
        m_connections.erase(gone, m_connections.end());
    }
}

void FakePop3::accept()
{
    const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto *conn = new Connection;
    conn->fd = fd;
    {
        std::lock_guard lock(m_mutex);
        conn->script = m_script;
        conn->count = m_count;
        conn->session = m_sessions.size();
        m_sessions.emplace_back();
    }
    m_connections.push_back(conn);

    if (m_upstreamPort != 0) {
        conn->upstream = loopbackSocket();
        const sockaddr_in address = loopback(m_upstreamPort);
        if (::connect(conn->upstream, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
            finish(*conn);
        return;
    }
    switch (conn->script) {
    case Script::Silent:
        return;
    case Script::ErrGreeting:
        sendAll(fd, "-ERR not today\r\n");
        break;
    default:
        sendAll(fd, "+OK fake POP3 ready\r\n");
        break;
    }
    {
        std::lock_guard lock(m_mutex);
        m_sessions[conn->session].greetingNs = monotonicNs();
    }
    if (conn->script == Script::Drop)
        finish(*conn);
}

bool FakePop3::onClientData(Connection& conn)
{
    char buffer[8192];
    const ssize_t n = ::recv(conn.fd, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    const std::string data(buffer, size_t(n));
    {
        std::lock_guard lock(m_mutex);
        m_sessions[conn.session].received += data;
        m_sessions[conn.session].chunks.push_back({monotonicNs(), 'C', data.substr(0, 12)});
    }
    if (conn.upstream >= 0) {
        sendAll(conn.upstream, data);
        conn.scan += data;
        std::string lower = conn.scan;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return char(std::tolower(ch)); });
        if (lower.find("quit\r\n") != std::string::npos || lower.find("quit\n") != std::string::npos) {
            {
                std::lock_guard lock(m_mutex);
                if (m_sessions[conn.session].quitNs == 0) {
                    m_sessions[conn.session].quitNs = monotonicNs();
                    m_sessions[conn.session].clientCpuAtQuitNs = processCpuNs() - threadCpuNs();
                }
            }
            notify();
        }
        if (conn.scan.size() > 16)
            conn.scan.erase(0, conn.scan.size() - 16);
        return true;
    }
    conn.pending += data;
    size_t end;
    while (!conn.done && (end = conn.pending.find('\n')) != std::string::npos) {
        const std::string line = conn.pending.substr(0, end + 1);
        conn.pending.erase(0, end + 1);
        answer(conn, line);
    }
    return !conn.done;
}

bool FakePop3::onUpstreamData(Connection& conn)
{
    char buffer[8192];
    const ssize_t n = ::recv(conn.upstream, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    const std::string data(buffer, size_t(n));
    sendAll(conn.fd, data);
    std::lock_guard lock(m_mutex);
    Session& session = m_sessions[conn.session];
    if (session.greetingNs == 0)
        session.greetingNs = monotonicNs();
    session.relayedToClient += data.size();
    session.chunks.push_back({monotonicNs(), 'S', data.substr(0, 12)});
    return true;
}

void FakePop3::answer(Connection& conn, const std::string& line)
{
    const Script s = conn.script;
    if (startsWithCommand(line, "quit")) {
        {
            std::lock_guard lock(m_mutex);
            m_sessions[conn.session].quitNs = monotonicNs();
            m_sessions[conn.session].clientCpuAtQuitNs = processCpuNs() - threadCpuNs();
        }
        sendAll(conn.fd, "+OK bye\r\n");
        finish(conn);
        return;
    }
    if (startsWithCommand(line, "user ")) {
        if (s == Script::ErrUser)
            sendAll(conn.fd, "-ERR no such user\r\n");
        else if (s == Script::Garbage)
            sendAll(conn.fd, "what did you say?\r\n");
        else if (s == Script::Overlong)
            sendAll(conn.fd, std::string(6000, 'x'));
        else
            sendAll(conn.fd, "+OK send your password\r\n");
        return;
    }
    if (startsWithCommand(line, "pass ")) {
        sendAll(conn.fd, s == Script::ErrPass ? "-ERR wrong password\r\n" : "+OK logged in\r\n");
        return;
    }
    if (startsWithCommand(line, "stat")) {
        // VURK_BENCH_STAT_DELAY_MS: a server slow to count, as a huge mailbox makes it.
        if (const char *delay = std::getenv("VURK_BENCH_STAT_DELAY_MS"))
            ::usleep(useconds_t(std::atoi(delay)) * 1000);
        const std::string reply =
            "+OK " + std::to_string(conn.count) + " " + std::to_string(conn.count * 2048) + "\r\n";
        if (s == Script::ErrStat) {
            sendAll(conn.fd, "-ERR mailbox locked\r\n");
        } else if (s == Script::SplitCount) {
            sendAll(conn.fd, reply.substr(0, 5));
            ::usleep(3000);
            sendAll(conn.fd, reply.substr(5));
        } else {
            sendAll(conn.fd, reply);
        }
        return;
    }
    sendAll(conn.fd, "-ERR unknown command\r\n");
}

void FakePop3::finish(Connection& conn)
{
    if (conn.done)
        return;
    conn.done = true;
    ::close(conn.fd);
    if (conn.upstream >= 0)
        ::close(conn.upstream);
    conn.fd = conn.upstream = -1;
    {
        std::lock_guard lock(m_mutex);
        m_sessions[conn.session].endNs = monotonicNs();
    }
    notify();
}

} // namespace bench
