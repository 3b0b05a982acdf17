// The repository's parts on their own, without HTTP: the schema registry, storing into a
// store, selection (the row shortcuts against the XPath evaluation) and delete by XPath.
#include <QtTest>

#include <regex>

#include "Fixtures.h"
#include "Names.h"
#include "Repository.h"
#include "SchemaRegistry.h"
#include "Selection.h"
#include "Storing.h"

using namespace ostreld;

namespace {

const std::string kOslDecl = std::string("xmlns:osl=\"") + kOslUri + "\"";

// The one match of a regular expression's first group in an answer, or "" when none.
QString found(const std::string &body, const char *pattern)
{
    std::smatch m;
    return std::regex_search(body, m, std::regex(pattern)) ? QString::fromStdString(m[1].str()) : QString();
}

QString returnValue(const Outcome &o)
{
    return found(o.body, "osl:returnvalue=\"([0-9]+)\"");
}

QString messageOf(const Outcome &o)
{
    return found(o.body, "<osl:message(?:line|text)[^>]*>([^<]*)<");
}

// "Order 1, Order 3"
QString keyList(const std::vector<DocKey> &keys)
{
    QStringList out;
    for (auto &[doctype, id] : keys) out << QString::fromStdString(doctype) + " " + QString::number(id);
    return out.join(", ");
}

Doctypes salesDoctypes()
{
    return {{"Order", {}}, {"Customer", {}}, {"images", DoctypeInfo{true}}};
}

// A store file with Order 1, Order 2 (deleted again), Customer 1 to 3 and the file images 1.
void fillSales(Store &store)
{
    Transaction tx(store);
    const Doctypes types = salesDoctypes();
    for (const char *text : {"<Order><total>5</total></Order>", "<Order><total>20</total></Order>",
                             "<Customer/>", "<Customer/>", "<Customer><total>30</total></Customer>"})
        QVERIFY(storeXml(store, "mydb", "Sales", types, text, false).code == 0);
    store.remove("mydb", "Sales", "Order", 2);
    storeFile(store, "mydb", "Sales", "images", "logo.gif", "GIF89a");
    tx.commit();
}

} // namespace

