#include <QtTest>

#include "cli/OwbRun.h"
#include "common/HttpClient.h"
#include "schema/clsVerify.h"
#include "support/OstreldProcess.h"

using owbtest::Owb;
using owbtest::OwbResult;

// owb validate says what the workbench's validator says about the same document; transform
// and format work on local files only.
class TestOwbLocal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void validateAgreesWithTheWorkbench_data();
    void validateAgreesWithTheWorkbench();
    void validateGoesOnAfterAnUnreadableFile();
    void transform();
    void transformRefusals_data();
    void transformRefusals();
    void format_data();
    void format();
    void newFromALocalSchema_data();
    void newFromALocalSchema();
    void newWithoutAValidSample();
    void validateAgainstALocalSchema();
    void badBytesAreRefused_data();
    void badBytesAreRefused();

private:
    QString write(const QString &name, const QByteArray &text)
    {
        const QString path = m_owb.path(name);
        return owbtest::writeFile(path, text) ? path : QString();
    }
    std::unique_ptr<owbtest::OstreldProcess> m_server;
    Owb m_owb;
    QByteArray m_order;   // Order 1 as owb get prints it
};

void TestOwbLocal::initTestCase()
{
    m_server = std::make_unique<owbtest::OstreldProcess>();
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
    const OwbResult got = m_owb.run({"get", m_server->databaseURI(), "Sales", "Order", "1"});
    QVERIFY2(got.exitCode == 0, got.describe());
    m_order = got.out;
}

void TestOwbLocal::validateAgreesWithTheWorkbench_data()
{
    QTest::addColumn<QString>("doctype");
    QTest::addColumn<QByteArray>("text");   // @ORDER: order 1 as stored
    QTest::newRow("stored order") << "Order" << QByteArray("@ORDER");
    QTest::newRow("not well-formed") << "Order" << QByteArray("<Order status=\"open\">\n  <number>\n</Order>\n");
    QTest::newRow("several schema errors")
        << "Order"
        << QByteArray("<Order status=\"later\">\n  <number>1</number>\n  <date>tomorrow</date>\n"
                      "  <customer>x</customer>\n</Order>\n");
    QTest::newRow("root of another doctype") << "Order" << QByteArray("<Invoice>\n</Invoice>\n");
    QTest::newRow("no schema") << "Nothing" << QByteArray("<Nothing/>\n");
}

void TestOwbLocal::validateAgreesWithTheWorkbench()
{
    QFETCH(QString, doctype);
    QFETCH(QByteArray, text);
    if (text == "@ORDER")
        text = m_order;
    const QString file = write("check.xml", text);

    QStringList expected;
    {
        owb::HttpClient http;
        const owb::clsVerify verify(&http);
        const QString t = QString::fromUtf8(text);
        std::optional<owb::clsVerifyError> err = verify.CheckWellFormedNess(t);
        if (!err)
            err = verify.ValidateDocument(t, m_server->databaseURI(), "Sales", doctype);
        if (err) {
            auto line = [&](const owb::clsVerifyError &e) {
                QString reason = e.Reason;
                reason.replace('\n', ' ');
                return QStringLiteral("%1:%2: %3").arg(file).arg(e.LineNumber).arg(reason.trimmed());
            };
            expected << line(*err);
            for (const owb::clsVerifyError &f : err->Further)
                expected << line(f);
        }
    }

    const OwbResult r = m_owb.run({"validate", m_server->databaseURI(), "Sales", doctype, file});
    QVERIFY2(r.exitCode == (expected.isEmpty() ? 0 : 1), r.describe());
    QCOMPARE(r.outLines(), expected);
    QVERIFY2(r.err.isEmpty(), r.describe());
}

void TestOwbLocal::validateGoesOnAfterAnUnreadableFile()
{
    const QString good = write("good.xml", m_order);
    const QString bad = write("bad.xml", "<Order>\n<x>\n</Order>\n");
    const OwbResult r = m_owb.run({"validate", m_server->databaseURI(), "Sales", "Order", m_owb.path("gone.xml"), good, bad});
    QVERIFY2(r.exitCode == 1, r.describe());
    QCOMPARE(r.errLines(), QStringList("owb: File not found: " + m_owb.path("gone.xml")));
    QCOMPARE(r.outLines().size(), 1);
    QVERIFY(r.outLines().first().startsWith(bad + ":3: "));
}

void TestOwbLocal::transform()
{
    const QString xsl = QStringLiteral(OWB_SOURCE_DIR "/ostreld/demo/xsl/order.xsl");
    const QString doc = write("order.xml", m_order);
    const OwbResult r = m_owb.run({"transform", xsl, doc});
    QVERIFY2(r.exitCode == 0, r.describe());
    QVERIFY2(r.outText().startsWith("<html>") && r.outText().contains("SO-10001"), r.out);

    const QString out = m_owb.path("result.html");
    const OwbResult toFile = m_owb.run({"transform", "-o", out, xsl, doc});
    QVERIFY2(toFile.exitCode == 0 && toFile.out.isEmpty(), toFile.describe());
    QCOMPARE(owbtest::readAll(out), r.out);
}

