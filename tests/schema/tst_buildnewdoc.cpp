#include <QtTest>

#include "common/OstrelError.h"
#include "schema/BuildNewDoc.h"
#include "xml/DomDocument.h"
#include "xml/Namespaces.h"
#include "xml/xmlutil.h"

#include <QDir>
#include <QFile>

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

} // namespace

class TestBuildNewDoc : public QObject {
    Q_OBJECT
private slots:
    void generates_data();
    void generates();
    void sampleValueByType_data();
    void sampleValueByType();
    void rootByDoctype();
    void failures_data();
    void failures();
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
    QTest::newRow("attributes by type, default, enumeration, nothing")
        << "<xs:element name=\"r\"><xs:complexType>"
           "<xs:attribute name=\"d\" type=\"xs:date\"/>"
           "<xs:attribute name=\"def\" default=\"seven\"/>"
           "<xs:attribute name=\"e\"><xs:simpleType><xs:restriction base=\"xs:string\">"
           "<xs:enumeration value=\"red\"/><xs:enumeration value=\"green\"/>"
           "</xs:restriction></xs:simpleType></xs:attribute>"
           "<xs:attribute name=\"none\"/>"
           "</xs:complexType></xs:element>"
        << "<r d=\"2002-01-01\" def=\"seven\" e=\"red\" none=\"\"/>";
    QTest::newRow("type wins over default, default over enumeration")
        << "<xs:element name=\"r\"><xs:complexType>"
           "<xs:attribute name=\"t\" type=\"xs:token\" default=\"no\"/>"
           "<xs:attribute name=\"d\" default=\"yes\"><xs:simpleType><xs:restriction base=\"xs:string\">"
           "<xs:enumeration value=\"no\"/></xs:restriction></xs:simpleType></xs:attribute>"
           "</xs:complexType></xs:element>"
        << "<r t=\"token\" d=\"yes\"/>";
    QTest::newRow("element default does not give text")
        << sequence("r", "<xs:element name=\"a\" default=\"x\"/>") << "<r><a/></r>";
    QTest::newRow("user-defined type gives its name")
        << sequence("r", "<xs:element name=\"price\" type=\"MoneyType\"/>")
           + "<xs:complexType name=\"MoneyType\"><xs:sequence><xs:element name=\"no\"/></xs:sequence></xs:complexType>"
        << "<r><price>MoneyType</price></r>";
    QTest::newRow("reference to a global declaration")
        << sequence("r", "<xs:element ref=\"g\"/>") + "<xs:element name=\"g\" type=\"xs:long\"/>"
        << "<r><g>1234567</g></r>";
    QTest::newRow("self reference through a reference: one section")
        << sequence("doc", "<xs:element ref=\"section\"/>")
               + sequence("section", "<xs:element name=\"title\" type=\"xs:string\"/><xs:element ref=\"section\"/>")
        << "<doc><section><title>test</title></section></doc>";
    QTest::newRow("two-step cycle from the root")
        << sequence("A", "<xs:element ref=\"B\"/>") + sequence("B", "<xs:element ref=\"A\"/>")
        << "<A><B><A/></B></A>";
    QTest::newRow("two-step cycle through a reference")
        << sequence("doc", "<xs:element ref=\"A\"/>") + sequence("A", "<xs:element ref=\"B\"/>")
               + sequence("B", "<xs:element ref=\"A\"/>")
        << "<doc><A><B/></A></doc>";
    QTest::newRow("three-step cycle")
        << sequence("doc", "<xs:element ref=\"A\"/>") + sequence("A", "<xs:element ref=\"B\"/>")
               + sequence("B", "<xs:element ref=\"C\"/>") + sequence("C", "<xs:element ref=\"A\"/>")
        << "<doc><A><B><C/></B></A></doc>";
    QTest::newRow("the same reference twice side by side")
        << sequence("r", "<xs:element ref=\"g\"/><xs:element ref=\"g\"/>") + "<xs:element name=\"g\"/>"
        << "<r><g/><g/></r>";
    QTest::newRow("second child not an element declaration")
        << "<xs:complexType name=\"T\"/>" + sequence("r", "<xs:element name=\"a\"/>") << "";
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
        {"xs:dateTime", "2002-01-0112:00:00"}, {"xs:hexBinary", "9a7f"},
        {"xs:base64Binary", "9a7fcca3"}, {"xs:anyURI", owb::ns::VALIDATION},
        {"xs:QName", "xml:qualified"}, {"xs:normalizedString", "Normalized string"},
        {"xs:token", "token"}, {"xs:NMTOKEN", "nmtoken"}, {"xs:NMTOKENS", "nmtoken1 nmtoken2"},
        {"xs:integer", "1"}, {"xs:nonPositiveInteger", "0"}, {"xs:positiveInteger", "123"},
        {"xs:negativeInteger", "-1"}, {"xs:long", "1234567"}, {"xs:short", "12345"},
        {"xs:int", "123"}, {"xs:byte", "1"}, {"xs:nonNegativeInteger", "123"},
        {"xs:unsignedLong", "1234567"}, {"xs:unsignedShort", "123"}, {"xs:unsignedInt", "12345"},
        // Not in the table: the type's own text, compared exactly.
        {"xs:gYear", "xs:gYear"}, {"xsd:string", "xsd:string"}, {"xs:String", "xs:String"},
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
        QStringLiteral("<xs:element name=\"v\" type=\"%1\"><xs:complexType>"
                       "<xs:attribute name=\"a\" type=\"%1\"/></xs:complexType></xs:element>")
            .arg(type)));
    QCOMPARE(doc.documentElement().text(), value);
    QCOMPARE(doc.documentElement().getAttribute("a"), value);
}

