#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "common/LocalHttpServer.h"

#include <QTest>

#include <QSet>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

using namespace owb;
using owbtest::LocalHttpServer;

namespace {

struct Seen {
    std::mutex lock;
    std::string method, body, contentType, authorization, expect;
    bool hadExpect = false;
    bool hadAuthorization = false;
};

QByteArray basicAuthOf(const QString &user, const QString &password)
{
    return "Basic " + (user.toUtf8() + ':' + password.toUtf8()).toBase64();
}

void whoAmI(const httplib::Request &req, httplib::Response &res)
{
    res.set_content(std::to_string(req.remote_port) + "|" + req.method + "|"
                        + req.get_header_value("Authorization") + "|" + req.get_header_value("X-One")
                        + "|" + req.get_param_value("n") + "|" + req.body,
                    "text/plain");
}

// The fields of a /who answer: port, method, authorization, X-One, n, body.
QList<QByteArray> whoFields(const HttpResponse &r) { return r.body.split('|'); }

// The error a GET ends with, "" for an answer. It runs on a thread of its own, so that a request
// nothing ends fails the test (no value) instead of hanging it; cutShort then ends it.
std::optional<QString> errorOf(const HttpClient &http, const QString &url, const std::function<void()> &cutShort)
{
    auto done = std::async(std::launch::async, [&http, url] {
        try {
            http.get(url);
            return QString();
        } catch (const OstrelError &e) {
            return e.source() + QStringLiteral(": ") + e.description();
        }
    });
    if (done.wait_for(std::chrono::seconds(30)) == std::future_status::ready)
        return done.get();
    cutShort();
    done.wait();
    return std::nullopt;
}

} // namespace

class TestHttpClient : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void statusAndReason_data();
    void statusAndReason();
    void methodsSendTheirBodies_data();
    void methodsSendTheirBodies();
    void basicAuthentication_data();
    void basicAuthentication();
    void responseHeadersAreFoundCaseInsensitively();
    void oddAnswers_data();
    void oddAnswers();
    void streamingHandsOverEveryPiece();
    void streamingSinkCanAbort();
    void silentServerEndsByStallTimeout();
    void refusedPortFailsFast();
    void unansweredConnectEndsByConnectTimeout();
    void tricklingServerEndsByTotalTimeout();
    void onlyHttpSchemesAreFetched();
    void connectionIsKeptNothingElseCarriesOver();
    void closedConnectionIsReopened();
    void concurrentUseIsSerialised();
    void requestFromInsideASinkGetsItsOwnConnection();

private:
    LocalHttpServer m_http;
    Seen m_seen;
    std::string m_bigBody;
    std::atomic<bool> m_endTrickle{false};
};

void TestHttpClient::initTestCase()
{
    m_bigBody.assign(300000, 'x');
    for (size_t i = 0; i < m_bigBody.size(); i += 997)
        m_bigBody[i] = char('a' + i % 26);
    m_http.server.Get(R"(/status/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        res.status = std::stoi(req.matches[1]);
        res.set_content("<answer>" + std::string(req.matches[1]) + "</answer>", "text/xml");
        res.set_header("X-Owb-Test", "marker");
    });
    auto record = [this](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard g(m_seen.lock);
        m_seen.method = req.method;
        m_seen.body = req.body;
        m_seen.contentType = req.get_header_value("Content-Type");
        m_seen.hadExpect = req.has_header("Expect");
        m_seen.hadAuthorization = req.has_header("Authorization");
        m_seen.authorization = req.get_header_value("Authorization");
        res.set_content("seen", "text/plain");
    };
    m_http.server.Post("/echo", record);
    m_http.server.Put("/echo", record);
    m_http.server.Get("/echo", record);
    m_http.server.Get("/big", [this](const httplib::Request &, httplib::Response &res) {
        res.set_content(m_bigBody, "text/plain");
    });
    m_http.server.Get("/trickle", [this](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink &sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return !m_endTrickle && sink.write("x", 1);
        });
    });
    // Which connection a request came on, and what it carried.
    m_http.server.set_keep_alive_max_count(1000);
    m_http.server.Get("/who", whoAmI);
    m_http.server.Post("/who", whoAmI);
    m_http.server.Put("/who", whoAmI);
    QVERIFY(m_http.start());
}

void TestHttpClient::statusAndReason_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    QTest::newRow("200") << 200 << "OK";
    // cpp-httplib's own phrase, not the RFC's: what arrives is what counts.
    QTest::newRow("300") << 300 << "Multiple Choice";
    QTest::newRow("301") << 301 << "Moved Permanently";
    QTest::newRow("404") << 404 << "Not Found";
    QTest::newRow("500") << 500 << "Internal Server Error";
}

