#include "xml/Xslt.h"
#include "common/OstrelError.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace owb;

namespace {

QString sheet(const QString &output, const QString &body)
{
    return QStringLiteral("<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">%1"
                          "<xsl:template match=\"/\">%2</xsl:template></xsl:stylesheet>")
        .arg(output, body);
}

DomDocument orders()
{
    DomDocument d = NewDOMDocument(false, true);
    if (!d.loadXML(QStringLiteral("<Orders>\n  <Order id=\"1\"><total>12</total></Order>\n"
                                  "  <Order id=\"2\"><total>\u00e9</total></Order>\n</Orders>")))
        qFatal("fixture does not parse");
    return d;
}

} // namespace

class TestXslt : public QObject {
    Q_OBJECT
private slots:
    void outputMethods_data();
    void outputMethods();
    void encodingHonoured();
    void toDocument();
    void fromDomDocumentAndBlanksInXslText();
    void badStylesheets_data();
    void badStylesheets();
    void runtimeErrorThrows();
    void fileWritesForbidden();
    void sourceLeftUntouched();
    void shippedStylesheetsLoad_data();
    void shippedStylesheetsLoad();
    void sourceReadAsTheProcessorReadsFiles();
    void exsltRegistered();
    void stylesheetFromItsFile();
};

void TestXslt::outputMethods_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("contains");
    QTest::addColumn<bool>("declared");
    QTest::addColumn<bool>("html");

    QTest::newRow("html") << "<xsl:output method=\"html\"/>" << "<html><body><xsl:value-of select=\"count(//Order)\"/></body></html>"
                          << "html" << "<body>2</body>" << true << true;
    QTest::newRow("xml") << "<xsl:output method=\"xml\" omit-xml-declaration=\"yes\"/>"
                         << "<sum><xsl:value-of select=\"sum(//total[.=number(.)])\"/></sum>" << "xml" << "<sum>12</sum>"
                         << true << false;
    QTest::newRow("text") << "<xsl:output method=\"text\"/>"
                          << "<xsl:for-each select=\"//Order\"><xsl:value-of select=\"@id\"/>;</xsl:for-each>"
                          << "text" << "1;2;" << true << false;
    QTest::newRow("not stated") << "" << "<r><xsl:copy-of select=\"//Order[1]\"/></r>" << ""
                                << "<r><Order id=\"1\"><total>12</total></Order></r>" << false << false;
    // Without a method an <html> root makes an HTML result, with or without xsl:output.
    QTest::newRow("html root, no output") << "" << "<html><p>x</p></html>" << "" << "<p>x</p>" << false << true;
    QTest::newRow("html root, no method") << "<xsl:output indent=\"no\"/>" << "<html><p>x</p></html>" << ""
                                          << "<p>x</p>" << true << true;
    // The processor builds an HTML result for any method named html, yet writes nothing.
    QTest::newRow("method in a namespace") << "<xsl:output xmlns:q=\"urn:q\" method=\"q:html\"/>" << "<r/>"
                                           << "{urn:q}html" << "" << true << true;
}

void TestXslt::outputMethods()
{
    QFETCH(QString, output);
    QFETCH(QString, body);
    QFETCH(QString, method);
    QFETCH(QString, contains);
    QFETCH(bool, declared);
    QFETCH(bool, html);
    XsltTransform t;
    QVERIFY(!t.isLoaded());
    t.loadStylesheet(sheet(output, body));
    QVERIFY(t.isLoaded());
    QCOMPARE(t.outputMethod(), method);
    const XsltTransform::Result r = t.transform(orders());
    QCOMPARE(r.method, method);
    QCOMPARE(r.outputDeclared, declared);
    QCOMPARE(r.html, html);
    QVERIFY2(QString::fromUtf8(r.bytes).contains(contains), r.bytes.constData());
    QVERIFY(t.transformToString(orders()).contains(contains));
}

void TestXslt::encodingHonoured()
{
    XsltTransform t;
    t.loadStylesheet(sheet(QStringLiteral("<xsl:output method=\"xml\" encoding=\"ISO-8859-1\"/>"),
                           QStringLiteral("<t><xsl:value-of select=\"//Order[2]/total\"/></t>")));
    const XsltTransform::Result r = t.transform(orders());
    QCOMPARE(r.encoding, QStringLiteral("ISO-8859-1"));
    QVERIFY2(r.bytes.contains("<t>\xE9</t>"), r.bytes.constData());
    QVERIFY(t.transformToString(orders()).contains(QStringLiteral("<t>\u00e9</t>")));
}

void TestXslt::toDocument()
{
    XsltTransform t;
    t.loadStylesheet(sheet(QString(), QStringLiteral("<list><xsl:for-each select=\"//Order\"><item><xsl:value-of select=\"@id\"/></item></xsl:for-each></list>")));
    DomDocument out = t.transformToDocument(orders());
    QCOMPARE(out.documentElement().nodeName(), QStringLiteral("list"));
    QCOMPARE(out.selectNodes(QStringLiteral("/list/item")).size(), 2);
    QCOMPARE(out.selectSingleNode(QStringLiteral("/list/item[2]")).text(), QStringLiteral("2"));
}

