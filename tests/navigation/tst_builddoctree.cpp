#include <QtTest>

#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "navigation/buildDocTree.h"
#include "xml/DomDocument.h"
#include "FakeServer.h"
#include "MemoryDocTree.h"
#include "SchemaAnswers.h"

using namespace answers;

using owb::buildDocTree;
using owb::OstrelError;

class TestBuildDocTree : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void missingStylesheet();
    void sortedEntries_data();
    void sortedEntries();
    void buildTreeFromServer();
    void buildTreeFailures_data();
    void buildTreeFailures();
    void buildTreeServerDown();
    void fillTree_data();
    void fillTree();
    void fillTreeNodeLooks();
    void fillTreeRepeatedKey_data();
    void fillTreeRepeatedKey();
    void schemaInfoUrlIsEncoded();
};

void TestBuildDocTree::initTestCase()
{
    qputenv("OSTREL_WORKBENCH_HOME", OWB_DATA_DIR);
}

void TestBuildDocTree::missingStylesheet()
{
    QTemporaryDir empty;
    qputenv("OSTREL_WORKBENCH_HOME", empty.path().toUtf8());
    owb::HttpClient http;
    try {
        buildDocTree builder(http);
        qputenv("OSTREL_WORKBENCH_HOME", OWB_DATA_DIR);
        QFAIL("a missing stylesheet must stop the builder");
    } catch (const OstrelError &e) {
        qputenv("OSTREL_WORKBENCH_HOME", OWB_DATA_DIR);
        QCOMPARE(e.source(), QStringLiteral("buildDocTree"));
        QCOMPARE(e.number(), 0x80040000u);
        QVERIFY2(e.description().startsWith(QStringLiteral("Failed to load stylesheet ") + empty.path()
                                            + QStringLiteral("/xsl/sortschema.xsl\r\n")),
                 qPrintable(e.description()));
    }
}

void TestBuildDocTree::sortedEntries_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("empty result") << answer("") << QStringList();
    QTest::newRow("whole schemas, sorted by collection then doctype")
        << answer(schema("Stock", {"Item"}, 1) + schema("Sales", {"Order", "Invoice"}, 2))
        << QStringList{"Sales/Invoice", "Sales/Order", "Stock/Item"};
    QTest::newRow("documents pruned to the path")
        << answer("<xs:schema osl:id=\"1\"><xs:annotation><xs:appinfo>" + schemaInfo("B", {"y"})
                  + "</xs:appinfo></xs:annotation></xs:schema>"
                  + "<xs:schema osl:id=\"2\"><xs:annotation><xs:appinfo>" + schemaInfo("A", {"x"})
                  + "</xs:appinfo></xs:annotation></xs:schema>")
        << QStringList{"A/x", "B/y"};
    QTest::newRow("schema information alone") << answer(schemaInfo("Z", {"b", "a"}))
                                              << QStringList{"Z/a", "Z/b"};
    QTest::newRow("one collection in non-adjacent schemas")
        << answer(schema("Sales", {"Order"}, 1) + schema("Stock", {"Item"}, 2)
                  + schema("Sales", {"Invoice"}, 3))
        << QStringList{"Sales/Invoice", "Sales/Order", "Stock/Item"};
    QTest::newRow("schema without collection name ignored")
        << answer(schema(QByteArray(), {"Lost"}, 1) + schema("Sales", {"Order"}, 2))
        << QStringList{"Sales/Order"};
    QTest::newRow("schema information outside the result ignored")
        << (Head + "<xql:query>" + schemaInfo("Q", {"q"}) + "</xql:query><xql:result>"
            + schema("Sales", {"Order"}, 1) + "</xql:result>" + Tail)
        << QStringList{"Sales/Order"};
}

void TestBuildDocTree::sortedEntries()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, names);
    owb::HttpClient http;
    buildDocTree builder(http);
    owb::DomDocument doc = owb::NewDOMDocument(false, true);
    QVERIFY2(doc.loadBytes(body), qPrintable(doc.parseError().reason));
    QCOMPARE(builder.sortedEntries(doc), names);
}

void TestBuildDocTree::buildTreeFromServer()
{
    FakeServer server;
    server.setAnswer("/ostrel/db/osl:collection", 200,
                     answer(schema("Stock", {"Item"}, 1) + schema("Sales", {"Order", "Invoice"}, 2)));
    owb::HttpClient http;
    buildDocTree builder(http);
    MemoryDocTree tree;
    const QStringList expected{">root", "root>Sales", "Sales>Sales/Invoice", "Sales>Sales/Order",
                               "root>Stock", "Stock>Stock/Item"};
    builder.buildTree(server.base() + "/ostrel/db", tree);
    QCOMPARE(tree.outline(), expected);
    // A second build starts afresh instead of doubling the tree.
    builder.buildTree(server.base() + "/ostrel/db", tree);
    QCOMPARE(tree.outline(), expected);
    QCOMPARE(server.requests().value(0),
             QStringLiteral("/ostrel/db/osl:collection?_xql=xs:schema/xs:annotation/xs:appinfo/osd:schemaInfo"));
}

void TestBuildDocTree::buildTreeFailures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("description");

    QTest::newRow("no result element") << 200 << (Head + Tail) << "Database is empty";
    // A refused query is no empty database.
    QTest::newRow("failure envelope")
        << 200 << (Head + "<osl:message osl:returnvalue=\"8301\"><osl:messagetext osl:code=\"OSL8301\">"
                          "bad</osl:messagetext></osl:message></osl:response>")
        << "Failed to load osl:collection\r\nOSL8301: bad";
    QTest::newRow("not well-formed") << 200 << QByteArray("<osl:response><xql:result>")
                                     << "Failed to load osl:collection\r\n";
    QTest::newRow("empty result, root kept") << 200 << answer("") << "Database is empty";
    QTest::newRow("unknown database") << 404 << QByteArray("<html>not found</html>")
                                      << "Failed to load osl:collection\r\n";
}

