#include "xml/xmlutil.h"
#include "xml/Namespaces.h"
#include "common/OstrelError.h"

#include <QtTest>

using namespace owb;

class TestFormatXml : public QObject {
    Q_OBJECT
private slots:
    void format_data();
    void format();
    void idempotentAndTextKept_data() { format_data(); }
    void idempotentAndTextKept();
    void sameObjectTwice();
    void envelopeChild();
    void innerElement_data();
    void innerElement();
    void bytesAreTheText();
    void piecesMakeTheText_data();
    void piecesMakeTheText();
    void nodeKinds();
    void notWellFormedThrows();
};

void TestFormatXml::format_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nested on one line")
        << "<a><b><c/></b><d/></a>"
        << "<a>\n  <b>\n    <c/>\n  </b>\n  <d/>\n</a>";
    QTest::newRow("declaration dropped")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a><b>x</b></a>"
        << "<a>\n  <b>x</b>\n</a>";
    QTest::newRow("attributes and escapes")
        << "<a k=\"1 &amp; &lt;2&gt;\" q='say \"hi\"'><b>x &amp; y &lt; z</b></a>"
        << "<a k=\"1 &amp; &lt;2&gt;\" q=\"say &quot;hi&quot;\">\n  <b>x &amp; y &lt; z</b>\n</a>";
    QTest::newRow("namespaces")
        << "<osl:response xmlns:osl=\"urn:o\" xmlns=\"urn:d\"><x osl:id=\"1\"/></osl:response>"
        << "<osl:response xmlns:osl=\"urn:o\" xmlns=\"urn:d\">\n  <x osl:id=\"1\"/>\n</osl:response>";
    // Fuzzer finding: the ampersand of a namespace name was escaped twice, naming another namespace.
    QTest::newRow("ampersand in a namespace name")
        << "<a xmlns:p=\"urn:x&amp;y\" xmlns=\"urn:&#38;z\"><p:b/></a>"
        << "<a xmlns:p=\"urn:x&#38;y\" xmlns=\"urn:&#38;z\">\n  <p:b/>\n</a>";
    // Fuzzer finding: blanks written around an element's only comment read back as its text.
    QTest::newRow("comment as the only content") << "<!--top--><a><!--r --></a>" << "<!--top-->\n<a><!--r --></a>";
    QTest::newRow("comments")
        << "<!--top--><a><!-- inner --><b/></a>"
        << "<!--top-->\n<a>\n  <!-- inner -->\n  <b/>\n</a>";
    QTest::newRow("cdata")
        << "<a><b><![CDATA[x < y && \"z\"]]></b></a>"
        << "<a>\n  <b><![CDATA[x < y && \"z\"]]></b>\n</a>";
    QTest::newRow("doctype")
        << "<!DOCTYPE a [<!ENTITY e \"v\">]><a><b>&e;</b></a>"
        << "<!DOCTYPE a [\n<!ENTITY e \"v\">\n]>\n<a>\n  <b>&e;</b>\n</a>";
    QTest::newRow("mixed content unchanged")
        << "<doc><p>Hello <b>big</b> <i>world</i>!\n  second line</p></doc>"
        << "<doc>\n  <p>Hello <b>big</b> <i>world</i>!\n  second line</p>\n</doc>";
    QTest::newRow("preserve unchanged")
        << "<doc><pre xml:space=\"preserve\">\n <b/>  <c> </c>\n</pre></doc>"
        << "<doc>\n  <pre xml:space=\"preserve\">\n <b/>  <c> </c>\n</pre>\n</doc>";
    QTest::newRow("re-indented")
        << "<a>\n\t\t<b>\n\t<c>t</c>\n            </b>\n</a>"
        << "<a>\n  <b>\n    <c>t</c>\n  </b>\n</a>";
    QTest::newRow("processing instructions")
        << "<?xml-stylesheet href=\"s.xsl\"?><a><?pi?><b/></a>"
        << "<?xml-stylesheet href=\"s.xsl\"?>\n<a>\n  <?pi?>\n  <b/>\n</a>";
    QTest::newRow("non-ascii")
        << "<a><b n=\"\u00fc\">\u65e5\u672c\u8a9e \U0001F600</b></a>"
        << "<a>\n  <b n=\"\u00fc\">\u65e5\u672c\u8a9e \U0001F600</b>\n</a>";
    QTest::newRow("single empty root") << "<a></a>" << "<a/>";
    QTest::newRow("carriage return kept")
        << "<a><b>x&#13;y</b></a>"
        << "<a>\n  <b>x&#13;y</b>\n</a>";
    // An element's only text is its value, however blank.
    QTest::newRow("blank-only value kept") << "<a><password> </password></a>" << "<a>\n  <password> </password>\n</a>";
    QTest::newRow("line break as the root's value") << "<a>\n</a>" << "<a>\n</a>";
}