void TestHttpClient::statusAndReason()
{
    QFETCH(int, status);
    QFETCH(QString, reason);
    HttpClient http;
    const HttpResponse r = http.get(m_http.url(QStringLiteral("/status/%1").arg(status)));
    QCOMPARE(r.status, status);
    QCOMPARE(r.statusText, reason);
    QCOMPARE(r.body, QByteArray("<answer>") + QByteArray::number(status) + "</answer>");
}

void TestHttpClient::methodsSendTheirBodies_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QByteArray binary("GIF89a\0\x01\xff\r\n", 11);
    QByteArray large(2 * 1024 * 1024, 'z');
    QTest::newRow("post form") << QByteArray("POST") << QByteArray("_process=%3Ca%2F%3E")
                               << QByteArray("application/x-www-form-urlencoded; charset=iso-8859-1");
    QTest::newRow("put binary") << QByteArray("PUT") << binary << QByteArray();
    // curl would ask for 100-continue before a large body; the server must see none.
    QTest::newRow("put large") << QByteArray("PUT") << large << QByteArray();
    QTest::newRow("post large") << QByteArray("POST") << large << QByteArray("text/xml");
}

void TestHttpClient::methodsSendTheirBodies()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    HttpRequest req;
    req.method = method;
    req.url = m_http.url("/echo");
    req.body = body;
    if (!contentType.isEmpty())
        req.headers.append({"Content-Type", contentType});
    HttpClient http;
    const HttpResponse r = http.send(req);
    QCOMPARE(r.status, 200);
    QCOMPARE(r.body, QByteArray("seen"));
    std::lock_guard g(m_seen.lock);
    QCOMPARE(QByteArray::fromStdString(m_seen.method), method);
    QCOMPARE(QByteArray::fromStdString(m_seen.body), body);
    QVERIFY(!m_seen.hadExpect);
    if (!contentType.isEmpty())
        QCOMPARE(QByteArray::fromStdString(m_seen.contentType), contentType);
}

void TestHttpClient::basicAuthentication_data()
{
    QTest::addColumn<bool>("authenticate");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << true << "demo" << "demo";
    QTest::newRow("colon and semicolon in password") << true << "demo" << "a:b;c";
    QTest::newRow("non-ascii") << true << QString::fromUtf8("jürgen") << QString::fromUtf8("pä€");
    QTest::newRow("none") << false << "demo" << "demo";
}

void TestHttpClient::basicAuthentication()
{
    QFETCH(bool, authenticate);
    QFETCH(QString, user);
    QFETCH(QString, password);
    HttpRequest req;
    req.method = "POST";
    req.url = m_http.url("/echo");
    req.body = "x";
    req.authenticate = authenticate;
    req.user = user;
    req.password = password;
    HttpClient().send(req);
    std::lock_guard g(m_seen.lock);
    QCOMPARE(m_seen.hadAuthorization, authenticate);
    if (authenticate)
        QCOMPARE(QByteArray::fromStdString(m_seen.authorization), basicAuthOf(user, password));
}

void TestHttpClient::responseHeadersAreFoundCaseInsensitively()
{
    const HttpResponse r = HttpClient().get(m_http.url("/status/200"));
    QCOMPARE(r.header("x-owb-test"), QByteArray("marker"));
    QCOMPARE(r.header("X-OWB-TEST"), QByteArray("marker"));
    QVERIFY(r.header("X-Absent").isEmpty());
}

void TestHttpClient::oddAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");       // 0: the exchange must fail
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("interim status line first")
        << QByteArray("HTTP/1.1 100 Continue\r\nX-Early: 1\r\n\r\n"
                      "HTTP/1.1 300 Multiple Choices\r\nContent-Length: 5\r\n\r\nhello")
        << 300 << "Multiple Choices" << QByteArray("hello");
    QTest::newRow("reason with blanks") << QByteArray("HTTP/1.1 503 Service Very Unavailable\r\n"
                                                      "Content-Length: 0\r\n\r\n")
                                        << 503 << "Service Very Unavailable" << QByteArray();
    QTest::newRow("no reason") << QByteArray("HTTP/1.1 204\r\n\r\n") << 204 << "" << QByteArray();
    QTest::newRow("body cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort")
                                    << 0 << "" << QByteArray();
    QTest::newRow("not http") << QByteArray("SSH-2.0-OpenSSH\r\n\r\n") << 0 << "" << QByteArray();
}

