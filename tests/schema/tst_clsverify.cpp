// clsVerify against a real server holding real schemas, its verdicts and error lines held
// against xmllint on the same schema and instance files.
#include <QtTest>

#include "common/HttpClient.h"
#include "common/LocalHttpServer.h"
#include "common/OstrelError.h"
#include "schema/BuildNewDoc.h"
#include "schema/SchemaSource.h"
#include "schema/clsSchema.h"
#include "schema/clsVerify.h"
#include "xml/xmlutil.h"
#include "support/OstreldProcess.h"
#include "support/ScriptedUserInteraction.h"
#include "xml/DomDocument.h"

#include <QLockFile>

#include <atomic>
#include <memory>

using owb::clsVerify;
using owb::clsVerifyError;

namespace {

const QString DataDir = QStringLiteral(OWB_SOURCE_DIR "/tests/schema/data");
const QString DemoDir = QStringLiteral(OWB_SOURCE_DIR "/ostreld/demo");

QString readText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The lines of every error, first one first; empty when valid.
QList<int> linesOf(const std::optional<clsVerifyError> &err)
{
    QList<int> out;
    if (!err)
        return out;
    out << err->LineNumber;
    for (const clsVerifyError &e : err->Further)
        out << e.LineNumber;
    return out;
}

struct Lint {
    bool ran = false;
    bool valid = false;
    QList<int> lines;
    QString output;
};

} // namespace

class TestClsVerify : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void agreesWithXmllint_data();
    void agreesWithXmllint();
    void longDocumentLines();
    void wellFormedness_data();
    void wellFormedness();
    void noSchemaForDoctype();
    void workFiles();
    void workFilesTakeTurns();
    void encodings_data();
    void encodings();
    void rootOfDoctypeMissing();
    void schemaLocationsStayLocal_data();
    void schemaLocationsStayLocal();
    void schemasStoredForImport();

private:
    Lint xmllint(const QStringList &args, const QString &file, const QString &kind);
    std::optional<clsVerifyError> validate(const QString &text, const QString &collection, const QString &doctype);

    QString m_xmllint;
    QTemporaryDir m_home;
    QTemporaryDir m_seed;
    std::unique_ptr<owbtest::OstreldProcess> m_server;
    owb::HttpClient m_http;
};

void TestClsVerify::initTestCase()
{
    m_xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (m_xmllint.isEmpty())
        QFAIL("xmllint is not installed (package libxml2-utils)");
    QVERIFY(m_home.isValid() && m_seed.isValid());
    qputenv("OSTREL_WORKBENCH_HOME", m_home.path().toUtf8());

    QVERIFY(QDir().mkpath(m_seed.filePath(QStringLiteral("schemas"))));
    QStringList schemas;
    for (const QString &name : QDir(DataDir + "/schemas").entryList({"*.xsd"}))
        schemas << DataDir + "/schemas/" + name;
    schemas << DemoDir + "/schemas/sales.xsd";
    for (const QString &s : schemas)
        QVERIFY2(QFile::copy(s, m_seed.filePath("schemas/" + QFileInfo(s).fileName())), qPrintable(s));
    m_server = std::make_unique<owbtest::OstreldProcess>(m_seed.path());
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
}

Lint TestClsVerify::xmllint(const QStringList &args, const QString &file, const QString &kind)
{
    Lint r;
    QProcess p;
    p.start(m_xmllint, QStringList(args) << file);
    if (!p.waitForFinished(120000))
        return r;
    r.ran = p.exitStatus() == QProcess::NormalExit;
    r.valid = p.exitCode() == 0;
    r.output = QString::fromUtf8(p.readAllStandardError());
    const QRegularExpression line("^" + QRegularExpression::escape(file) + ":(\\d+): .*" + kind,
                                  QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(r.output); it.hasNext();)
        r.lines << it.next().captured(1).toInt();
    return r;
}

std::optional<clsVerifyError> TestClsVerify::validate(const QString &text, const QString &collection,
                                                      const QString &doctype)
{
    return clsVerify(&m_http).ValidateDocument(text, m_server->databaseURI(), collection, doctype);
}

