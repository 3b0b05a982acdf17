#include <QtTest>

#include "common/OstrelError.h"
#include "xml/DomDocument.h"
#include "xpath/XPathReplace.h"

using namespace owb;

namespace {

DomNode parse(const QString &text)
{
    DomDocument doc = NewDOMDocument(false, true);
    if (!doc.loadXML(text))
        return {};
    return doc.documentElement();
}

const QString kOrder = QStringLiteral(
    "<Order xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" osl:id=\"7\" no=\"3\">"
    "<total>5</total><item><total>7</total></item><total>9</total><!--c--></Order>");
const QString kPrefixed = QStringLiteral("<o:Order xmlns:o=\"urn:o\"><o:a>x</o:a><a>y</a></o:Order>");

} // namespace

class TestXPathReplace : public QObject {
    Q_OBJECT
private slots:
    void find_data();
    void find();
    void apply_data();
    void apply();
    void refused_data();
    void refused();
    void schemaPrefixes();
};

void TestXPathReplace::find_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("xpath");
    QTest::addColumn<bool>("first");
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("elements") << kOrder << "//total" << false
                              << QStringList{"./total/text()", "./item/total/text()", "./total[2]/text()"}
                              << QStringList{"5", "7", "9"};
    QTest::newRow("first only") << kOrder << "//total" << true << QStringList{"./total/text()"} << QStringList{"5"};
    QTest::newRow("relative to the document") << kOrder << "Order/total[2]" << false
                                              << QStringList{"./total[2]/text()"} << QStringList{"9"};
    QTest::newRow("attribute") << kOrder << "/Order/@no" << false << QStringList{"./@no"} << QStringList{"3"};
    QTest::newRow("known prefix") << kOrder << "Order/@osl:id" << false << QStringList{"./@*[name()='osl:id']"}
                                  << QStringList{"7"};
    QTest::newRow("text node") << kOrder << "//item/total/text()" << false << QStringList{"./item/total/text()"}
                               << QStringList{"7"};
    QTest::newRow("comment") << kOrder << "//comment()" << false << QStringList{"./comment()"} << QStringList{"c"};
    QTest::newRow("schema prefix") << kPrefixed << "//o:a" << false << QStringList{"./*[name()='o:a']/text()"}
                                   << QStringList{"x"};
    QTest::newRow("nothing") << kOrder << "//none" << false << QStringList{} << QStringList{};
}

void TestXPathReplace::find()
{
    QFETCH(QString, document);
    QFETCH(QString, xpath);
    QFETCH(bool, first);
    const DomNode root = parse(document);
    QVERIFY(root);
    const XPathReplace replace({xpath, QStringLiteral("v"), false, first, {{"o", "urn:o"}}});
    QStringList paths, values;
    for (const ReplaceMatch &m : replace.find(root)) {
        paths << m.path;
        values << m.current;
        QCOMPARE(m.replacement, QStringLiteral("v"));
        QCOMPARE(m.id, document == kOrder ? 7 : 0);
        // The path leads back to the node (an element's: to its text), as on the tree page.
        const DomNode shown = m.node.nodeType() == DomNodeType::Element ? m.node.firstChild() : m.node;
        QVERIFY2(root.selectSingleNode(m.path) == shown, qPrintable(m.path));
    }
    QTEST(paths, "paths");
    QTEST(values, "values");
}

void TestXPathReplace::apply_data()
{
    QTest::addColumn<QString>("xpath");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("fragment");
    QTest::addColumn<bool>("first");
    QTest::addColumn<QString>("expected");
    QTest::newRow("value escaped")
        << "//item/total" << "a<b&c" << false << false
        << "<total>5</total><item><total>a&lt;b&amp;c</total></item><total>9</total><!--c-->";
    QTest::newRow("first only") << "//total" << "0" << false << true
                                << "<total>0</total><item><total>7</total></item><total>9</total><!--c-->";
    QTest::newRow("fragment for elements")
        << "/Order/total" << "<sum>1</sum>tail<x:n xmlns:x=\"urn:x\"/>" << true << false
        << "<sum>1</sum>tail<x:n xmlns:x=\"urn:x\"/><item><total>7</total></item><sum>1</sum>tail<x:n "
           "xmlns:x=\"urn:x\"/><!--c-->";
    QTest::newRow("fragment for a text node") << "//item/total/text()" << "<b>7</b>" << true << false
                                              << "<total>5</total><item><total><b>7</b></total></item><total>9</total><!--c-->";
    QTest::newRow("nested matches, inner first") << "//item | //item/total" << "<i/>" << true << false
                                                 << "<total>5</total><i/><total>9</total><!--c-->";
    QTest::newRow("comment value") << "//comment()" << "d" << false << false
                                   << "<total>5</total><item><total>7</total></item><total>9</total><!--d-->";
}

