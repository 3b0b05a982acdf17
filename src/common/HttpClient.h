#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <memory>

namespace owb {

struct HttpRequest {
    QByteArray method = "GET";
    QString url;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool authenticate = false;   // Basic authentication with user/password
    QString user;
    QString password;
};

struct HttpResponse {
    int status = 0;
    QString statusText;          // reason phrase of the last status line
    QList<QPair<QByteArray, QByteArray>> headers;  // of the last status line's header block
    QByteArray body;             // empty when the body went to a stream sink
    QByteArray header(const QByteArray &name) const;  // case-insensitive; empty when absent
};

// Synchronous HTTP on libcurl. Transport failures (unreachable, refused, time-out, TLS) throw
// OstrelError with source "HTTP" and a description naming the URL and what happened.
// One client keeps its connections open between requests (nothing of one request's options,
// credentials or headers carries over to the next). Requests from several threads on one
// client are served one after another; a request made from inside a streaming sink of the
// same client gets a connection of its own.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;

    // A server that does not accept the connection within connectMs fails; so does one that
    // sends nothing for stallMs while the answer is under way; totalMs caps the whole exchange
    // (0: no cap).
    void setTimeouts(int connectMs, int stallMs, int totalMs);
    int connectTimeoutMs() const { return m_connectMs; }
    int stallTimeoutMs() const { return m_stallMs; }
    int totalTimeoutMs() const { return m_totalMs; }

    HttpResponse send(const HttpRequest &request) const;

    // Like send, but hands each piece of the body to onData as it arrives instead of keeping
    // it. The status, status text and headers in head are complete before the first piece.
    // onData returning false aborts the transfer with an OstrelError (source "HTTP"); an
    // exception thrown by onData aborts it too and reaches the caller unchanged.
    using DataSink = std::function<bool(const char *data, size_t size, const HttpResponse &head)>;
    HttpResponse sendStreaming(const HttpRequest &request, const DataSink &onData) const;

    // A plain GET without credentials, body kept.
    HttpResponse get(const QString &url) const;

private:
    struct Connection;
    HttpResponse run(const HttpRequest &request, const DataSink *onData) const;

    std::unique_ptr<Connection> m_connection;
    int m_connectMs;
    int m_stallMs;
    int m_totalMs;
};

} // namespace owb
