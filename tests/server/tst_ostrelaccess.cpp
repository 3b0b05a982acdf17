#include "common/HttpClient.h"
#include "common/LocalHttpServer.h"
#include "common/OstrelError.h"
#include "server/FormEncoder.h"
#include "xml/MemoryDocumentList.h"
#include "server/clsConnection.h"
#include "server/clsOstrelAccess.h"

#include <QTest>

#include <mutex>

using namespace owb;
using owbtest::LocalHttpServer;
using owb::MemoryDocumentList;

namespace {

const QString kOsl = QStringLiteral("http://namespaces.ostrel.org/ostrel/response2");

QString envelope(const QString &inner)
{
    return QStringLiteral("<?xml version=\"1.0\"?>\n<osl:response xmlns:osl=\"%1\" "
                          "xmlns:xql=\"http://namespaces.ostrel.org/xql\">\n  %2\n</osl:response>")
        .arg(kOsl, inner);
}

QString message(const QString &code, const QString &text)
{
    return QStringLiteral("<osl:message osl:returnvalue=\"%1\"><osl:messagetext osl:code=\"OSL%1\">%2"
                          "</osl:messagetext></osl:message>")
        .arg(code, text);
}

QString stored(const QString &id)
{
    return envelope(QStringLiteral("<osl:object osl:collection=\"Sales\" osl:doctype=\"Order\" osl:id=\"%1\"/>\n  "
                                   "<osl:message osl:returnvalue=\"0\"><osl:messageline>stored</osl:messageline></osl:message>")
                        .arg(id));
}

} // namespace

class TestOstrelAccess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void storeIsJudged_data();
    void storeIsJudged();
    void storeSendsFormBodyWithCredentials();
    void removeIsJudged_data();
    void removeIsJudged();
    void removeSendsPathAndDropsId();
    void removeWithoutIdSendsNothing();
    void unreachableServerFails();
    void statusWithoutReasonIsNamed();
    void fetchReturnsRootElement_data();
    void fetchReturnsRootElement();
    void fetchFailures_data();
    void fetchFailures();

private:
    QString collectionUri() const { return m_http.url("/ostrel/db/Sales"); }
    void answer(int status, const QString &body)
    {
        std::lock_guard g(m_lock);
        m_status = status;
        m_body = body.toStdString();
    }

    LocalHttpServer m_http;
    std::mutex m_lock;
    int m_status = 200;
    std::string m_body;
    int m_requests = 0;
    std::string m_gotBody, m_gotType, m_gotAuth, m_gotQuery;
    clsConnection m_connection;
    FormEncoder m_encoder;
    HttpClient m_client;
};

void TestOstrelAccess::initTestCase()
{
    auto handler = [this](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard g(m_lock);
        ++m_requests;
        m_gotBody = req.body;
        m_gotType = req.get_header_value("Content-Type");
        m_gotAuth = req.get_header_value("Authorization");
        m_gotQuery = req.get_param_value("_xql");
        res.status = m_status;
        res.set_content(m_body, "text/xml");
    };
    m_http.server.Post("/ostrel/db/Sales", handler);
    m_http.server.Get("/ostrel/db/Sales", handler);
    QVERIFY(m_http.start());
    m_connection.AddConString(m_http.url("/ostrel/db"), "demo", "de;mo");
    m_connection.setContext(m_http.url("/ostrel/db"));
    m_client.setTimeouts(2000, 2000, 10000);
}

void TestOstrelAccess::init()
{
    std::lock_guard g(m_lock);
    m_requests = 0;
    m_gotBody.clear();
    m_gotQuery.clear();
}

