#include "xml/DomDocument.h"
#include "xml/Namespaces.h"
#include "common/OstrelError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace owb;

namespace {

const QString kEnvelope = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\"\n"
    "              xmlns:xql=\"http://namespaces.ostrel.org/xql\">\n"
    "  <xql:query>Order[total&gt;10]</xql:query>\n"
    "  <xql:result>\n"
    "    <Order osl:id=\"1\">\n"
    "      <total>12</total>\n"
    "    </Order>\n"
    "    <Order osl:id=\"4\"><total>20</total></Order>\n"
    "  </xql:result>\n"
    "  <osl:message osl:returnvalue=\"0\"><osl:messageline>2 documents</osl:messageline></osl:message>\n"
    "</osl:response>\n");

QStringList childNames(const DomNode &n)
{
    QStringList out;
    for (const DomNode &c : n.childNodes())
        out << c.nodeName();
    return out;
}

} // namespace

class TestDom : public QObject {
    Q_OBJECT
private slots:
    void parseErrors_data();
    void parseErrors();
    void parseErrorOnBigLine();
    void nodeLineNumbersBeyond16Bits();
    void loadFromFile();
    void loadMissingFileFails();
    void entities_data();
    void entities();
    void duplicateXmlIdStillLoads();
    void entityExpansionIsBounded();
    void failedLoadKeepsPreviousDocument();

    void blankText_data();
    void blankText();

    void selectionPrefixes_data();
    void selectionPrefixes();
    void selectionRelativeToNode();
    void invalidXPathThrows_data();
    void invalidXPathThrows();
    void customSelectionNamespaces();

    void envelopeChildXmlIsSelfContained();
    void innerElementBecomesTheDocument_data();
    void innerElementBecomesTheDocument();
    void navigationAndNames();
    void attributeEdits();
    void treeEdits();
    void editsAcrossDocuments();
    void nodesOutliveReload();
    void buildDocumentFromScratch();
    void saveWritesUtf8();
    void nonAsciiRoundTrip();
};

void TestDom::parseErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("srcText");
    QTest::addColumn<QString>("reasonPart");

    QTest::newRow("mismatched end tag") << "<a>\n  <b>x</c>\n</a>" << 2 << 12 << "  <b>x</c>"
                                        << "mismatch";
    QTest::newRow("unclosed root") << "<a>\n<b/>\n" << 3 << 1 << "" << "end of data";
    QTest::newRow("bad attribute") << "<a x=1/>" << 1 << 6 << "<a x=1/>" << "AttValue";
    QTest::newRow("undeclared prefix") << "<r>\n<p:x/>\n</r>" << 2 << 6 << "<p:x/>" << "prefix";
    QTest::newRow("empty") << "" << 1 << 1 << "" << "empty";
    QTest::newRow("two roots") << "<a/>\r\n<b/>" << 2 << 1 << "<b/>" << "Extra content";
}

void TestDom::parseErrors()
{
    QFETCH(QString, text);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, srcText);
    QFETCH(QString, reasonPart);

    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(!doc.loadXML(text));
    const DomParseError &e = doc.parseError();
    QVERIFY2(e.reason.contains(reasonPart, Qt::CaseInsensitive), qPrintable(e.reason));
    QCOMPARE(e.reason, e.reason.trimmed());
    QVERIFY(e.errorCode != 0);
    QCOMPARE(e.line, line);
    if (column > 0)
        QVERIFY2(qAbs(e.column - column) <= 1, qPrintable(QString::number(e.column)));
    QCOMPARE(e.srcText, srcText);
}

void TestDom::parseErrorOnBigLine()
{
    QString text = QStringLiteral("<root>\n");
    for (int i = 0; i < 70000; ++i)
        text += QStringLiteral("<i/>\n");
    text += QStringLiteral("<bad attr></root>\n");   // line 70002
    DomDocument doc;
    QVERIFY(!doc.loadXML(text));
    QCOMPARE(doc.parseError().line, 70002);
    QCOMPARE(doc.parseError().srcText, QStringLiteral("<bad attr></root>"));
}