void TestXPathReplace::apply()
{
    QFETCH(QString, xpath);
    QFETCH(QString, value);
    QFETCH(bool, fragment);
    QFETCH(bool, first);
    QFETCH(QString, expected);
    const DomNode root = parse(kOrder);
    QVERIFY(root);
    const XPathReplace replace({xpath, value, fragment, first, {}});
    const int expectedCount = int(replace.find(root).size());
    QCOMPARE(replace.apply(root), expectedCount);
    QString body = root.xml();
    body = body.mid(body.indexOf(u'>') + 1);
    body.chop(int(QStringLiteral("</Order>").size()));
    QCOMPARE(body, expected);
    // Attributes and the id stay.
    QCOMPARE(root.getAttribute(QStringLiteral("osl:id")), QStringLiteral("7"));
}

void TestXPathReplace::refused_data()
{
    QTest::addColumn<QString>("xpath");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("fragment");
    QTest::addColumn<QString>("reason");   // part of the message
    QTest::newRow("syntax") << "//total[" << "" << false << "Invalid XPath expression \"//total[\" at position 9";
    QTest::newRow("unknown prefix") << "//osl:id | //q:total" << "" << false << "at position 14: Undefined namespace prefix";
    QTest::newRow("not nodes") << "count(//total)" << "" << false << "does not return a node set";
    QTest::newRow("empty") << " " << "" << false << "Empty expression";
    QTest::newRow("malformed fragment") << "//total" << "<a><b></a>" << true << "not well-formed";
    QTest::newRow("fragment position") << "//total" << "ok\n  <a" << true << "(line 2, column";
    QTest::newRow("fragment for attribute") << "//@no" << "<a/>" << true << "cannot replace the attribute @no";
    QTest::newRow("fragment for the root") << "/Order" << "<a/>" << true << "cannot replace the document element";
    QTest::newRow("document node") << "/" << "x" << false << "selects the document itself";
    QTest::newRow("value XML cannot carry") << "//total" << QStringLiteral("a") + QChar(1) << false
                                            << "not well-formed after the replacement";
}

void TestXPathReplace::refused()
{
    QFETCH(QString, xpath);
    QFETCH(QString, value);
    QFETCH(bool, fragment);
    QFETCH(QString, reason);
    const DomNode root = parse(kOrder);
    QVERIFY(root);
    try {
        const XPathReplace replace({xpath, value, fragment, false, {}});
        replace.apply(root);
        QFAIL("accepted");
    } catch (const OstrelError &e) {
        QVERIFY2(e.description().contains(reason), qPrintable(e.description()));
    }
}

void TestXPathReplace::schemaPrefixes()
{
    const DomNode schema = parse(QStringLiteral(
        "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" xmlns:o=\"urn:o\" targetNamespace=\"urn:o\"/>"));
    const Prefixes prefixes = XPathReplace::schemaPrefixes(schema);
    QVERIFY(prefixes.contains(qMakePair(QStringLiteral("o"), QStringLiteral("urn:o"))));
    const XPathReplace replace({QStringLiteral("//o:a"), QStringLiteral("z"), false, false, prefixes});
    const DomNode root = parse(kPrefixed);
    QCOMPARE(replace.apply(root), 1);
    QCOMPARE(root.xml(), QStringLiteral("<o:Order xmlns:o=\"urn:o\"><o:a>z</o:a><a>y</a></o:Order>"));
}

QTEST_GUILESS_MAIN(TestXPathReplace)
#include "tst_xpathreplace.moc"
