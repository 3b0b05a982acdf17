#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>

namespace owb {

class OstrelError;
class Progress;
class UserInteraction;

struct HttpRequest {
    QByteArray method = "GET";
    QString url;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool authenticate = false;   // Basic authentication with user/password
    QString user;
    QString password;
    // What the user is told while the answer is awaited ("Running the query").
    QString activity;
    // Caps this exchange on top of the client's own cap (0: no cap of its own).
    int totalTimeoutMs = 0;
    // A display the caller already shows for its operation: asked for Cancel instead of
    // opening one for this request.
    Progress *progress = nullptr;
};

struct HttpResponse {
    int status = 0;
    QString statusText;          // reason phrase of the last status line
    QList<QPair<QByteArray, QByteArray>> headers;  // of the last status line's header block
    QByteArray body;             // empty when the body went to a stream sink
    QByteArray header(const QByteArray &name) const;  // case-insensitive; empty when absent
};

// Synchronous HTTP on libcurl. Transport failures (unreachable, refused, time-out, TLS) throw
// OstrelError of kind Transport with source "HTTP" and a description naming the URL and what
// happened.
// The certificate and host name of https:// servers are always checked; a refused one (unknown
// authority, expired, made out for another host, or a scheme the server does not speak) is
// told in words that name the host, and nothing of the request is sent.
// The caller waits for the answer, but its thread is never blocked for long: while the
// transfer is under way the client asks a progress display (from the UserInteraction given,
// opened once the request has lasted a moment) every few tens of milliseconds, which keeps the
// windows painting and lets the user cancel; a cancel throws CancelledText (kind Cancelled).
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

    static const QString CancelledText;   // "Cancelled by the user"
    static constexpr quint32 CancelledNumber = 0x80040001u;
    // Whether e (or an error that reworded it) is a cancel by the user.
    static bool isCancellation(const OstrelError &e);
    // The number of a secure connection refused before anything was sent (certificate, CA file,
    // a scheme the server does not speak).
    static constexpr quint32 RefusedNumber = 0x80040002u;

    // Where the waiting is shown; null: nowhere (the request just runs to its end).
    void setUserInteraction(UserInteraction *ui) { m_ui = ui; }
    UserInteraction *userInteraction() const { return m_ui; }

    // A server that does not accept the connection within connectMs fails; so does one that
    // sends nothing for stallMs while the answer is under way; totalMs caps the whole exchange
    // (0: no cap).
    void setTimeouts(int connectMs, int stallMs, int totalMs);
    int connectTimeoutMs() const { return m_connectMs; }
    int stallTimeoutMs() const { return m_stallMs; }
    int totalTimeoutMs() const { return m_totalMs; }

    // Servers at databaseUri and below (the URI followed by "/" or "?") are also trusted when
    // their certificate comes from an authority in caFile (PEM), besides the system's
    // authorities. An empty caFile forgets the URI's file. The longest matching URI counts.
    void setAuthorityFile(const QString &databaseUri, const QString &caFile);
    // The authority file that requests to url use; empty: the system's authorities only.
    QString authorityFileFor(const QString &url) const;

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
    UserInteraction *m_ui = nullptr;
    int m_connectMs;
    int m_stallMs;
    int m_totalMs;
    mutable std::mutex m_authorityLock;
    QHash<QString, QString> m_authorityFiles;   // database URI -> CA file
};

} // namespace owb