void TestClsVerify::agreesWithXmllint_data()
{
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("doctype");
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("instance");
    QTest::addColumn<QStringList>("edits");   // from, to, from, to ...
    QTest::addColumn<bool>("valid");

    const QString po = DataDir + "/schemas/po.xsd", poXml = DataDir + "/instances/po.xml";
    const QString bk = DataDir + "/schemas/books.xsd", bkXml = DataDir + "/instances/books.xml";
    const QString nt = DataDir + "/schemas/note.xsd", ntXml = DataDir + "/instances/note.xml";
    const QString sales = DemoDir + "/schemas/sales.xsd";
    const QString order = DemoDir + "/collections/Sales/order-100.xml";

    // No target namespace: the declarations go in, lines below the root move down by one.
    QTest::newRow("po valid") << "Purchasing" << "purchaseOrder" << po << poXml << QStringList() << true;
    QTest::newRow("po quantity too high") << "Purchasing" << "purchaseOrder" << po << poXml
                                 << QStringList{"<quantity>1</quantity>\n         <USPrice>148", "<quantity>100</quantity>\n         <USPrice>148"}
                                 << false;
    QTest::newRow("po attribute of the root") << "Purchasing" << "purchaseOrder" << po << poXml
                                     << QStringList{"1999-10-20", "1999-13-20"} << false;
    QTest::newRow("po root tag over two lines") << "Purchasing" << "purchaseOrder" << po << poXml
                                       << QStringList{"<purchaseOrder orderDate=\"1999-10-20\">",
                                                      "<purchaseOrder\n    orderDate=\"20 Oct\">"}
                                       << false;
    QTest::newRow("po element missing") << "Purchasing" << "purchaseOrder" << po << poXml
                               << QStringList{"      <city>Old Town</city>\n", ""} << false;
    QTest::newRow("po last child missing: reported at its parent")
        << "Purchasing" << "purchaseOrder" << po << poXml << QStringList{"      <zip>95819</zip>\n", ""} << false;
    QTest::newRow("po text in element-only content")
        << "Purchasing" << "purchaseOrder" << po << poXml << QStringList{"<items>\n", "<items>\n   stray text\n"}
        << false;
    // Entities of the internal subset are validated by their text.
    QTest::newRow("po entity reference")
        << "Purchasing" << "purchaseOrder" << po << poXml
        << QStringList{"<?xml version=\"1.0\"?>\n", "<?xml version=\"1.0\"?>\n<!DOCTYPE purchaseOrder [<!ENTITY who \"Alice\">]>\n",
                       "<name>Alice Smith</name>", "<name>&who; Smith</name>"}
        << true;
    QTest::newRow("po entity reference, invalid text")
        << "Purchasing" << "purchaseOrder" << po << poXml
        << QStringList{"<?xml version=\"1.0\"?>\n", "<?xml version=\"1.0\"?>\n<!DOCTYPE purchaseOrder [<!ENTITY q \"100\">]>\n",
                       "<quantity>1</quantity>\n         <USPrice>148", "<quantity>&q;</quantity>\n         <USPrice>148"}
        << false;
    QTest::newRow("po three errors") << "Purchasing" << "purchaseOrder" << po << poXml
                            << QStringList{"90952", "9O952", "926-AA", "926-aa", "<shipDate>1999-05-21", "<shipDate>May 21"}
                            << false;
    // Own target namespace, declared in the document: nothing is inserted.
    QTest::newRow("books valid, prefixed root") << "Catalog" << "books" << bk << bkXml << QStringList() << true;
    QTest::newRow("books price and unknown element")
        << "Catalog" << "books" << bk << bkXml
        << QStringList{"<price>24.95</price>", "<price>cheap</price>", "<genre>Fiction</genre>", "<kind>Fiction</kind>"}
        << false;
    QTest::newRow("note valid, carrying its own hint") << "Notes" << "note" << nt << ntXml << QStringList() << true;
    QTest::newRow("note attribute and missing element")
        << "Notes" << "note" << nt << ntXml << QStringList{"priority=\"2\"", "priority=\"0\"", "  <heading>Reminder</heading>\n", ""}
        << false;
    // The demo schema says elementFormDefault="unqualified".
    QTest::newRow("demo order valid") << "Sales" << "Order" << sales << order << QStringList() << true;
    QTest::newRow("demo order status and quantity")
        << "Sales" << "Order" << sales << order
        << QStringList{"status=\"shipped\"", "status=\"lost\"", "<qty>12</qty>", "<qty>-12</qty>"} << false;
}

