#include <QtTest>

#include "common/HttpClient.h"
#include "common/LocalHttpServer.h"
#include "common/OstrelError.h"
#include "server/FormEncoder.h"
#include "xml/MemoryDocumentList.h"
#include "server/clsConnection.h"
#include "support/Fakes.h"
#include "transfer/clsImportAndExport.h"

#include <QTemporaryDir>

#include <mutex>

using namespace owb;
using owb::MemoryDocumentList;

namespace {

std::string envelope(const std::string &inner)
{
    return "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
           "xmlns:xql=\"http://namespaces.ostrel.org/xql\">"
        + inner + "</osl:response>";
}

const std::string kOk = "<osl:message osl:returnvalue=\"0\"><osl:messageline>ok</osl:messageline></osl:message>";

struct Seen {
    std::mutex lock;
    int requests = 0;
    std::string target, contentType, name, authorization, body;
};

} // namespace

// Answers no ordinary server gives, and the exact form of the requests.
class TestTransferAnswers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void storeAnswers_data();
    void storeAnswers();
    void wrongRootSendsNothing();
    void uploadRequestForm();
    void uploadStatusThreshold_data();
    void uploadStatusThreshold();
    void exportAnswers_data();
    void exportAnswers();

private:
    QString write(const QString &name, const QByteArray &bytes);
    owbtest::LocalHttpServer m_server;
    Seen m_seen;
    QTemporaryDir m_dir;
    clsConnection m_connection;
    FormEncoder m_encoder;
    HttpClient m_http;
    owbtest::RecordingLog m_log;
    owbtest::RecordingLog m_logWindow;
};

QString TestTransferAnswers::write(const QString &name, const QByteArray &bytes)
{
    QFile f(m_dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return f.fileName();
}

void TestTransferAnswers::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // /store/STATUS/KIND answers a store; /put/STATUS answers an upload; GET /export/KIND a fetch.
    m_server.server.Post(R"(/store/(\d+)/(\w+))", [this](const httplib::Request &req, httplib::Response &res) {
        {
            std::lock_guard g(m_seen.lock);
            ++m_seen.requests;
        }
        res.status = std::stoi(req.matches[1]);
        const std::string kind = req.matches[2];
        if (kind == "ok")
            res.set_content(envelope("<osl:object osl:id=\"42\"/>" + kOk), "text/xml");
        else if (kind == "noobject")
            res.set_content(envelope(kOk), "text/xml");
        else if (kind == "badid")
            res.set_content(envelope("<osl:object osl:id=\"4x\"/>" + kOk), "text/xml");
        else if (kind == "refused")
            res.set_content(envelope("<osl:message osl:returnvalue=\"8103\"><osl:messagetext osl:code=\"OSL8103\">"
                                     "not stored</osl:messagetext></osl:message>"),
                            "text/xml");
        else
            res.set_content("<html>oops", "text/html");
    });
    m_server.server.Put(R"(/put/(\d+)/.*)", [this](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard g(m_seen.lock);
        ++m_seen.requests;
        m_seen.target = req.target;
        m_seen.contentType = req.get_header_value("Content-Type");
        m_seen.name = req.get_header_value("Name");
        m_seen.authorization = req.get_header_value("Authorization");
        m_seen.body = req.body;
        res.status = std::stoi(req.matches[1]);
    });
    m_server.server.Get(R"(/export/(\w+))", [](const httplib::Request &req, httplib::Response &res) {
        const std::string kind = req.matches[1];
        if (kind == "empty")
            res.set_content(envelope("<xql:result/>" + kOk), "text/xml");
        else if (kind == "textonly")
            res.set_content(envelope("<xql:result>just text</xql:result>" + kOk), "text/xml");
        else if (kind == "refused")
            res.set_content(envelope("<osl:message osl:returnvalue=\"8301\"><osl:messagetext osl:code=\"OSL8301\">"
                                     "bad expression</osl:messagetext></osl:message>"),
                            "text/xml");
        else if (kind == "partial")
            res.set_content(envelope("<xql:result><Order osl:id=\"5\"/></xql:result><osl:message osl:returnvalue=\"8302\">"
                                     "<osl:messagetext osl:code=\"OSL8302\">cut short</osl:messagetext></osl:message>"),
                            "text/xml");
        else if (kind == "broken") {
            res.status = 500;
            res.set_content("no envelope", "text/plain");
        } else
            res.set_content("<osl:response", "text/xml");
    });
    QVERIFY(m_server.start());
    m_connection.AddConString("db", "demo", "demo");
    m_connection.AddConString("other", "anna", "secret");
    m_connection.setContext("db");
}

void TestTransferAnswers::storeAnswers_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("why");
    QTest::newRow("200 accepted") << "/store/200/ok" << true << "Document (new=True)  has been processed";
    QTest::newRow("201 refused") << "/store/201/ok" << false << "The server refused %1: HTTP 201 Created";
    QTest::newRow("300 refused with the server's words")
        << "/store/300/refused" << false << "The server refused %1: HTTP 300 Multiple Choice, OSL8103: not stored";
    QTest::newRow("not xml") << "/store/200/html" << false << "The server's answer for %1 is not XML: ";
    QTest::newRow("return value") << "/store/200/refused" << false << "The server refused %1: Ostrel error (8103) OSL8103: not stored";
    QTest::newRow("no osl:object") << "/store/200/noobject" << false
                                   << "The server's answer for %1 names no stored document (no osl:object)";
    QTest::newRow("id not a number") << "/store/200/badid" << false
                                     << "The server's answer for %1 names no valid document id (\"4x\")";
}