void TestFormatXml::format()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const xmlutil u;
    QCOMPARE(u.FormatXML(input), expected);
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(input));
    QCOMPARE(u.FormatXML(doc), expected);
}

void TestFormatXml::idempotentAndTextKept()
{
    QFETCH(QString, input);
    const xmlutil u;
    const QString once = u.FormatXML(input);
    QCOMPARE(u.FormatXML(once), once);

    DomDocument before, after;
    QVERIFY(before.loadXML(input));
    QVERIFY2(after.loadXML(once), qPrintable(once));
    QCOMPARE(after.documentElement().text(), before.documentElement().text());
    QCOMPARE(after.documentElement().xml(), before.documentElement().xml());
}

void TestFormatXml::sameObjectTwice()
{
    const xmlutil u;
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<a><b/></a>")));
    const QString first = u.FormatXML(doc.documentElement());
    QCOMPARE(u.FormatXML(doc.documentElement()), first);
    QCOMPARE(first, QStringLiteral("<a>\n  <b/>\n</a>"));
    QCOMPARE(doc.xml(), QStringLiteral("<a><b/></a>"));   // the document itself is not changed
}

void TestFormatXml::envelopeChild()
{
    DomDocument env = NewDOMDocument(false, true);
    QVERIFY(env.loadXML(QStringLiteral(
        "<osl:response xmlns:osl=\"%1\" xmlns:xql=\"%2\"><xql:result>"
        "<Order osl:id=\"1\"><total>12</total><note xml:space=\"preserve\"> a </note></Order>"
        "</xql:result></osl:response>").arg(ns::OSL, ns::XQL)));
    const DomNode order = env.selectSingleNode(QStringLiteral("//Order"));
    const QString text = xmlutil().FormatXML(order);
    QCOMPARE(text, QStringLiteral("<Order xmlns:osl=\"%1\" osl:id=\"1\">\n  <total>12</total>\n"
                                  "  <note xml:space=\"preserve\"> a </note>\n</Order>").arg(ns::OSL));
}

void TestFormatXml::innerElement_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no namespaces") << "<r><in><c a=\"1\">t</c></in></r>" << "<in>\n  <c a=\"1\">t</c>\n</in>";
    QTest::newRow("prefix of a descendant's attribute, once")
        << "<r xmlns:p=\"urn:p\"><in><c p:a=\"1\"/><d p:b=\"2\"/></in></r>"
        << "<in xmlns:p=\"urn:p\">\n  <c p:a=\"1\"/>\n  <d p:b=\"2\"/>\n</in>";
    QTest::newRow("default namespace from outside")
        << "<r xmlns=\"urn:d\"><in><c/></in></r>" << "<in xmlns=\"urn:d\">\n  <c/>\n</in>";
    QTest::newRow("own declarations first, then inherited in order of use")
        << "<r xmlns:a=\"urn:a\" xmlns:b=\"urn:b\"><in xmlns:c=\"urn:c\"><b:x/><a:y c:z=\"1\"/></in></r>"
        << "<in xmlns:c=\"urn:c\" xmlns:b=\"urn:b\" xmlns:a=\"urn:a\">\n  <b:x/>\n  <a:y c:z=\"1\"/>\n</in>";
    QTest::newRow("declared inside, not again")
        << "<r xmlns:p=\"urn:p\"><in><c xmlns:p=\"urn:q\" p:a=\"1\"/></in></r>"
        << "<in>\n  <c xmlns:p=\"urn:q\" p:a=\"1\"/>\n</in>";
    QTest::newRow("xml prefix never declared, preserve inherited")
        << "<r xml:space=\"preserve\"><in xml:lang=\"en\"> <c/> </in></r>"
        << "<in xml:lang=\"en\"> <c/> </in>";
    QTest::newRow("unused outer declarations left out")
        << "<r xmlns:u=\"urn:u\" xmlns:p=\"urn:p\"><in><p:c/></in></r>" << "<in xmlns:p=\"urn:p\">\n  <p:c/>\n</in>";
}

// An element below another reads as a copy of it on its own, its inherited prefixes declared.
void TestFormatXml::innerElement()
{
    QFETCH(QString, xml);
    QFETCH(QString, expected);
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(xml));
    const DomNode in = doc.documentElement().firstChild();
    QCOMPARE(in.nodeName(), QStringLiteral("in"));
    const QString text = xmlutil().FormatXML(in);
    QCOMPARE(text, expected);
    QCOMPARE(text, xmlutil().FormatXML(in.cloneNode(true)));
}