void TestClsVerify::agreesWithXmllint()
{
    QFETCH(QString, collection);
    QFETCH(QString, doctype);
    QFETCH(QString, schema);
    QFETCH(QString, instance);
    QFETCH(QStringList, edits);
    QFETCH(bool, valid);

    QString text = readText(instance);
    QVERIFY(!text.isEmpty());
    for (qsizetype i = 0; i + 1 < edits.size(); i += 2) {
        QVERIFY2(text.contains(edits[i]), qPrintable(edits[i]));
        text.replace(edits[i], edits[i + 1]);
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("instance.xml"));
    QVERIFY(writeBytes(file, text.toUtf8()));
    const Lint lint = xmllint({"--noout", "--noent", "--schema", schema}, file, QStringLiteral("Schemas validity error"));
    QVERIFY2(lint.ran, "xmllint did not run");
    QVERIFY2(lint.valid == valid, qPrintable(lint.output));   // the row is what it says

    const auto err = validate(text, collection, doctype);
    QVERIFY2(err.has_value() == !valid, err ? qPrintable(err->Reason) : "valid");
    QCOMPARE(linesOf(err), lint.lines);

    // A stored document comes with its server id on the root: it changes nothing.
    QString stored = text;
    const qsizetype at = stored.indexOf(QRegularExpression("<(\\w+:)?" + doctype + "[\\s>]"));
    QVERIFY(at >= 0);
    stored.insert(stored.indexOf(QRegularExpression("[\\s/>]"), at + 1),
                  " xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" osl:id=\"17\"");
    QCOMPARE(linesOf(validate(stored, collection, doctype)), lint.lines);
}

void TestClsVerify::longDocumentLines()
{
    // Lines beyond 65535 are where libxml2 keeps them only on request.
    QString text = readText(DataDir + "/instances/po.xml");
    const QString item = "      <item partNum=\"926-AA\">\n         <productName>Baby Monitor</productName>\n"
                         "         <quantity>1</quantity>\n         <USPrice>39.98</USPrice>\n      </item>\n";
    QString items;
    for (int i = 0; i < 15000; ++i)
        items += i == 14000 ? QString(item).replace("<quantity>1<", "<quantity>0<") : item;
    text.replace("   </items>", items + "   </items>");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("long.xml"));
    QVERIFY(writeBytes(file, text.toUtf8()));
    const Lint lint = xmllint({"--noout", "--schema", DataDir + "/schemas/po.xsd"}, file,
                              QStringLiteral("Schemas validity error"));
    QCOMPARE(lint.lines.size(), 1);
    QVERIFY(lint.lines.first() > 65535);
    QCOMPARE(linesOf(validate(text, "Purchasing", "purchaseOrder")), lint.lines);
}

void TestClsVerify::wellFormedness_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wellFormed");
    QTest::newRow("well-formed") << "<a>\n  <b/>\n</a>" << true;
    QTest::newRow("unclosed element") << "<a>\n  <b>\n  text\n</a>" << false;
    QTest::newRow("text ends inside the root") << "<a>\n<b/>\n" << false;
    QTest::newRow("bare ampersand") << "<a>\n\n x & y</a>" << false;
    QTest::newRow("two roots") << "<a/>\n<b/>" << false;
    QTest::newRow("undeclared prefix") << "<a>\n<p:b/></a>" << false;
}