void TestTransferAnswers::storeAnswers()
{
    QFETCH(QString, path);
    QFETCH(bool, accepted);
    QFETCH(QString, why);
    const QString file = write("order.xml", "<Order><n>1</n></Order>");
    clsImportAndExport engine(m_connection, m_encoder, m_http, m_logWindow);
    engine.setLog(&m_log);
    MemoryDocumentList list;
    m_log.lines.clear();
    try {
        const TransferResult r = engine.ImportXMLFiles(m_server.url(path), "Order", {file}, list);
        QVERIFY(accepted);
        QCOMPARE(r.done, 1);
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.text(0), QString("+ osl:id=42"));
        QCOMPARE(list.itemData(0), 42);
    } catch (const OstrelError &e) {
        QVERIFY2(!accepted, qPrintable(e.description()));
        QCOMPARE(e.description(), "Failed to load " + file);
        QCOMPARE(list.count(), 0);
    }
    QVERIFY2(m_log.lines.last().startsWith(why.arg(file)), qPrintable(m_log.lines.join('\n')));
}

void TestTransferAnswers::wrongRootSendsNothing()
{
    const QString file = write("lower.xml", "<order/>");
    clsImportAndExport engine(m_connection, m_encoder, m_http, m_logWindow);
    engine.setLog(&m_log);
    MemoryDocumentList list;
    const int before = m_seen.requests;
    QVERIFY_THROWS_EXCEPTION(OstrelError, engine.ImportXMLFiles(m_server.url("/store/200/ok"), "Order", {file}, list));
    QCOMPARE(m_seen.requests, before);

    // Without a log the transfer does not start at all.
    clsImportAndExport silent(m_connection, m_encoder, m_http, m_logWindow);
    QVERIFY_THROWS_EXCEPTION(OstrelError, silent.ImportXMLFiles(m_server.url("/store/200/ok"), "Order",
                                                                {write("ok.xml", "<Order/>")}, list));
    QCOMPARE(m_seen.requests, before);
}

void TestTransferAnswers::uploadRequestForm()
{
    const QByteArray bytes("\0\x01\xfe\xff zero and high bytes", 24);
    const QString file = write(QString::fromUtf8("a b#?ü.bin"), bytes);
    clsImportAndExport engine(m_connection, m_encoder, m_http, m_logWindow);
    engine.setLog(&m_log);
    MemoryDocumentList list;
    engine.ImportNonXMLFiles(m_server.url("/put/201"), "images", {file}, list);
    QCOMPARE(QString::fromStdString(m_seen.target), QString("/put/201/images/a%20b%23%3F%C3%BC.bin"));
    QCOMPARE(m_seen.contentType, std::string("application/upload"));
    QCOMPARE(m_seen.name, std::string("_Process"));
    QCOMPARE(QByteArray::fromStdString(m_seen.body), bytes);
    QCOMPARE(QByteArray::fromStdString(m_seen.authorization), "Basic " + QByteArray("demo:demo").toBase64());

    // The credentials are those of the current connection at the time of the request.
    m_connection.setContext("other");
    engine.ImportNonXMLFiles(m_server.url("/put/201"), "images", {file}, list);
    m_connection.setContext("db");
    QCOMPARE(QByteArray::fromStdString(m_seen.authorization), "Basic " + QByteArray("anna:secret").toBase64());
}

void TestTransferAnswers::uploadStatusThreshold_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("200") << 200 << "";
    QTest::newRow("299") << 299 << "";
    QTest::newRow("300") << 300 << "Failed to load document: Multiple Choice";
    QTest::newRow("409") << 409 << "Failed to load document: Conflict";
}

void TestTransferAnswers::uploadStatusThreshold()
{
    QFETCH(int, status);
    QFETCH(QString, refusal);
    const QString file = write("x.bin", "x");
    clsImportAndExport engine(m_connection, m_encoder, m_http, m_logWindow);
    engine.setLog(&m_log);
    QStringList refusals;
    connect(&engine, &clsImportAndExport::UploadError, this,
            [&](bool, const QString &message, bool &) { refusals << message; });
    MemoryDocumentList list;
    m_logWindow.lines.clear();
    engine.ImportNonXMLFiles(m_server.url(QStringLiteral("/put/%1").arg(status)), "images", {file, file}, list);
    QCOMPARE(refusals, refusal.isEmpty() ? QStringList() : QStringList({refusal, refusal}));
    QCOMPARE(m_logWindow.lines.size(), refusal.isEmpty() ? 2 : 0);
}

void TestTransferAnswers::exportAnswers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("empty result") << "empty" << ". Probably the file is deleted in between";
    QTest::newRow("result without element") << "textonly" << ". Probably the file is deleted in between";
    QTest::newRow("failure envelope") << "refused" << " reason OSL8301: bad expression";
    QTest::newRow("failure beside a result") << "partial" << " reason OSL8302: cut short";
    QTest::newRow("500 without envelope") << "broken" << " reason HTTP 500 Internal Server Error";
    QTest::newRow("cut short") << "cut" << " reason ";
}

void TestTransferAnswers::exportAnswers()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QTemporaryDir out;
    clsImportAndExport engine(m_connection, m_encoder, m_http, m_logWindow);
    engine.setLog(&m_log);
    MemoryDocumentList list;
    list.addEntry("osl:id=5", 5);
    const QString uri = m_server.url("/export/" + kind);
    try {
        engine.ExportXMLFiles(uri, "Order", out.path(), list, false);
        QFAIL("the export must fail");
    } catch (const OstrelError &e) {
        QVERIFY2(e.description().startsWith("Failed to load " + uri + "?_xql=Order[@osl:id=5]" + error),
                 qPrintable(e.description()));
    }
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestTransferAnswers)
#include "tst_transferanswers.moc"
