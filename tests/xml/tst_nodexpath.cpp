#include <QtTest>

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

// Elements and their attributes in the order the tree builder adds them.
void preorder(const DomNode &element, QList<DomNode> &out)
{
    out << element;
    out << element.attributes();
    for (DomNode c = element.firstChild(); c; c = c.nextSibling()) {
        if (c.nodeType() == DomNodeType::Element)
            preorder(c, out);
    }
}

QString withoutText(QString path)
{
    return path.remove(QStringLiteral("/text()"));
}

} // namespace

class TestNodeXPath : public QObject {
    Q_OBJECT
private slots:
    void paths_data();
    void paths();
    void selectsTheClickedNode_data();
    void selectsTheClickedNode();
    void demoDocuments();
    void chainWithoutDocumentNode();
};

void TestNodeXPath::paths_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("path");
    const QString order = "<order version=\"2\"><item no=\"1\">A</item><item no=\"2\">B</item>"
                          "<item>C</item><a_b>D</a_b></order>";
    QTest::newRow("document") << order << "/" << "";
    QTest::newRow("document element") << order << "." << "./text()";
    QTest::newRow("first item") << order << "./item" << "./item/text()";
    QTest::newRow("second item") << order << "./item_1" << "./item[2]/text()";
    QTest::newRow("third item") << order << "./item_2" << "./item[3]/text()";
    QTest::newRow("attribute") << order << "./item/@no" << "./item/@no";
    QTest::newRow("attribute of second") << order << "./item_1/@no" << "./item[2]/@no";
    QTest::newRow("attribute of document element") << order << "./@version" << "./@version";
    QTest::newRow("name holding _") << order << "./a_b" << "./a_b/text()";
    QTest::newRow("suffix on an earlier step")
        << "<r><i><n>1</n></i><i><n>2</n><n>3</n></i></r>" << "./i_1/n_1" << "./i[2]/n[2]/text()";
    QTest::newRow("name that looks suffixed")
        << "<r><a/><a/><a_1>x</a_1></r>" << "./a_1_1" << "./a_1/text()";
    QTest::newRow("suffix forced by another name")
        << "<r><a_1/><a/><a/></r>" << "./a_2" << "./a[2]/text()";
    QTest::newRow("prefixed names")
        << "<p:r xmlns:p=\"urn:p\"><p:c p:x=\"1\"/><p:c p:x=\"2\"/></p:r>" << "./p:c_1/@p:x"
        << "./*[name()='p:c'][2]/@*[name()='p:x']";
    QTest::newRow("default namespace")
        << "<r xmlns=\"urn:d\"><c/><c>t</c></r>" << "./c_1" << "./*[name()='c'][2]/text()";
    QTest::newRow("plain namesakes of namespaced elements")
        << "<r xmlns=\"urn:d\"><c/><c xmlns=\"\">t</c></r>" << "./c_1" << "./c/text()";
    QTest::newRow("element without text") << "<r><e/><e>x</e></r>" << "./e" << "./e[1]/text()";
    QTest::newRow("element without text, deeper")
        << "<r><a><e/></a><a><e>x</e></a></r>" << "./a/e" << "./a[1]/e[1]/text()";
}

void TestNodeXPath::paths()
{
    QFETCH(QString, xml);
    QFETCH(QString, key);
    QFETCH(QString, path);
    DomDocument doc = load(xml);
    KeyedTree tree;
    buildTV().BuildTree(tree, doc.node());
    QVERIFY2(tree.contains(key), qPrintable(tree.keys().join(' ')));
    QCOMPARE(NodeXPath(tree, key), path);
}

void TestNodeXPath::selectsTheClickedNode_data()
{
    QTest::addColumn<QString>("xml");
    QTest::newRow("siblings and attributes")
        << "<order version=\"2\"><item no=\"1\">A</item><item no=\"2\">B</item><item>C</item></order>";
    QTest::newRow("names holding _")
        << "<person><first_name>Ann</first_name><last_name>Lee</last_name>"
           "<first_name>Bo</first_name><x_1>q</x_1></person>";
    QTest::newRow("suffixes on earlier steps, several suffixes, deep steps")
        << "<r><item><a><b>1</b><b>2</b></a></item><item><a><b>3</b></a><a><b>4</b><b>5</b></a>"
           "</item><item><name>n</name><name>m</name></item></r>";
    QTest::newRow("names that collide with suffixes")
        << "<r><a_1><b>0</b></a_1><a>1</a><a>2</a><a_1>3</a_1><a_2>4</a_2><a>5</a>"
           "<a_1_1>6</a_1_1></r>";
    QTest::newRow("same names under other parents")
        << "<r><x><a>1</a><a>2</a></x><y><a>3</a></y><x><a>4</a></x></r>";
    QTest::newRow("elements without text and mixed content")
        << "<r><e/><e><f>x</f></e><e>lead<f>y</f>tail</e></r>";
    QTest::newRow("prefixes the selection does not bind")
        << "<p:r xmlns:p=\"urn:p\" xmlns:q=\"urn:q\" q:v=\"1\"><p:c q:w=\"2\">a</p:c>"
           "<p:c>b</p:c><q:c>c</q:c><c>d</c></p:r>";
    QTest::newRow("a selection prefix bound to another URI")
        << "<osl:r xmlns:osl=\"urn:not-the-server\"><osl:i osl:id=\"1\">a</osl:i>"
           "<osl:i>b</osl:i></osl:r>";
    QTest::newRow("default namespace")
        << "<r xmlns=\"urn:d\" a=\"1\"><c>1</c><c b=\"2\">2</c><n:c xmlns:n=\"urn:n\">3</n:c>"
           "<c xmlns=\"\">4</c><c xmlns=\"\">5</c></r>";
    QTest::newRow("server prefixes")
        << "<Order xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" osl:id=\"4\">"
           "<osl:note>n</osl:note><osl:note>m</osl:note></Order>";
}

