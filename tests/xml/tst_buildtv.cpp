#include <QtTest>

#include "common/OstrelError.h"
#include "TreeTestDocs.h"
#include "xml/DomDocument.h"
#include "xml/buildTV.h"

using namespace owb;

namespace {

DomDocument load(const QString &xml)
{
    return owbtest::loadTestXml(xml, DomDocument());
}

QStringList describe(const KeyedTree &tree)
{
    return owbtest::describeTree(tree);
}

} // namespace

class TestBuildTV : public QObject {
    Q_OBJECT
private slots:
    void keys_data();
    void keys();
    void fromAnInnerElement();
    void rebuildDoesNotDouble();
    void nothingToShow();
    void wideDocumentKeepsCounting();
};

void TestBuildTV::keys_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QStringList>("nodes");
    const QString root = "/|Document|Document|";
    QTest::newRow("only a document element")
        << "<order/>" << QStringList{root, ".|order|Element|/"};
    QTest::newRow("three siblings of one name")
        << "<r><a/><a/><a/></r>"
        << QStringList{root, ".|r|Element|/", "./a|a|Element|.", "./a_1|a|Element|.",
                       "./a_2|a|Element|."};
    QTest::newRow("a name that looks like a suffix")
        << "<r><a/><a/><a_1/></r>"
        << QStringList{root, ".|r|Element|/", "./a|a|Element|.", "./a_1|a|Element|.",
                       "./a_1_1|a_1|Element|."};
    QTest::newRow("uniqueness over the whole document")
        << "<r><a_1><b/></a_1><a/><a/></r>"
        << QStringList{root, ".|r|Element|/", "./a_1|a_1|Element|.", "./a_1/b|b|Element|./a_1",
                       "./a|a|Element|.", "./a_2|a|Element|."};
    QTest::newRow("children below a suffixed key")
        << "<r><a><b/></a><a><b/><b/></a></r>"
        << QStringList{root, ".|r|Element|/", "./a|a|Element|.", "./a/b|b|Element|./a",
                       "./a_1|a|Element|.", "./a_1/b|b|Element|./a_1",
                       "./a_1/b_1|b|Element|./a_1"};
    QTest::newRow("attributes before child elements, text and comments ignored")
        << "<r v=\"1\"><e y=\"2\" x=\"1\">t<!--c--><c/><?pi d?></e></r>"
        << QStringList{root, ".|r|Element|/", "./@v|v|Attribute|.", "./e|e|Element|.",
                       "./e/@y|y|Attribute|./e", "./e/@x|x|Attribute|./e", "./e/c|c|Element|./e"};
    QTest::newRow("prefixes kept, namespace declarations are no attributes")
        << "<p:r xmlns:p=\"urn:p\" xmlns=\"urn:d\" p:at=\"1\"><p:c/><d/></p:r>"
        << QStringList{root, ".|p:r|Element|/", "./@p:at|p:at|Attribute|.",
                       "./p:c|p:c|Element|.", "./d|d|Element|."};
    QTest::newRow("after the document element ends, nothing moves")
        << "<!--x--><r><a/></r><!--y-->"
        << QStringList{root, ".|r|Element|/", "./a|a|Element|."};
}

void TestBuildTV::keys()
{
    QFETCH(QString, xml);
    QFETCH(QStringList, nodes);
    DomDocument doc = load(xml);
    KeyedTree tree;
    buildTV builder;
    builder.BuildTree(tree, doc.node());
    QCOMPARE(describe(tree), nodes);
    QVERIFY(tree.rootExpanded());
    // The document node works the same as its element.
    KeyedTree fromElement;
    builder.BuildTree(fromElement, doc.documentElement());
    QCOMPARE(describe(fromElement), nodes);
}

void TestBuildTV::fromAnInnerElement()
{
    DomDocument doc = load("<r><x><in k=\"1\"><a/><a/></in></x></r>");
    KeyedTree tree;
    buildTV().BuildTree(tree, doc.selectSingleNode("/r/x/in"));
    QCOMPARE(tree.keys(), (QStringList{"/", ".", "./@k", "./a", "./a_1"}));
    QCOMPARE(tree.node(".")->text, QString("in"));
}

void TestBuildTV::rebuildDoesNotDouble()
{
    DomDocument doc = load("<r><a x=\"1\"/><a/><b><a/></b></r>");
    KeyedTree tree;
    buildTV builder;
    builder.BuildTree(tree, doc.node());
    const QStringList first = describe(tree);
    builder.BuildTree(tree, doc.node());
    QCOMPARE(describe(tree), first);
    // A second builder on the same tree starts from scratch as well.
    buildTV().BuildTree(tree, doc.node());
    QCOMPARE(describe(tree), first);
}

void TestBuildTV::nothingToShow()
{
    KeyedTree tree;
    buildTV builder;
    try {
        builder.BuildTree(tree, DomNode());
        QFAIL("a null node must not build");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QString("buildTV"));
    }
    // The document node stays, like nodes added before any failure.
    QCOMPARE(tree.keys(), QStringList{"/"});

    DomDocument doc = load("<r>text</r>");
    QVERIFY_THROWS_EXCEPTION(OstrelError,
                             builder.BuildTree(tree, doc.documentElement().firstChild()));
}

void TestBuildTV::wideDocumentKeepsCounting()
{
    // Far beyond 16-bit counters; positions follow suit.
    const int n = 40000;
    QString xml = "<r>";
    for (int i = 0; i < n; ++i)
        xml += "<a/>";
    xml += "<a_39999/></r>";
    DomDocument doc = load(xml);
    KeyedTree tree;
    buildTV().BuildTree(tree, doc.node());
    QCOMPARE(tree.count(), n + 3);
    QVERIFY(tree.contains("./a_39999"));
    QCOMPARE(tree.node("./a_39999")->position, n);
    const TreeNodeData *late = tree.node("./a_39999_1");
    QVERIFY(late);
    QCOMPARE(late->text, QString("a_39999"));
    QCOMPARE(late->position, 1);
}

QTEST_GUILESS_MAIN(TestBuildTV)
#include "tst_buildtv.moc"