void TestOwbLocal::transformRefusals_data()
{
    QTest::addColumn<QByteArray>("stylesheet");
    QTest::addColumn<QString>("input");   // @DOC: a well-formed document
    QTest::addColumn<QString>("expected");
    const QByteArray copy = "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                            "<xsl:template match=\"/\"><xsl:copy-of select=\".\"/></xsl:template></xsl:stylesheet>";
    QTest::newRow("stylesheet not XML") << QByteArray("<xsl:stylesheet") << "@DOC" << "Failed to load XSL content";
    QTest::newRow("not a stylesheet") << QByteArray("<a/>") << "@DOC" << "Failed to apply stylesheet";
    QTest::newRow("input missing") << copy << "none.xml" << "File not found";
    QTest::newRow("output cannot be written") << copy << "@DOC -o /nonexistent/out.xml" << "Cannot write /nonexistent/out.xml";
}

void TestOwbLocal::transformRefusals()
{
    QFETCH(QByteArray, stylesheet);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString xsl = write("style.xsl", stylesheet);
    QStringList args{"transform", xsl};
    args << input.replace("@DOC", write("doc.xml", "<doc/>")).split(' ');
    const OwbResult r = m_owb.run(args);
    QVERIFY2(r.exitCode == 1 && r.out.isEmpty() && r.errLines().size() == 1, r.describe());
    QVERIFY2(r.errLines().first().contains(expected), r.describe());
}

void TestOwbLocal::format_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected");   // standard output, or the start of the error line
    QTest::newRow("one line") << QByteArray("<?xml version=\"1.0\"?><a><b>x</b><!--c--><d><![CDATA[<e>]]></d></a>") << 0
                              << "<a>\n  <b>x</b>\n  <!--c-->\n  <d><![CDATA[<e>]]></d>\n</a>\n";
    QTest::newRow("already formatted") << QByteArray("<a>\n  <b>x</b>\n</a>\n") << 0 << "<a>\n  <b>x</b>\n</a>\n";
    QTest::newRow("latin-1 file") << QByteArray("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>K\xf6ln</a>") << 0
                                  << QString::fromUtf8("<a>Köln</a>\n");
    QTest::newRow("not well-formed") << QByteArray("<a>\n<b>\n</a>") << 1 << "owb: @FILE:3: ";
    QTest::newRow("blank-only values") << QByteArray("<a><password> </password>\n<tab>\t</tab></a>") << 0
                                       << "<a>\n  <password> </password>\n  <tab>\t</tab>\n</a>\n";
    QTest::newRow("byte not in UTF-8") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>caf\xe9</a>") << 1
                                       << "owb: @FILE:2: Byte 0xE9 is not valid in the encoding UTF-8";
}

void TestOwbLocal::format()
{
    QFETCH(QByteArray, text);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    const QString file = write("format.xml", text);
    const OwbResult r = m_owb.run({"format", file});
    QVERIFY2(r.exitCode == exitCode, r.describe());
    if (exitCode == 0) {
        QCOMPARE(r.outText(), expected);
    } else {
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.errLines().size() == 1 && r.errLines().first().startsWith(expected.replace("@FILE", file)),
                 r.describe());
    }
}


void TestOwbLocal::newFromALocalSchema_data()
{
    QTest::addColumn<QString>("schema");   // relative to the source tree
    QTest::addColumn<QString>("root");     // empty: none named
    QTest::addColumn<QString>("start");    // how the sample begins
    QTest::newRow("first global element") << "ostreld/demo/schemas/sales.xsd" << "" << "<Order status=\"open\"";
    QTest::newRow("named root") << "ostreld/demo/schemas/sales.xsd" << "Invoice" << "<Invoice number=\"test\"";
    QTest::newRow("imports beside the schema")
        << "tests/schema/data/realworld/xmltooling/xenc11-schema.xsd" << "DerivedKey"
        << "<DerivedKey xmlns=\"http://www.w3.org/2009/xmlenc11#\" xmlns:xenc=\"http://www.w3.org/2001/04/xmlenc#\"";
}