void TestClsVerify::wellFormedness()
{
    QFETCH(QString, text);
    QFETCH(bool, wellFormed);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("wf.xml"));
    QVERIFY(writeBytes(file, text.toUtf8()));
    // xmllint takes an undeclared prefix for a mere namespace error, yet reports it.
    const Lint lint = xmllint({"--noout"}, file, QString());
    QCOMPARE(lint.lines.isEmpty(), wellFormed);

    const auto err = clsVerify().CheckWellFormedNess(text);
    QCOMPARE(!err.has_value(), wellFormed);
    if (!err)
        return;
    QVERIFY(!lint.lines.isEmpty());
    QCOMPARE(err->LineNumber, lint.lines.first());
    QVERIFY(!err->Reason.isEmpty());
    QCOMPARE(err->SourceText, text.split('\n').value(err->LineNumber - 1));
}

void TestClsVerify::noSchemaForDoctype()
{
    const auto err = validate("<Nothing/>", "Purchasing", "Nothing");
    QVERIFY(err);
    QCOMPARE(err->Reason, QStringLiteral("No schema found for document type Nothing"));
    QCOMPARE(err->LineNumber, 1);
    QCOMPARE(err->SourceText, QString());
}

void TestClsVerify::workFiles()
{
    const QString temp = m_home.filePath(QStringLiteral("temp"));
    QDir(temp).removeRecursively();
    QCOMPARE(clsVerify::workFolder(), temp);
    QVERIFY(!validate(readText(DataDir + "/instances/po.xml"), "Purchasing", "purchaseOrder"));

    const QString xsd = readText(temp + "/validate.xsd");
    QVERIFY2(xsd.startsWith("<xsd:schema xmlns=\"http://namespaces.ostrel.org/validation\" "
                            "targetNamespace=\"http://namespaces.ostrel.org/validation\" "
                            "elementFormDefault=\"qualified\" "),
             qPrintable(xsd.left(200)));
    const QString xml = readText(temp + "/validate.xml");
    QVERIFY2(xml.contains("<purchaseOrder  xmlns=\"http://namespaces.ostrel.org/validation\"  "
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                          "xsi:schemaLocation=\"http://namespaces.ostrel.org/validation\r\n\tvalidate.xsd\" "
                          "orderDate=\"1999-10-20\">"),
             qPrintable(xml.left(300)));

    // A schema with its own namespace goes out as the server holds it.
    QVERIFY(!validate(readText(DataDir + "/instances/books.xml"), "Catalog", "books"));
    owb::DomDocument written;
    QVERIFY(written.load(temp + "/validate.xsd"));
    QCOMPARE(written.documentElement().getAttribute("targetNamespace"), QStringLiteral("urn:books"));
    QCOMPARE(readText(temp + "/validate.xml"), readText(DataDir + "/instances/books.xml"));
}

void TestClsVerify::workFilesTakeTurns()
{
    // Another validation (of this process or another) holds the work files: this one waits,
    // touches nothing, and ends when the user cancels the wait.
    const QString temp = clsVerify::workFolder();
    QVERIFY(QDir().mkpath(temp));
    QVERIFY(writeBytes(temp + "/validate.xml", "theirs"));
    QLockFile theirs(temp + "/" + clsVerify::LockFile);
    QVERIFY(theirs.tryLock(0));

    owb::DomDocument schema;
    QVERIFY(schema.loadXML("<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:element name=\"Doc\"/></xs:schema>"));
    owb::ScriptedUserInteraction ui;
    ui.cancelProgressAt = 0;
    owb::HttpClient http;
    http.setUserInteraction(&ui);
    try {
        clsVerify(&http).ValidateWithSchema("<Doc/>", schema.documentElement(), "Doc");
        QFAIL("the validation must wait for the work files");
    } catch (const owb::OstrelError &e) {
        QVERIFY(e.isCancelled());
    }
    QCOMPARE(ui.progress.size(), 1);
    QCOMPARE(ui.progress.first()->labels.value(0), QStringLiteral("Waiting for another validation to end"));
    QCOMPARE(readBytes(temp + "/validate.xml"), QByteArray("theirs"));

    // Once they are free, the validation runs.
    theirs.unlock();
    QVERIFY(!clsVerify(&http).ValidateWithSchema("<Doc/>", schema.documentElement(), "Doc"));
    QVERIFY(readBytes(temp + "/validate.xml").contains("<Doc"));
    QCOMPARE(ui.progress.size(), 1);
}