void TestDom::nodeLineNumbersBeyond16Bits()
{
    QString text = QStringLiteral("<root>\n");
    for (int i = 0; i < 70000; ++i)
        text += QStringLiteral("<i/>\n");
    text += QStringLiteral("<last/>\n</root>\n");
    DomDocument doc;
    QVERIFY(doc.loadXML(text));
    QCOMPARE(doc.selectSingleNode(QStringLiteral("/root/last")).lineNumber(), 70002);
}

void TestDom::loadFromFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("d.xml"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>caf\xE9</a>");
    f.close();

    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.load(path));
    QCOMPARE(doc.documentElement().text(), QStringLiteral("caf\u00e9"));
    QVERIFY(doc.load(QUrl::fromLocalFile(path).toString()));
    QCOMPARE(doc.documentElement().nodeName(), QStringLiteral("a"));
    QCOMPARE(doc.parseError().errorCode, 0);

    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<a>\n<b></a>");
    f.close();
    QVERIFY(!doc.load(path));
    QCOMPARE(doc.parseError().line, 2);
    QCOMPARE(doc.parseError().srcText, QStringLiteral("<b></a>"));
    QCOMPARE(doc.parseError().url, path);
}

void TestDom::loadMissingFileFails()
{
    QTemporaryDir dir;
    DomDocument doc;
    const QString path = dir.filePath(QStringLiteral("none.xml"));
    QVERIFY(!doc.load(path));
    QVERIFY(doc.parseError().reason.contains(path));
    QVERIFY(doc.parseError().errorCode != 0);
}

void TestDom::entities_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");   // the root's text and @t, or "refused: " + part of the reason
    const int kept = int(DomEntities::Kept), substituted = int(DomEntities::Substituted),
              local = int(DomEntities::WithLocalFiles);
    const QString internal = QStringLiteral("<!DOCTYPE a [<!ENTITY e \"in\">]><a t=\"&e;!\">&e;!</a>");
    const QString general = QStringLiteral("<!DOCTYPE a [<!ENTITY e SYSTEM \"ext.ent\">]><a>&e;</a>");
    const QString parameter = QStringLiteral("<!DOCTYPE a [<!ENTITY % p SYSTEM \"ext.dtd\"> %p;]><a t=\"&f;\">&f;</a>");
    const QString subset = QStringLiteral("<!DOCTYPE a SYSTEM \"ext.dtd\"><a>&f;</a>");
    QTest::newRow("internal, kept") << kept << internal << "in!|in!";
    QTest::newRow("internal, substituted") << substituted << internal << "in!|in!";
    QTest::newRow("external, kept") << kept << general << "|";
    QTest::newRow("external, substituted") << substituted << general
                                           << "refused: external entity &e; (\"ext.ent\")";
    QTest::newRow("external, local files") << local << general << "OUTSIDE|";
    QTest::newRow("external parameter, substituted") << substituted << parameter << "refused: external entity %p;";
    QTest::newRow("external parameter, local files") << local << parameter << "declared outside|declared outside";
    // No DTD is read, not even to substitute.
    QTest::newRow("external subset, substituted") << substituted << subset << "|";
}

