// The request layer against the project's own server: what is stored comes back unchanged.
#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "common/UrlEncoding.h"
#include "server/FormEncoder.h"
#include "server/ServerClient.h"
#include "xml/MemoryDocumentList.h"
#include "server/clsConnection.h"
#include "server/clsOstrelAccess.h"
#include "support/OstreldProcess.h"

#include <QTest>

#include <memory>

using namespace owb;
using owb::MemoryDocumentList;

class TestRealServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void pingJudgesCredentials_data();
    void pingJudgesCredentials();
    void storeFetchReplaceRemove();
    void filterReachesServerUnchanged_data();
    void filterReachesServerUnchanged();
    void unsendableDocumentStoresNothing();
    void declaredEncodingDoesNotMatter_data();
    void declaredEncodingDoesNotMatter();

private:
    int countMatches(const QString &xpath);

    std::unique_ptr<owbtest::OstreldProcess> m_server;
    QString m_db;
    clsConnection m_connection;
    FormEncoder m_encoder;
    HttpClient m_http;
};

void TestRealServer::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("OSTRELD_EXE"))
        QSKIP("the server is not part of this build (OSTRELD_EXE unset)");
    m_server = std::make_unique<owbtest::OstreldProcess>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    m_db = m_server->databaseURI();
    m_http.setTimeouts(5000, 10000, 30000);
    m_connection.AddConString(m_db, "demo", "demo");
    m_connection.setContext(m_db);
}

void TestRealServer::cleanupTestCase()
{
    m_server.reset();
}

void TestRealServer::pingJudgesCredentials_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("alive");
    QTest::addColumn<QString>("failureText");
    QTest::newRow("right") << "demo" << true << "";
    QTest::newRow("wrong") << "nope" << false << "Failed to connect (401) Unauthorized";
}

void TestRealServer::pingJudgesCredentials()
{
    QFETCH(QString, password);
    QFETCH(bool, alive);
    QFETCH(QString, failureText);
    const PingResult r = ServerClient(m_http).ping(m_db, "demo", password);
    QCOMPARE(r.alive, alive);
    QCOMPARE(r.failureText, failureText);
}

int TestRealServer::countMatches(const QString &xpath)
{
    const HttpResponse res =
        m_http.get(m_db + "/Sales?_xql=" + QString::fromLatin1(UrlEncoding::encodeQueryValue(xpath)));
    DomDocument doc = NewDOMDocument(false, true);
    if (res.status != 200 || !doc.loadBytes(res.body))
        return -1;
    const DomNode result = doc.selectSingleNode("osl:response/xql:result");
    return result ? int(result.childNodes().size()) : -1;
}

void TestRealServer::storeFetchReplaceRemove()
{
    const QString collection = m_db + "/Sales";
    const QString name = QString::fromUtf8("Zoë & Søren O'Neil € 中文 Ω 😀");
    const QString xml = QString::fromUtf8("<Customer number=\"C9€1\"><name>%1</name><address><street>"
                                          "Straße 1</street><city>北京</city><country>CN</country></address>"
                                          "<email>z@example.org</email></Customer>")
                            .arg(name.toHtmlEscaped());
    clsOstrelAccess access(m_connection, m_encoder, m_http);
    MemoryDocumentList list;
    const QString id = access.ProcessRequest(collection, xml, list);
    QVERIFY(id.toInt() > 0);
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.text(0), "+ osl:id=" + id);
    QCOMPARE(list.itemData(0), id.toInt());
    QCOMPARE(list.currentIndex(), 0);

    DomNode root = access.getDocument(collection, "Customer", id.toInt());
    QVERIFY(!root.isNull());
    QCOMPARE(root.getAttribute("osl:id"), id);
    QCOMPARE(root.selectSingleNode("name").text(), name);
    QCOMPARE(root.selectSingleNode("address/city").text(), QString::fromUtf8("北京"));
    QCOMPARE(root.getAttribute("number"), QString::fromUtf8("C9€1"));

    // Replacing the fetched text keeps the id and leaves the list alone.
    root.selectSingleNode("address/street").setText(QString::fromUtf8("Ĺoňg ßtreet №2"));
    QCOMPARE(access.ProcessRequest(collection, root.xml(), list), id);
    QCOMPARE(list.count(), 1);
    QCOMPARE(access.getDocument(collection, "Customer", id.toInt()).selectSingleNode("address/street").text(),
             QString::fromUtf8("Ĺoňg ßtreet №2"));

    access.RemoveDocument(root, collection);
    QVERIFY(!root.hasAttribute("osl:id"));
    QVERIFY(access.getDocument(collection, "Customer", id.toInt()).isNull());
}