void TestBuildNewDoc::rootByDoctype()
{
    const QString text = schema("<xs:complexType name=\"T\"/>" + sequence("Order", "<xs:element name=\"a\"/>")
                                + sequence("Invoice", "<xs:element name=\"b\"/>"));
    BuildNewDoc builder;
    QCOMPARE(builder.CreateNewDoc(text, "Invoice").xml().trimmed(), QString("<Invoice><b/></Invoice>"));
    QCOMPARE(builder.CreateNewDoc(text, "Order").xml().trimmed(), QString("<Order><a/></Order>"));
    // An unknown doctype falls back to the second child, here no declaration.
    QVERIFY(builder.CreateNewDoc(text, "Nope").documentElement().isNull());
}

void TestBuildNewDoc::failures_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("description");
    QTest::newRow("not well-formed") << "<xs:schema><oops></xs:schema>" << "Failed to load schema\r\n";
    QTest::newRow("missing global declaration") << schema(sequence("r", "<xs:element ref=\"gone\"/>"))
                                                << "no global declaration of the element \"gone\"";
    QTest::newRow("attribute by reference")
        << schema("<xs:element name=\"r\"><xs:complexType><xs:attribute ref=\"xml:lang\"/>"
                  "</xs:complexType></xs:element>")
        << "has no name";
    QTest::newRow("annotation only") << schema("") << "no declaration after its annotation";
    QTest::newRow("comment first") << "<!-- c --><xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"/>" << "does not begin with the schema element";
}

void TestBuildNewDoc::failures()
{
    QFETCH(QString, text);
    QFETCH(QString, description);
    BuildNewDoc builder;
    try {
        builder.CreateNewDoc(text);
        QFAIL("no error raised");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QString("BuildNewDoc"));
        QCOMPARE(e.number(), OstrelError::DefaultNumber);
        QVERIFY2(e.description().contains(description), qPrintable(e.description()));
    }
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
    DomDocument reparsed;
    QVERIFY2(reparsed.loadXML(text), qPrintable(reparsed.parseError().reason + "\n" + text));
    QVERIFY2(!text.contains("xmlns") && !text.startsWith("<?"), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestBuildNewDoc)
#include "tst_buildnewdoc.moc"