void TestBuildDocTree::buildTreeFailures()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, description);
    FakeServer server;
    server.setAnswer("/ostrel/db/osl:collection", status, body);
    owb::HttpClient http;
    buildDocTree builder(http);
    MemoryDocTree tree;
    tree.addNode({}, "stale", "stale", "Document", "Document");
    try {
        builder.buildTree(server.base() + "/ostrel/db", tree);
        QFAIL("the build must fail");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("buildDoc"));
        QCOMPARE(e.number(), 0x80040001u);
        if (description.endsWith(QLatin1Char('\n'))) {
            QVERIFY2(e.description().startsWith(description), qPrintable(e.description()));
            QVERIFY(e.description().size() > description.size());   // the reason follows
        } else {
            QCOMPARE(e.description(), description);
        }
    }
    QCOMPARE(tree.outline(), body == answer("") ? QStringList{">root"} : QStringList());
}

void TestBuildDocTree::buildTreeServerDown()
{
    QString base;
    {
        FakeServer gone;
        base = gone.base();
    }
    owb::HttpClient http;
    http.setTimeouts(2000, 2000, 5000);
    buildDocTree builder(http);
    MemoryDocTree tree;
    try {
        builder.buildTree(base + "/ostrel/db", tree);
        QFAIL("an unreachable server must fail the build");
    } catch (const OstrelError &e) {
        QVERIFY2(e.description().startsWith(QStringLiteral("Failed to load osl:collection\r\n")),
                 qPrintable(e.description()));
    }
    QVERIFY(tree.nodes.isEmpty());
}

void TestBuildDocTree::fillTree_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("outline");

    QTest::newRow("no entries") << QStringList() << QStringList{">root"};
    QTest::newRow("two collections")
        << QStringList{"Sales/Order", "Sales/Invoice", "Stock/Item"}
        << QStringList{">root", "root>Sales", "Sales>Sales/Order", "Sales>Sales/Invoice",
                       "root>Stock", "Stock>Stock/Item"};
    QTest::newRow("empty names skipped")
        << QStringList{"", "Sales/Order", ""}
        << QStringList{">root", "root>Sales", "Sales>Sales/Order"};
    QTest::newRow("collection is the part before the first slash")
        << QStringList{"A/b/c", "A/d"}
        << QStringList{">root", "root>A", "A>A/b/c", "A>A/d"};
    QTest::newRow("collection names compared case-sensitively")
        << QStringList{"sales/Order", "Sales/Order"}
        << QStringList{">root", "root>sales", "sales>sales/Order", "root>Sales", "Sales>Sales/Order"};
    QTest::newRow("entry without collection part skipped")
        << QStringList{"/Order", "Sales/Order"}
        << QStringList{">root", "root>Sales", "Sales>Sales/Order"};
}

void TestBuildDocTree::fillTree()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, outline);
    MemoryDocTree tree;
    const int doctypes = buildDocTree::fillTree(names, tree);
    QCOMPARE(tree.outline(), outline);
    QCOMPARE(doctypes, int(outline.filter(QRegularExpression(">.*/")).size()));
}

void TestBuildDocTree::fillTreeNodeLooks()
{
    MemoryDocTree tree;
    buildDocTree::fillTree({"Sales/Order"}, tree);
    QCOMPARE(tree.nodes.size(), 3);
    const auto &root = tree.nodes[0];
    QCOMPARE(root.text, QStringLiteral("Ostrel Documents"));
    QCOMPARE(root.image, QStringLiteral("Collections"));
    QCOMPARE(root.tag, QStringLiteral("Root"));
    const auto &coll = tree.nodes[1];
    QCOMPARE(coll.text, QStringLiteral("Sales"));
    QCOMPARE(coll.image, QStringLiteral("ClosedCollection"));
    QCOMPARE(coll.tag, QStringLiteral("Collection"));
    const auto &doc = tree.nodes[2];
    QCOMPARE(doc.text, QStringLiteral("Sales/Order"));
    QCOMPARE(doc.image, QStringLiteral("Document"));
    QCOMPARE(doc.tag, QStringLiteral("Document"));
}

void TestBuildDocTree::fillTreeRepeatedKey_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("nodesKept");
    QTest::addColumn<QString>("key");

    QTest::newRow("collection repeats after another")
        << QStringList{"A/x", "B/y", "A/z"} << 5 << "A";
    QTest::newRow("name without slash") << QStringList{"Sales"} << 2 << "Sales";
    QTest::newRow("doctype twice") << QStringList{"A/x", "A/x"} << 3 << "A/x";
}

void TestBuildDocTree::fillTreeRepeatedKey()
{
    QFETCH(QStringList, names);
    QFETCH(int, nodesKept);
    QFETCH(QString, key);
    MemoryDocTree tree;
    try {
        buildDocTree::fillTree(names, tree);
        QFAIL("a repeated key must raise an error");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("buildDoc"));
        QVERIFY2(e.description().endsWith(key), qPrintable(e.description()));
    }
    QCOMPARE(tree.nodes.size(), nodesKept);
}

void TestBuildDocTree::schemaInfoUrlIsEncoded()
{
    QCOMPARE(buildDocTree::schemaInfoUrl(QStringLiteral("http://h:1/ostrel/db")),
             QStringLiteral("http://h:1/ostrel/db/osl:collection?_xql="
                            "xs%3Aschema%2Fxs%3Aannotation%2Fxs%3Aappinfo%2Fosd%3AschemaInfo"));
}

QTEST_GUILESS_MAIN(TestBuildDocTree)
#include "tst_builddoctree.moc"
