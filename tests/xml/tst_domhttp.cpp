#include "common/LocalHttpServer.h"
#include "xml/DomDocument.h"

#include <QtTest>

#include <atomic>

using namespace owb;

class TestDomHttp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void noClientNoRequest();

private:
    owbtest::LocalHttpServer m_server;
    std::atomic<int> m_requests{0};
};

void TestDomHttp::initTestCase()
{
    m_server.server.Get("/ok", [this](const httplib::Request &, httplib::Response &res) {
        ++m_requests;
        res.set_content("<ok/>", "text/xml");
    });
    QVERIFY(m_server.start());
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