class TstOstreldRepository : public QObject {
    Q_OBJECT

private slots:
    void schemaInfo_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("why"); // empty: read
        QTest::addColumn<QString>("declared");
        QTest::newRow("collection and doctypes") << QString::fromStdString(fixtures::salesSchema()) << ""
                                                 << "Sales: Customer, Order, images (non-XML)";
        QTest::newRow("not a schema") << "<Order/>" << "A schema document must have the root element xs:schema" << "";
        QTest::newRow("no schema info")
            << "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:annotation/></xs:schema>"
            << "The schema has no xs:annotation/xs:appinfo/osd:schemaInfo element" << "";
        QTest::newRow("no collection") << QString::fromStdString(fixtures::schema("", ""))
                                       << "The schema names no collection (osd:collection/@name)" << "";
        QTest::newRow("the schema collection") << QString::fromStdString(fixtures::schema("osl:collection", ""))
                                               << "'osl:collection' cannot be a collection name" << "";
        QTest::newRow("a path") << QString::fromStdString(fixtures::schema("a/b", ""))
                                << "'a/b' cannot be a collection name" << "";
        QTest::newRow("blanks") << QString::fromStdString(fixtures::schema("  ", ""))
                                << "'  ' cannot be a collection name" << "";
        QTest::newRow("doctype not a name")
            << QString::fromStdString(fixtures::schema("Sales", "<osd:doctype name=\"1st\"/>"))
            << "The doctype name '1st' is not a valid element name" << "";
    }
    void schemaInfo()
    {
        QFETCH(QString, text);
        QFETCH(QString, why);
        QFETCH(QString, declared);
        xml::Parsed p = xml::parse(text.toStdString());
        QVERIFY2(p.doc, p.error.c_str());
        SchemaInfo info;
        std::string reason;
        const bool read = readSchemaInfo(xmlDocGetRootElement(p.doc.get()), info, reason);
        QCOMPARE(QString::fromStdString(reason), why);
        QCOMPARE(read, why.isEmpty());
        if (!read) return;
        QStringList types;
        for (auto &[name, nonXml] : info.doctypes) types << QString::fromStdString(name) + (nonXml ? " (non-XML)" : "");
        QCOMPARE(QString::fromStdString(info.collection) + ": " + types.join(", "), declared);
    }

    void registryAnswersFromStoredSchemas()
    {
        auto row = [](const std::string &xml) { return DocRow{"schema", 1, kXsUri, xml, {}, false}; };
        SchemaRegistry registry;
        registry.reload("mydb", {row(fixtures::salesSchema()), row(fixtures::librarySchema()), row("<xs:schema"),
                                 row(fixtures::schema("Sales", "<osd:doctype name=\"Invoice\"/>"))});
        registry.reload("otherdb", {row(fixtures::librarySchema())});

        const Doctypes *sales = registry.doctypes("mydb", "Sales");
        QVERIFY(sales);
        // Two schemas of one collection add up; only the file doctype is non-XML.
        QCOMPARE(sales->size(), size_t(4));
        QVERIFY(!sales->at("Order").nonXml);
        QVERIFY(!sales->at("Invoice").nonXml);
        QVERIFY(sales->at("images").nonXml);
        QVERIFY(registry.doctypes("mydb", "Library"));
        QVERIFY(!registry.doctypes("mydb", "Stock"));
        QVERIFY(!registry.doctypes("nodb", "Sales"));
        const Doctypes *schemas = registry.doctypes("nodb", kSchemaCollection);
        QVERIFY(schemas && schemas->size() == 1 && schemas->count("schema"));

        // A reload replaces what the database had; a reader's view stays as it was.
        auto before = registry.view();
        registry.reload("mydb", {row(fixtures::librarySchema())});
        QVERIFY(!registry.doctypes("mydb", "Sales"));
        QVERIFY(registry.doctypes("mydb", "Library"));
        QVERIFY(registry.doctypes("otherdb", "Library"));
        QVERIFY(SchemaRegistry::doctypes(*before, "mydb", "Sales"));
    }

    void storing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("outcome"); // the message, or what was done and the row's text
        const QString decl = QString::fromStdString(kOslDecl);
        QTest::newRow("insert takes the next id, never a deleted one")
            << "<Order><total>1</total></Order>" << false << 0
            << "inserted Order 3: <Order " + decl + " osl:id=\"3\"><total>1</total></Order>";
        QTest::newRow("replace by osl:id") << "<Order " + decl + " osl:id=\"1\"><total>7</total></Order>" << false << 0
                                           << "replaced Order 1: <Order " + decl + " osl:id=\"1\"><total>7</total></Order>";
        QTest::newRow("osl bound elsewhere") << "<Order xmlns:osl=\"urn:x\" osl:a=\"b\"/>" << false << 0
                                             << "inserted Order 3: <Order xmlns:osl=\"urn:x\" xmlns:osl1=\""
                                                    + QString(kOslUri) + "\" osl:a=\"b\" osl1:id=\"3\"/>";
        QTest::newRow("document type declaration dropped")
            << "<!DOCTYPE Order [<!ELEMENT Order ANY>]><Order/>" << false << 0
            << "inserted Order 3: <Order " + decl + " osl:id=\"3\"/>";
        QTest::newRow("seed file with an id is new") << "<Order " + decl + " osl:id=\"1\"/>" << true << 0
                                                     << "inserted Order 3: <Order " + decl + " osl:id=\"3\"/>";
        QTest::newRow("replace of a deleted id") << "<Order " + decl + " osl:id=\"2\"/>" << false << int(IdNotStored)
                                                 << "There is no document Order with osl:id=2 to replace";
        QTest::newRow("id stored for another doctype only")
            << "<Order " + decl + " osl:id=\"3\"/>" << false << int(IdNotStored)
            << "There is no document Order with osl:id=3 to replace";
        QTest::newRow("id not a number") << "<Order " + decl + " osl:id=\"x1\"/>" << false << int(BadId)
                                         << "osl:id=\"x1\" is not a document id (a whole number from 1 up)";
        QTest::newRow("unknown doctype") << "<Invoice/>" << false << int(UnknownDoctype)
                                         << "The collection Sales has no doctype Invoice";
        QTest::newRow("non-XML doctype") << "<images/>" << false << int(NonXmlRefused)
                                         << "The doctype images holds non-XML files; store them with PUT";
        QTest::newRow("declared entity") << "<!DOCTYPE Order [<!ENTITY e \"x\">]><Order>&e;</Order>" << false
                                         << int(EntityRefused)
                                         << "The document refers to entities of a document type declaration; only "
                                            "the predefined entities and character references are accepted";
    }
    void storing()
    {
        QFETCH(QString, text);
        QFETCH(bool, fromFile);
        QFETCH(int, code);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        Store store(dir.filePath("d.sqlite").toStdString());
        fillSales(store);
        Stored st;
        {
            Transaction tx(store);
            st = storeXml(store, "mydb", "Sales", salesDoctypes(), text.toStdString(), fromFile);
            if (st.code == 0) tx.commit();
        }
        QCOMPARE(st.code, code);
        if (code) {
            QCOMPARE(QString::fromStdString(st.message), outcome);
            // A refusal takes no id: the next insert gets the one it would have got.
            Transaction tx(store);
            QCOMPARE(storeXml(store, "mydb", "Sales", salesDoctypes(), "<Order/>", false).id, 3LL);
            return;
        }
        auto row = store.fetch("mydb", "Sales", st.doctype, st.id);
        QVERIFY(row);
        QCOMPARE(QString(st.inserted ? "inserted " : "replaced ") + QString::fromStdString(st.doctype) + " "
                     + QString::number(st.id) + ": " + QString::fromStdString(row->xml),
                 outcome);
    }

    void selection_data()
    {
        QTest::addColumn<QByteArray>("xpath");
        QTest::addColumn<bool>("fromRows"); // answered without the XPath evaluation
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("selected"); // the documents, or the message
        QTest::newRow("doctype") << QByteArray("Customer") << true << 0 << "Customer 1, Customer 2, Customer 3, Customer 4";
        QTest::newRow("doctype among blanks") << QByteArray(" Order\t") << true << 0 << "Order 1";
        QTest::newRow("bound prefix, other namespace") << QByteArray("osl:Order") << true << 0 << "";
        QTest::newRow("non-XML files") << QByteArray("images") << true << 0 << "images 1";
        QTest::newRow("by id") << QByteArray("Customer[@osl:id=3]") << true << 0 << "Customer 3";
        QTest::newRow("by quoted id") << QByteArray("Customer[ @osl:id = \"3\" ]") << true << 0 << "Customer 3";
        QTest::newRow("deleted id") << QByteArray("Order[@osl:id='2']") << true << 0 << "";
        QTest::newRow("id with a leading zero") << QByteArray("Customer[@osl:id=03]") << true << 0 << "Customer 3";
        QTest::newRow("quoted id with a leading zero") << QByteArray("Customer[@osl:id='03']") << false << 0 << "";
        QTest::newRow("unknown prefix before an id") << QByteArray("zz:Order[@osl:id=1]") << false << int(UnknownPrefix)
                                                    << "Unknown namespace prefix in zz:Order[@osl:id=1] (bound "
                                                       "prefixes: osl, osd, xql, xs)";
        QTest::newRow("nodes below roots count their document once")
            << QByteArray("//total | Customer[total]") << false << 0 << "Customer 3, Customer 4, Order 1";
        QTest::newRow("namespace nodes") << QByteArray("Order/namespace::osl") << false << 0 << "Order 1";
        QTest::newRow("the common root is no document") << QByteArray("/ | .") << false << 0 << "";
        QTest::newRow("a value") << QByteArray("count(Order)") << false << int(NotNodeSet)
                                 << "The expression count(Order) gives a value, not a set of nodes";
        QTest::newRow("no text") << QByteArray("Order\xff") << false << int(BadXPath) << "The XPath expression is not valid text";
    }
    void selection()
    {
        QFETCH(QByteArray, xpath);
        QFETCH(bool, fromRows);
        QFETCH(int, code);
        QFETCH(QString, selected);
        const std::string expr = xpath.toStdString();
        QTemporaryDir dir;
        const std::string path = dir.filePath("d.sqlite").toStdString();
        Store store(path);
        fillSales(store);
        {
            Transaction tx(store);
            QCOMPARE(storeXml(store, "mydb", "Sales", salesDoctypes(), "<Customer><total>1</total></Customer>", false).id,
                     4LL);
            tx.commit();
        }
        ReaderPool readers(path);
        QueryBudget budget(std::chrono::seconds(30));
        auto snapshot = Snapshot::build(store.collection("mydb", "Sales"), "Sales");

        std::optional<Selection> refused = refuseUnreadable(expr);
        std::optional<Selection> rows = refused ? std::nullopt : selectFromRows(readers, "mydb", "Sales", expr, true);
        Selection evaluated = refused ? *refused : selectInSnapshot(*snapshot, expr, budget, {}, true);
        QCOMPARE(rows.has_value(), fromRows);
        QCOMPARE(evaluated.code, code);
        QCOMPARE(code ? QString::fromStdString(evaluated.message) : keyList(evaluated.keys), selected);
        QCOMPARE(evaluated.texts.size(), evaluated.keys.size());
        // The shortcut must answer exactly as the evaluation, texts included.
        if (rows) {
            QCOMPARE(keyList(rows->keys), keyList(evaluated.keys));
            QCOMPARE(rows->texts, evaluated.texts);
        }
    }

    void stoppedSelection()
    {
        QTemporaryDir dir;
        Store store(dir.filePath("d.sqlite").toStdString());
        fillSales(store);
        auto snapshot = Snapshot::build(store.collection("mydb", "Sales"), "Sales");
        QueryBudget budget(std::chrono::seconds(30));
        budget.stopAll();
        Selection sel = selectInSnapshot(*snapshot, "//*[count(//*) > 0]", budget, {}, false);
        QCOMPARE(sel.code, int(QueryLimit));
        QCOMPARE(QString::fromStdString(sel.message),
                 "The query was stopped: the server is shutting down or its client has gone");
        QVERIFY(sel.keys.empty());
    }

    void deleteByXPath_data()
    {
        QTest::addColumn<QString>("xpath");
        QTest::addColumn<QString>("returnValue");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("left");
        QTest::newRow("by content") << "Order[total>10]" << "0" << "2 documents deleted" << "1";
        QTest::newRow("by id") << "Order[@osl:id=2]" << "0" << "1 document deleted" << "1 3";
        QTest::newRow("below the root") << "//note" << "0" << "1 document deleted" << "1 2";
        QTest::newRow("nothing matches") << "Order[total>99]" << "0" << "0 documents deleted" << "1 2 3";
        QTest::newRow("another doctype") << "Customer" << "0" << "0 documents deleted" << "1 2 3";
        QTest::newRow("syntax error") << "Order[" << "8301" << "" << "1 2 3";
    }
    void deleteByXPath()
    {
        QFETCH(QString, xpath);
        QFETCH(QString, returnValue);
        QFETCH(QString, message);
        QFETCH(QString, left);
        QTemporaryDir dir;
        Repository repo(dir.filePath("d.sqlite").toStdString(), {"mydb"});
        QCOMPARE(::returnValue(repo.process("mydb", kSchemaCollection, fixtures::salesSchema())), "0");
        for (const char *text : {"<Order><total>5</total></Order>", "<Order><total>20</total></Order>",
                                 "<Order><total>30</total><note/></Order>"})
            QCOMPARE(::returnValue(repo.process("mydb", "Sales", text)), "0");
        // A query first, so that the delete also has to bring a kept snapshot up to date.
        QCOMPARE(messageOf(repo.query("mydb", "Sales", "Order[total>0]")), "3 documents");

        Outcome o = repo.remove("mydb", "Sales", xpath.toStdString());
        QCOMPARE(::returnValue(o), returnValue);
        if (returnValue == "0") QCOMPARE(messageOf(o), message);
        QStringList ids;
        const std::string answer = repo.query("mydb", "Sales", "Order[total>0]").body;
        const std::regex id("osl:id=\"([0-9]+)\"");
        for (std::sregex_iterator i(answer.begin(), answer.end(), id), end; i != end; ++i)
            ids << QString::fromStdString((*i)[1].str());
        QCOMPARE(ids.join(" "), left);
    }
};

QTEST_GUILESS_MAIN(TstOstreldRepository)
#include "tst_ostreld_repository.moc"
