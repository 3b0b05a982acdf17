#include "HttpClient.h"
#include "HttpWait.h"
#include "OstrelError.h"
#include "HttpTls.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace owb {

namespace {

void globalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    CURL *easy = nullptr;
    HttpResponse response;
    qint64 received = 0;
    const HttpClient::DataSink *sink = nullptr;
    bool sinkRefused = false;
    std::exception_ptr sinkError;
};

size_t onHeader(char *buffer, size_t size, size_t count, void *userData)
{
    auto *t = static_cast<Transfer *>(userData);
    const size_t total = size * count;
    QByteArray line(buffer, static_cast<qsizetype>(total));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith("HTTP/")) {
        // A new status line (after 100 Continue or a redirect) starts a new header block.
        t->response.headers.clear();
        t->response.statusText.clear();
        t->response.status = 0;
        const int sp1 = line.indexOf(' ');
        if (sp1 > 0) {
            const int sp2 = line.indexOf(' ', sp1 + 1);
            const QByteArray code = sp2 > 0 ? line.mid(sp1 + 1, sp2 - sp1 - 1) : line.mid(sp1 + 1);
            t->response.status = code.trimmed().toInt();
            if (sp2 > 0)
                t->response.statusText = QString::fromLatin1(line.mid(sp2 + 1)).trimmed();
        }
    } else if (const int colon = line.indexOf(':'); colon > 0) {
        t->response.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return total;
}

size_t onBody(char *data, size_t size, size_t count, void *userData)
{
    auto *t = static_cast<Transfer *>(userData);
    const size_t total = size * count;
    t->received += qint64(total);
    if (!t->sink) {
        if (t->response.body.isEmpty()) {
            // Sized once from the announced length, so a big answer is not copied while it
            // grows; a length no answer should have is not trusted that far.
            constexpr curl_off_t kMostReserved = curl_off_t(1) << 30;
            curl_off_t length = -1;
            curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            if (length > 0)
                t->response.body.reserve(qsizetype(std::min(length, kMostReserved)));
        }
        t->response.body.append(data, static_cast<qsizetype>(total));
        return total;
    }
    try {
        if (!(*t->sink)(data, total, t->response)) {
            t->sinkRefused = true;
            return 0;
        }
    } catch (...) {
        // Exceptions must not unwind through libcurl's C frames.
        t->sinkError = std::current_exception();
        return 0;
    }
    return total;
}

struct CurlDeleter {
    void operator()(CURL *c) const { curl_easy_cleanup(c); }
};
struct MultiDeleter {
    void operator()(CURLM *m) const { curl_multi_cleanup(m); }
};
struct SlistDeleter {
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};

bool hasHeader(const HttpRequest &request, const QByteArray &name)
{
    for (const auto &h : request.headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

int smallerCap(int a, int b)
{
    if (a <= 0)
        return b > 0 ? b : 0;
    return b > 0 ? qMin(a, b) : a;
}

// Runs c on multi to its end, turning to wait between the turns. False: the user stopped it.
bool drive(CURLM *multi, CURL *c, RequestWait &wait, const Transfer &transfer, CURLcode *result)
{
    if (curl_multi_add_handle(multi, c) != CURLM_OK)
        throw OstrelError(OstrelError::Kind::Transport, QStringLiteral("HTTP"), QStringLiteral("Cannot start a request"));
    struct Remove {
        CURLM *m;
        CURL *c;
        ~Remove() { curl_multi_remove_handle(m, c); }
    } remove{multi, c};
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            *result = CURLE_FAILED_INIT;
            return true;
        }
        if (running == 0)
            break;
        if (curl_multi_poll(multi, nullptr, 0, RequestWait::TickMs, nullptr) != CURLM_OK) {
            *result = CURLE_FAILED_INIT;
            return true;
        }
        curl_off_t length = -1;
        curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (!wait.keepGoing(transfer.received, qint64(length)))
            return false;
    }
    *result = CURLE_OK;
    int left = 0;
    while (CURLMsg *m = curl_multi_info_read(multi, &left))
        if (m->msg == CURLMSG_DONE && m->easy_handle == c)
            *result = m->data.result;
    return true;
}

