#include <QtTest>

#include "cli/OwbRun.h"
#include "common/LocalHttpServer.h"
#include "support/OstreldProcess.h"

#include <condition_variable>
#include <csignal>
#include <mutex>

using owbtest::Owb;
using owbtest::OwbResult;

// owb import and export: the transfer engine driven from the command line.
class TestOwbTransfer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void importFolderThenExportGivesIdenticalFiles();
    void nonXmlFilesOfAFolder();
    void importStopsAtTheFirstFailingFile();
    void importTakesEntitiesTextAndRefusesBadBytes();
    void exportRefusals_data();
    void exportRefusals();
    void ctrlCStopsAfterTheCurrentFile();
    void refusedUploadStopsTheImport();

private:
    QStringList db(const QStringList &rest) const { return QStringList{m_server->databaseURI()} + rest; }
    int count(const QString &collection, const QString &doctype)
    {
        return int(m_owb.run(QStringList{"query"} + db({collection, doctype})).outLines().size());
    }
    std::unique_ptr<owbtest::OstreldProcess> m_server;
    Owb m_owb;
};

void TestOwbTransfer::initTestCase()
{
    m_server = std::make_unique<owbtest::OstreldProcess>();
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
}

void TestOwbTransfer::importFolderThenExportGivesIdenticalFiles()
{
    // The first orders hold namespaced extensions, comments, CDATA and non-ASCII text.
    QTemporaryDir first, second;
    const OwbResult out = m_owb.run(QStringList{"export"} + db({"Sales", "Order", first.path(), "@osl:id<=25", "--without-id"}));
    QVERIFY2(out.exitCode == 0, out.describe());
    QVERIFY(out.out.isEmpty());
    QVERIFY2(out.errLines().last().startsWith("All documents have been exported to directory"), out.describe());
    const QStringList files = QDir(first.path()).entryList({"*.xml"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    QCOMPARE(files.size(), 25);

    const OwbResult in = m_owb.run(QStringList{"import"} + db({"Sales", "Order", first.path()}));
    QVERIFY2(in.exitCode == 0, in.describe());
    const QStringList ids = in.outLines();
    QCOMPARE(ids.size(), files.size());
    QVERIFY(in.errLines().contains("Document (new=True)  has been processed"));
    QCOMPARE(in.errLines().last(), QString("All documents have been imported"));
    // Standard error is no terminal here: no progress line.
    QVERIFY2(!in.err.contains('\r') && !in.err.contains("File 1 of"), in.err);

    const OwbResult again = m_owb.run(QStringList{"export", "--without-id"}
                                      + db({"Sales", "Order", second.path(), "@osl:id>=" + ids.first()}));
    QVERIFY2(again.exitCode == 0, again.describe());
    for (int i = 0; i < files.size(); ++i) {
        const QByteArray a = owbtest::readAll(first.filePath(files[i]));
        const QByteArray b = owbtest::readAll(second.filePath("Order_" + ids[i] + ".xml"));
        QVERIFY(!a.isEmpty());
        QVERIFY2(a == b, qPrintable(files[i] + "\n" + a + "\n---\n" + b));
    }
}

void TestOwbTransfer::nonXmlFilesOfAFolder()
{
    QTemporaryDir dir;
    QVERIFY(owbtest::writeFile(dir.filePath("one.gif"), "GIF89a\x01\x00\x01\x00"));
    QVERIFY(owbtest::writeFile(dir.filePath("two.bin"), QByteArray("\x00\xff\x10", 3)));
    const int before = count("Library", "images");
    const OwbResult r = m_owb.run(QStringList{"import"} + db({"Library", "images", dir.path()}));
    QVERIFY2(r.exitCode == 0, r.describe());
    QCOMPARE(r.errLines().count("Document has been processed"), 2);
    QCOMPARE(count("Library", "images"), before + 2);
}

void TestOwbTransfer::importStopsAtTheFirstFailingFile()
{
    QTemporaryDir dir;
    QVERIFY(owbtest::writeFile(dir.filePath("a.xml"), "<Customer number=\"C-T-1\"><name>a</name></Customer>"));
    QVERIFY(owbtest::writeFile(dir.filePath("b.xml"), "<customer number=\"C-T-2\"><name>b</name></customer>"));
    QVERIFY(owbtest::writeFile(dir.filePath("c.xml"), "<Customer number=\"C-T-3\"><name>c</name></Customer>"));
    QVERIFY(owbtest::writeFile(dir.filePath("notes.txt"), "not offered for an XML document type"));
    const int before = count("Sales", "Customer");
    const OwbResult r = m_owb.run(QStringList{"import"} + db({"Sales", "Customer", dir.path()}));
    QVERIFY2(r.exitCode == 1, r.describe());
    QCOMPARE(r.outLines().size(), 1);
    QCOMPARE(r.errLines().last(), "owb: Failed to load " + dir.filePath("b.xml"));
    QVERIFY(r.errLines().contains("The root element customer of " + dir.filePath("b.xml")
                                  + " differs from the document type Customer"));
    QCOMPARE(count("Sales", "Customer"), before + 1);

    const OwbResult missing = m_owb.run(QStringList{"import"} + db({"Sales", "Customer", dir.filePath("x.xml")}));
    QVERIFY2(missing.exitCode == 1 && missing.errLines().size() == 1, missing.describe());
    QCOMPARE(count("Sales", "Customer"), before + 1);
}

void TestOwbTransfer::importTakesEntitiesTextAndRefusesBadBytes()
{
    QTemporaryDir dir, bad;
    QVERIFY(owbtest::writeFile(dir.filePath("e.xml"), "<!DOCTYPE Customer [<!ENTITY who \"Zed &amp; Co\">]>\n"
                                                      "<Customer number=\"C-T-E\"><name>&who;</name><tab>\t</tab></Customer>"));
    const OwbResult r = m_owb.run(QStringList{"import"} + db({"Sales", "Customer", dir.path()}));
    QVERIFY2(r.exitCode == 0 && r.outLines().size() == 1, r.describe());
    const OwbResult got = m_owb.run(QStringList{"get"} + db({"Sales", "Customer", r.outLines().first()}));
    QVERIFY2(got.out.contains("<name>Zed &amp; Co</name>") && got.out.contains("<tab>\t</tab>"), got.describe());

    QVERIFY(owbtest::writeFile(bad.filePath("b.xml"), "<Customer>\n  caf\xe9</Customer>"));
    const OwbResult refused = m_owb.run(QStringList{"import"} + db({"Sales", "Customer", bad.path()}));
    QVERIFY2(refused.exitCode == 1, refused.describe());
    QVERIFY2(refused.errLines().contains("File " + bad.filePath("b.xml")
                                         + " is not well-formed: Byte 0xE9 is not valid in the encoding UTF-8 (line 2, column 6)"),
             refused.describe());
}

void TestOwbTransfer::exportRefusals_data()
{
    QTest::addColumn<QStringList>("args");   // after DBURI; @FILE is a plain file
    QTest::addColumn<QString>("expected");
    QTest::newRow("no directory") << QStringList{"Sales", "Order", "/nonexistent/dir"} << "does not exist";
    QTest::newRow("a file") << QStringList{"Sales", "Order", "@FILE"} << "is not a directory";
    QTest::newRow("non-XML") << QStringList{"Library", "images", "@DIR"} << "not yet implemented for non-xml";
    QTest::newRow("refused query") << QStringList{"Sales", "Order", "@DIR", "@osl:id=("} << "Query failed";
}

void TestOwbTransfer::exportRefusals()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(owbtest::writeFile(dir.filePath("file"), "x"));
    args.replaceInStrings("@FILE", dir.filePath("file"));
    args.replaceInStrings("@DIR", dir.path());
    const OwbResult r = m_owb.run(QStringList{"export"} + db(args));
    QVERIFY2(r.exitCode == 1 && r.errLines().size() == 1, r.describe());
    QVERIFY2(r.errLines().first().contains(expected), r.describe());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList("file"));
}