void TestDom::entities()
{
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const auto put = [&](const char *name, const QByteArray &bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    QVERIFY(put("ext.ent", "OUTSIDE") && put("ext.dtd", "<!ENTITY f \"declared outside\">")
            && put("doc.xml", text.toUtf8()));
    DomDocument doc;
    doc.setEntities(DomEntities(mode));
    if (!doc.load(dir.filePath(QStringLiteral("doc.xml")))) {
        QVERIFY2(expected.startsWith(QStringLiteral("refused: ")), qPrintable(doc.parseError().reason));
        QVERIFY2(doc.parseError().reason.contains(expected.mid(9)), qPrintable(doc.parseError().reason));
        return;
    }
    const DomNode a = doc.documentElement();
    QCOMPARE(a.text() + QLatin1Char('|') + a.getAttribute(QStringLiteral("t")), expected);
}

void TestDom::entityExpansionIsBounded()
{
    QString dtd = QStringLiteral("<!DOCTYPE lolz [<!ENTITY lol0 \"lollollollollollollollollollol\">");
    for (int i = 1; i < 10; ++i)
        dtd += QStringLiteral("<!ENTITY lol%1 \"%2\">").arg(i).arg(QStringLiteral("&lol%1;").arg(i - 1).repeated(10));
    dtd += QStringLiteral("]>");
    DomDocument doc;
    const bool loaded = doc.loadXML(dtd + QStringLiteral("<lolz>&lol9;</lolz>"));
    if (loaded)   // then reading it must not expand a billion characters
        QVERIFY(doc.documentElement().text().size() < 100 * 1000 * 1000);
    else
        QVERIFY(!doc.parseError().reason.isEmpty());
    // Small internal entities still work.
    QVERIFY(doc.loadXML(QStringLiteral("<!DOCTYPE a [<!ENTITY e \"v&amp;w\">]><a>x&e;y</a>")));
    QCOMPARE(doc.documentElement().text(), QStringLiteral("xv&wy"));
}

void TestDom::duplicateXmlIdStillLoads()
{
    DomDocument doc;
    QVERIFY2(doc.loadXML(QStringLiteral("<r><a xml:id=\"x\"/><b xml:id=\"x\"/></r>")),
             qPrintable(doc.parseError().reason));
    QCOMPARE(doc.documentElement().childNodes().size(), 2);
}

void TestDom::failedLoadKeepsPreviousDocument()
{
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<a><b/></a>")));
    QVERIFY(!doc.loadXML(QStringLiteral("<a>")));
    QCOMPARE(doc.documentElement().nodeName(), QStringLiteral("a"));
    QVERIFY(doc.loadXML(QStringLiteral("<c/>")));
    QCOMPARE(doc.parseError().errorCode, 0);
    QVERIFY(doc.parseError().reason.isEmpty());
}

void TestDom::blankText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("xpath");
    QTest::addColumn<QStringList>("children");
    QTest::addColumn<bool>("preserveAll");

    QTest::newRow("preserveWhiteSpace set") << "<a>\n  <b/>\n</a>" << "/a" << QStringList{"#text", "b", "#text"} << true;
    QTest::newRow("indented elements") << "<a>\n  <b/>\n  <c/>\n</a>" << "/a" << QStringList{"b", "c"} << false;
    // An element's only text is its value, however blank.
    QTest::newRow("blank-only element") << "<a>   </a>" << "/a" << QStringList{"#text"} << false;
    QTest::newRow("tab-only value") << "<a>\n  <tab>\t</tab>\n</a>" << "/a/tab" << QStringList{"#text"} << false;
    QTest::newRow("no element beside the blanks") << "<a> <!--c--> </a>" << "/a"
                                                  << QStringList{"#text", "#comment", "#text"} << false;
    QTest::newRow("preserve") << "<a xml:space=\"preserve\">\n  <b/>\n</a>" << "/a"
                              << QStringList{"#text", "b", "#text"} << false;
    QTest::newRow("preserve inherited") << "<a xml:space=\"preserve\"><x> <b/></x></a>" << "/a/x"
                                        << QStringList{"#text", "b"} << false;
    QTest::newRow("preserve switched off") << "<a xml:space=\"preserve\"><x xml:space=\"default\"> <b/></x></a>"
                                           << "/a/x" << QStringList{"b"} << false;
    QTest::newRow("mixed content keeps blanks") << "<p>Hello <b>big</b> <i>world</i></p>" << "/p"
                                                << QStringList{"#text", "b", "#text", "i"} << false;
    QTest::newRow("blank between inline elements only") << "<p><b>a</b> <i>b</i></p>" << "/p"
                                                        << QStringList{"b", "i"} << false;
    QTest::newRow("cdata makes it content") << "<p><![CDATA[x]]> <b/></p>" << "/p"
                                            << QStringList{"#cdata-section", "#text", "b"} << false;
    QTest::newRow("comments stay") << "<a>\n <!-- c -->\n <b/>\n</a>" << "/a" << QStringList{"#comment", "b"} << false;
}