void TestHttpClient::oddAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QFETCH(QString, reason);
    QFETCH(QByteArray, body);
    owbtest::CannedSocketServer canned(answer.toStdString());
    HttpClient http;
    http.setTimeouts(2000, 2000, 5000);
    try {
        const HttpResponse r = http.get(canned.url("/x"));
        QVERIFY2(status != 0, "a broken answer must not count as a response");
        QCOMPARE(r.status, status);
        QCOMPARE(r.statusText, reason);
        QCOMPARE(r.body, body);
        QVERIFY(r.header("X-Early").isEmpty());
    } catch (const OstrelError &e) {
        QVERIFY2(status == 0, qPrintable(e.description()));
        QCOMPARE(e.source(), QStringLiteral("HTTP"));
        QVERIFY(e.description().contains(canned.url("/x")));
    }
}

void TestHttpClient::streamingHandsOverEveryPiece()
{
    HttpRequest req;
    req.url = m_http.url("/big");
    QByteArray got;
    int statusAtFirstPiece = -1;
    const HttpResponse r = HttpClient().sendStreaming(
        req, [&](const char *data, size_t size, const HttpResponse &head) {
            if (statusAtFirstPiece < 0)
                statusAtFirstPiece = head.status;
            got.append(data, qsizetype(size));
            return true;
        });
    QCOMPARE(statusAtFirstPiece, 200);
    QCOMPARE(r.status, 200);
    QVERIFY(r.body.isEmpty());
    QCOMPARE(got, QByteArray::fromStdString(m_bigBody));
}

void TestHttpClient::streamingSinkCanAbort()
{
    HttpRequest req;
    req.url = m_http.url("/big");
    HttpClient http;
    try {
        http.sendStreaming(req, [](const char *, size_t, const HttpResponse &) { return false; });
        QFAIL("a refusing sink must end the transfer with an error");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("HTTP"));
        QVERIFY2(e.description().contains(req.url), qPrintable(e.description()));
        QVERIFY2(e.description().contains("aborted"), qPrintable(e.description()));
    }
    try {
        http.sendStreaming(req, [](const char *, size_t, const HttpResponse &) -> bool {
            throw OstrelError("Reader", "bad piece");
        });
        QFAIL("the sink's own error must reach the caller");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("Reader"));
        QCOMPARE(e.description(), QStringLiteral("bad piece"));
    }
}

// Each request below is ended by the one time-out named, or by nothing: a client that did not
// apply it fails the test through errorOf's bound.
void TestHttpClient::silentServerEndsByStallTimeout()
{
    owbtest::SilentSocket silent;
    HttpClient http;
    http.setTimeouts(2000, 1000, 0);
    const QString url = QStringLiteral("http://127.0.0.1:%1/ostrel/mydb?_diagnose=ping").arg(silent.port());
    const auto error = errorOf(http, url, [&] { silent.close(); });
    QVERIFY2(error, "a silent server must be given up on");
    QVERIFY2(error->startsWith(QStringLiteral("HTTP: ")) && error->contains(url), qPrintable(*error));
    QVERIFY2(error->contains(QStringLiteral("too slow")), qPrintable(*error));
}

void TestHttpClient::refusedPortFailsFast()
{
    HttpClient http;
    const QString url = QStringLiteral("http://127.0.0.1:%1/ostrel/mydb").arg(owbtest::closedPort());
    HttpRequest req;
    req.method = "POST";
    req.url = url;
    req.body = "_delete=x";
    try {
        http.send(req);
        QFAIL("a refused connection must fail");
    } catch (const OstrelError &e) {
        // Refused, not tried again until some time-out gave up.
        QVERIFY2(!e.description().contains(QStringLiteral("Timeout")), qPrintable(e.description()));
    }
}

void TestHttpClient::unansweredConnectEndsByConnectTimeout()
{
    owbtest::UnansweredConnectPort port;
    QVERIFY2(port.ok(), "no port with a full queue of connections");
    HttpClient http;
    http.setTimeouts(500, 0, 0);
    const QString url = QStringLiteral("http://127.0.0.1:%1/ostrel/mydb").arg(port.port());
    const auto error = errorOf(http, url, [&] { port.close(); });
    QVERIFY2(error, "only the connect time-out can end this connect");
    QVERIFY2(error->contains(QStringLiteral("Failed to connect")) && error->contains(QStringLiteral("Timeout")),
             qPrintable(*error));
}

void TestHttpClient::tricklingServerEndsByTotalTimeout()
{
    // One byte every 100 ms, and a stall limit far beyond the total cap: only the cap can end
    // it, however late a loaded machine delivers the bytes.
    HttpClient http;
    http.setTimeouts(2000, 30000, 1500);
    m_endTrickle = false;
    const auto error = errorOf(http, m_http.url("/trickle"), [&] { m_endTrickle = true; });
    QVERIFY2(error, "an endless answer must end by the total time-out");
    QVERIFY2(error->startsWith(QStringLiteral("HTTP: ")), qPrintable(*error));
    QVERIFY2(error->contains(QStringLiteral("timed out after")), qPrintable(*error));
}