// c: a handle whose options are all set here; its open connections are kept for reuse (in
// multi, which holds them).
HttpResponse perform(CURLM *multi, CURL *c, const HttpRequest &request, const HttpClient::DataSink *sink,
                     int connectMs, int stallMs, int totalMs, UserInteraction *ui, const QString &caFile)
{
    totalMs = smallerCap(totalMs, request.totalTimeoutMs);
    const QString url = request.url;
    curl_easy_reset(c);
    // The handle outlives this call: leave it no pointer into this frame.
    struct Detach {
        CURL *c;
        ~Detach()
        {
            curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
            curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
        }
    } detach{c};

    const QByteArray urlBytes = url.toUtf8();
    const QByteArray user = request.user.toUtf8();
    const QByteArray password = request.password.toUtf8();
    const QByteArray method = request.method.toUpper();
    const QByteArray caPath = caFile.toUtf8();
    char errorBuffer[CURL_ERROR_SIZE] = {0};

    Transfer transfer;
    transfer.easy = c;
    transfer.sink = sink;

    curl_easy_setopt(c, CURLOPT_URL, urlBytes.constData());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caPath.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, caPath.constData());
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    if (connectMs > 0)
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectMs));
    if (stallMs > 0) {
        // libcurl counts the stall window in whole seconds.
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>((stallMs + 999) / 1000));
    }
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(totalMs > 0 ? totalMs : 0));

    if (request.authenticate) {
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }

    if (method == "GET" && request.body.isEmpty()) {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.constData());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        if (method != "POST")
            curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.constData());
    }

    curl_slist *list = nullptr;
    std::unique_ptr<curl_slist, SlistDeleter> guard;
    auto addHeader = [&](const QByteArray &line) {
        curl_slist *next = curl_slist_append(list, line.constData());
        if (!next)
            throw OstrelError(OstrelError::Kind::Transport, QStringLiteral("HTTP"), QStringLiteral("Out of memory for ") + url);
        list = next;
        guard.release();
        guard.reset(list);
    };
    for (const auto &h : request.headers) {
        if (h.first.contains('\n') || h.first.contains('\r') || h.second.contains('\n')
            || h.second.contains('\r'))
            throw OstrelError(OstrelError::Kind::Transport, QStringLiteral("HTTP"),
                              QStringLiteral("Invalid request header for ") + url);
        addHeader(h.second.isEmpty() ? h.first + ";" : h.first + ": " + h.second);
    }
    // A body of ours is never waiting for permission.
    addHeader("Expect:");
    if (method != "POST" && method != "GET" && !hasHeader(request, "Content-Type"))
        addHeader("Content-Type:");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);

    CURLcode rc = CURLE_OK;
    RequestWait wait(ui, request.progress, request.activity, url);
    if (!drive(multi, c, wait, transfer, &rc))
        throw OstrelError(OstrelError::Kind::Cancelled, QStringLiteral("HTTP"), HttpClient::CancelledText,
                          HttpClient::CancelledNumber);
    if (transfer.sinkError)
        std::rethrow_exception(transfer.sinkError);
    if (transfer.sinkRefused)
        throw OstrelError(OstrelError::Kind::Transport, QStringLiteral("HTTP"),
                          QStringLiteral("The transfer from %1 was aborted by its receiver").arg(url));
    if (rc != CURLE_OK) {
        QString what = QString::fromUtf8(errorBuffer).trimmed();
        if (what.isEmpty())
            what = QString::fromUtf8(curl_easy_strerror(rc));
        const QString refused = tlsFailureText(c, rc, url, caFile, what, connectMs);
        throw OstrelError(OstrelError::Kind::Transport, QStringLiteral("HTTP"),
                          QStringLiteral("Request to %1 failed: %2").arg(url, refused.isEmpty() ? what : refused),
                          refused.isEmpty() ? OstrelError::DefaultNumber : HttpClient::RefusedNumber);
    }
    long code = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
    if (code > 0)
        transfer.response.status = static_cast<int>(code);
    return transfer.response;
}

} // namespace

struct HttpClient::Connection {
    std::mutex lock;
    std::atomic<std::thread::id> owner{};
    std::unique_ptr<CURL, CurlDeleter> handle;
    std::unique_ptr<CURLM, MultiDeleter> multi;
};

const QString HttpClient::CancelledText = QStringLiteral("Cancelled by the user");

bool HttpClient::isCancellation(const OstrelError &e)
{
    return e.isCancelled();
}

QByteArray HttpResponse::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

HttpClient::HttpClient()
    : m_connection(std::make_unique<Connection>()), m_connectMs(10000), m_stallMs(60000), m_totalMs(0)
{
    globalInit();
}

HttpClient::~HttpClient() = default;

HttpResponse HttpClient::run(const HttpRequest &request, const DataSink *onData) const
{
    const auto cannot = [&request] {
        return OstrelError(OstrelError::Kind::Transport, QStringLiteral("HTTP"),
                           QStringLiteral("Cannot start a request to ") + request.url);
    };
    const auto fresh = [&] {
        std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
        if (!handle)
            throw cannot();
        return handle;
    };
    const auto freshMulti = [&] {
        std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
        if (!multi)
            throw cannot();
        return multi;
    };
    Connection &conn = *m_connection;
    // A sink of this very client asking again (or a request made while one waits): the kept
    // handles are busy below us.
    if (conn.owner.load() == std::this_thread::get_id()) {
        const auto handle = fresh();
        const auto multi = freshMulti();
        return perform(multi.get(), handle.get(), request, onData, m_connectMs, m_stallMs, m_totalMs, m_ui,
                       authorityFileFor(request.url));
    }
    std::lock_guard guard(conn.lock);
    if (!conn.handle)
        conn.handle = fresh();
    if (!conn.multi)
        conn.multi = freshMulti();
    conn.owner.store(std::this_thread::get_id());
    struct Release {
        Connection &c;
        ~Release() { c.owner.store(std::thread::id()); }
    } release{conn};
    return perform(conn.multi.get(), conn.handle.get(), request, onData, m_connectMs, m_stallMs, m_totalMs, m_ui,
                   authorityFileFor(request.url));
}

void HttpClient::setTimeouts(int connectMs, int stallMs, int totalMs)
{
    m_connectMs = connectMs;
    m_stallMs = stallMs;
    m_totalMs = totalMs;
}

HttpResponse HttpClient::send(const HttpRequest &request) const
{
    return run(request, nullptr);
}

HttpResponse HttpClient::sendStreaming(const HttpRequest &request, const DataSink &onData) const
{
    return run(request, &onData);
}

HttpResponse HttpClient::get(const QString &url) const
{
    HttpRequest request;
    request.url = url;
    return send(request);
}

} // namespace owb