void TestDom::blankText()
{
    QFETCH(QString, text);
    QFETCH(QString, xpath);
    QFETCH(QStringList, children);
    QFETCH(bool, preserveAll);
    DomDocument doc;
    doc.setPreserveWhiteSpace(preserveAll);
    QVERIFY(doc.loadXML(text));
    QCOMPARE(childNames(doc.selectSingleNode(xpath)), children);
}

void TestDom::selectionPrefixes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("xpath");
    QTest::addColumn<QString>("expectedName");

    QTest::newRow("osl and xql") << kEnvelope << "osl:response/xql:result/Order[2]" << "Order";
    QTest::newRow("osl attribute") << kEnvelope << "//Order[@osl:id='4']/total" << "total";
    QTest::newRow("xs and osd")
        << "<s:schema xmlns:s=\"http://www.w3.org/2001/XMLSchema\"><s:annotation><s:appinfo>"
           "<d:schemaInfo xmlns:d=\"http://namespaces.ostrel.org/ostrel/schema-definition\" name=\"Sales\"/>"
           "</s:appinfo></s:annotation></s:schema>"
        << "xs:schema/xs:annotation/xs:appinfo/osd:schemaInfo" << "d:schemaInfo";
    QTest::newRow("prefix bound to another uri does not match")
        << "<osl:response xmlns:osl=\"urn:other\"/>" << "osl:response" << "";
}

void TestDom::selectionPrefixes()
{
    QFETCH(QString, text);
    QFETCH(QString, xpath);
    QFETCH(QString, expectedName);
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(text));
    const DomNode n = doc.selectSingleNode(xpath);
    QCOMPARE(n.nodeName(), expectedName);
    QCOMPARE(n.isNull(), expectedName.isEmpty());
}

void TestDom::selectionRelativeToNode()
{
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(kEnvelope));
    const DomNode result = doc.selectSingleNode(QStringLiteral("/osl:response/xql:result"));
    QCOMPARE(result.selectNodes(QStringLiteral("Order")).size(), 2);
    QCOMPARE(result.selectSingleNode(QStringLiteral("Order/@osl:id")).nodeValue(), QStringLiteral("1"));
    QCOMPARE(result.selectSingleNode(QStringLiteral("..")).nodeName(), QStringLiteral("osl:response"));
    QVERIFY(result.selectSingleNode(QStringLiteral("Invoice")).isNull());
    const DomNode message = doc.documentElement().lastChild();
    QCOMPARE(message.attributes().first().nodeValue(), QStringLiteral("0"));
    QCOMPARE(message.lastChild().text(), QStringLiteral("2 documents"));
}

void TestDom::invalidXPathThrows_data()
{
    QTest::addColumn<QString>("xpath");
    QTest::newRow("syntax") << "Order[";
    QTest::newRow("unknown prefix") << "foo:bar";
    QTest::newRow("not a node set") << "count(//Order)";
    QTest::newRow("empty") << "";
}

void TestDom::invalidXPathThrows()
{
    QFETCH(QString, xpath);
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(kEnvelope));
    try {
        doc.selectNodes(xpath);
        QFAIL("no error");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("XPath"));
        QVERIFY2(e.description().contains(QLatin1Char('"') + xpath + QLatin1Char('"')), qPrintable(e.description()));
        QCOMPARE(e.number(), OstrelError::DefaultNumber);
    }
}

