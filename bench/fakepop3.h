#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A POP3 server on 127.0.0.1 for the benchmarks, on a thread of its own so that its timestamps do not
// wait for the notifier's event loop. It either plays a script or relays to a real server on another
// loopback port, stamping the same moments (greeting out, QUIT in) either way.
namespace bench {

// Nanoseconds on the monotonic clock.
int64_t monotonicNs();
// CPU time of the whole process, and of the calling thread.
int64_t processCpuNs();
int64_t threadCpuNs();

enum class Script {
    Count,       // "+OK" to everything, the given count to STAT
    SplitCount,  // the same, the STAT reply in two writes
    ErrGreeting, // "-ERR" instead of the greeting
    ErrUser,
    ErrPass,
    ErrStat,
    Garbage,  // a reply that is neither "+OK" nor "-ERR" to USER
    Overlong, // an endless line after USER
    Drop,     // hangs up right after the greeting
    Silent,   // never says a word
};

struct Session {
    int64_t greetingNs = 0; // greeting handed to the kernel
    int64_t quitNs = 0;     // "quit" line read
    int64_t endNs = 0;      // connection gone
    // CPU time of the rest of the process (all threads but the server's) when "quit" was read.
    int64_t clientCpuAtQuitNs = 0;
    std::string received;       // everything the client sent
    size_t relayedToClient = 0; // bytes the real server sent, relayed
    // Every chunk either way: when, 'C' from the client or 'S' from the server, and its first bytes.
    struct Chunk {
        int64_t ns;
        char from;
        std::string head;
    };
    std::vector<Chunk> chunks;
};

class FakePop3 {
public:
    // upstreamPort 0: play scripts; else relay every connection to that loopback port.
    explicit FakePop3(int upstreamPort = 0);
    ~FakePop3();
    FakePop3(const FakePop3&) = delete;
    FakePop3& operator=(const FakePop3&) = delete;

    int port() const { return m_port; }
    // The script for connections accepted from now on.
    void setScript(Script script, long long count = 0);
    // Runs on the server thread after a session sees QUIT or ends.
    void setOnEvent(std::function<void()> callback);
    std::vector<Session> sessions() const;
    size_t sessionCount() const;
    // CPU time the server thread has used.
    int64_t cpuNs() const;

private:
    struct Connection;
    void serve();
    void accept();
    bool onClientData(Connection& conn);
    bool onUpstreamData(Connection& conn);
    void answer(Connection& conn, const std::string& line);
    void finish(Connection& conn);
    void notify();

    int m_upstreamPort;
    int m_listen = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    mutable std::mutex m_mutex;
    Script m_script = Script::Count;
    long long m_count = 0;
    std::function<void()> m_onEvent;
    std::vector<Session> m_sessions;
    std::vector<Connection *> m_connections;
    std::thread m_thread;
};

} // namespace bench