// A server of the test's own: alive, a schema that declares the doctype XML or non-XML, stores
// that can be held back until the test lets them go, uploads refused.
struct FakeOstrel {
    explicit FakeOstrel(bool nonXML)
    {
        const std::string envelope = "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
                                     "xmlns:xql=\"http://namespaces.ostrel.org/xql\" "
                                     "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                                     "xmlns:osd=\"http://namespaces.ostrel.org/ostrel/schema-definition\">";
        const std::string done = "<osl:message osl:returnvalue=\"0\">done</osl:message></osl:response>";
        server.server.Get("/ostrel/mydb", [=, this](const httplib::Request &, httplib::Response &res) {
            res.set_content(envelope + "<osl:message osl:returnvalue=\"0\">Server is alive</osl:message></osl:response>",
                            "text/xml");
        });
        const std::string schema = nonXML ? "<xs:schema><xs:annotation><xs:appinfo><osd:schemaInfo><osd:collection "
                                            "name=\"Sales\"/><osd:doctype name=\"Order\"><osd:nonXML/></osd:doctype>"
                                            "</osd:schemaInfo></xs:appinfo></xs:annotation></xs:schema>"
                                          : "";
        server.server.Get("/ostrel/mydb/osl:collection", [=, this](const httplib::Request &, httplib::Response &res) {
            res.set_content(envelope + "<xql:result>" + schema + "</xql:result>" + done, "text/xml");
        });
        server.server.Post("/ostrel/mydb/Sales", [=, this](const httplib::Request &, httplib::Response &res) {
            const int n = ++stores;
            if (n == 1) {
                std::unique_lock l(lock);
                released.wait_for(l, std::chrono::seconds(30), [&] { return !holding; });
            }
            res.set_content(envelope + "<osl:object osl:id=\"" + std::to_string(100 + n) + "\"/>" + done, "text/xml");
        });
        server.server.Put(R"(/ostrel/mydb/Sales/Order/.*)", [=, this](const httplib::Request &, httplib::Response &res) {
            ++uploads;
            res.status = 403;
        });
        started = server.start();
    }
    ~FakeOstrel() { letGo(); }
    void letGo()
    {
        {
            std::lock_guard l(lock);
            holding = false;
        }
        released.notify_all();
    }
    QString uri() const { return server.url("/ostrel/mydb"); }

