#include <QtTest>

#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "navigation/FakeServer.h"
#include "navigation/SchemaAnswers.h"
#include "schema/clsSchema.h"
#include "xml/DomDocument.h"

using owb::clsSchema;
using owb::OstrelError;

using namespace answers;

class TestClsSchema : public QObject {
    Q_OBJECT
private slots:
    void xpathLiteral_data();
    void xpathLiteral();
    void getSchema_data();
    void getSchema();
    void emptyAnswerResetsNonXml();
    void queryCarriesNamesExactly_data();
    void queryCarriesNamesExactly();
    void loadFailure_data();
    void loadFailure();
};

void TestClsSchema::xpathLiteral_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "Sales";
    QTest::newRow("blank") << "Sales Dept";
    QTest::newRow("apostrophe") << "Bob's";
    QTest::newRow("double quote") << "say \"hi\"";
    QTest::newRow("both quotes") << "Bob's \"best\"";
    QTest::newRow("apostrophes at the ends") << "'x'";
    QTest::newRow("apostrophes only") << "''";
}

void TestClsSchema::xpathLiteral()
{
    QFETCH(QString, text);
    // The literal must select exactly the attribute holding text, and not a near miss.
    owb::DomDocument doc = owb::NewDOMDocument(false, true);
    QVERIFY(doc.loadXML("<r><a/><a/></r>"));
    const QList<owb::DomNode> as = doc.selectNodes("/r/a");
    QCOMPARE(as.size(), 2);
    owb::DomNode exact = as[0], near = as[1];
    exact.setAttribute("v", text);
    near.setAttribute("v", text + "'");
    const QList<owb::DomNode> hits =
        doc.selectNodes("/r/a[@v=" + clsSchema::xpathLiteral(text) + "]");
    QCOMPARE(hits.size(), 1);
    QVERIFY(hits[0] == exact);
}

void TestClsSchema::getSchema_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("doctype");
    QTest::addColumn<int>("schemaId");   // 0: none returned
    QTest::addColumn<bool>("nonXml");

    QTest::newRow("XML doctype") << answer(schema("Sales", {"Order"}, 4)) << "Order" << 4 << false;
    QTest::newRow("non-XML doctype") << answer(schema("Media", {"images!"}, 5)) << "images" << 5 << true;
    QTest::newRow("XML doctype beside a non-XML one")
        << answer(schema("Media", {"images!", "captions"}, 6)) << "captions" << 6 << false;
    QTest::newRow("non-XML doctype beside an XML one")
        << answer(schema("Media", {"captions", "images!"}, 6)) << "images" << 6 << true;
    QTest::newRow("several matches: the first")
        << answer(schema("Sales", {"Order"}, 7) + schema("Sales", {"Order!"}, 8)) << "Order" << 7 << false;
    QTest::newRow("empty result") << answer("") << "Order" << 0 << false;
    QTest::newRow("no result element") << (Head + Tail) << "Order" << 0 << false;
}

void TestClsSchema::getSchema()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, doctype);
    QFETCH(int, schemaId);
    QFETCH(bool, nonXml);
    FakeServer server;
    QVERIFY(server.ok());
    server.setAnswer("/ostrel/db/osl:collection", 200, body);
    owb::HttpClient http;
    clsSchema s(&http);
    const owb::DomNode node = s.GetSchema(server.base() + "/ostrel/db", "Sales", doctype);
    if (schemaId == 0) {
        QVERIFY(node.isNull());
    } else {
        QVERIFY(!node.isNull());
        QCOMPARE(node.nodeName(), QStringLiteral("xs:schema"));
        QCOMPARE(node.getAttribute("osl:id"), QString::number(schemaId));
        // The caller shows it on its own: its text must declare its prefixes.
        owb::DomDocument again;
        QVERIFY2(again.loadXML(node.xml()), qPrintable(node.xml()));
    }
    QCOMPARE(s.NonXML(), nonXml);
}