// Every node of a document's tree as key and NodeXPath, in tree order.
using Clicks = QList<QPair<QString, QString>>;

Clicks builderClicks(const DomDocument &doc)
{
    KeyedTree tree;
    buildTV().BuildTree(tree, doc.node());
    Clicks out;
    for (const QString &key : tree.keys())
        out.append({key, NodeXPath(tree, key)});
    return out;
}

void walk(const DomTreeModel &m, const QModelIndex &i, Clicks &out)
{
    out.append({m.nodeData(i).key, m.NodeXPath(i)});
    for (int r = 0; r < m.rowCount(i); ++r)
        walk(m, m.index(r, 0, i), out);
}

// The same through the item model the windows show, every node opened.
Clicks modelClicks(const DomDocument &doc)
{
    DomTreeModel model(nullptr, {});
    model.setDocument(doc.node());
    Clicks out;
    walk(model, model.index(0, 0), out);
    return out;
}

// Clicks every node of the document's tree in turn: the first node its path selects must be
// the clicked attribute, or the clicked element's first text (none for an element without),
// and without "/text()" the clicked element itself. Returns the first mismatch.
QString checkEveryNode(const DomDocument &doc, Clicks clicks)
{
    const DomNode top = doc.documentElement();
    QList<DomNode> nodes;
    preorder(top, nodes);
    if (clicks.isEmpty() || clicks.takeFirst() != QPair<QString, QString>("/", QString()))
        return "document node";
    if (clicks.size() != nodes.size())
        return "tree and document differ in size";

    for (int i = 0; i < clicks.size(); ++i) {
        const DomNode clicked = nodes.at(i);
        const QString path = clicks.at(i).second;
        const QString key = clicks.at(i).first;
        const QString what = key + " -> " + path;
        if (clicked.nodeType() == DomNodeType::Attribute) {
            if (path.endsWith("/text()") || top.selectSingleNode(path) != clicked)
                return what;
            continue;
        }
        if (!path.endsWith("/text()"))
            return what;
        // What Accept evaluates: the first node the path without /text() selects.
        if (top.selectSingleNode(withoutText(path)) != clicked)
            return what + " (element)";
        DomNode firstText;
        for (DomNode c = clicked.firstChild(); c && !firstText; c = c.nextSibling()) {
            if (c.nodeType() == DomNodeType::Text || c.nodeType() == DomNodeType::CData)
                firstText = c;
        }
        if (top.selectSingleNode(path) != firstText)
            return what + " (text)";
    }
    return QString();
}

void TestNodeXPath::selectsTheClickedNode()
{
    QFETCH(QString, xml);
    const DomDocument doc = load(xml);
    const Clicks fromBuilder = builderClicks(doc);
    QCOMPARE(modelClicks(doc), fromBuilder);
    const QString mismatch = checkEveryNode(doc, fromBuilder);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestNodeXPath::demoDocuments()
{
    // Real documents: namespaces, CDATA, mixed content, comments, non-ASCII text.
    QDir demo(QStringLiteral(OWB_SOURCE_DIR "/ostreld/demo/collections"));
    int checked = 0;
    QDirIterator it(demo.path(), {"*.xml"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        DomDocument doc = NewDOMDocument(false, true);
        QVERIFY2(doc.load(file), qPrintable(file));
        const Clicks fromModel = modelClicks(doc);
        QCOMPARE(fromModel, builderClicks(doc));
        const QString mismatch = checkEveryNode(doc, fromModel);
        QVERIFY2(mismatch.isEmpty(), qPrintable(file + ": " + mismatch));
        ++checked;
    }
    if (checked == 0)
        QSKIP("no demo documents in this checkout");
}

void TestNodeXPath::chainWithoutDocumentNode()
{
    TreeNodeData element{".", "r", "Element"};
    TreeNodeData child{"./c_1", "c", "Element", 2};
    TreeNodeData attribute{"./c_1/@k", "k", "Attribute"};
    QCOMPARE(NodeXPath({element, child, attribute}), QString("./c[2]/@k"));
    QCOMPARE(NodeXPath({element, child}), QString("./c[2]/text()"));
    QCOMPARE(NodeXPath(QList<TreeNodeData>{}), QString());
}

QTEST_GUILESS_MAIN(TestNodeXPath)
#include "tst_nodexpath.moc"
