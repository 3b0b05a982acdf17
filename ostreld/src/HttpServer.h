#pragma once
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "Tls.h"

struct MHD_Daemon;

namespace ostreld {

class Router;

struct ConnectionLimits {
    // From a connection being ready (opened, or its last answer sent) to a complete request line.
    std::chrono::milliseconds idleTimeout{15000};
    // From the request line to the end of the headers.
    std::chrono::milliseconds headerTimeout{10000};
    unsigned maxConnections = 256;
    unsigned maxPerAddress = 32;
};

// The HTTP front end: every connection has a thread of its own, so a slow client or a long
// query holds only its own; deadlines and connection bounds keep their number in check.
class HttpServer {
public:
    HttpServer(Router &router, ConnectionLimits limits);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Listens on address:port (port 0: a free one), with TLS when given; returns the port.
    // Throws on failure.
    int start(const std::string &address, int port, const TlsMaterial *tls = nullptr);
    // Closes every connection and waits for the requests being answered.
    void stop();

    struct Connection {
        enum Phase { Idle, Head, Busy };
        int fd = -1;
        Phase phase = Idle;
        std::chrono::steady_clock::time_point since;
        bool cut = false;
    };

private:
    friend struct HttpCallbacks;
    void enforceDeadlines();

    Router &m_router;
    const ConnectionLimits m_limits;
    MHD_Daemon *m_daemon = nullptr;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::list<Connection> m_connections;
    bool m_quit = false;
    std::thread m_watcher;
};

} // namespace ostreld