void TestXslt::fromDomDocumentAndBlanksInXslText()
{
    const QString text = sheet(QStringLiteral("<xsl:output method=\"text\"/>"),
                               QStringLiteral("<xsl:for-each select=\"//Order\"><xsl:value-of select=\"@id\"/><xsl:text> </xsl:text></xsl:for-each>"));
    XsltTransform fromText;
    fromText.loadStylesheet(text);
    QCOMPARE(fromText.transformToString(orders()), QStringLiteral("1 2 "));

    DomDocument doc;
    doc.setPreserveWhiteSpace(true);
    QVERIFY(doc.loadXML(text));
    XsltTransform fromDom;
    fromDom.loadStylesheet(doc);
    QCOMPARE(fromDom.transformToString(orders()), QStringLiteral("1 2 "));
    QVERIFY(doc.documentElement().hasChildNodes());   // the stylesheet document is still ours

    XsltTransform moved = std::move(fromDom);
    QVERIFY(moved.isLoaded());
    QVERIFY(!fromDom.isLoaded());
}

void TestXslt::badStylesheets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("part");
    QTest::newRow("not well-formed") << "<xsl:stylesheet" << "not well-formed";
    QTest::newRow("not xslt") << "<html><body/></html>" << "Invalid stylesheet";
    QTest::newRow("undeclared variable") << sheet(QString(), QStringLiteral("<xsl:value-of select=\"$nope\"/>")) << "nope";
    QTest::newRow("bad xpath") << sheet(QString(), QStringLiteral("<xsl:value-of select=\"count(\"/>")) << "value-of";
    QTest::newRow("unknown instruction") << sheet(QString(), QStringLiteral("<xsl:frobnicate/>")) << "frobnicate";
}

// Whether the fault shows when loading or when applying, it must not pass silently.
void TestXslt::badStylesheets()
{
    QFETCH(QString, text);
    QFETCH(QString, part);
    XsltTransform t;
    try {
        t.loadStylesheet(text);
        t.transform(orders());
        QFAIL("no error");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("XSLT"));
        QVERIFY2(e.description().contains(part), qPrintable(e.description()));
    }
}

void TestXslt::runtimeErrorThrows()
{
    XsltTransform t;
    t.loadStylesheet(sheet(QString(), QStringLiteral("<xsl:message terminate=\"yes\">stop here</xsl:message>")));
    try {
        t.transform(orders());
        QFAIL("no error");
    } catch (const OstrelError &e) {
        QVERIFY2(e.description().contains(QLatin1String("stop here")), qPrintable(e.description()));
    }
    XsltTransform none;
    QVERIFY_THROWS_EXCEPTION(OstrelError, none.transform(orders()));
    XsltTransform fine;
    fine.loadStylesheet(sheet(QString(), QStringLiteral("<r/>")));
    QVERIFY_THROWS_EXCEPTION(OstrelError, fine.transform(DomDocument()));
}

void TestXslt::fileWritesForbidden()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("sub/evil.txt"));
    const QString text = QStringLiteral(
        "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\""
        " xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\">"
        "<xsl:template match=\"/\"><r/><exsl:document href=\"%1\" method=\"text\">owned</exsl:document></xsl:template>"
        "</xsl:stylesheet>").arg(QUrl::fromLocalFile(target).toString());
    XsltTransform t;
    t.loadStylesheet(text);
    QVERIFY_THROWS_EXCEPTION(OstrelError, t.transform(orders()));
    QVERIFY(!QFile::exists(target));
    QVERIFY(!QDir(dir.filePath(QStringLiteral("sub"))).exists());

    const QString flat = dir.filePath(QStringLiteral("evil.txt"));
    XsltTransform t2;
    t2.loadStylesheet(QString(text).replace(QUrl::fromLocalFile(target).toString(), QUrl::fromLocalFile(flat).toString()));
    QVERIFY_THROWS_EXCEPTION(OstrelError, t2.transform(orders()));
    QVERIFY(!QFile::exists(flat));
}

void TestXslt::sourceLeftUntouched()
{
    DomDocument src;
    src.setPreserveWhiteSpace(true);
    QVERIFY(src.loadXML(QStringLiteral("<a>\n <b/>\n</a>")));
    const DomNode blank = src.documentElement().firstChild();
    XsltTransform t;
    t.loadStylesheet(QStringLiteral("<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                    "<xsl:strip-space elements=\"*\"/><xsl:output method=\"text\"/>"
                                    "<xsl:template match=\"/\"><xsl:value-of select=\"count(/a/node())\"/></xsl:template>"
                                    "</xsl:stylesheet>"));
    QCOMPARE(t.transformToString(src), QStringLiteral("1"));
    QCOMPARE(src.documentElement().childNodes().size(), 3);
    QCOMPARE(blank.nodeValue(), QStringLiteral("\n "));
}