void TestOstrelAccess::storeIsJudged_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("error");
    const QString fresh = "<Order><total>5</total></Order>";
    const QString replace = "<Order osl:id=\"42\" xmlns:osl=\"" + kOsl + "\"><total>5</total></Order>";
    const QString mentions = "<Order><note>see osl:id later</note></Order>";
    QTest::newRow("new document") << 200 << stored("42") << fresh << "42" << "";
    QTest::newRow("replace") << 200 << stored("42") << replace << "42" << "";
    QTest::newRow("osl:id in content counts as known") << 200 << stored("9") << mentions << "9" << "";
    QTest::newRow("300 judged by envelope") << 300 << stored("43") << fresh << "43" << "";
    QTest::newRow("301") << 301 << stored("43") << fresh << "" << "HTTP Error Moved Permanently";
    QTest::newRow("401") << 401 << QString() << fresh << "" << "HTTP Error Unauthorized";
    QTest::newRow("500") << 500 << envelope(message("1", "x")) << fresh << ""
                         << "HTTP Error Internal Server Error";
    QTest::newRow("refused by server") << 200 << envelope(message("8301", "unknown doctype")) << fresh
                                       << "" << "Ostrel error (8301) OSL8301: unknown doctype";
    QTest::newRow("refused with a status") << 400 << envelope(message("8302", "bad body")) << fresh << ""
                                           << "HTTP Error Bad Request: OSL8302: bad body";
    QTest::newRow("refused without a return value")
        << 200 << envelope("<osl:message><osl:messagetext osl:code=\"OSL9\">no</osl:messagetext></osl:message>")
        << fresh << "" << "Ostrel error OSL9: no";
    QTest::newRow("not xml") << 200 << "Service temporarily down" << fresh << ""
                             << "The server's answer is not XML (HTTP 200): ";
    QTest::newRow("empty answer") << 200 << "" << fresh << "" << "The server's answer is not XML";
    QTest::newRow("root without child") << 200 << envelope("") << fresh << ""
                                        << "The server's answer holds no message element";
    QTest::newRow("message without return value")
        << 200 << envelope("<osl:message><osl:messageline>ok</osl:messageline></osl:message>") << fresh
        << "" << "The server's message element holds no return value";
    QTest::newRow("success without object")
        << 200 << envelope("<osl:message osl:returnvalue=\"0\"><osl:messageline>ok</osl:messageline></osl:message>")
        << fresh << "" << "The server's answer holds no osl:object";
    QTest::newRow("object without id")
        << 200 << envelope("<osl:object/><osl:message osl:returnvalue=\"0\">ok</osl:message>") << fresh << ""
        << "The server's answer names no valid document id";
}

void TestOstrelAccess::storeIsJudged()
{
    QFETCH(int, status);
    QFETCH(QString, answer);
    QFETCH(QString, xml);
    QFETCH(QString, id);
    QFETCH(QString, error);
    this->answer(status, answer);
    MemoryDocumentList list;
    list.addEntry("Order 1", 1);
    list.addEntry("Order 2", 2);
    list.setCurrentIndex(0);
    clsOstrelAccess access(m_connection, m_encoder, m_client);
    const bool isNew = !xml.contains("osl:id");
    try {
        const QString got = access.ProcessRequest(collectionUri(), xml, list);
        QVERIFY2(error.isEmpty(), qPrintable("expected failure: " + error));
        QCOMPARE(got, id);
        if (isNew) {
            QCOMPARE(list.count(), 3);
            QCOMPARE(list.text(2), "+ osl:id=" + id);
            QCOMPARE(list.itemData(2), id.toInt());
            QCOMPARE(list.currentIndex(), 2);
        } else {
            QCOMPARE(list.count(), 2);
            QCOMPARE(list.currentIndex(), 0);
        }
    } catch (const OstrelError &e) {
        QVERIFY2(!error.isEmpty(), qPrintable("unexpected: " + e.description()));
        QCOMPARE(e.source(), QStringLiteral("OstrelAccess"));
        QCOMPARE(e.number(), 0x80040000u);
        QVERIFY2(e.description().startsWith(error), qPrintable(e.description()));
        QCOMPARE(list.count(), 2);
    }
}

void TestOstrelAccess::storeSendsFormBodyWithCredentials()
{
    answer(200, stored("7"));
    MemoryDocumentList list;
    const QString xml = QString::fromUtf8("<Order a='x&amp;y'>Zoë + 5 €</Order>");
    clsOstrelAccess(m_connection, m_encoder, m_client).ProcessRequest(collectionUri(), xml, list);
    std::lock_guard g(m_lock);
    QCOMPARE(QByteArray::fromStdString(m_gotBody), "_process=" + m_encoder.EncodeXml(xml));
    QCOMPARE(QByteArray::fromStdString(m_gotType),
             QByteArray("application/x-www-form-urlencoded; charset=iso-8859-1"));
    QCOMPARE(QByteArray::fromStdString(m_gotAuth), "Basic " + QByteArray("demo:de;mo").toBase64());
}