void TestDom::customSelectionNamespaces()
{
    QCOMPARE(selectionNamespaces(),
             QStringLiteral("xmlns:osd='%1' xmlns:xs='%2' xmlns:osl='%3' xmlns:xql='%4'")
                 .arg(ns::OSD, ns::XS, ns::OSL, ns::XQL));
    DomDocument doc = NewDOMDocument(false, true);
    QCOMPARE(doc.selectionNamespaces(), selectionNamespaces());

    DomDocument xsl;
    xsl.setSelectionNamespaces(QStringLiteral("xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""));
    QVERIFY(xsl.loadXML(QStringLiteral("<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                       "<xsl:output method=\"html\"/></xsl:stylesheet>")));
    QCOMPARE(xsl.documentElement().selectSingleNode(QStringLiteral("xsl:output")).getAttribute(QStringLiteral("method")),
             QStringLiteral("html"));
    QVERIFY_THROWS_EXCEPTION(OstrelError, xsl.setSelectionNamespaces(QStringLiteral("xmlns:a=unquoted")));
}

void TestDom::envelopeChildXmlIsSelfContained()
{
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(kEnvelope));
    const DomNode order = doc.selectSingleNode(QStringLiteral("osl:response/xql:result")).firstChild();
    const QString text = order.xml();
    QVERIFY2(text.startsWith(QStringLiteral("<Order xmlns:osl=\"%1\"").arg(ns::OSL)), qPrintable(text));
    QVERIFY(!text.contains(QLatin1String("xmlns:xql")));   // only the prefixes it uses

    DomDocument alone = NewDOMDocument(false, true);
    QVERIFY2(alone.loadXML(text), qPrintable(alone.parseError().reason));
    QCOMPARE(alone.documentElement().getAttribute(QStringLiteral("osl:id")), QStringLiteral("1"));
    QCOMPARE(alone.selectSingleNode(QStringLiteral("Order/total")).text(), QStringLiteral("12"));
    // The original is untouched by serialising.
    QVERIFY(order.xml() == text);
    QVERIFY(!doc.xml().contains(QLatin1String("<Order xmlns")));
}

void TestDom::innerElementBecomesTheDocument_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("expected");   // the document's text afterwards
    QTest::newRow("envelope") << QString(kEnvelope) << QString();  // its element: osl:response/xql:result/Order
    QTest::newRow("prefixes from ancestors, once each, in order of use")
        << "<r xmlns:a=\"urn:a\" xmlns:b=\"urn:b\" xmlns:u=\"urn:u\"><w><in xmlns:c=\"urn:c\" b:k=\"1\">"
           "<a:x c:z=\"2\"/><b:y/></in></w></r>"
        << "<in xmlns:c=\"urn:c\" xmlns:b=\"urn:b\" xmlns:a=\"urn:a\" b:k=\"1\"><a:x c:z=\"2\"/><b:y/></in>";
    QTest::newRow("default namespace from outside, redeclared inside")
        << "<r xmlns=\"urn:d\" xmlns:p=\"urn:p\"><in><c/><p:e xmlns:p=\"urn:q\"/></in></r>"
        << "<in xmlns=\"urn:d\"><c/><p:e xmlns:p=\"urn:q\"/></in>";
    QTest::newRow("xml prefix stays undeclared") << "<r><in xml:lang=\"en\">t</in></r>" << "<in xml:lang=\"en\">t</in>";
}

// The element stands on its own: same text as its self-contained serialisation before, same
// names and namespaces, the old root gone, selections relative to the new root.
void TestDom::innerElementBecomesTheDocument()
{
    QFETCH(QString, xml);
    QFETCH(QString, expected);
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(xml));
    const DomNode top = doc.documentElement();
    DomNode in = doc.selectSingleNode(expected.isEmpty() ? QStringLiteral("osl:response/xql:result/Order")
                                                         : QStringLiteral("//*[local-name()='in']"));
    QVERIFY(in);
    const QString before = in.xml();
    QStringList names;
    for (const DomNode &n : in.selectNodes(QStringLiteral(".//* | .//@*")))
        names << n.nodeName() + u'=' + n.namespaceURI();
    QCOMPARE(doc.setDocumentElement(in), in);
    QCOMPARE(doc.documentElement(), in);
    QVERIFY(in.parentNode().nodeType() == DomNodeType::Document);
    QCOMPARE(in.xml(), before);
    if (!expected.isEmpty())
        QCOMPARE(in.xml(), expected);
    QStringList after;
    for (const DomNode &n : in.selectNodes(QStringLiteral(".//* | .//@*")))
        after << n.nodeName() + u'=' + n.namespaceURI();
    QCOMPARE(after, names);
    QVERIFY(!doc.xml().contains(top.nodeName() + u' '));
    QCOMPARE(doc.setDocumentElement(in), in);   // already the root: nothing changes
    QCOMPARE(in.xml(), before);

    DomDocument other = NewDOMDocument(false, true);
    QVERIFY(other.loadXML(QStringLiteral("<o/>")));
    QVERIFY_THROWS_EXCEPTION(OstrelError, other.setDocumentElement(in));
    QVERIFY_THROWS_EXCEPTION(OstrelError, doc.setDocumentElement(DomNode()));
}

