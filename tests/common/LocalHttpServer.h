#pragma once
// A real HTTP server on 127.0.0.1 for tests that need exact answers, plus sockets that
// accept and never answer or refuse outright.
#include <httplib.h>

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace owbtest {

class LocalHttpServer {
public:
    httplib::Server server;

    // Register handlers on server first, then start.
    void start()
    {
        m_port = server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0)
            throw std::runtime_error("cannot bind a test server");
        m_thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~LocalHttpServer()
    {
        server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    int port() const { return m_port; }
    QString url(const QString &path = QString()) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }

private:
    int m_port = 0;
    std::thread m_thread;
};

// Listens but never accepts: the kernel completes the handshake, nobody ever answers.
class SilentSocket {
public:
    SilentSocket()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
            || ::listen(m_fd, 4) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            throw std::runtime_error("cannot open a silent socket");
        m_port = ntohs(a.sin_port);
    }
    ~SilentSocket() { ::close(m_fd); }
    int port() const { return m_port; }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    int m_port = 0;
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