void TestClsVerify::encodings_data()
{
    QTest::addColumn<QString>("declaration");
    QTest::addColumn<QByteArray>("stored");   // how "Ana Müller €" reaches validate.xml
    QTest::newRow("none: UTF-8") << "" << QByteArray("Ana M\xC3\xBCller \xE2\x82\xAC");
    QTest::newRow("UTF-8 declared") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                    << QByteArray("Ana M\xC3\xBCller \xE2\x82\xAC");
    QTest::newRow("ISO-8859-1 declared") << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                         << QByteArray("Ana M\xFCller &#8364;");
}

void TestClsVerify::encodings()
{
    QFETCH(QString, declaration);
    QFETCH(QByteArray, stored);
    QString text = readText(DataDir + "/instances/po.xml");
    text.replace("<?xml version=\"1.0\"?>\n", declaration).replace("Alice Smith", QString::fromUtf8("Ana Müller €"));
    QVERIFY(!validate(text, "Purchasing", "purchaseOrder"));
    QVERIFY(readBytes(m_home.filePath("temp/validate.xml")).contains(stored));
    // The characters survive: a wrong one is seen by the validator.
    text.replace("<zip>90952</zip>", QString::fromUtf8("<zip>9095€</zip>"));
    const auto err = validate(text, "Purchasing", "purchaseOrder");
    QVERIFY(err);
    QVERIFY2(err->Reason.contains(QString::fromUtf8("9095€")), qPrintable(err->Reason));
}

void TestClsVerify::rootOfDoctypeMissing()
{
    const QString text = "<!-- <purchaseOrder> -->\n<po:purchaseOrder xmlns:po=\"urn:other\"/>";
    const auto err = validate(text, "Purchasing", "purchaseOrder");
    QVERIFY(err);
    QCOMPARE(err->Reason, QStringLiteral("The root element of document type purchaseOrder was not found"));
    QCOMPARE(err->LineNumber, 2);
    QCOMPARE(err->SourceText, text.split('\n').at(1));
}

void TestClsVerify::schemaLocationsStayLocal_data()
{
    QTest::addColumn<QString>("directive");
    QTest::addColumn<QString>("location");   // what the failure must name; %1: the web server
    QTest::newRow("import from the web")
        << "<xs:import namespace=\"urn:other\" schemaLocation=\"%1/other.xsd\"/>" << "%1/other.xsd";
    QTest::newRow("include from the web") << "<xs:include schemaLocation=\"%1/common.xsd\"/>" << "%1/common.xsd";
    QTest::newRow("include of a missing local file") << "<xs:include schemaLocation=\"common.xsd\"/>"
                                                     << "common.xsd";
}

