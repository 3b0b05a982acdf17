#include <QtTest>

#include "common/OstrelError.h"
#include "schema/BuildNewDoc.h"
#include "xml/DomDocument.h"
#include "xml/Namespaces.h"
#include "xml/xmlutil.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using owb::BuildNewDoc;
using owb::DomDocument;
using owb::OstrelError;

namespace {

// A schema as the server keeps it: the annotation first, then the declarations.
QString schema(const QString &declarations)
{
    return QStringLiteral("<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
                          "<xs:annotation><xs:appinfo/></xs:annotation>")
        + declarations + QStringLiteral("</xs:schema>");
}

QString sequence(const QString &name, const QString &members)
{
    return QStringLiteral("<xs:element name=\"%1\"><xs:complexType><xs:sequence>%2"
                          "</xs:sequence></xs:complexType></xs:element>")
        .arg(name, members);
}

// xmllint's verdict on a sample against a schema file: empty when valid.
QString xmllintRefuses(const QString &schemaPath, const QString &sample)
{
    QTemporaryFile file(QDir::tempPath() + "/sample-XXXXXX.xml");
    if (!file.open() || file.write(sample.toUtf8()) < 0 || !file.flush())
        return "cannot write the sample";
    QProcess p;
    p.start("xmllint", {"--nonet", "--noout", "--schema", schemaPath, file.fileName()});
    if (!p.waitForFinished(120000))
        return "xmllint did not finish";
    return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAllStandardError()) + "\n" + sample;
}

} // namespace

class TestBuildNewDoc : public QObject {
    Q_OBJECT
private slots:
    void generates_data();
    void generates();
    void sampleValueByType_data();
    void sampleValueByType();
    void anyPrefix_data();
    void anyPrefix();
    void rootByDoctype();
    void entitiesOfTheSchema();
    void failures_data();
    void failures();
    void validAsXmllintSays_data();
    void validAsXmllintSays();
    void demoSchemas_data();
    void demoSchemas();
};

void TestBuildNewDoc::generates_data()
{
    QTest::addColumn<QString>("declarations");
    QTest::addColumn<QString>("expected");

    QTest::newRow("sequence in order")
        << sequence("r", "<xs:element name=\"a\" type=\"xs:string\"/><xs:element name=\"b\" type=\"xs:int\"/>")
        << "<r><a>test</a><b>123</b></r>";
    QTest::newRow("first alternative of a choice")
        << sequence("r", "<xs:choice><xs:element name=\"x\"/><xs:element name=\"y\"/></xs:choice>"
                         "<xs:element name=\"z\"/>")
        << "<r><x/><z/></r>";
    QTest::newRow("optional and repeated elements once")
        << sequence("r", "<xs:element name=\"o\" minOccurs=\"0\" type=\"xs:byte\"/>"
                         "<xs:element name=\"m\" maxOccurs=\"unbounded\" type=\"xs:boolean\"/>")
        << "<r><o>1</o><m>false</m></r>";
    QTest::newRow("as many as minOccurs asks")
        << sequence("r", "<xs:element name=\"m\" minOccurs=\"3\" maxOccurs=\"5\" type=\"xs:short\"/>")
        << "<r><m>12345</m><m>12345</m><m>12345</m></r>";
    QTest::newRow("attributes by type, default, fixed, enumeration, nothing")
        << "<xs:element name=\"r\"><xs:complexType>"
           "<xs:attribute name=\"d\" type=\"xs:date\"/>"
           "<xs:attribute name=\"def\" type=\"xs:token\" default=\"seven\"/>"
           "<xs:attribute name=\"f\" type=\"xs:int\" fixed=\"7\"/>"
           "<xs:attribute name=\"e\"><xs:simpleType><xs:restriction base=\"xs:string\">"
           "<xs:enumeration value=\"red\"/><xs:enumeration value=\"green\"/>"
           "</xs:restriction></xs:simpleType></xs:attribute>"
           "<xs:attribute name=\"none\"/>"
           "</xs:complexType></xs:element>"
        << "<r d=\"2002-01-01\" def=\"seven\" f=\"7\" e=\"red\" none=\"test\"/>";
    QTest::newRow("element default gives its text")
        << sequence("r", "<xs:element name=\"a\" type=\"xs:string\" default=\"x\"/>") << "<r><a>x</a></r>";
    QTest::newRow("named complex type followed")
        << sequence("r", "<xs:element name=\"price\" type=\"MoneyType\"/>")
           + "<xs:complexType name=\"MoneyType\"><xs:simpleContent><xs:extension base=\"xs:decimal\">"
             "<xs:attribute name=\"currency\" type=\"xs:string\" use=\"required\"/>"
             "</xs:extension></xs:simpleContent></xs:complexType>"
        << "<r><price currency=\"test\">126.45</price></r>";
    QTest::newRow("named simple type by its facets")
        << sequence("r", "<xs:element name=\"s\" type=\"Status\"/>")
           + "<xs:simpleType name=\"Status\"><xs:restriction base=\"xs:string\"><xs:enumeration value=\"open\"/>"
             "</xs:restriction></xs:simpleType>"
        << "<r><s>open</s></r>";
    QTest::newRow("reference to a global declaration")
        << sequence("r", "<xs:element ref=\"g\"/>") + "<xs:element name=\"g\" type=\"xs:long\"/>"
        << "<r><g>1234567</g></r>";
    QTest::newRow("optional self reference: one section")
        << sequence("doc", "<xs:element ref=\"section\"/>")
               + sequence("section", "<xs:element name=\"title\" type=\"xs:string\"/>"
                                     "<xs:element ref=\"section\" minOccurs=\"0\"/>")
        << "<doc><section><title>test</title></section></doc>";
    QTest::newRow("two-step cycle ended where it may")
        << sequence("A", "<xs:element ref=\"B\"/>")
               + sequence("B", "<xs:choice><xs:element ref=\"A\"/><xs:element name=\"end\"/></xs:choice>")
        << "<A><B><end/></B></A>";
    QTest::newRow("the same reference twice side by side")
        << sequence("r", "<xs:element ref=\"g\"/><xs:element ref=\"g\"/>") + "<xs:element name=\"g\"/>"
        << "<r><g/><g/></r>";
    QTest::newRow("first global element, whatever stands before it")
        << "<xs:complexType name=\"T\"/>" + sequence("r", "<xs:element name=\"a\"/>") << "<r><a/></r>";
}

