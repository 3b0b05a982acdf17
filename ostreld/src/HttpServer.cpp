#include "HttpServer.h"

#include <gnutls/gnutls.h>
#include <microhttpd.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "Router.h"

namespace ostreld {

namespace {

using Clock = std::chrono::steady_clock;

// One request on its way through the callbacks.
struct Exchange {
    RequestHead head;
    std::string body;
    bool started = false;
};

std::string header(MHD_Connection *c, const char *name)
{
    const char *v = MHD_lookup_connection_value(c, MHD_HEADER_KIND, name);
    return v ? v : "";
}

int socketOf(MHD_Connection *c)
{
    const MHD_ConnectionInfo *info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
    return info ? info->connect_fd : -1;
}

void freeBody(void *body)
{
    delete static_cast<std::string *>(body);
}

MHD_Result send(MHD_Connection *c, Outcome &&o)
{
    // The library sends the body from where it is: an answer of hundreds of megabytes is
    // not copied again.
    auto *body = new std::string(std::move(o.body));
    MHD_Response *r = MHD_create_response_from_buffer_with_free_callback_cls(body->size(), body->data(),
                                                                             &freeBody, body);
    if (!r) {
        delete body;
        return MHD_NO;
    }
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, o.contentType.c_str());
    if (o.challenge) MHD_add_response_header(r, MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Basic realm=\"ostrel\"");
    MHD_Result queued = MHD_queue_response(c, o.status, r);
    MHD_destroy_response(r);
    return queued;
}

// Writes all of raw to the connection from the connection's own thread; gives up when the
// peer takes nothing for a second.
void sendRaw(MHD_Connection *c, const std::string &raw)
{
    const int fd = socketOf(c);
    const MHD_ConnectionInfo *tlsInfo = MHD_get_connection_info(c, MHD_CONNECTION_INFO_GNUTLS_SESSION);
    auto session = tlsInfo ? static_cast<gnutls_session_t>(tlsInfo->tls_session) : nullptr;
    size_t sent = 0;
    while (fd >= 0 && sent < raw.size()) {
        ssize_t n = 0;
        bool again = false;
        if (session) {
            // Plain bytes on a TLS connection would break its record stream.
            n = gnutls_record_send(session, raw.data() + sent, raw.size() - sent);
            again = n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED;
        } else {
            n = ::send(fd, raw.data() + sent, raw.size() - sent, MSG_NOSIGNAL);
            again = n < 0 && (errno == EINTR || errno == EAGAIN);
        }
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        if (again && poll(&p, 1, 1000) > 0) continue;
        break;
    }
}

// The library takes no answer while a body is coming in. The connection's own thread runs
// this, so nothing else writes to the connection: the answer goes out directly and the
// connection is closed, without reading the rest.
MHD_Result refuseMidBody(MHD_Connection *c, const Outcome &o)
{
    sendRaw(c, "HTTP/1.1 " + std::to_string(o.status) + " " + MHD_get_reason_phrase_for(o.status)
                   + "\r\nConnection: close\r\nContent-Type: " + o.contentType
                   + "\r\nContent-Length: " + std::to_string(o.body.size()) + "\r\n\r\n" + o.body);
    return MHD_NO;
}

bool peerGone(int fd)
{
    pollfd p{fd, POLLRDHUP, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
}

int listenOn(const std::string &address, int port, bool &ipv6)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        throw std::runtime_error("cannot resolve " + address);
    int fd = -1;
    for (addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 128) != 0) {
            close(fd);
            fd = -1;
            continue;
        }
        ipv6 = a->ai_family == AF_INET6;
    }
    freeaddrinfo(found);
    if (fd < 0) throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port));
    return fd;
}

int portOf(int fd)
{
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &len);
    if (bound.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
}

} // namespace

struct HttpCallbacks {
    static HttpServer::Connection *connectionOf(MHD_Connection *c)
    {
        const MHD_ConnectionInfo *info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<HttpServer::Connection *>(info->socket_context) : nullptr;
    }

    static void enter(HttpServer &s, MHD_Connection *c, HttpServer::Connection::Phase phase)
    {
        std::lock_guard lock(s.m_mutex);
        if (HttpServer::Connection *conn = connectionOf(c)) {
            conn->phase = phase;
            conn->since = Clock::now();
        }
    }