void TestOstrelAccess::removeIsJudged_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("error");
    const QString ok = envelope("<osl:message osl:returnvalue=\"0\"><osl:messageline>1 removed</osl:messageline></osl:message>");
    QTest::newRow("removed") << 200 << ok << "";
    QTest::newRow("300 judged by envelope") << 300 << ok << "";
    QTest::newRow("301") << 301 << ok << "HTTP Error Moved Permanently";
    QTest::newRow("404") << 404 << "" << "HTTP Error Not Found";
    QTest::newRow("refused by server") << 200 << envelope(message("8302", "locked")) << "OSL8302: locked";
    QTest::newRow("not xml") << 200 << "<html><body>oops" << "The server's answer is not XML";
    QTest::newRow("root without child") << 200 << envelope("") << "The server's answer holds no message element";
}

void TestOstrelAccess::removeIsJudged()
{
    QFETCH(int, status);
    QFETCH(QString, answer);
    QFETCH(QString, error);
    this->answer(status, answer);
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML("<Order xmlns:osl=\"" + kOsl + "\" osl:id=\"7\"><total>5</total></Order>"));
    DomNode root = doc.documentElement();
    clsOstrelAccess access(m_connection, m_encoder, m_client);
    try {
        access.RemoveDocument(root, collectionUri());
        QVERIFY2(error.isEmpty(), qPrintable("expected failure: " + error));
        QVERIFY(!root.hasAttribute("osl:id"));
    } catch (const OstrelError &e) {
        QVERIFY2(!error.isEmpty(), qPrintable("unexpected: " + e.description()));
        QCOMPARE(e.source(), QStringLiteral("Ostrel Acccess"));
        QVERIFY2(e.description().startsWith(error), qPrintable(e.description()));
        QCOMPARE(root.getAttribute("osl:id"), QStringLiteral("7"));
    }
}

void TestOstrelAccess::removeSendsPathAndDropsId()
{
    answer(200, envelope("<osl:message osl:returnvalue=\"0\"><osl:messageline>1 removed</osl:messageline></osl:message>"));
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML("<Order xmlns:osl=\"" + kOsl + "\" osl:id=\"7\"><total>5</total></Order>"));
    DomNode root = doc.documentElement();
    clsOstrelAccess access(m_connection, m_encoder, m_client);
    access.RemoveDocument(root, collectionUri());
    {
        std::lock_guard g(m_lock);
        QCOMPARE(QByteArray::fromStdString(m_gotBody), QByteArray("_delete=Order%5B%40osl%3Aid%3D7%5D"));
        QCOMPARE(QByteArray::fromStdString(m_gotType),
                 QByteArray("application/x-www-form-urlencoded; charset=iso-8859-1"));
        QCOMPARE(QByteArray::fromStdString(m_gotAuth), "Basic " + QByteArray("demo:de;mo").toBase64());
    }
    // Without its id the same text now stores as a new document.
    QVERIFY(!root.xml().contains("osl:id"));
    answer(200, stored("8"));
    MemoryDocumentList list;
    QCOMPARE(access.ProcessRequest(collectionUri(), root.xml(), list), QStringLiteral("8"));
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.text(0), QStringLiteral("+ osl:id=8"));
}

void TestOstrelAccess::removeWithoutIdSendsNothing()
{
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML("<Order><total>5</total></Order>"));
    DomNode root = doc.documentElement();
    QVERIFY_THROWS_EXCEPTION(OstrelError,
                             clsOstrelAccess(m_connection, m_encoder, m_client).RemoveDocument(root, collectionUri()));
    std::lock_guard g(m_lock);
    QCOMPARE(m_requests, 0);
}

