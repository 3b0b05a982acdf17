#include <QtTest>

#include "common/OstrelError.h"
#include "navigation/buildDocTree.h"
#include "MemoryDocTree.h"

using owb::buildDocTree;
using owb::OstrelError;

class TestBuildDocTree : public QObject {
    Q_OBJECT
private slots:
    void fillTree_data();
    void fillTree();
    void fillTreeNodeLooks();
    void fillTreeRepeatedKey_data();
    void fillTreeRepeatedKey();
    void schemaInfoUrlIsEncoded();
};

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
    buildDocTree::fillTree(names, tree);
    QCOMPARE(tree.outline(), outline);
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