void TestFormatXml::bytesAreTheText()
{
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(QStringLiteral("<r xmlns:p=\"urn:p\"><in p:a=\"\u00e9&amp;\"><c>\u4e2d</c><!--k--></in></r>")));
    const xmlutil u;
    for (const DomNode &n : {doc.node(), doc.documentElement(), doc.documentElement().firstChild()}) {
        const QByteArray bytes = u.FormatXMLUtf8(n);
        QCOMPARE(QString::fromUtf8(bytes), u.FormatXML(n));
        QVERIFY(!bytes.endsWith('\n'));
    }
    QCOMPARE(u.FormatXMLUtf8(DomNode()), QByteArray());
}

namespace {

// count rows, each with text of about textBytes, two characters of it outside ASCII.
QString manyRows(int count, int textBytes)
{
    QString xml = QStringLiteral("<r xmlns:p=\"urn:p\">");
    const QString text = QString(textBytes, u'x') + QStringLiteral("\u00e9\u4e2d");
    for (int i = 0; i < count; ++i)
        xml += QStringLiteral("<p:row n=\"%1\"><a>%2</a><b/></p:row>").arg(i).arg(text);
    return xml + QStringLiteral("</r>");
}

} // namespace

void TestFormatXml::piecesMakeTheText_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<int>("which");   // 0 the document, 1 its root, 2 the root's first child
    QTest::addColumn<bool>("severalPieces");
    QTest::newRow("small document") << "<a><b>x</b></a>" << 0 << false;
    QTest::newRow("rows, document") << manyRows(20000, 150) << 0 << true;
    QTest::newRow("rows, root") << manyRows(20000, 150) << 1 << true;
    QTest::newRow("inner element, prefix inherited")
        << "<r xmlns:p=\"urn:p\"><in>" + manyRows(20000, 150) + "</in></r>" << 2 << true;
    // One element holding text, on one line: the pieces end between its children.
    QTest::newRow("mixed content on one line")
        << "<r>" + QString(3 << 20, u'y') + "<i>\u4e2d</i>" + QString(1 << 20, u'z') + "</r>" << 1 << true;
    QTest::newRow("nodes after the root") << "<a><b/></a><!--end--><?pi x?>" << 0 << false;
    QTest::newRow("text node") << "<a>text\n\n</a>" << 2 << false;
}

// Pieces put together are the whole text, each of them whole characters.
void TestFormatXml::piecesMakeTheText()
{
    QFETCH(QString, xml);
    QFETCH(int, which);
    QFETCH(bool, severalPieces);
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(xml));
    const DomNode node = which == 0 ? doc.node() : which == 1 ? doc.documentElement() : doc.documentElement().firstChild();
    const xmlutil u;
    QByteArray joined;
    int pieces = 0;
    bool wholeCharacters = true;
    const qsizetype told = u.FormatXMLUtf8(node, [&](const char *data, qsizetype size) {
        QVERIFY(size > 0);
        ++pieces;
        QStringDecoder utf8(QStringDecoder::Utf8);
        (void)utf8.decode(QByteArrayView(data, size));
        wholeCharacters = wholeCharacters && !utf8.hasError();
        joined.append(data, size);
    });
    QCOMPARE(joined, u.FormatXMLUtf8(node));
    QCOMPARE(told, joined.size());
    QVERIFY(wholeCharacters);
    QCOMPARE(pieces > 1, severalPieces);
}

void TestFormatXml::nodeKinds()
{
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<a k=\"v\">t</a>")));
    const xmlutil u;
    QCOMPARE(u.FormatXML(doc.documentElement().firstChild()), QStringLiteral("t"));
    QCOMPARE(u.FormatXML(doc.documentElement().attributes().first()), QStringLiteral("k=\"v\""));
    QVERIFY(u.FormatXML(DomNode()).isEmpty());

    // Built in memory: blank text among elements counts as text, nothing is lost.
    DomDocument built;
    DomNode r = built.appendChild(built.createElement(QStringLiteral("r")));
    r.appendChild(built.createElement(QStringLiteral("x")));
    r.appendChild(built.createTextNode(QStringLiteral(" ")));
    r.appendChild(built.createElement(QStringLiteral("y")));
    QCOMPARE(u.FormatXML(built), QStringLiteral("<r><x/> <y/></r>"));
}

void TestFormatXml::notWellFormedThrows()
{
    try {
        xmlutil().FormatXML(QStringLiteral("<a>\n<b></a>"));
        QFAIL("no error");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("xmlutil"));
        QVERIFY2(e.description().contains(QLatin1String("line 2")), qPrintable(e.description()));
    }
}

QTEST_GUILESS_MAIN(TestFormatXml)
#include "tst_formatxml.moc"
