#include "common/HttpClient.h"
#include "common/LocalHttpServer.h"
#include "server/ServerClient.h"

#include <QRegularExpression>
#include <QTest>

#include <mutex>
#include <thread>

using namespace owb;

class TestServerPing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void answersAreJudged_data();
    void answersAreJudged();
    void sendsCredentialsAndHeader();
    void unreachableServerIsNotAlive_data();
    void unreachableServerIsNotAlive();
    void tricklingServerEndsTheCheckInTime();

private:
    owbtest::LocalHttpServer m_http;
    std::mutex m_lock;
    int m_status = 200;
    std::string m_body;
    std::string m_auth, m_type, m_diagnose, m_path;
};

void TestServerPing::initTestCase()
{
    m_http.server.Get(R"(/ostrel/.*)", [this](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard g(m_lock);
        m_auth = req.get_header_value("Authorization");
        m_type = req.get_header_value("Content-Type");
        m_diagnose = req.get_param_value("_diagnose");
        m_path = req.path;
        res.status = m_status;
        res.set_content(m_body, "text/xml");
    });
    // 400 bytes, one every 50 ms: never a stall, and long past the check's cap.
    m_http.server.Get("/slow/ostrel/mydb", [](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink &sink) {
            if (offset >= 400) {
                sink.done();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return sink.write("x", 1);
        });
    });
    QVERIFY(m_http.start());
}

void TestServerPing::answersAreJudged_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("alive");
    QTest::addColumn<QString>("failureText");
    const QString aliveBody = "<osl:response><osl:message><osl:messageline>Server is alive</osl:messageline>"
                              "</osl:message></osl:response>";
    QTest::newRow("alive") << 200 << aliveBody << true << "";
    QTest::newRow("200 without is alive") << 200 << "<osl:response>Server is busy</osl:response>" << false << "";
    QTest::newRow("case matters") << 200 << "Server Is Alive" << false << "";
    QTest::newRow("401") << 401 << "" << false << "Failed to connect (401) Unauthorized";
    QTest::newRow("404") << 404 << "" << false << "Failed to connect (404) Not Found";
    QTest::newRow("201 counts as failure") << 201 << aliveBody << false << "Failed to connect (201) Created";
    // The text of an error page must not turn a failure into a success.
    QTest::newRow("500 saying is alive") << 500 << aliveBody << false
                                         << "Failed to connect (500) Internal Server Error";
}

void TestServerPing::answersAreJudged()
{
    QFETCH(int, status);
    QFETCH(QString, body);
    QFETCH(bool, alive);
    QFETCH(QString, failureText);
    {
        std::lock_guard g(m_lock);
        m_status = status;
        m_body = body.toStdString();
    }
    const PingResult r = ServerClient(HttpClient()).ping(m_http.url("/ostrel/mydb"), "demo", "demo");
    QVERIFY(r.answered);
    QCOMPARE(r.status, status);
    QCOMPARE(r.alive, alive);
    QCOMPARE(r.failureText, failureText);
    QCOMPARE(r.responseText, body);
    QVERIFY(r.transportError.isEmpty());
}

void TestServerPing::sendsCredentialsAndHeader()
{
    {
        std::lock_guard g(m_lock);
        m_status = 200;
        m_body = "Server is alive";
    }
    const PingResult r = ServerClient(HttpClient()).ping(m_http.url("/ostrel/mydb"), "jo:e", "p;w");
    QVERIFY(r.alive);
    std::lock_guard g(m_lock);
    QCOMPARE(QByteArray::fromStdString(m_auth), "Basic " + QByteArray("jo:e:p;w").toBase64());
    QCOMPARE(QByteArray::fromStdString(m_type), QByteArray("application/x-www-form-urlencoded; charset=iso-8859-1"));
    QCOMPARE(QByteArray::fromStdString(m_diagnose), QByteArray("ping"));
    QCOMPARE(QByteArray::fromStdString(m_path), QByteArray("/ostrel/mydb"));
}

void TestServerPing::unreachableServerIsNotAlive_data()
{
    QTest::addColumn<bool>("silent");
    QTest::newRow("refused") << false;
    QTest::newRow("never answers") << true;
}

void TestServerPing::unreachableServerIsNotAlive()
{
    QFETCH(bool, silent);
    owbtest::SilentSocket socket;
    const int port = silent ? socket.port() : owbtest::closedPort();
    const QString uri = QStringLiteral("http://127.0.0.1:%1/ostrel/mydb").arg(port);
    HttpClient http;
    http.setTimeouts(1000, 1000, 3000);
    const PingResult r = ServerClient(http).ping(uri, "demo", "demo");
    QVERIFY(!r.alive);
    QVERIFY(!r.answered);
    QCOMPARE(r.status, 0);
    QVERIFY(r.failureText.isEmpty());
    QVERIFY2(r.transportError.contains(uri), qPrintable(r.transportError));
    // A silent server is given up on by a time-out; without one the ping would never end.
    QCOMPARE(r.transportError.contains(QRegularExpression(QStringLiteral("too slow|timed out"))), silent);
}

void TestServerPing::tricklingServerEndsTheCheckInTime()
{
    HttpClient http;
    http.setTimeouts(1000, 1000, 0);   // the client itself has no cap
    const QString uri = m_http.url("/slow/ostrel/mydb");
    const PingResult r = ServerClient(http).ping(uri, "demo", "demo", 500);
    QVERIFY(!r.alive);
    QVERIFY2(!r.answered, qPrintable(r.responseText));
    QVERIFY2(r.transportError.contains(uri), qPrintable(r.transportError));
}

QTEST_GUILESS_MAIN(TestServerPing)
#include "tst_serverping.moc"
