#include <QtTest>

#include "common/OstrelError.h"
#include "support/ScriptedProgress.h"
#include "transfer/TransferRig.h"

using namespace owb;
using owb::MemoryDocumentList;
using owbtest::TransferRig;

namespace {

const QByteArray kDecl = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n";

QByteArray order(const QString &number, const QString &extra = QString())
{
    return QStringLiteral("<Order status=\"open\"%2><number>%1</number><date>2024-01-02</date>"
                          "<customer ref=\"1\">Zoë</customer><lines/><total currency=\"EUR\">1.00</total></Order>")
        .arg(number, extra)
        .toUtf8();
}

} // namespace

class TestImportExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void importStopsAtTheFirstFailingFile();
    void importFailureSaysWhy_data();
    void importFailureSaysWhy();
    void importNewAndUpdate();
    void nonXmlUploadsBytesUnderTheBaseName();
    void refusedUploadAsksWhetherToGoOn_data();
    void refusedUploadAsksWhetherToGoOn();
    void exportWritesOneFilePerEntry_data();
    void exportWritesOneFilePerEntry();
    void exportKeepsEveryCharacter();
    void exportFailures_data();
    void exportFailures();
    void cancelStopsAfterTheCurrentFile();

private:
    std::unique_ptr<TransferRig> m_rig;
};

void TestImportExport::initTestCase()
{
    m_rig = std::make_unique<TransferRig>();
    QVERIFY2(m_rig->ok(), qPrintable(m_rig->server.error()));
}

void TestImportExport::importStopsAtTheFirstFailingFile()
{
    TransferRig &r = *m_rig;
    const QString first = r.file("three/a.xml", order("A-1"));
    const QString second = r.file("three/b.xml", "<Order><number>broken</Order>");
    const QString third = r.file("three/c.xml", order("A-3"));
    const int before = r.count("Sales", "Order");
    MemoryDocumentList list;
    r.log.lines.clear();
    try {
        r.engine->ImportXMLFiles(r.collection("Sales"), "Order", {first, second, third}, list);
        QFAIL("the broken file must stop the import");
    } catch (const OstrelError &e) {
        QCOMPARE(e.description(), "Failed to load " + second);
    }
    QCOMPARE(r.count("Sales", "Order"), before + 1);
    QCOMPARE(list.count(), 1);
    QVERIFY(list.text(0).startsWith("+ osl:id="));
    QCOMPARE(r.fetch("Sales", "Order", list.itemData(0)).selectSingleNode("number").text(), QString("A-1"));
    QCOMPARE(r.log.lines.filter("Store file ").size(), 2);
    const QStringList why = r.log.lines.filter("is not well-formed");
    QCOMPARE(why.size(), 1);
    QVERIFY2(why[0].startsWith("File " + second) && why[0].contains("(line 1, column"), qPrintable(why[0]));
    QCOMPARE(r.log.lines.last(), why[0]);
}

void TestImportExport::importFailureSaysWhy_data()
{
    QTest::addColumn<QString>("doctype");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("why");
    QTest::newRow("root name differs in case") << "order" << order("X") << "demo"
                                               << "The root element Order of %1 differs from the document type order";
    QTest::newRow("doctype unknown to the server")
        << "Nope" << QByteArray("<Nope/>") << "demo" << "The server refused %1: Ostrel error (8102) ";
    QTest::newRow("wrong password") << "Order" << order("Y") << "wrong"
                                    << "The server refused %1: HTTP 401 Unauthorized, OSL8601: ";
    QTest::newRow("comment outside latin-1")
        << "Order" << order("Z").replace("<lines/>", "<lines><!-- 中 --></lines>") << "demo"
        << "File %1 cannot be sent: The character";
    QTest::newRow("missing file") << "Order" << QByteArray() << "demo" << "File %1 is not well-formed: File not found";
}