    std::mutex lock;
    std::condition_variable released;
    bool holding = true;
    std::atomic<int> stores{0};
    std::atomic<int> uploads{0};
    owbtest::LocalHttpServer server;
    bool started = false;
};

void TestOwbTransfer::ctrlCStopsAfterTheCurrentFile()
{
    FakeOstrel server(false);
    QVERIFY(server.started);
    QTemporaryDir dir;
    for (int i = 1; i <= 4; ++i)
        QVERIFY(owbtest::writeFile(dir.filePath(QStringLiteral("o%1.xml").arg(i)), "<Order><number>1</number></Order>"));
    const auto p = m_owb.start({"import", server.uri(), "Sales", "Order", dir.path()});
    QVERIFY(p->waitForStarted(10000));
    QTRY_COMPARE_WITH_TIMEOUT(server.stores.load(), 1, 20000);
    // The signal is pending before the answer goes out, so owb sees it before the next file.
    ::kill(pid_t(p->processId()), SIGINT);
    server.letGo();

    const OwbResult r = Owb::finish(*p);
    QVERIFY2(r.exitCode == 1, r.describe());
    QCOMPARE(server.stores.load(), 1);
    QCOMPARE(r.outLines(), QStringList("101"));
    QCOMPARE(r.errLines().last(), QString("Import cancelled: 1 of 4 documents have been imported"));
}

void TestOwbTransfer::refusedUploadStopsTheImport()
{
    FakeOstrel server(true);
    QVERIFY(server.started);
    QTemporaryDir dir;
    QVERIFY(owbtest::writeFile(dir.filePath("a.png"), "png"));
    QVERIFY(owbtest::writeFile(dir.filePath("b.png"), "png"));
    const OwbResult r = m_owb.run({"import", server.uri(), "Sales", "Order", dir.path()});
    QVERIFY2(r.exitCode == 1, r.describe());
    QCOMPARE(server.uploads.load(), 1);
    QVERIFY2(r.errLines().contains("owb: Failed to load document: Forbidden"), r.describe());
    QCOMPARE(r.errLines().last(), QString("Import stopped: 0 of 2 documents have been imported"));
}

QTEST_GUILESS_MAIN(TestOwbTransfer)
#include "tst_owb_transfer.moc"
