#include "common/LocalHttpServer.h"
#include "xml/DomDocument.h"
#include "common/HttpClient.h"

#include <QtTest>

#include <atomic>
#include <mutex>

using namespace owb;

class TestDomHttp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void load_data();
    void load();
    void noCredentialsSent();
    void unreachableServer();
    void noClientNoRequest();

private:
    owbtest::LocalHttpServer m_server;
    std::mutex m_lock;
    std::string m_lastAuthorization;
    std::string m_lastMethod;
    std::atomic<int> m_requests{0};
};

void TestDomHttp::initTestCase()
{
    m_server.server.Get("/ok", [this](const httplib::Request &req, httplib::Response &res) {
        ++m_requests;
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_lastAuthorization = req.get_header_value("Authorization");
            m_lastMethod = req.method;
        }
        res.set_content("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\">\n"
                        "  <osl:message osl:returnvalue=\"0\"><osl:messageline>caf\xE9</osl:messageline></osl:message>\n"
                        "</osl:response>",
                        "text/xml");
    });
    m_server.server.Get("/missing", [](const httplib::Request &, httplib::Response &res) {
        res.status = 404;
        res.set_content("<osl:response xmlns:osl=\"urn:x\"/>", "text/xml");
    });
    m_server.server.Get("/broken", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<a>\n<b></a>", "text/xml");
    });
    m_server.server.Get("/error", [](const httplib::Request &, httplib::Response &res) {
        res.status = 500;
        res.set_content("<fine/>", "text/xml");
    });
    QVERIFY(m_server.start());
}

void TestDomHttp::load_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("reasonPart");
    QTest::addColumn<int>("line");

    QTest::newRow("document") << "/ok" << true << "" << 0;
    QTest::newRow("not found") << "/missing" << false << "404" << 0;
    QTest::newRow("server error with a well-formed body") << "/error" << false << "500" << 0;
    QTest::newRow("not well-formed") << "/broken" << false << "mismatch" << 2;
}

void TestDomHttp::load()
{
    QFETCH(QString, path);
    QFETCH(bool, ok);
    QFETCH(QString, reasonPart);
    QFETCH(int, line);

    HttpClient client;
    DomDocument doc = NewDOMDocument(false, true);
    doc.setHttpClient(&client);
    const QString url = m_server.url(path);
    QCOMPARE(doc.load(url), ok);
    QCOMPARE(doc.url(), url);
    if (ok) {
        QCOMPARE(doc.selectSingleNode(QStringLiteral("osl:response/osl:message/osl:messageline")).text(),
                 QStringLiteral("caf\u00e9"));
        QCOMPARE(doc.parseError().errorCode, 0);
        // Indentation of the answer does not count as children.
        QCOMPARE(doc.documentElement().childNodes().size(), 1);
    } else {
        QVERIFY2(doc.parseError().reason.contains(reasonPart, Qt::CaseInsensitive), qPrintable(doc.parseError().reason));
        QVERIFY(doc.parseError().errorCode != 0);
        QCOMPARE(doc.parseError().url, url);
        QCOMPARE(doc.parseError().line, line);
    }
}

void TestDomHttp::noCredentialsSent()
{
    HttpClient client;
    DomDocument doc = NewDOMDocument(false, true);
    doc.setHttpClient(&client);
    QVERIFY(doc.load(m_server.url(QStringLiteral("/ok"))));
    std::lock_guard<std::mutex> g(m_lock);
    QCOMPARE(m_lastMethod, std::string("GET"));
    QVERIFY(m_lastAuthorization.empty());
}

void TestDomHttp::unreachableServer()
{
    HttpClient client;
    DomDocument doc = NewDOMDocument(false, true);
    doc.setHttpClient(&client);
    QVERIFY(doc.loadXML(QStringLiteral("<before/>")));
    const QString url = QStringLiteral("http://127.0.0.1:%1/x").arg(owbtest::closedPort());
    QVERIFY(!doc.load(url));
    QVERIFY(!doc.parseError().reason.isEmpty());
    QCOMPARE(doc.parseError().url, url);
    QCOMPARE(doc.documentElement().nodeName(), QStringLiteral("before"));
}

void TestDomHttp::noClientNoRequest()
{
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(QStringLiteral("<before/>")));
    const int before = m_requests.load();
    const QString url = m_server.url(QStringLiteral("/ok"));
    QVERIFY(!doc.load(url));
    QCOMPARE(doc.parseError().reason, QStringLiteral("No HTTP client to fetch ") + url);
    QCOMPARE(doc.parseError().url, url);
    QCOMPARE(m_requests.load(), before);
    QCOMPARE(doc.documentElement().nodeName(), QStringLiteral("before"));
}

QTEST_GUILESS_MAIN(TestDomHttp)
#include "tst_domhttp.moc"