void TestOstrelAccess::unreachableServerFails()
{
    const QString dead = QStringLiteral("http://127.0.0.1:%1/ostrel/db/Sales").arg(owbtest::closedPort());
    clsOstrelAccess access(m_connection, m_encoder, m_client);
    MemoryDocumentList list;
    QVERIFY_THROWS_EXCEPTION(OstrelError, access.ProcessRequest(dead, "<Order/>", list));
    QCOMPARE(list.count(), 0);
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML("<Order xmlns:osl=\"" + kOsl + "\" osl:id=\"7\"/>"));
    DomNode root = doc.documentElement();
    QVERIFY_THROWS_EXCEPTION(OstrelError, access.RemoveDocument(root, dead));
    QVERIFY(root.hasAttribute("osl:id"));
    try {
        access.getDocument(dead, "Order", 7);
        QFAIL("an unreachable server must fail");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("Ostrel Access"));
        QVERIFY(e.description().startsWith("Failed to load document (" + dead + "?_xql="));
    }
}

void TestOstrelAccess::statusWithoutReasonIsNamed()
{
    owbtest::CannedSocketServer canned("HTTP/1.1 502\r\nContent-Length: 0\r\n\r\n");
    MemoryDocumentList list;
    try {
        clsOstrelAccess(m_connection, m_encoder, m_client).ProcessRequest(canned.url("/ostrel/db/Sales"), "<Order/>", list);
        QFAIL("a 502 must fail");
    } catch (const OstrelError &e) {
        QCOMPARE(e.description(), QStringLiteral("HTTP Error 502"));
    }
}

void TestOstrelAccess::fetchReturnsRootElement_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("rootName");
    QTest::newRow("one document")
        << envelope("<xql:query>Order[@osl:id=7]</xql:query>\n  <xql:result>\n    <Order osl:id=\"7\"><total>5</total></Order>\n  </xql:result>")
        << "Order";
    QTest::newRow("empty result") << envelope("<xql:result>\n  </xql:result>") << "";
}

void TestOstrelAccess::fetchReturnsRootElement()
{
    QFETCH(QString, answer);
    QFETCH(QString, rootName);
    this->answer(200, answer);
    const DomNode node = clsOstrelAccess(m_connection, m_encoder, m_client).getDocument(collectionUri(), "Order", 7);
    {
        std::lock_guard g(m_lock);
        QCOMPARE(QString::fromStdString(m_gotQuery), QStringLiteral("Order[@osl:id=7]"));
    }
    if (rootName.isEmpty()) {
        QVERIFY(node.isNull());
    } else {
        QVERIFY(!node.isNull());
        QCOMPARE(node.nodeName(), rootName);
        QCOMPARE(node.getAttribute("osl:id"), QStringLiteral("7"));
        QCOMPARE(node.firstChild().nodeName(), QStringLiteral("total"));
    }
}

void TestOstrelAccess::fetchFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not xml") << 200 << "<osl:response><unclosed>" << "";
    QTest::newRow("404") << 404 << envelope(message("404", "no such collection")) << "HTTP 404 Not Found";
    QTest::newRow("500") << 500 << "" << "HTTP 500 Internal Server Error";
    // A refusal is no answer without a result: the document may well be stored.
    QTest::newRow("failure envelope") << 200 << envelope(message("8301", "bad query")) << "OSL8301: bad query";
    QTest::newRow("failure beside a result")
        << 200 << envelope("<xql:result><Order osl:id=\"7\"/></xql:result>" + message("8309", "cut short"))
        << "OSL8309: cut short";
}

void TestOstrelAccess::fetchFailures()
{
    QFETCH(int, status);
    QFETCH(QString, answer);
    QFETCH(QString, reason);
    this->answer(status, answer);
    const QString url = collectionUri() + "?_xql=Order%5B%40osl%3Aid%3D7%5D";
    try {
        clsOstrelAccess(m_connection, m_encoder, m_client).getDocument(collectionUri(), "Order", 7);
        QFAIL("expected a failure");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("Ostrel Access"));
        const QString head = "Failed to load document (" + url + ")\r\nreason:";
        QVERIFY2(e.description().startsWith(head), qPrintable(e.description()));
        QVERIFY(e.description().size() > head.size());
        if (!reason.isEmpty())
            QCOMPARE(e.description(), head + reason);
    }
}

QTEST_GUILESS_MAIN(TestOstrelAccess)
#include "tst_ostrelaccess.moc"
