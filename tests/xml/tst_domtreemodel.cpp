// The document tree as an item model over the DOM: the same tree as buildTV, made lazily.
#include <QtTest>
#include <QTreeView>

#include "common/OstrelError.h"
#include "TreeTestDocs.h"
#include "xml/DomDocument.h"
#include "xml/DomTreeModel.h"
#include "xml/NodeXPath.h"
#include "xml/buildTV.h"

using namespace owb;

namespace {

DomDocument load(const QString &xml)
{
    return owbtest::loadTestXml(xml);
}

QStringList describe(const KeyedTree &tree)
{
    return owbtest::describeTree(tree);
}

// Depth first, every node opened: parents before children, children in row order.
void walk(const DomTreeModel &m, const QModelIndex &index, QStringList &out, QList<QModelIndex> &all)
{
    out << QStringList{index.data(DomTreeModel::KeyRole).toString(), index.data().toString(),
                       index.data(DomTreeModel::ImageRole).toString(),
                       index.parent().data(DomTreeModel::KeyRole).toString()}
               .join('|');
    all << index;
    for (int r = 0; r < m.rowCount(index); ++r)
        walk(m, m.index(r, 0, index), out, all);
}

} // namespace

class TestDomTreeModel : public QObject {
    Q_OBJECT
private slots:
    void sameTreeAsBuildTV_data();
    void sameTreeAsBuildTV();
    void childrenAreMadeWhenOpened();
    void hasChildrenWithoutMakingThem();
    void settingAgainShowsOneTree();
    void noElementLeavesItEmpty();
    void viewShowsNamesAndImages();
};

void TestDomTreeModel::sameTreeAsBuildTV_data()
{
    QTest::addColumn<QString>("xml");
    QTest::newRow("only a document element") << "<order/>";
    QTest::newRow("plain") << "<order no=\"1\"><item a=\"x\">1</item><item/><sub><item/></sub></order>";
    QTest::newRow("text or not") << "<r><e>t</e><e/><e><![CDATA[c]]></e></r>";
    QTest::newRow("namespaced") << "<p:r xmlns:p=\"urn:p\" xmlns=\"urn:d\"><p:c p:x=\"1\"/><d/><d/></p:r>";
    QTest::newRow("names that collide with suffixes")
        << "<r><a_1><b>0</b></a_1><a>1</a><a>2</a><a_1>3</a_1><a_2>4</a_2><a>5</a><a_1_1>6</a_1_1></r>";
    QTest::newRow("suffixed keys with children")
        << "<r><a><b/></a><a><b/><b/></a><a_1><b/></a_1></r>";
    QTest::newRow("same names under other parents")
        << "<r><x><a>1</a><a>2</a></x><y><a>3</a></y><x><a>4</a></x></r>";
    QTest::newRow("default namespace and namesakes")
        << "<r xmlns=\"urn:d\" a=\"1\"><c>1</c><c b=\"2\">2</c><n:c xmlns:n=\"urn:n\">3</n:c>"
           "<c xmlns=\"\">4</c><c xmlns=\"\">5</c></r>";
    QTest::newRow("comments and instructions around") << "<!--x--><r v=\"1\"><?pi d?><e/></r><!--y-->";
}

// Every node: same key, text, image, parent and order as the builder, the same data the path
// needs, the same NodeXPath, and found again by its key.
void TestDomTreeModel::sameTreeAsBuildTV()
{
    QFETCH(QString, xml);
    DomDocument doc = load(xml);
    KeyedTree expected;
    buildTV().BuildTree(expected, doc.node());

    DomTreeModel model;
    model.setDocument(doc.node());
    QCOMPARE(model.rowCount(), 1);
    QStringList seen;
    QList<QModelIndex> all;
    walk(model, model.index(0, 0), seen, all);
    QCOMPARE(seen, describe(expected));

    for (const QModelIndex &i : all) {
        const TreeNodeData got = model.nodeData(i);
        const TreeNodeData *want = expected.node(got.key);
        QVERIFY(want);
        QCOMPARE(got.position, want->position);
        QCOMPARE(got.defaultNamespace, want->defaultNamespace);
        QCOMPARE(got.hasText, want->hasText);
        QCOMPARE(model.NodeXPath(i), NodeXPath(expected, got.key));
        QCOMPARE(model.hasChildren(i), !expected.childKeys(got.key).isEmpty());
    }
    // By key, also on a model that has opened nothing yet.
    DomTreeModel fresh;
    fresh.setDocument(doc.documentElement());
    for (const QString &key : expected.keys())
        QCOMPARE(fresh.indexOfKey(key).data(DomTreeModel::KeyRole).toString(), key);
    QVERIFY(!fresh.indexOfKey("./nothing").isValid());
    QVERIFY(!fresh.indexOfKey("nothing").isValid());
}