void TestDom::navigationAndNames()
{
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<?xml version=\"1.0\"?><!-- top --><r xmlns:p=\"urn:p\"><p:a p:k=\"v\">t<![CDATA[<c>]]></p:a><?pi data?><b/></r>")));
    const DomNode r = doc.documentElement();
    QCOMPARE(childNames(doc.node()), (QStringList{"#comment", "r"}));
    const DomNode a = r.firstChild();
    QCOMPARE(a.nodeName(), QStringLiteral("p:a"));
    QCOMPARE(a.baseName(), QStringLiteral("a"));
    QCOMPARE(a.prefix(), QStringLiteral("p"));
    QCOMPARE(a.namespaceURI(), QStringLiteral("urn:p"));
    QCOMPARE(a.nodeType(), DomNodeType::Element);
    QCOMPARE(a.text(), QStringLiteral("t<c>"));
    QCOMPARE(a.lastChild().nodeType(), DomNodeType::CData);
    QCOMPARE(a.lastChild().nodeValue(), QStringLiteral("<c>"));
    QCOMPARE(a.nextSibling().nodeType(), DomNodeType::ProcessingInstruction);
    QCOMPARE(a.nextSibling().nodeName(), QStringLiteral("pi"));
    QCOMPARE(r.lastChild().previousSibling(), a.nextSibling());
    QCOMPARE(a.parentNode(), r);
    QVERIFY(r.parentNode().nodeType() == DomNodeType::Document);
    QVERIFY(doc.node().parentNode().isNull());
    const DomNode attr = a.attributes().value(0);
    QCOMPARE(attr.nodeType(), DomNodeType::Attribute);
    QCOMPARE(attr.nodeName(), QStringLiteral("p:k"));
    QCOMPARE(attr.xml(), QStringLiteral("p:k=\"v\""));
    QCOMPARE(attr.parentNode(), a);
    QCOMPARE(a.attributes().size(), 1);   // declarations are no attributes
    QCOMPARE(r.getAttribute(QStringLiteral("xmlns:p")), QStringLiteral("urn:p"));
    QVERIFY(r.getAttribute(QStringLiteral("missing")).isNull());
    QVERIFY(a.firstChild().firstChild().isNull());
    QCOMPARE(a.ownerDocument().documentElement(), r);
    QVERIFY(doc.xml().startsWith(QStringLiteral("<?xml version=\"1.0\"?>\n<!-- top -->\n<r")));
    DomDocument noDecl;
    QVERIFY(noDecl.loadXML(QStringLiteral("<x/>")));
    QCOMPARE(noDecl.xml(), QStringLiteral("<x/>"));
}