void TestXslt::shippedStylesheetsLoad_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(QStringLiteral(OWB_DATA_DIR "/xsl"));
    for (const QString &f : dir.entryList({QStringLiteral("*.xsl")}, QDir::Files))
        QTest::newRow(qPrintable(f)) << dir.filePath(f);
}

void TestXslt::shippedStylesheetsLoad()
{
    QFETCH(QString, path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    XsltTransform t;
    t.loadStylesheet(QString::fromUtf8(f.readAll()));
    QVERIFY(!t.transform(orders()).bytes.isEmpty());
}

void TestXslt::sourceReadAsTheProcessorReadsFiles()
{
    // The workbench's document keeps its references and sections; the processor sees values.
    DomDocument doc = NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(QStringLiteral("<!DOCTYPE a [<!ENTITY e \"24pt\">]><a s=\"&e;\">&e;<![CDATA[<x>]]></a>")));
    XsltTransform t;
    t.loadStylesheet(sheet(QStringLiteral("<xsl:output omit-xml-declaration=\"yes\"/>"),
                           QStringLiteral("<xsl:copy-of select=\"a\"/>")));
    QCOMPARE(t.transform(doc).bytes, QByteArray("<a s=\"24pt\">24pt&lt;x&gt;</a>\n"));
}

void TestXslt::exsltRegistered()
{
    XsltTransform t;
    t.loadStylesheet(QStringLiteral(
        "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" "
        "xmlns:exsl=\"http://exslt.org/common\" xmlns:math=\"http://exslt.org/math\" "
        "xmlns:set=\"http://exslt.org/sets\" xmlns:str=\"http://exslt.org/strings\" "
        "xmlns:date=\"http://exslt.org/dates-and-times\" xmlns:dyn=\"http://exslt.org/dynamic\" "
        "xmlns:func=\"http://exslt.org/functions\" xmlns:my=\"urn:my\" extension-element-prefixes=\"func\">"
        "<xsl:output method=\"text\"/><func:function name=\"my:twice\"><xsl:param name=\"x\"/>"
        "<func:result select=\"$x * 2\"/></func:function><xsl:template match=\"/\">"
        "<xsl:value-of select=\"concat(function-available('exsl:node-set'), function-available('math:max'), "
        "function-available('set:distinct'), function-available('str:tokenize'), function-available('date:year'), "
        "function-available('dyn:evaluate'))\"/>|"
        "<xsl:value-of select=\"math:max(//total[. = number(.)])\"/>|"
        "<xsl:value-of select=\"count(str:tokenize('a,b,c', ','))\"/>|<xsl:value-of select=\"my:twice(21)\"/>"
        "</xsl:template></xsl:stylesheet>"));
    QCOMPARE(QString::fromUtf8(t.transform(orders()).bytes), QStringLiteral("truetruetruetruetruetrue|12|3|42"));
}

void TestXslt::stylesheetFromItsFile()
{
    // Includes and document() resolve against the file the stylesheet came from; a document
    // read with document() reads no external entity.
    QTemporaryDir dir;
    const auto put = [&](const QString &name, const QByteArray &bytes) {
        QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    QVERIFY(put(QStringLiteral("mod/part.xsl"),
                "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                "<xsl:template name=\"part\"><xsl:param name=\"f\"/><xsl:value-of select=\"document($f)/d\"/>"
                "</xsl:template></xsl:stylesheet>"));
    QVERIFY(put(QStringLiteral("data.xml"), "<d>from data</d>"));
    QVERIFY(put(QStringLiteral("secret.txt"), "TOPSECRET"));
    QVERIFY(put(QStringLiteral("mod/leak.xml"), "<!DOCTYPE d [<!ENTITY s SYSTEM \"../secret.txt\">]><d>&s;</d>"));
    const auto main = [](const char *file) {
        return sheet(QStringLiteral("<xsl:include href=\"mod/part.xsl\"/><xsl:output method=\"text\"/>"),
                     QStringLiteral("<xsl:call-template name=\"part\"><xsl:with-param name=\"f\" select=\"'%1'\"/>"
                                    "</xsl:call-template>")
                         .arg(QLatin1String(file)));
    };
    XsltTransform t;
    QVERIFY_THROWS_EXCEPTION(OstrelError, t.loadStylesheet(main("../data.xml")));   // from the current folder
    t.loadStylesheet(main("../data.xml"), dir.filePath(QStringLiteral("main.xsl")));
    QCOMPARE(t.transform(orders()).bytes, QByteArray("from data"));
    t.loadStylesheet(main("leak.xml"), dir.filePath(QStringLiteral("main.xsl")));
    const XsltTransform::Result leak = t.transform(orders());
    QCOMPARE(leak.bytes, QByteArray());   // document() finds nothing, as for a missing file
    QVERIFY2(leak.messages.join(u' ').contains(QStringLiteral("external entity &s;")), qPrintable(leak.messages.join(u' ')));
}

QTEST_GUILESS_MAIN(TestXslt)
#include "tst_domxslt.moc"