void TestDomTreeModel::childrenAreMadeWhenOpened()
{
    QString xml = "<r>";
    for (int i = 0; i < 500; ++i)
        xml += "<row n=\"1\"><a>x</a></row>";
    xml += "</r>";
    DomDocument doc = load(xml);
    DomTreeModel model;
    model.setDocument(doc.node());
    QCOMPARE(model.nodeCount(), 2);   // the document and its element
    const QModelIndex top = model.index(0, 0, model.index(0, 0));
    QCOMPARE(top.data(DomTreeModel::KeyRole).toString(), ".");
    QCOMPARE(model.nodeCount(), 2);
    QCOMPARE(model.rowCount(top), 500);
    QCOMPARE(model.nodeCount(), 502);
    // One row deep: its attribute and its element, nothing below the other rows.
    const QModelIndex last = model.index(499, 0, top);
    QCOMPARE(last.data(DomTreeModel::KeyRole).toString(), "./row_499");
    QCOMPARE(model.rowCount(last), 2);
    QCOMPARE(model.nodeCount(), 504);
    QCOMPARE(model.NodeXPath(model.index(1, 0, last)), "./row[500]/a/text()");
    QCOMPARE(model.indexOfKey("./row_7/@n").data().toString(), "n");
    QCOMPARE(model.nodeCount(), 506);
}

void TestDomTreeModel::hasChildrenWithoutMakingThem()
{
    DomDocument doc = load("<r><only a=\"1\"/><empty/><text>t</text><el><x/></el></r>");
    DomTreeModel model;
    model.setDocument(doc.node());
    const QModelIndex top = model.indexOfKey(".");
    QCOMPARE(model.rowCount(top), 4);
    const qsizetype made = model.nodeCount();   // the four, nothing below them
    const QStringList keys{"./only", "./empty", "./text", "./el"};
    const QList<bool> expected{true, false, false, true};
    for (int r = 0; r < keys.size(); ++r) {
        const QModelIndex i = model.index(r, 0, top);
        QCOMPARE(i.data(DomTreeModel::KeyRole).toString(), keys.at(r));
        QCOMPARE(model.hasChildren(i), expected.at(r));
    }
    QCOMPARE(model.nodeCount(), made);
    QVERIFY(!model.hasChildren(model.index(0, 0, model.index(0, 0, top))));   // an attribute
}

void TestDomTreeModel::settingAgainShowsOneTree()
{
    DomDocument first = load("<r><a/><a/></r>");
    DomDocument second = load("<s><b/></s>");
    DomTreeModel model;
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.setDocument(first.node());
    QCOMPARE(model.rowCount(model.indexOfKey(".")), 2);
    model.setDocument(first.node());
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.rowCount(model.indexOfKey(".")), 2);
    model.setDocument(second.node());
    QCOMPARE(model.indexOfKey(".").data().toString(), "s");
    QVERIFY(!model.indexOfKey("./a").isValid());
    QCOMPARE(resets.count(), 3);
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.indexOfKey("/").isValid());
}

void TestDomTreeModel::noElementLeavesItEmpty()
{
    DomDocument doc = load("<r><a/></r>");
    DomTreeModel model;
    model.setDocument(doc.node());
    QVERIFY_THROWS_EXCEPTION(OstrelError, model.setDocument(DomNode()));
    QCOMPARE(model.rowCount(), 0);
    const DomNode comment = doc.createComment("c");
    QVERIFY_THROWS_EXCEPTION(OstrelError, model.setDocument(comment));
    QCOMPARE(model.rowCount(), 0);
}

void TestDomTreeModel::viewShowsNamesAndImages()
{
    DomDocument doc = load("<r k=\"1\"><c/></r>");
    DomTreeModel model;
    model.setDocument(doc.node());
    QTreeView view;
    view.setModel(&model);
    view.expandAll();
    const QModelIndex root = model.index(0, 0);
    QCOMPARE(root.data().toString(), "Document");
    for (const QString &key : {"/", ".", "./@k", "./c"}) {
        const QModelIndex i = model.indexOfKey(key);
        QVERIFY2(!i.data(Qt::DecorationRole).value<QIcon>().isNull(), qPrintable(key));
    }
    QCOMPARE(model.indexOfKey("./@k").data(DomTreeModel::ImageRole).toString(), "Attribute");
    QCOMPARE(model.NodeXPath(root), QString());
    QVERIFY(!model.data(QModelIndex()).isValid());
}

QTEST_MAIN(TestDomTreeModel)
#include "tst_domtreemodel.moc"