void TestHttpClient::onlyHttpSchemesAreFetched()
{
    try {
        HttpClient().get(QStringLiteral("file:///etc/hostname"));
        QFAIL("a file URL must not be read");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("HTTP"));
        QVERIFY(e.description().contains("file:///etc/hostname"));
    }
}

void TestHttpClient::connectionIsKeptNothingElseCarriesOver()
{
    HttpClient http;
    HttpRequest first;
    first.method = "POST";
    first.url = m_http.url("/who");
    first.body = "a=1";
    first.headers.append({QByteArray("X-One"), QByteArray("yes")});
    first.authenticate = true;
    first.user = "anna";
    first.password = "pw1";
    HttpRequest second;
    second.method = "PUT";
    second.url = m_http.url("/who");
    second.body = "bytes";
    second.authenticate = true;
    second.user = "bert";
    second.password = "pw2";
    HttpRequest third;
    third.url = m_http.url("/who?n=3");

    const QList<QByteArray> a = whoFields(http.send(first));
    const QList<QByteArray> b = whoFields(http.send(second));
    const QList<QByteArray> c = whoFields(http.send(third));
    QCOMPARE(a.size(), 6);
    QCOMPARE(b.size(), 6);
    QCOMPARE(c.size(), 6);
    QCOMPARE(b[0], a[0]);
    QCOMPARE(c[0], a[0]);
    QCOMPARE(a[1], QByteArray("POST"));
    QCOMPARE(b[1], QByteArray("PUT"));
    QCOMPARE(c[1], QByteArray("GET"));
    QCOMPARE(a[2], basicAuthOf("anna", "pw1"));
    QCOMPARE(b[2], basicAuthOf("bert", "pw2"));
    QCOMPARE(c[2], QByteArray());
    QCOMPARE(a[3], QByteArray("yes"));
    QCOMPARE(b[3], QByteArray());
    QCOMPARE(c[4], QByteArray("3"));
    QCOMPARE(b[5], QByteArray("bytes"));
    QCOMPARE(c[5], QByteArray());

    // Another client has a connection of its own.
    HttpClient other;
    QVERIFY(whoFields(other.send(third))[0] != a[0]);
}

void TestHttpClient::closedConnectionIsReopened()
{
    owbtest::LocalHttpServer shortLived;
    shortLived.server.set_keep_alive_max_count(2);
    shortLived.server.Get("/who", whoAmI);
    QVERIFY(shortLived.start());
    HttpClient http;
    QSet<QByteArray> ports;
    for (int i = 0; i < 6; ++i) {
        const HttpResponse r = http.get(shortLived.url("/who?n=%1").arg(i));
        QCOMPARE(r.status, 200);
        QCOMPARE(whoFields(r).value(4), QByteArray::number(i));
        ports.insert(whoFields(r).value(0));
    }
    QCOMPARE(ports.size(), 3);
}

void TestHttpClient::concurrentUseIsSerialised()
{
    HttpClient http;
    std::atomic<int> wrong{0};
    std::atomic<int> failed{0};
    auto worker = [&](int base) {
        for (int i = 0; i < 40; ++i) {
            try {
                const HttpResponse r = http.get(m_http.url("/who?n=%1").arg(base + i));
                if (r.status != 200 || whoFields(r).value(4) != QByteArray::number(base + i))
                    ++wrong;
            } catch (const OstrelError &) {
                ++failed;
            }
        }
    };
    std::thread t1(worker, 0), t2(worker, 1000);
    t1.join();
    t2.join();
    QCOMPARE(failed.load(), 0);
    QCOMPARE(wrong.load(), 0);
}

void TestHttpClient::requestFromInsideASinkGetsItsOwnConnection()
{
    HttpClient http;
    HttpRequest req;
    req.url = m_http.url("/big");
    QByteArray got;
    QByteArray inner;
    const HttpResponse r = http.sendStreaming(req, [&](const char *data, size_t size, const HttpResponse &) {
        if (inner.isEmpty())
            inner = http.get(m_http.url("/who?n=7")).body;
        got.append(data, qsizetype(size));
        return true;
    });
    QCOMPARE(r.status, 200);
    QCOMPARE(got, QByteArray::fromStdString(m_bigBody));
    QCOMPARE(whoFields(HttpResponse{200, {}, {}, inner}).value(4), QByteArray("7"));
}

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
