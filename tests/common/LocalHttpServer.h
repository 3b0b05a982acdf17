#pragma once
// A real HTTP server on 127.0.0.1 for tests that need exact answers, plus sockets that
// accept and never answer or refuse outright.
#include <httplib.h>

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace owbtest {

class LocalHttpServer {
public:
    httplib::Server server;

    // Register handlers on server first, then start. False when no port could be bound or the
    // server did not come up: check it (QVERIFY), a test without its server proves nothing.
    [[nodiscard]] bool start()
    {
        m_port = server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0)
            return false;
        m_thread = std::thread([this] {
            server.listen_after_bind();
            m_listenEnded = true;
        });
        return waitUntilListening(30000);
    }
    // A stop before the listen loop runs is lost and leaves the thread listening for ever, so the
    // stop waits for it, also when the test failed before start() returned.
    ~LocalHttpServer()
    {
        if (!m_thread.joinable())
            return;
        waitUntilListening(-1);
        server.stop();
        m_thread.join();
    }
    int port() const { return m_port; }
    QString url(const QString &path = QString()) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }

private:
    // True once the server listens; false when its thread ended first or msecs (unless < 0)
    // passed.
    bool waitUntilListening(int msecs)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(msecs);
        while (!server.is_running()) {
            if (m_listenEnded || (msecs >= 0 && std::chrono::steady_clock::now() > until))
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    int m_port = 0;
    std::atomic<bool> m_listenEnded{false};
    std::thread m_thread;
};

// Listens but never accepts: the kernel completes the handshake, nobody ever answers.
class SilentSocket {
public:
    explicit SilentSocket(int backlog = 4)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
            || ::listen(m_fd, backlog) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            throw std::runtime_error("cannot open a silent socket");
        m_port = ntohs(a.sin_port);
    }
    ~SilentSocket() { close(); }
    int port() const { return m_port; }
    int fd() const { return m_fd; }
    // Whatever waits on the port then sees a reset or a refusal.
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    int m_port = 0;
};

// A port whose queue of connections waiting to be accepted is full: the kernel drops every
// further connection request unanswered, so a connect to it neither succeeds nor fails
// until a time-out ends it (unlike an unreachable network, which fails at once).
class UnansweredConnectPort {
public:
    UnansweredConnectPort() : m_socket(0)
    {
        for (int i = 0; i < 16 && !queueFull(); ++i) {
            const int queued = queueLength();
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            if (fd < 0)
                return;
            m_fillers.push_back(fd);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(uint16_t(port()));
            ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (queueLength() == queued && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (queueLength() == queued)
                return;
        }
    }
    ~UnansweredConnectPort()
    {
        for (int fd : m_fillers)
            ::close(fd);
    }
    // False when the queue could not be filled: the port would answer.
    bool ok() const { return queueFull(); }
    int port() const { return m_socket.port(); }
    // A connect still waiting is refused at its next try.
    void close() { m_socket.close(); }

private:
    // For a listening socket the kernel reports the queue's length and its limit here.
    tcp_info info() const
    {
        tcp_info ti{};
        socklen_t len = sizeof ti;
        if (::getsockopt(m_socket.fd(), IPPROTO_TCP, TCP_INFO, &ti, &len) != 0)
            return tcp_info{};
        return ti;
    }
    int queueLength() const { return int(info().tcpi_unacked); }
    bool queueFull() const
    {
        const tcp_info ti = info();
        return ti.tcpi_unacked > ti.tcpi_sacked;
    }

    SilentSocket m_socket;
    std::vector<int> m_fillers;
};

// Answers every connection with the same raw bytes, then closes it: for answers no ordinary
// server would give (two status lines, a body cut short).
class CannedSocketServer {
public:
    explicit CannedSocketServer(std::string answer) : m_answer(std::move(answer))
    {
        m_thread = std::thread([this] { run(); });
    }
    ~CannedSocketServer()
    {
        m_stop = true;
        m_thread.join();
    }
    int port() const { return m_socket.port(); }
    QString url(const QString &path = QString()) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
    }

private:
    void run()
    {
        while (!m_stop) {
            pollfd p{m_socket.fd(), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int c = ::accept(m_socket.fd(), nullptr, nullptr);
            if (c < 0)
                continue;
            // Read the request head before answering, so the client never sees a reset.
            std::string head;
            char buf[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                pollfd q{c, POLLIN, 0};
                if (::poll(&q, 1, 2000) <= 0)
                    break;
                const ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                head.append(buf, size_t(n));
            }
            ::send(c, m_answer.data(), m_answer.size(), MSG_NOSIGNAL);
            ::shutdown(c, SHUT_WR);
            ::close(c);
        }
    }
    SilentSocket m_socket;
    std::string m_answer;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A loopback port that was free a moment ago: connecting to it is refused.
inline int closedPort()
{
    SilentSocket s;
    return s.port();
}

} // namespace owbtest