    static void onConnection(void *cls, MHD_Connection *c, void **context, MHD_ConnectionNotificationCode code)
    {
        auto &s = *static_cast<HttpServer *>(cls);
        std::lock_guard lock(s.m_mutex);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            s.m_connections.push_back(HttpServer::Connection{socketOf(c), HttpServer::Connection::Idle, Clock::now()});
            *context = &s.m_connections.back();
        } else if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
            // Before the socket is closed: the watcher never cuts a number that is reused.
            s.m_connections.remove_if([&](const HttpServer::Connection &x) { return &x == *context; });
        }
    }

    // Called with the request target as sent, before anything decodes it.
    static void *onRequestLine(void *cls, const char *uri, MHD_Connection *c)
    {
        enter(*static_cast<HttpServer *>(cls), c, HttpServer::Connection::Head);
        auto *ex = new Exchange;
        ex->head.target = uri ? uri : "";
        return ex;
    }

    static void onCompleted(void *cls, MHD_Connection *c, void **requestContext, MHD_RequestTerminationCode)
    {
        delete static_cast<Exchange *>(*requestContext);
        *requestContext = nullptr;
        enter(*static_cast<HttpServer *>(cls), c, HttpServer::Connection::Idle);
    }

    static MHD_Result onRequest(void *cls, MHD_Connection *c, const char *, const char *method, const char *,
                                const char *data, size_t *size, void **requestContext)
    {
        auto &s = *static_cast<HttpServer *>(cls);
        auto *ex = static_cast<Exchange *>(*requestContext);
        if (!ex) return MHD_NO;
        if (!ex->started) {
            ex->started = true;
            enter(s, c, HttpServer::Connection::Busy);
            RequestHead &h = ex->head;
            h.method = method ? method : "";
            h.authorization = header(c, MHD_HTTP_HEADER_AUTHORIZATION);
            h.contentType = header(c, MHD_HTTP_HEADER_CONTENT_TYPE);
            const std::string length = header(c, MHD_HTTP_HEADER_CONTENT_LENGTH);
            if (header(c, MHD_HTTP_HEADER_TRANSFER_ENCODING).empty())
                h.contentLength = std::strtoull(length.c_str(), nullptr, 10);
            if (auto early = s.m_router.early(h)) return send(c, std::move(*early));
            return MHD_YES;
        }
        if (*size) {
            if (ex->body.size() + *size > s.m_router.maxBody()) return refuseMidBody(c, s.m_router.tooLarge());
            ex->body.append(data, *size);
            *size = 0;
            return MHD_YES;
        }
        const int fd = socketOf(c);
        return send(c, s.m_router.answer(ex->head, ex->body, [fd] { return peerGone(fd); }));
    }
};

HttpServer::HttpServer(Router &router, ConnectionLimits limits) : m_router(router), m_limits(limits) {}

HttpServer::~HttpServer()
{
    stop();
}

int HttpServer::start(const std::string &address, int port, const TlsMaterial *tls)
{
    bool ipv6 = false;
    const int fd = listenOn(address, port, ipv6);
    const int bound = portOf(fd);
    const auto idleSeconds = unsigned((m_limits.idleTimeout.count() + 999) / 1000);
    unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ITC;
    if (ipv6) flags |= MHD_USE_IPv6;
    std::vector<MHD_OptionItem> tlsOptions;
    if (tls) {
        flags |= MHD_USE_TLS;
        tlsOptions.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char *>(tls->certificate.c_str())});
        tlsOptions.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char *>(tls->key.c_str())});
    }
    tlsOptions.push_back({MHD_OPTION_END, 0, nullptr});
    m_daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &HttpCallbacks::onRequest, this,
        MHD_OPTION_LISTEN_SOCKET, MHD_socket(fd),
        MHD_OPTION_CONNECTION_LIMIT, m_limits.maxConnections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, m_limits.maxPerAddress,
        MHD_OPTION_CONNECTION_TIMEOUT, idleSeconds,
        // Room for long query URLs in the request line.
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, size_t(256) << 10,
        MHD_OPTION_URI_LOG_CALLBACK, &HttpCallbacks::onRequestLine, this,
        MHD_OPTION_NOTIFY_COMPLETED, &HttpCallbacks::onCompleted, this,
        MHD_OPTION_NOTIFY_CONNECTION, &HttpCallbacks::onConnection, this,
        MHD_OPTION_ARRAY, tlsOptions.data(),
        MHD_OPTION_END);
    if (!m_daemon) {
        close(fd);
        throw std::runtime_error(std::string("cannot start the ") + (tls ? "HTTPS" : "HTTP") + " server on "
                                 + address + ":" + std::to_string(bound));
    }
    m_watcher = std::thread([this] { enforceDeadlines(); });
    return bound;
}

void HttpServer::stop()
{
    if (m_daemon) {
        MHD_stop_daemon(m_daemon);
        m_daemon = nullptr;
    }
    if (m_watcher.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_watcher.join();
    }
}

void HttpServer::enforceDeadlines()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        m_wake.wait_for(lock, std::chrono::milliseconds(100));
        const auto now = Clock::now();
        for (Connection &c : m_connections) {
            if (c.cut || c.fd < 0) continue;
            const bool late = (c.phase == Connection::Idle && now - c.since > m_limits.idleTimeout)
                              || (c.phase == Connection::Head && now - c.since > m_limits.headerTimeout);
            if (!late) continue;
            // The connection's thread sees the end of its socket and closes it.
            shutdown(c.fd, SHUT_RDWR);
            c.cut = true;
        }
    }
}

} // namespace ostreld
