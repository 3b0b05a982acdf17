// The tree sink onto a QTreeWidget.
#include <QtTest>
#include <QTreeWidget>

#include "xml/TreeWidgetAdapter.h"
#include "xml/DomDocument.h"
#include "xml/NodeXPath.h"
#include "xml/buildTV.h"

using namespace owb;

namespace {

DomDocument load(const QString &xml)
{
    DomDocument doc = NewDOMDocument(false, true);
    if (!doc.loadXML(xml))
        qFatal("test document does not load: %s", qPrintable(doc.parseError().reason));
    return doc;
}

// "key|text|image|parent key" per node, in the order the tree received them.
QStringList describe(const KeyedTree &tree)
{
    QStringList out;
    for (const QString &key : tree.keys()) {
        const TreeNodeData *n = tree.node(key);
        out << QStringList{n->key, n->text, n->image, tree.parentKey(key)}.join('|');
    }
    return out;
}

void walk(const QTreeWidgetItem *item, QStringList &out)
{
    const QTreeWidgetItem *parent = item->parent();
    out << QStringList{TreeWidgetAdapter::keyOf(item), item->text(0),
                       TreeWidgetAdapter::imageOf(item), TreeWidgetAdapter::keyOf(parent)}
               .join('|');
    for (int i = 0; i < item->childCount(); ++i)
        walk(item->child(i), out);
}

} // namespace

class TestTreeWidgetAdapter : public QObject {
    Q_OBJECT
private slots:
    void treeWidget_data();
    void treeWidget();
    void treeItemsGiveTheSamePaths();
};

void TestTreeWidgetAdapter::treeWidget_data()
{
    QTest::addColumn<QString>("xml");
    QTest::newRow("plain") << "<order no=\"1\"><item a=\"x\">1</item><item/><sub><item/></sub></order>";
    QTest::newRow("text or not") << "<r><e>t</e><e/><e><![CDATA[c]]></e></r>";
    QTest::newRow("namespaced") << "<p:r xmlns:p=\"urn:p\" xmlns=\"urn:d\"><p:c p:x=\"1\"/><d/><d/></p:r>";
}

void TestTreeWidgetAdapter::treeWidget()
{
    QFETCH(QString, xml);
    DomDocument doc = load(xml);
    KeyedTree expected;
    buildTV builder;
    builder.BuildTree(expected, doc.node());

    QTreeWidget view;
    TreeWidgetAdapter adapter(&view);
    for (int round = 0; round < 2; ++round) {
        builder.BuildTree(adapter, doc.node());
        QCOMPARE(view.topLevelItemCount(), 1);
        QStringList seen;
        walk(view.topLevelItem(0), seen);
        // The widget lists children after their parent, depth first; so does document order.
        QCOMPARE(seen, describe(expected));
        QVERIFY(view.topLevelItem(0)->isExpanded());
        for (const QString &key : expected.keys()) {
            QTreeWidgetItem *item = adapter.item(key);
            QVERIFY(item);
            QCOMPARE(TreeWidgetAdapter::keyOf(item), key);
            QVERIFY(!item->icon(0).isNull());
            const TreeNodeData *n = expected.node(key);
            const TreeNodeData back = TreeWidgetAdapter::nodeOf(item);
            QCOMPARE(back.position, n->position);
            QCOMPARE(back.defaultNamespace, n->defaultNamespace);
            QCOMPARE(back.hasText, n->hasText);
        }
    }
}

void TestTreeWidgetAdapter::treeItemsGiveTheSamePaths()
{
    DomDocument doc = load("<p:r xmlns:p=\"urn:p\" xmlns=\"urn:d\"><c k=\"1\"><p:d>x</p:d>"
                           "<p:d>y</p:d></c><c><e_1/></c></p:r>");
    KeyedTree tree;
    buildTV builder;
    builder.BuildTree(tree, doc.node());
    QTreeWidget view;
    TreeWidgetAdapter adapter(&view);
    builder.BuildTree(adapter, doc.node());
    for (const QString &key : tree.keys())
        QCOMPARE(TreeWidgetAdapter::NodeXPath(adapter.item(key)), NodeXPath(tree, key));
    QCOMPARE(TreeWidgetAdapter::NodeXPath(adapter.item("./c_1/e_1")), QString("./*[name()='c'][2]/*[name()='e_1'][1]/text()"));
}

QTEST_MAIN(TestTreeWidgetAdapter)
#include "tst_treewidgetadapter.moc"