void TestBuildNewDoc::generates()
{
    QFETCH(QString, declarations);
    QFETCH(QString, expected);
    BuildNewDoc builder;
    const DomDocument doc = builder.CreateNewDoc(schema(declarations));
    QCOMPARE(doc.xml().trimmed(), expected);
}

void TestBuildNewDoc::sampleValueByType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value");
    const char *rows[][2] = {
        {"xs:string", "test"}, {"xs:boolean", "false"}, {"xs:decimal", "126.45"},
        {"xs:double", "12.78e-2"}, {"xs:time", "12:00:00"}, {"xs:date", "2002-01-01"},
        {"xs:dateTime", "2002-01-01T12:00:00"}, {"xs:hexBinary", "9a7f"},
        {"xs:base64Binary", "9a7fcca3"}, {"xs:anyURI", "http://www.example.com/"},
        {"xs:QName", "qualified"}, {"xs:normalizedString", "Normalized string"},
        {"xs:token", "token"}, {"xs:NMTOKEN", "nmtoken"}, {"xs:NMTOKENS", "nmtoken1 nmtoken2"},
        {"xs:integer", "1"}, {"xs:nonPositiveInteger", "0"}, {"xs:positiveInteger", "123"},
        {"xs:negativeInteger", "-1"}, {"xs:long", "1234567"}, {"xs:short", "12345"},
        {"xs:int", "123"}, {"xs:byte", "1"}, {"xs:nonNegativeInteger", "123"},
        {"xs:unsignedLong", "1234567"}, {"xs:unsignedShort", "123"}, {"xs:unsignedInt", "12345"},
        {"xs:gYear", "2002"}, {"xs:language", "en"}, {"xs:duration", "P1D"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
}

void TestBuildNewDoc::sampleValueByType()
{
    QFETCH(QString, type);
    QFETCH(QString, value);
    BuildNewDoc builder;
    const DomDocument doc = builder.CreateNewDoc(schema(
        QStringLiteral("<xs:element name=\"r\"><xs:complexType><xs:sequence><xs:element name=\"v\" type=\"%1\"/>"
                       "</xs:sequence><xs:attribute name=\"a\" type=\"%1\"/></xs:complexType></xs:element>")
            .arg(type)));
    QCOMPARE(doc.documentElement().firstChild().text(), value);
    QCOMPARE(doc.documentElement().getAttribute("a"), value);
}

void TestBuildNewDoc::anyPrefix_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::newRow("xs") << "xs:";
    QTest::newRow("xsd") << "xsd:";
    QTest::newRow("another prefix") << "s:";
    QTest::newRow("default namespace") << "";
}