void TestClsVerify::schemaLocationsStayLocal()
{
    QFETCH(QString, directive);
    QFETCH(QString, location);
    std::atomic<int> hits{0};
    owbtest::LocalHttpServer web;
    web.server.Get(".*", [&](const httplib::Request &, httplib::Response &res) {
        ++hits;
        res.set_content("<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"/>", "text/xml");
    });
    QVERIFY(web.start());
    const QString base = web.url();
    owb::DomDocument schemaDoc;
    QVERIFY(schemaDoc.loadXML("<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
                              + QString(directive).replace("%1", base) + "<xs:element name=\"Doc\"/></xs:schema>"));
    const auto err = clsVerify().ValidateWithSchema("<Doc/>", schemaDoc.documentElement(), "Doc");
    QVERIFY(err);
    QVERIFY2(err->Reason.contains(QString(location).replace("%1", base)), qPrintable(err->Reason));
    QCOMPARE(hits.load(), 0);
}

void TestClsVerify::schemasStoredForImport()
{
    // A schema that imports one stored on the server (found by its name) and includes one
    // without namespace; New and validation read both from the server alike.
    const QString info = "<xs:annotation><xs:appinfo><osd:schemaInfo name=\"%1\"><osd:collection name=\"%2\"/>%3"
                         "</osd:schemaInfo></xs:appinfo></xs:annotation>";
    const QString head = "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                         "xmlns:osd=\"http://namespaces.ostrel.org/ostrel/schema-definition\" ";
    QTemporaryDir seed;
    QVERIFY(QDir().mkpath(seed.filePath("schemas")));
    const QList<QPair<QString, QString>> files{
        {"a-common.xsd", head + "xmlns:c=\"urn:common\" targetNamespace=\"urn:common\" elementFormDefault=\"qualified\">"
                             + info.arg("common", "Common", "")
                             + "<xs:complexType name=\"Address\"><xs:sequence><xs:element name=\"city\" type=\"xs:string\"/>"
                               "</xs:sequence></xs:complexType><xs:element name=\"note\" type=\"xs:token\"/></xs:schema>"},
        {"b-parts.xsd", head + ">" + info.arg("parts", "Parts", "")
                            + "<xs:simpleType name=\"Age\"><xs:restriction base=\"xs:int\"><xs:maxInclusive value=\"99\"/>"
                              "</xs:restriction></xs:simpleType></xs:schema>"},
        {"c-main.xsd", head + "xmlns:c=\"urn:common\">"
                           + info.arg("Main", "People", "<osd:doctype name=\"Person\"/>")
                           + "<xs:import namespace=\"urn:common\" schemaLocation=\"http://example.org/x/common.xsd\"/>"
                             "<xs:include schemaLocation=\"parts.xsd\"/>"
                             "<xs:element name=\"Person\"><xs:complexType><xs:sequence>"
                             "<xs:element name=\"home\" type=\"c:Address\"/><xs:element ref=\"c:note\"/>"
                             "<xs:element name=\"age\" type=\"Age\"/></xs:sequence></xs:complexType></xs:element>"
                             "</xs:schema>"},
        {"d-broken.xsd", head + ">" + info.arg("Broken", "Broken", "<osd:doctype name=\"Broken\"/>")
                             + "<xs:include schemaLocation=\"gone.xsd\"/><xs:element name=\"Broken\" type=\"Gone\"/>"
                               "</xs:schema>"},
    };
    for (const auto &f : files) {
        QFile out(seed.filePath("schemas/" + f.first));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(f.second.toUtf8()) > 0);
    }
    owbtest::OstreldProcess server(seed.path());
    if (!server.ok())
        QFAIL(qPrintable(server.error()));

    owb::clsSchema schemas(&m_http);
    const owb::DomNode main = schemas.GetSchema(server.databaseURI(), "People", "Person");
    QVERIFY(!main.isNull());
    owb::ServerSchemaSource stored(&m_http, server.databaseURI());
    owb::BuildNewDoc builder;
    builder.setSchemaSource(&stored);
    const QString sample = owb::xmlutil().FormatXML(builder.CreateNewDoc(main.xml(), "Person"));
    QVERIFY2(sample.contains("<c:city>test</c:city>") && sample.contains("<age>1</age>"), qPrintable(sample));
    const auto err = clsVerify(&m_http).ValidateDocument(sample, server.databaseURI(), "People", "Person");
    QVERIFY2(!err, err ? qPrintable(err->Reason) : "");
    QVERIFY(QFile::exists(clsVerify::workFolder() + "/common.xsd"));

    const owb::DomNode broken = schemas.GetSchema(server.databaseURI(), "Broken", "Broken");
    QVERIFY(!broken.isNull());
    try {
        builder.CreateNewDoc(broken.xml(), "Broken");
        QFAIL("a sample of a type nobody stores");
    } catch (const owb::OstrelError &e) {
        QVERIFY2(e.description().contains("the server stores no schema named gone"), qPrintable(e.description()));
    }
}

QTEST_GUILESS_MAIN(TestClsVerify)
#include "tst_clsverify.moc"