void TestDom::attributeEdits()
{
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(kEnvelope));
    DomNode order = doc.selectSingleNode(QStringLiteral("//Order[@osl:id='4']"));
    order.setAttribute(QStringLiteral("osl:id"), QStringLiteral("42"));
    QCOMPARE(order.getAttribute(QStringLiteral("osl:id")), QStringLiteral("42"));
    QCOMPARE(order.attributes().size(), 1);
    order.setAttribute(QStringLiteral("note"), QStringLiteral("a \"b\" & <c>"));
    QVERIFY(order.xml().contains(QStringLiteral("note=\"a &quot;b&quot; &amp; &lt;c&gt;\"")));
    DomDocument again;
    QVERIFY(again.loadXML(order.xml()));
    QCOMPARE(again.documentElement().getAttribute(QStringLiteral("note")), QStringLiteral("a \"b\" & <c>"));

    order.removeAttribute(QStringLiteral("osl:id"));
    QVERIFY(!order.hasAttribute(QStringLiteral("osl:id")));
    QVERIFY(!order.xml().contains(QLatin1String("osl:id")));
    order.removeAttribute(QStringLiteral("osl:id"));   // absent: nothing happens

    // A known selection prefix that is not in scope gets declared.
    DomDocument plain = NewDOMDocument(false, true);
    QVERIFY(plain.loadXML(QStringLiteral("<Order/>")));
    plain.documentElement().setAttribute(QStringLiteral("osl:id"), QStringLiteral("7"));
    DomDocument reread = NewDOMDocument(false, true);
    QVERIFY2(reread.loadXML(plain.xml()), qPrintable(plain.xml()));
    QCOMPARE(reread.selectSingleNode(QStringLiteral("Order/@osl:id")).nodeValue(), QStringLiteral("7"));
    QVERIFY_THROWS_EXCEPTION(OstrelError, plain.documentElement().setAttribute(QStringLiteral("zz:q"), QStringLiteral("1")));

    DomNode attr = order.getAttributeNode(QStringLiteral("note"));
    attr.setNodeValue(QStringLiteral("new"));
    QCOMPARE(order.getAttribute(QStringLiteral("note")), QStringLiteral("new"));
}

void TestDom::treeEdits()
{
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<r><a/><b/><c/></r>")));
    DomNode r = doc.documentElement();
    DomNode a = r.firstChild(), b = a.nextSibling(), c = r.lastChild();

    r.appendChild(a);   // moving within the tree
    QCOMPARE(childNames(r), (QStringList{"b", "c", "a"}));
    r.insertBefore(a, b);
    QCOMPARE(childNames(r), (QStringList{"a", "b", "c"}));
    DomNode removed = r.removeChild(b);
    QCOMPARE(removed, b);
    QVERIFY(b.parentNode().isNull());
    QCOMPARE(childNames(r), (QStringList{"a", "c"}));
    r.replaceChild(b, c);
    QCOMPARE(childNames(r), (QStringList{"a", "b"}));
    QVERIFY_THROWS_EXCEPTION(OstrelError, a.appendChild(r));         // below itself
    QVERIFY_THROWS_EXCEPTION(OstrelError, r.removeChild(c));         // not a child any more
    QVERIFY_THROWS_EXCEPTION(OstrelError, doc.node().appendChild(doc.createElement(QStringLiteral("x"))));
    QCOMPARE(childNames(r), (QStringList{"a", "b"}));

    // Adjacent text nodes stay separate nodes; handles stay valid.
    DomNode t1 = a.appendChild(doc.createTextNode(QStringLiteral("one")));
    DomNode t2 = a.appendChild(doc.createTextNode(QStringLiteral("two")));
    QCOMPARE(a.childNodes().size(), 2);
    QCOMPARE(t1.nodeValue() + t2.nodeValue(), QStringLiteral("onetwo"));
    a.setText(QStringLiteral("x < y"));
    QCOMPARE(a.childNodes().size(), 1);
    QCOMPARE(a.xml(), QStringLiteral("<a>x &lt; y</a>"));
    QCOMPARE(t1.nodeValue(), QStringLiteral("one"));   // detached, still readable

    DomNode deep = r.cloneNode(true), shallow = r.cloneNode(false);
    QCOMPARE(deep.xml(), r.xml());
    QCOMPARE(shallow.xml(), QStringLiteral("<r/>"));
    QVERIFY(deep.parentNode().isNull());
    a.firstChild().setNodeValue(QStringLiteral("changed"));
    QVERIFY(deep.xml().contains(QLatin1String("x &lt; y")));
}

void TestDom::editsAcrossDocuments()
{
    DomDocument src = NewDOMDocument(false, true);
    QVERIFY(src.loadXML(kEnvelope));
    DomDocument dst = NewDOMDocument(false, true);
    QVERIFY(dst.loadXML(QStringLiteral("<holder/>")));
    const DomNode order = src.selectSingleNode(QStringLiteral("//Order"));
    DomNode imported = dst.importNode(order, true);
    QCOMPARE(imported.ownerDocument().documentElement(), dst.documentElement());
    dst.documentElement().appendChild(imported);
    DomNode copied = dst.documentElement().appendChild(order);   // copied in, source unchanged
    QVERIFY(copied != order);
    QCOMPARE(src.selectNodes(QStringLiteral("//Order")).size(), 2);
    QCOMPARE(dst.selectNodes(QStringLiteral("holder/Order[@osl:id='1']")).size(), 2);
    DomDocument reread;
    QVERIFY2(reread.loadXML(dst.xml()), qPrintable(dst.xml()));
}