void TestOwbLocal::newFromALocalSchema()
{
    QFETCH(QString, schema);
    QFETCH(QString, root);
    QFETCH(QString, start);
    const QString path = QStringLiteral(OWB_SOURCE_DIR "/") + schema;
    QStringList args{"new", "--schema", path};
    if (!root.isEmpty())
        args << "--root" << root;
    const OwbResult r = m_owb.run(args);
    QVERIFY2(r.exitCode == 0 && r.err.isEmpty(), r.describe());
    QVERIFY2(r.outText().startsWith(start), r.describe());
    // The sample as printed is valid to the reference tool, and to owb itself.
    const QString sample = write("sample.xml", r.out);
    QProcess lint;
    lint.start("xmllint", {"--nonet", "--noout", "--schema", path, sample});
    QVERIFY(lint.waitForFinished(60000));
    QVERIFY2(lint.exitCode() == 0, lint.readAllStandardError().constData());
    const OwbResult v = m_owb.run({"validate", "--schema", path, sample});
    QVERIFY2(v.exitCode == 0 && v.out.isEmpty(), v.describe());
}

void TestOwbLocal::newWithoutAValidSample()
{
    // Two items must differ in a fixed value: no document can satisfy this schema.
    const QString schema = write("unique.xsd",
        "<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><xsd:element name=\"r\"><xsd:complexType>"
        "<xsd:sequence><xsd:element name=\"item\" minOccurs=\"2\" maxOccurs=\"2\"><xsd:complexType>"
        "<xsd:attribute name=\"k\" type=\"xsd:string\" fixed=\"same\"/></xsd:complexType></xsd:element></xsd:sequence>"
        "</xsd:complexType><xsd:unique name=\"u\"><xsd:selector xpath=\"item\"/><xsd:field xpath=\"@k\"/></xsd:unique>"
        "</xsd:element></xsd:schema>");
    OwbResult r = m_owb.run({"new", "--schema", schema});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.out.isEmpty(), r.describe());
    QVERIFY2(r.err.startsWith("owb: The sample document made from the schema is not valid: line ")
                 && r.err.contains("Duplicate key-sequence"),
             r.describe());

    r = m_owb.run({"new", "--schema", schema, "--root", "nothing"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("The schema declares no global element nothing"), r.describe());
    r = m_owb.run({"new", "--root", "r"});
    QVERIFY2(r.exitCode == 2 && r.err.contains("--root goes with --schema"), r.describe());
    r = m_owb.run({"new", "--schema", m_owb.path("missing.xsd")});
    QVERIFY2(r.exitCode == 1 && r.err.contains("file not found"), r.describe());
}

void TestOwbLocal::validateAgainstALocalSchema()
{
    const QString schema = QStringLiteral(OWB_SOURCE_DIR "/ostreld/demo/schemas/sales.xsd");
    const QString bad = write("bad.xml", "<Customer number=\"C1\">\n  <name>n</name>\n  <address/>\n</Customer>\n");
    const QString broken = write("broken.xml", "<Customer>\n<name>\n</Customer>\n");
    const QString good = write("good.xml", m_owb.run({"new", "--schema", schema, "--root", "Customer"}).out);
    const OwbResult r = m_owb.run({"validate", "--schema", schema, good, bad, broken});
    QCOMPARE(r.exitCode, 1);
    const QStringList lines = r.outLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], bad + ":3: Element 'address': Missing child element(s). Expected is ( street ).");
    QCOMPARE(lines[1], bad + ":1: Element 'Customer': Missing child element(s). Expected is ( email ).");
    QVERIFY2(lines[2].startsWith(broken + ":3: "), r.describe());
    QVERIFY(m_owb.run({"validate", "--schema", schema, good}).exitCode == 0);
}

void TestOwbLocal::badBytesAreRefused_data()
{
    QTest::addColumn<QStringList>("args");   // @BAD: a file with a byte its encoding does not allow
    const QString db = m_server->databaseURI();
    const QString xsl = QStringLiteral(OWB_SOURCE_DIR "/ostreld/demo/xsl/order.xsl");
    QTest::newRow("format") << QStringList{"format", "@BAD"};
    QTest::newRow("transform") << QStringList{"transform", xsl, "@BAD"};
    QTest::newRow("transform, stylesheet") << QStringList{"transform", "@BAD", xsl};
    QTest::newRow("validate") << QStringList{"validate", db, "Sales", "Order", "@BAD"};
    QTest::newRow("store") << QStringList{"store", db, "Sales", "@BAD"};
}

void TestOwbLocal::badBytesAreRefused()
{
    QFETCH(QStringList, args);
    const QString bad = write("bad.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>\n<Order>\n  x\xae</Order>\n");
    args.replaceInStrings(QStringLiteral("@BAD"), bad);
    const OwbResult r = m_owb.run(args);
    QVERIFY2(r.exitCode == 1 && r.out.isEmpty(), r.describe());
    QVERIFY2(r.errLines().size() == 1 && r.errLines().first().startsWith("owb: " + bad + ":3:"), r.describe());
    QVERIFY2(r.errLines().first().contains("Byte 0xAE is not valid in the encoding ISO-8859-7"), r.describe());
}

QTEST_GUILESS_MAIN(TestOwbLocal)
#include "tst_owb_local.moc"