void TestBuildNewDoc::anyPrefix()
{
    QFETCH(QString, prefix);
    QString text = "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" xmlns:t=\"urn:t\" targetNamespace=\"urn:t\">"
                   "<xs:element name=\"r\"><xs:complexType><xs:sequence><xs:element ref=\"t:g\"/>"
                   "<xs:element name=\"n\" type=\"xs:int\"/></xs:sequence></xs:complexType></xs:element>"
                   "<xs:element name=\"g\" type=\"t:G\"/><xs:simpleType name=\"G\"><xs:restriction base=\"xs:string\">"
                   "<xs:enumeration value=\"one\"/></xs:restriction></xs:simpleType></xs:schema>";
    text.replace("xs:", prefix).replace("xmlns:xs=", prefix.isEmpty() ? "xmlns=" : "xmlns:" + prefix.chopped(1) + "=");
    BuildNewDoc builder;
    QCOMPARE(builder.CreateNewDoc(text).xml().trimmed(),
             QString("<t:r xmlns:t=\"urn:t\"><t:g>one</t:g><n>123</n></t:r>"));
}

void TestBuildNewDoc::rootByDoctype()
{
    const QString text = schema("<xs:complexType name=\"T\"/>" + sequence("Order", "<xs:element name=\"a\"/>")
                                + sequence("Invoice", "<xs:element name=\"b\"/>"));
    BuildNewDoc builder;
    QCOMPARE(builder.CreateNewDoc(text, "Invoice").xml().trimmed(), QString("<Invoice><b/></Invoice>"));
    QCOMPARE(builder.CreateNewDoc(text, "Order").xml().trimmed(), QString("<Order><a/></Order>"));
}

void TestBuildNewDoc::entitiesOfTheSchema()
{
    // The doctype that declares them stands before the schema; their text is what is read.
    BuildNewDoc builder;
    const DomDocument doc = builder.CreateNewDoc(
        QStringLiteral("<!DOCTYPE xs:schema [<!ENTITY colour \"red\">]>\n")
        + schema(QStringLiteral("<xs:element name=\"r\"><xs:complexType><xs:attribute name=\"c\" default=\"&colour;\"/>"
                                "</xs:complexType></xs:element>")));
    QCOMPARE(doc.xml().trimmed(), QStringLiteral("<r c=\"red\"/>"));
}

void TestBuildNewDoc::failures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("description");
    QTest::newRow("not well-formed") << "<xs:schema><oops></xs:schema>" << "Failed to load schema\r\n";
    QTest::newRow("missing global declaration") << schema(sequence("r", "<xs:element ref=\"gone\"/>"))
                                                << "element gone (line 1), which is not declared";
    QTest::newRow("annotation only") << schema("") << "declares no global element";
    QTest::newRow("unknown doctype") << schema(sequence("Order", "")) + "@Invoice" << "no global element Invoice";
    QTest::newRow("not a schema") << "<!-- c --><schema/>" << "does not begin with the schema element";
    QTest::newRow("content that never ends")
        << schema(sequence("A", "<xs:element ref=\"B\"/>") + sequence("B", "<xs:element ref=\"A\"/>"))
        << "The element A (line 1) cannot be built";
    QTest::newRow("pattern and length that no value meets")
        << schema("<xs:element name=\"r\"><xs:simpleType><xs:restriction base=\"xs:string\">"
                  "<xs:pattern value=\"[a-c]\"/><xs:minLength value=\"2\"/></xs:restriction></xs:simpleType>"
                  "</xs:element>")
        << "matches the pattern \"[a-c]\"";
    QTest::newRow("IDREF without an ID")
        << schema(sequence("r", "<xs:element name=\"to\" type=\"xs:IDREF\"/>")) << "holds no ID";
    QTest::newRow("strict wildcard with nothing declared")
        << schema(sequence("r", "<xs:any namespace=\"##other\"/>")) << "the schema declares none";
    QTest::newRow("include without a source")
        << "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:include schemaLocation=\"t.xsd\"/>"
           "<xs:element name=\"r\" type=\"T\"/></xs:schema>"
        << "the type T (line 1), which is not declared: the schema t.xsd";
}

