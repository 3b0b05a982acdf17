#include "workbench/StylesheetRunner.h"
#include "common/OstrelError.h"
#include "xml/DomDocument.h"

#include <QtTest>

using owb::StylesheetRunner;

namespace {

const QString kHead = QStringLiteral("<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">");

QString sheet(const QString &output, const QString &body)
{
    return kHead + output + QStringLiteral("<xsl:template match=\"/\">") + body
           + QStringLiteral("</xsl:template></xsl:stylesheet>");
}

} // namespace

class TestStylesheetRunner : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    owb::DomNode m_order;

private slots:
    void initTestCase();
    void extension_data();
    void extension();
    void blanksOfTheStylesheetCount();
    void malformedStylesheet();
    void failingTransformation();
};

void TestStylesheetRunner::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("OSTREL_WORKBENCH_HOME", m_home.path().toUtf8());
    owb::DomDocument doc = owb::NewDOMDocument(false, true);
    QVERIFY(doc.loadXML(QStringLiteral("<Order><customer>Ann</customer><item>Pen</item><item>Ink</item></Order>")));
    m_order = doc.documentElement().firstChild();   // any element of the document will do
}

void TestStylesheetRunner::extension_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("ext");
    const QString html = QStringLiteral("<html><body><xsl:value-of select=\"/Order/customer\"/></body></html>");
    const QString plain = QStringLiteral("<r><xsl:value-of select=\"/Order/customer\"/></r>");
    QTest::newRow("text") << "<xsl:output method=\"text\"/>" << "<xsl:value-of select=\"/Order/customer\"/>" << "txt";
    QTest::newRow("xml") << "<xsl:output method=\"xml\"/>" << plain << "xml";
    QTest::newRow("html") << "<xsl:output method=\"html\"/>" << html << "html";
    QTest::newRow("no output element") << "" << plain << "xml";
    QTest::newRow("no output element, html result") << "" << html << "xml";
    QTest::newRow("no method, html result") << "<xsl:output indent=\"yes\"/>" << html << "html";
    QTest::newRow("no method, other result") << "<xsl:output indent=\"yes\"/>" << plain << "xml";
    // The processor writes nothing for a method of its own it does not know; the name still
    // decides the extension.
    QTest::newRow("method in a namespace") << "<xsl:output xmlns:q=\"urn:q\" method=\"q:html\"/>" << plain << "txt";
}

void TestStylesheetRunner::extension()
{
    QFETCH(QString, output);
    QFETCH(QString, body);
    QFETCH(QString, ext);
    StylesheetRunner runner;
    runner.load(sheet(output, body));
    const QString path = runner.run(m_order);
    QCOMPARE(path, m_home.path() + QStringLiteral("/output/result.") + ext);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    if (!output.contains(QLatin1String("q:html")))
        QVERIFY(f.readAll().contains("Ann"));
}

void TestStylesheetRunner::blanksOfTheStylesheetCount()
{
    StylesheetRunner runner;
    runner.load(sheet(QStringLiteral("<xsl:output method=\"text\"/>"),
                      QStringLiteral("<xsl:for-each select=\"//item\"><xsl:value-of select=\".\"/><xsl:text> </xsl:text>"
                                     "</xsl:for-each>")));
    QFile f(runner.run(m_order));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("Pen Ink "));
}

void TestStylesheetRunner::malformedStylesheet()
{
    StylesheetRunner runner;
    try {
        runner.load(kHead + QStringLiteral("<xsl:template match=\"/\">"));
        QFAIL("a stylesheet that is not well-formed must not load");
    } catch (const owb::OstrelError &e) {
        // The parser's own reason, nothing added: the window shows it as the status line.
        owb::DomDocument doc;
        QVERIFY(!doc.loadXML(kHead + QStringLiteral("<xsl:template match=\"/\">")));
        QCOMPARE(e.description(), doc.parseError().reason);
    }
}

void TestStylesheetRunner::failingTransformation()
{
    StylesheetRunner good;
    good.load(sheet(QString(), QStringLiteral("<r>kept</r>")));
    const QString path = good.run(m_order);

    StylesheetRunner runner;
    runner.load(sheet(QString(), QStringLiteral("<r><xsl:value-of select=\"$undeclared\"/></r>")));
    QVERIFY_THROWS_EXCEPTION(owb::OstrelError, runner.run(m_order));
    // The last good result stays.
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("<r>kept</r>"));
}

QTEST_GUILESS_MAIN(TestStylesheetRunner)
#include "tst_stylesheetrunner.moc"