void TestDom::nodesOutliveReload()
{
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<old><x>1</x></old>")));
    const DomNode x = doc.documentElement().firstChild();
    DomDocument sameDoc = doc;
    QVERIFY(sameDoc.loadXML(QStringLiteral("<new/>")));
    QCOMPARE(doc.documentElement().nodeName(), QStringLiteral("new"));   // shared handle
    QCOMPARE(x.text(), QStringLiteral("1"));
    QCOMPARE(x.ownerDocument().documentElement().nodeName(), QStringLiteral("old"));

    DomNode kept;
    {
        DomDocument temp;
        QVERIFY(temp.loadXML(QStringLiteral("<t><u>kept</u></t>")));
        kept = temp.selectSingleNode(QStringLiteral("t/u"));
    }
    QCOMPARE(kept.text(), QStringLiteral("kept"));
}

void TestDom::buildDocumentFromScratch()
{
    DomDocument doc = NewDOMDocument(false, true);
    DomNode root = doc.appendChild(doc.createElement(QStringLiteral("Order")));
    root.setAttribute(QStringLiteral("osl:id"), QStringLiteral("3"));
    DomNode child = root.appendChild(doc.createElement(QStringLiteral("osl:note")));
    child.appendChild(doc.createCDATASection(QStringLiteral("a]]b")));
    root.appendChild(doc.createComment(QStringLiteral("c")));
    doc.node().insertBefore(doc.createProcessingInstruction(QStringLiteral("pi"), QStringLiteral("x")), root);
    DomNode q = root.appendChild(doc.createElement(QStringLiteral("q:item"), QStringLiteral("urn:q")));
    QCOMPARE(q.namespaceURI(), QStringLiteral("urn:q"));
    QCOMPARE(child.namespaceURI(), QString::fromLatin1(ns::OSL));
    QCOMPARE(child.baseName(), QStringLiteral("note"));

    DomDocument reread = NewDOMDocument(false, true);
    QVERIFY2(reread.loadXML(doc.xml()), qPrintable(doc.xml() + reread.parseError().reason));
    QCOMPARE(reread.selectSingleNode(QStringLiteral("Order/osl:note")).text(), QStringLiteral("a]]b"));
    QCOMPARE(reread.documentElement().getAttribute(QStringLiteral("osl:id")), QStringLiteral("3"));
    QCOMPARE(childNames(reread.node()), (QStringList{"pi", "Order"}));
}

void TestDom::saveWritesUtf8()
{
    QTemporaryDir dir;
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<a>\u00e9\u20ac</a>")));
    const QString path = dir.filePath(QStringLiteral("out.xml"));
    doc.save(path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY(bytes.contains(QStringLiteral("<a>\u00e9\u20ac</a>").toUtf8()));
    QVERIFY_THROWS_EXCEPTION(OstrelError, doc.save(dir.filePath(QStringLiteral("no/such/dir/x.xml"))));
}

void TestDom::nonAsciiRoundTrip()
{
    DomDocument doc;
    const QString text = QStringLiteral("<a k=\"\u00fc\">\u65e5\u672c \U0001F600</a>");
    QVERIFY(doc.loadXML(text));
    QCOMPARE(doc.xml(), text);
    QCOMPARE(doc.documentElement().text(), QStringLiteral("\u65e5\u672c \U0001F600"));
    // A string is Unicode already: a declared single-byte encoding must not garble it.
    QVERIFY(doc.loadXML(QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\u00e9</a>")));
    QCOMPARE(doc.documentElement().text(), QStringLiteral("\u00e9"));
}

QTEST_GUILESS_MAIN(TestDom)
#include "tst_dom.moc"