void TestImportExport::importFailureSaysWhy()
{
    QFETCH(QString, doctype);
    QFETCH(QByteArray, content);
    QFETCH(QString, password);
    QFETCH(QString, why);
    TransferRig &r = *m_rig;
    const QString path = content.isEmpty() ? r.dir.filePath("absent.xml") : r.file("why.xml", content);
    clsConnection other;
    other.AddConString(r.server.databaseURI(), "demo", password);
    other.setContext(r.server.databaseURI());
    clsImportAndExport engine(other, r.encoder, r.http, r.logWindow);
    engine.setLog(&r.log);
    const int before = r.count("Sales", "Order");
    MemoryDocumentList list;
    r.log.lines.clear();
    QVERIFY_THROWS_EXCEPTION(OstrelError, engine.ImportXMLFiles(r.collection("Sales"), doctype, {path}, list));
    QCOMPARE(list.count(), 0);
    QCOMPARE(r.count("Sales", "Order"), before);
    QVERIFY2(r.log.lines.last().startsWith(why.arg(path)), qPrintable(r.log.lines.join('\n')));
}

void TestImportExport::importNewAndUpdate()
{
    TransferRig &r = *m_rig;
    MemoryDocumentList list;
    list.addEntry("osl:id=1", 1);
    r.log.lines.clear();
    const TransferResult added =
        r.engine->ImportXMLFiles(r.collection("Sales"), "Order", {r.file("new.xml", order("N-1"))}, list);
    QCOMPARE(added.done, 1);
    QCOMPARE(list.count(), 2);
    const qint32 id = list.itemData(1);
    QCOMPARE(list.text(1), "+ osl:id=" + QString::number(id));
    QCOMPARE(r.log.lines.last(), QString("Document (new=True)  has been processed"));

    const QByteArray update = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
                              "<Order xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" osl:id=\""
        + QByteArray::number(id) + "\" status=\"shipped\"><number>N-1b</number><note>M\xFC" "ller</note></Order>";
    r.engine->ImportXMLFiles(r.collection("Sales"), "Order", {r.file("update.xml", update)}, list);
    QCOMPARE(list.count(), 2);
    QCOMPARE(r.log.lines.last(), QString("Document (new=False)  has been processed"));
    const DomNode stored = r.fetch("Sales", "Order", id);
    QCOMPARE(stored.getAttribute("status"), QString("shipped"));
    QCOMPARE(stored.selectSingleNode("note").text(), QString::fromUtf8("Müller"));
}

void TestImportExport::nonXmlUploadsBytesUnderTheBaseName()
{
    TransferRig &r = *m_rig;
    const QByteArray png("\x89PNG\r\n\x1a\n\0\0binary\xff", 18);
    const QString image = r.file("pics/new cover ä+1.png", png);
    const QString empty = r.file("pics/empty.gif", QByteArray());
    QStringList statuses;
    connect(r.engine.get(), &clsImportAndExport::Status, this, [&](const QString &m) { statuses << m; });
    r.logWindow.lines.clear();
    MemoryDocumentList list;
    const TransferResult done = r.engine->ImportNonXMLFiles(r.collection("Library"), "images", {image, empty}, list);
    disconnect(r.engine.get(), &clsImportAndExport::Status, this, nullptr);
    QCOMPARE(done.done, 2);
    QCOMPARE(list.count(), 0);
    QCOMPARE(statuses, QStringList({"Uploading file " + image, "Uploading file " + empty}));
    QCOMPARE(r.logWindow.lines, QStringList({"Document has been processed", "Document has been processed"}));
    QVERIFY(r.log.lines.contains("Store file " + image));

    const QString base = r.collection("Library") + "/images/";
    const HttpResponse got = r.http.get(base + QUrl::toPercentEncoding(QString::fromUtf8("new cover ä+1.png")));
    QCOMPARE(got.status, 200);
    QCOMPARE(got.body, png);
    const HttpResponse none = r.http.get(base + "empty.gif");
    QCOMPARE(none.status, 200);
    QCOMPARE(none.body, QByteArray());
}