void TestBuildNewDoc::failures()
{
    QFETCH(QString, text);
    QFETCH(QString, description);
    BuildNewDoc builder;
    const QString doctype = text.section('@', 1);
    try {
        builder.CreateNewDoc(text.section('@', 0, 0), doctype);
        QFAIL("no error raised");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QString("BuildNewDoc"));
        QCOMPARE(e.number(), OstrelError::DefaultNumber);
        QVERIFY2(e.description().contains(description), qPrintable(e.description()));
    }
}

void TestBuildNewDoc::validAsXmllintSays_data()
{
    // Schemas of the constructs real schemas use; each sample is put to xmllint.
    QTest::addColumn<QString>("declarations");
    QTest::addColumn<QString>("attributes");   // of xs:schema
    const QString tns = "xmlns:t=\"urn:t\" targetNamespace=\"urn:t\" elementFormDefault=\"qualified\"";
    auto simple = [](const char *facets, const char *base = "xs:string") {
        return QString("<xs:simpleType><xs:restriction base=\"%1\">%2</xs:restriction></xs:simpleType>")
            .arg(QLatin1String(base), QLatin1String(facets));
    };
    auto typed = [&](const char *name, const QString &type) { return QString("<xs:element name=\"%1\">%2</xs:element>").arg(name, type); };
    QTest::newRow("facets")
        << sequence("r", typed("pat1", simple("<xs:pattern value=\"[A-Z]{2}\\d{3}\"/>"))
                             + typed("pat2", simple("<xs:pattern value=\"(\\+|-)?\\d+(\\.\\d{2})?\"/>"))
                             + typed("pat3", simple("<xs:pattern value=\"[^\\s@]+@[a-z]+\\.org\"/>"))
                             + typed("pat4", simple("<xs:pattern value=\"\\p{Lu}\\p{Ll}+ \\i\\c*\"/>"))
                             + typed("pat5", simple("<xs:pattern value=\"[a-z-[aeiou]]{3}(ab|cd){2,3}\"/>"))
                             + typed("pat6", simple("<xs:pattern value=\"\\d{4}-\\d{2}-\\d{2}\"/>", "xs:date"))
                             + typed("len", simple("<xs:minLength value=\"9\"/><xs:maxLength value=\"12\"/>"))
                             + typed("exact", simple("<xs:length value=\"2\"/>", "xs:hexBinary"))
                             + typed("range", simple("<xs:minExclusive value=\"200\"/><xs:maxInclusive value=\"250\"/>", "xs:int"))
                             + typed("digits", simple("<xs:totalDigits value=\"3\"/><xs:fractionDigits value=\"1\"/>", "xs:decimal"))
                             + typed("neg", simple("<xs:maxExclusive value=\"-5.5\"/>", "xs:decimal"))
                             + typed("list", "<xs:simpleType><xs:restriction><xs:simpleType><xs:list itemType=\"xs:int\"/>"
                                             "</xs:simpleType><xs:length value=\"3\"/></xs:restriction></xs:simpleType>")
                             + typed("union", "<xs:simpleType><xs:union memberTypes=\"xs:date\"><xs:simpleType>"
                                              "<xs:restriction base=\"xs:token\"><xs:enumeration value=\"never\"/>"
                                              "</xs:restriction></xs:simpleType></xs:union></xs:simpleType>")
                             + "<xs:element name=\"chain\" type=\"Small\"/>")
               + "<xs:simpleType name=\"Small\"><xs:restriction base=\"Medium\"><xs:maxInclusive value=\"9\"/>"
                 "</xs:restriction></xs:simpleType><xs:simpleType name=\"Medium\"><xs:restriction base=\"xs:integer\">"
                 "<xs:minInclusive value=\"5\"/></xs:restriction></xs:simpleType>"
        << "";
    QTest::newRow("derivation, groups, all, namespace")
        << "<xs:element name=\"r\" type=\"t:Derived\"/>"
           "<xs:complexType name=\"Base\"><xs:sequence><xs:element name=\"a\" type=\"xs:string\"/>"
           "<xs:group ref=\"t:G\"/></xs:sequence><xs:attributeGroup ref=\"t:AG\"/></xs:complexType>"
           "<xs:complexType name=\"Derived\"><xs:complexContent><xs:extension base=\"t:Base\"><xs:sequence>"
           "<xs:element name=\"c\"><xs:complexType><xs:all><xs:element name=\"x\" type=\"xs:int\"/>"
           "<xs:element name=\"y\" minOccurs=\"0\" type=\"t:Restricted\"/></xs:all></xs:complexType></xs:element>"
           "</xs:sequence><xs:attribute name=\"extra\" type=\"xs:boolean\" use=\"required\"/></xs:extension>"
           "</xs:complexContent></xs:complexType>"
           "<xs:complexType name=\"Restricted\"><xs:complexContent><xs:restriction base=\"t:Base\"><xs:sequence>"
           "<xs:element name=\"a\" type=\"xs:string\"/><xs:group ref=\"t:G\"/></xs:sequence>"
           "<xs:attribute name=\"code\" use=\"prohibited\"/></xs:restriction></xs:complexContent></xs:complexType>"
           "<xs:group name=\"G\"><xs:sequence><xs:sequence><xs:element name=\"b\" type=\"xs:decimal\"/></xs:sequence>"
           "<xs:choice><xs:element name=\"never\" type=\"t:Loop\"/><xs:element name=\"d\" type=\"xs:date\"/>"
           "</xs:choice></xs:sequence></xs:group>"
           "<xs:complexType name=\"Loop\"><xs:sequence><xs:element name=\"again\" type=\"t:Loop\"/></xs:sequence>"
           "</xs:complexType>"
           "<xs:attributeGroup name=\"AG\"><xs:attribute name=\"code\">" + simple("<xs:pattern value=\"C-\\d+\"/>") +
           "</xs:attribute><xs:attribute ref=\"t:global\"/></xs:attributeGroup>"
           "<xs:attribute name=\"global\" type=\"xs:token\"/>"
        << tns;
    QTest::newRow("unqualified locals under a namespace")
        << "<xs:element name=\"r\"><xs:complexType><xs:sequence><xs:element name=\"local\" type=\"xs:string\"/>"
           "<xs:element ref=\"t:g\"/></xs:sequence></xs:complexType></xs:element><xs:element name=\"g\" type=\"xs:int\"/>"
        << "xmlns:t=\"urn:t\" targetNamespace=\"urn:t\"";
    QTest::newRow("substitution group, abstract type, nillable")
        << "<xs:element name=\"r\"><xs:complexType><xs:sequence><xs:element ref=\"t:shape\"/>"
           "<xs:element name=\"animal\" type=\"t:Animal\"/><xs:element name=\"node\" type=\"t:Node\" nillable=\"true\"/>"
           "</xs:sequence></xs:complexType></xs:element>"
           "<xs:element name=\"shape\" abstract=\"true\" type=\"xs:string\"/>"
           "<xs:element name=\"square\" substitutionGroup=\"t:shape\" abstract=\"true\"/>"
           "<xs:element name=\"circle\" substitutionGroup=\"t:square\"/>"
           "<xs:complexType name=\"Animal\" abstract=\"true\"><xs:sequence><xs:element name=\"name\" type=\"xs:string\"/>"
           "</xs:sequence></xs:complexType>"
           "<xs:complexType name=\"Dog\"><xs:complexContent><xs:extension base=\"t:Animal\"><xs:sequence>"
           "<xs:element name=\"bark\" type=\"xs:string\"/></xs:sequence></xs:extension></xs:complexContent></xs:complexType>"
           "<xs:complexType name=\"Node\"><xs:sequence><xs:element name=\"next\" type=\"t:Node\"/></xs:sequence>"
           "<xs:attribute name=\"id\" type=\"xs:ID\" use=\"required\"/></xs:complexType>"
        << tns;
    QTest::newRow("ID, IDREF, wildcards, simple content restriction")
        << "<xs:element name=\"r\"><xs:complexType><xs:sequence>"
           "<xs:element name=\"item\" maxOccurs=\"unbounded\" minOccurs=\"2\"><xs:complexType>"
           "<xs:attribute name=\"id\" type=\"xs:ID\" use=\"required\"/></xs:complexType></xs:element>"
           "<xs:element name=\"link\"><xs:complexType><xs:attribute name=\"to\" type=\"xs:IDREF\" use=\"required\"/>"
           "<xs:attribute name=\"all\" type=\"xs:IDREFS\"/></xs:complexType></xs:element>"
           "<xs:any namespace=\"##other\" processContents=\"lax\"/><xs:any namespace=\"##targetNamespace\"/>"
           "<xs:element name=\"size\" type=\"t:Small\"/>"
           "</xs:sequence></xs:complexType></xs:element>"
           "<xs:element name=\"declared\" type=\"xs:gYearMonth\"/>"
           "<xs:complexType name=\"Sized\"><xs:simpleContent><xs:extension base=\"xs:int\">"
           "<xs:attribute name=\"unit\" type=\"xs:string\" default=\"cm\"/></xs:extension></xs:simpleContent></xs:complexType>"
           "<xs:complexType name=\"Small\"><xs:simpleContent><xs:restriction base=\"t:Sized\"><xs:maxInclusive value=\"20\"/>"
           "</xs:restriction></xs:simpleContent></xs:complexType>"
        << tns;
}