void TestRealServer::filterReachesServerUnchanged_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("amp hash plus") << "A&B #1+2";
    QTest::newRow("blanks and apostrophe") << "O'Neil  and  sons";
    QTest::newRow("non-ascii") << QString::fromUtf8("Jürgen € 中");
    QTest::newRow("percent and equals") << "100% = sure?";
}

void TestRealServer::filterReachesServerUnchanged()
{
    QFETCH(QString, name);
    const QString collection = m_db + "/Sales";
    const QString xml = "<Customer number=\"F1\"><name>" + name.toHtmlEscaped()
        + "</name><address><street>s</street><city>c</city><country>DE</country></address>"
          "<email>f@example.org</email></Customer>";
    MemoryDocumentList list;
    const QString id = clsOstrelAccess(m_connection, m_encoder, m_http).ProcessRequest(collection, xml, list);
    QVERIFY(!id.isEmpty());
    const QString quoted = name.contains('"') ? "'" + name + "'" : "\"" + name + "\"";
    QCOMPARE(countMatches("Customer[name=" + quoted + "]"), 1);
    QCOMPARE(countMatches("Customer[name=" + quoted + " and @osl:id=" + id + "]"), 1);
}

void TestRealServer::unsendableDocumentStoresNothing()
{
    const int before = countMatches("Customer");
    QVERIFY(before >= 0);
    const QString xml = QString::fromUtf8("<Customer number=\"X\"><!-- Notiz: 5 € --><name>n</name><address>"
                                          "<street>s</street><city>c</city><country>DE</country></address>"
                                          "<email>x@example.org</email></Customer>");
    MemoryDocumentList list;
    try {
        clsOstrelAccess(m_connection, m_encoder, m_http).ProcessRequest(m_db + "/Sales", xml, list);
        QFAIL("a comment holding a character outside ISO-8859-1 cannot be stored losslessly");
    } catch (const OstrelError &e) {
        QVERIFY2(e.description().contains("comment"), qPrintable(e.description()));
    }
    QCOMPARE(list.count(), 0);
    QCOMPARE(countMatches("Customer"), before);
}

void TestRealServer::declaredEncodingDoesNotMatter_data()
{
    QTest::addColumn<QString>("declaration");
    QTest::newRow("none") << "";
    QTest::newRow("utf-8") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    QTest::newRow("iso-8859-1") << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
}

void TestRealServer::declaredEncodingDoesNotMatter()
{
    QFETCH(QString, declaration);
    const QString name = QString::fromUtf8("Édith € 中");
    const QString xml = declaration + "<Customer number=\"D1\"><name>" + name
        + "</name><address><street>s</street><city>c</city><country>FR</country></address>"
          "<email>d@example.org</email></Customer>";
    clsOstrelAccess access(m_connection, m_encoder, m_http);
    MemoryDocumentList list;
    const QString id = access.ProcessRequest(m_db + "/Sales", xml, list);
    const DomNode root = access.getDocument(m_db + "/Sales", "Customer", id.toInt());
    QVERIFY(!root.isNull());
    QCOMPARE(root.selectSingleNode("name").text(), name);
}

QTEST_GUILESS_MAIN(TestRealServer)
#include "tst_realserver.moc"