void TestImportExport::refusedUploadAsksWhetherToGoOn_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("sent");
    QTest::newRow("yes") << true << 3;
    QTest::newRow("no") << false << 1;
}

void TestImportExport::refusedUploadAsksWhetherToGoOn()
{
    QFETCH(bool, answer);
    QFETCH(int, sent);
    TransferRig &r = *m_rig;
    const QStringList files{r.file("up/1.bin", "1"), r.file("up/2.bin", "2"), r.file("up/3.bin", "3")};
    QStringList asked;
    connect(r.engine.get(), &clsImportAndExport::UploadError, this,
            [&](bool silent, const QString &message, bool &goOn) {
                QVERIFY(!silent);
                QVERIFY(goOn);
                asked << message;
                goOn = answer;
            });
    MemoryDocumentList list;
    r.log.lines.clear();
    // An XML doctype takes no files: every upload is refused.
    const TransferResult result = r.engine->ImportNonXMLFiles(r.collection("Sales"), "Order", files, list);
    disconnect(r.engine.get(), &clsImportAndExport::UploadError, this, nullptr);
    QCOMPARE(result.done, sent);
    QCOMPARE(result.cancelled, false);
    QCOMPARE(asked.size(), sent);
    QCOMPARE(asked.value(0), QString("Failed to load document: Conflict"));
    QCOMPARE(r.log.lines.filter("Store file ").size(), sent);
}

void TestImportExport::exportWritesOneFilePerEntry_data()
{
    QTest::addColumn<bool>("withoutId");
    QTest::newRow("with ids") << false;
    QTest::newRow("without ids") << true;
}

void TestImportExport::exportWritesOneFilePerEntry()
{
    QFETCH(bool, withoutId);
    TransferRig &r = *m_rig;
    QTemporaryDir out;
    QFile stale(out.filePath("Order_17.xml"));
    QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("old and much longer than the new file ") > 0);
    stale.close();
    MemoryDocumentList list;
    list.addEntry("osl:id=3", 3);
    list.addEntry("osl:id=17", 17);
    r.log.lines.clear();
    const TransferResult result = r.engine->ExportXMLFiles(r.collection("Sales"), "Order", out.path(), list, withoutId);
    QCOMPARE(result.done, 2);
    QCOMPARE(r.log.lines, QStringList({"Exporting document Order_3", "Exporting document Order_17"}));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files, QDir::Name), QStringList({"Order_17.xml", "Order_3.xml"}));
    for (const qint32 id : {3, 17}) {
        const QByteArray bytes = owbtest::readAll(out.filePath(QStringLiteral("Order_%1.xml").arg(id)));
        QVERIFY(bytes.startsWith(kDecl + "<Order"));
        DomDocument doc;
        QVERIFY2(doc.loadBytes(bytes), qPrintable(doc.parseError().reason));
        QCOMPARE(doc.documentElement().hasAttribute("osl:id"), !withoutId);
        if (!withoutId)
            QCOMPARE(doc.documentElement().getAttribute("osl:id"), QString::number(id));
        const DomNode stored = r.fetch("Sales", "Order", id);
        QCOMPARE(doc.documentElement().selectSingleNode("number").text(), stored.selectSingleNode("number").text());
    }
}

void TestImportExport::exportKeepsEveryCharacter()
{
    TransferRig &r = *m_rig;
    // Demo orders with text beyond Latin-1, in elements and in a CDATA section.
    MemoryDocumentList list;
    r.query("Sales", QString::fromUtf8("Order[lines/line/product='茶叶 (green tea)' and contains(note,'周一')]"), list);
    QVERIFY(list.count() > 0);
    QTemporaryDir out;
    r.engine->ExportXMLFiles(r.collection("Sales"), "Order", out.path(), list, false);
    for (int i = 0; i < list.count(); ++i) {
        const QByteArray bytes = owbtest::readAll(out.filePath(QStringLiteral("Order_%1.xml").arg(list.itemData(i))));
        QVERIFY(bytes.startsWith(kDecl));
        QVERIFY2(bytes.contains("&#33590;&#21494; (green tea)"), bytes.constData());
        QVERIFY2(bytes.contains("&#21608;&#19968;"), bytes.constData());
        DomDocument file, stored;
        QVERIFY(file.loadBytes(bytes));
        QVERIFY(stored.loadXML(r.fetch("Sales", "Order", list.itemData(i)).xml()));
        // The same characters wherever they were; only CDATA became text.
        QCOMPARE(file.documentElement().text(), stored.documentElement().text());
        QCOMPARE(file.documentElement().selectNodes("//@*").size(), stored.documentElement().selectNodes("//@*").size());
    }
}