void TestBuildNewDoc::validAsXmllintSays()
{
    QFETCH(QString, declarations);
    QFETCH(QString, attributes);
    const QString text = "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" " + attributes + ">" + declarations
                         + "</xs:schema>";
    QTemporaryDir dir;
    QFile xsd(dir.filePath("t.xsd"));
    QVERIFY(xsd.open(QIODevice::WriteOnly) && xsd.write(text.toUtf8()) > 0);
    xsd.close();
    BuildNewDoc builder;
    QString sample;
    try {
        sample = owb::xmlutil().FormatXML(builder.CreateNewDoc(text, "r"));
    } catch (const OstrelError &e) {
        QFAIL(qPrintable(e.description()));
    }
    const QString refused = xmllintRefuses(xsd.fileName(), sample);
    QVERIFY2(refused.isEmpty(), qPrintable(refused));
}

void TestBuildNewDoc::demoSchemas_data()
{
    QTest::addColumn<QString>("schemaText");
    QTest::addColumn<QString>("doctype");
    const QDir dir(QStringLiteral(OWB_SOURCE_DIR "/ostreld/demo/schemas"));
    const QStringList files = dir.entryList({"*.xsd"}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        QFAIL("no demo schemas found");
    for (const QString &file : files) {
        DomDocument doc = owb::NewDOMDocument(false, true);
        if (!doc.load(dir.filePath(file)))
            QFAIL(qPrintable("cannot load " + file));
        // The window passes the schema page's text: the formatted schema, without declaration.
        const QString text = owb::xmlutil().FormatXML(doc.documentElement());
        for (const owb::DomNode &type :
             doc.selectNodes("//osd:schemaInfo/osd:doctype[not(osd:nonXML)]/@name"))
            QTest::newRow(qPrintable(file + "/" + type.nodeValue())) << text << type.nodeValue();
    }
}

void TestBuildNewDoc::demoSchemas()
{
    QFETCH(QString, schemaText);
    QFETCH(QString, doctype);
    BuildNewDoc builder;
    const DomDocument sample = builder.CreateNewDoc(schemaText, doctype);
    QCOMPARE(sample.documentElement().nodeName(), doctype);
    QVERIFY(sample.documentElement().hasChildNodes());

    const QString text = owb::xmlutil().FormatXML(sample);
    QVERIFY2(!text.contains("xmlns") && !text.startsWith("<?"), qPrintable(text));
    QTemporaryDir dir;
    QFile xsd(dir.filePath("demo.xsd"));
    QVERIFY(xsd.open(QIODevice::WriteOnly) && xsd.write(schemaText.toUtf8()) > 0);
    xsd.close();
    const QString refused = xmllintRefuses(xsd.fileName(), text);
    QVERIFY2(refused.isEmpty(), qPrintable(refused));
}

QTEST_GUILESS_MAIN(TestBuildNewDoc)
#include "tst_buildnewdoc.moc"