void TestClsSchema::emptyAnswerResetsNonXml()
{
    FakeServer server;
    QVERIFY(server.ok());
    server.setAnswer("/ostrel/db/osl:collection", 200, answer(schema("Media", {"images!"}, 1)));
    owb::HttpClient http;
    clsSchema s(&http);
    QVERIFY(!s.GetSchema(server.base() + "/ostrel/db", "Media", "images").isNull());
    QVERIFY(s.NonXML());
    server.setAnswer("/ostrel/db/osl:collection", 200, answer(""));
    QVERIFY(s.GetSchema(server.base() + "/ostrel/db", "Media", "images").isNull());
    QVERIFY(!s.NonXML());
}

void TestClsSchema::queryCarriesNamesExactly_data()
{
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("doctype");
    QTest::newRow("plain") << "Sales" << "Order";
    QTest::newRow("blank") << "Sales Dept" << "Order";
    QTest::newRow("apostrophe") << "Bob's" << "O'Brien";
    QTest::newRow("plus and ampersand") << "a+b" << "c&d";
}

void TestClsSchema::queryCarriesNamesExactly()
{
    QFETCH(QString, collection);
    QFETCH(QString, doctype);
    FakeServer server;
    QVERIFY(server.ok());
    server.setAnswer("/ostrel/db/osl:collection", 200, answer(""));
    owb::HttpClient http;
    clsSchema s(&http);
    s.GetSchema(server.base() + "/ostrel/db", collection, doctype);
    const QString query = server.requests().value(0).section("?_xql=", 1);
    QCOMPARE(query, clsSchema::schemaQuery(collection, doctype));

    // The query must select the schema of exactly these names when evaluated.
    owb::DomDocument doc = owb::NewDOMDocument(false, true);
    QVERIFY(doc.loadBytes("<c xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                          "xmlns:osd=\"http://namespaces.ostrel.org/ostrel/schema-definition\">"
                          "<xs:schema><xs:annotation><xs:appinfo><osd:schemaInfo>"
                          "<osd:collection name=\"\"/><osd:doctype name=\"\"/>"
                          "</osd:schemaInfo></xs:appinfo></xs:annotation></xs:schema></c>"));
    owb::DomNode coll = doc.selectSingleNode("//osd:collection");
    owb::DomNode type = doc.selectSingleNode("//osd:doctype");
    coll.setAttribute("name", collection);
    type.setAttribute("name", doctype);
    QVERIFY(!doc.documentElement().selectSingleNode(query).isNull());
    type.setAttribute("name", doctype + "x");
    QVERIFY(doc.documentElement().selectSingleNode(query).isNull());
}

void TestClsSchema::loadFailure_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("reason");   // empty: any
    QTest::newRow("not XML") << 200 << QByteArray("schema? what schema") << "";
    QTest::newRow("unknown database") << 404 << QByteArray("<html/>") << "";
    // A refused query says nothing about whether there is a schema.
    QTest::newRow("failure envelope")
        << 200 << (Head + "<osl:message osl:returnvalue=\"8301\"><osl:messagetext osl:code=\"OSL8301\">bad"
                          "</osl:messagetext></osl:message></osl:response>")
        << "OSL8301: bad";
}

void TestClsSchema::loadFailure()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, reason);
    FakeServer server;
    QVERIFY(server.ok());
    server.setAnswer("/ostrel/db/osl:collection", status, body);
    owb::HttpClient http;
    clsSchema s(&http);
    try {
        s.GetSchema(server.base() + "/ostrel/db", "Sales", "Order");
        QFAIL("a failed load must raise an error");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("clsChema"));
        QCOMPARE(e.number(), 0x80040000u);
        QVERIFY2(e.description().startsWith("Failed to load schema, reason\r\n"), qPrintable(e.description()));
        if (!reason.isEmpty())
            QCOMPARE(e.description(), "Failed to load schema, reason\r\n" + reason);
    }
}

QTEST_GUILESS_MAIN(TestClsSchema)
#include "tst_clsschema.moc"