void TestImportExport::exportFailures_data()
{
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("doctype");
    QTest::addColumn<qint32>("id");
    QTest::addColumn<bool>("dirExists");
    QTest::addColumn<QString>("error");
    QTest::newRow("directory missing") << "Sales" << "Order" << 3 << false << "Directory %2 does not exist";
    QTest::newRow("document gone") << "Sales" << "Order" << 999999 << true
                                   << "Failed to load %1?_xql=Order[@osl:id=999999]. Probably the file is deleted in between";
    QTest::newRow("query refused") << "Sales" << "Order[" << 3 << true
                                   << "Failed to load %1?_xql=Order[[@osl:id=3] reason OSL830";
    QTest::newRow("unknown collection") << "Nowhere" << "Order" << 3 << true
                                        << "Failed to load %1?_xql=Order[@osl:id=3] reason OSL8701: ";
}

void TestImportExport::exportFailures()
{
    QFETCH(QString, collection);
    QFETCH(QString, doctype);
    QFETCH(qint32, id);
    QFETCH(bool, dirExists);
    QFETCH(QString, error);
    TransferRig &r = *m_rig;
    QTemporaryDir out;
    const QString dir = dirExists ? out.path() : out.filePath("not/there");
    MemoryDocumentList list;
    list.addEntry("x", id);
    r.log.lines.clear();
    try {
        r.engine->ExportXMLFiles(r.collection(collection), doctype, dir, list, false);
        QFAIL("the export must fail");
    } catch (const OstrelError &e) {
        QVERIFY2(e.description().startsWith(QString(error).replace("%1", r.collection(collection)).replace("%2", dir)),
                 qPrintable(e.description()));
    }
    QCOMPARE(r.log.lines.size(), dirExists ? 1 : 0);
    if (dirExists)
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList());

    // Nothing listed: nothing done, nothing raised.
    MemoryDocumentList empty;
    QCOMPARE(r.engine->ExportXMLFiles(r.collection("Sales"), "Order", out.path(), empty, false).done, 0);
}

void TestImportExport::cancelStopsAfterTheCurrentFile()
{
    TransferRig &r = *m_rig;
    QStringList files;
    for (int i = 1; i <= 5; ++i)
        files << r.file(QStringLiteral("cancel/%1.xml").arg(i), order(QStringLiteral("C-%1").arg(i)));
    auto record = std::make_shared<owbtest::ProgressRecord>();
    record->cancelAtValue = 2;
    owbtest::ScriptedProgress progress(record);
    r.engine->setProgress(&progress);
    MemoryDocumentList list;
    r.log.lines.clear();
    const TransferResult result = r.engine->ImportXMLFiles(r.collection("Sales"), "Order", files, list);
    r.engine->setProgress(nullptr);
    QCOMPARE(result.done, 2);
    QCOMPARE(result.total, 5);
    QVERIFY(result.cancelled);
    QCOMPARE(list.count(), 2);
    QCOMPARE(record->maximum, qint64(5));
    QCOMPARE(record->labels, QStringList({"File 1 of 5: " + files[0], "File 2 of 5: " + files[1]}));
    QCOMPARE(r.log.lines.filter("Store file ").size(), 2);
    QCOMPARE(r.log.lines.last(), QString("Import cancelled after 2 of 5 files"));
}

QTEST_GUILESS_MAIN(TestImportExport)
#include "tst_importexport.moc"
