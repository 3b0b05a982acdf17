#include "common/HttpClient.h"
#include "common/LocalHttpServer.h"
#include "common/OstrelError.h"
#include "server/DoctypeRef.h"
#include "server/ServerClient.h"

#include <QtTest>

#include <mutex>

using namespace owb;
using Kind = OstrelError::Kind;
using Verdict = WriteAnswer::Verdict;

Q_DECLARE_METATYPE(owb::OstrelError::Kind)
Q_DECLARE_METATYPE(owb::WriteAnswer::Verdict)

namespace {

const QByteArray kOpen = "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
                         "xmlns:xql=\"http://namespaces.ostrel.org/xql\">";
const QByteArray kClose = "</osl:response>";
const QByteArray kOk = "<osl:message osl:returnvalue=\"0\"><osl:messageline>done</osl:messageline></osl:message>";

QByteArray failure(const QByteArray &code, const QByteArray &text)
{
    return "<osl:message osl:returnvalue=\"" + code + "\"><osl:messagetext osl:code=\"OSL" + code + "\">" + text
        + "</osl:messagetext></osl:message>";
}

} // namespace

class TestServerClient : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void read_data();
    void read();
    void readSendsNoCredentials();
    void unreachableServer();
    void envelope_data();
    void envelope();
    void judge_data();
    void judge();
    void doctypeRef_data();
    void doctypeRef();

private:
    owbtest::LocalHttpServer m_server;
    std::mutex m_lock;
    std::string m_lastAuthorization;
    std::string m_lastMethod;
};

void TestServerClient::initTestCase()
{
    m_server.server.Get("/ok", [this](const httplib::Request &req, httplib::Response &res) {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_lastAuthorization = req.get_header_value("Authorization");
            m_lastMethod = req.method;
        }
        res.set_content("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\">\n"
                        "  <osl:message osl:returnvalue=\"0\"><osl:messageline>caf\xE9</osl:messageline></osl:message>\n"
                        "</osl:response>",
                        "text/xml");
    });
    m_server.server.Get("/missing", [](const httplib::Request &, httplib::Response &res) {
        res.status = 404;
        res.set_content("<osl:response xmlns:osl=\"urn:x\"/>", "text/xml");
    });
    m_server.server.Get("/broken", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<a>\n<b></a>", "text/xml");
    });
    m_server.server.Get("/error", [](const httplib::Request &, httplib::Response &res) {
        res.status = 500;
        res.set_content("<fine/>", "text/xml");
    });
    m_server.server.Get("/gone", [](const httplib::Request &, httplib::Response &res) {
        res.status = 404;
        res.set_content((kOpen + failure("8701", "no such collection") + kClose).toStdString(), "text/xml");
    });
    m_server.server.Get("/refused", [](const httplib::Request &, httplib::Response &res) {
        res.set_content((kOpen + failure("8301", "bad query") + kClose).toStdString(), "text/xml");
    });
    QVERIFY(m_server.start());
}

void TestServerClient::read_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Kind>("kind");          // Other: no failure
    QTest::addColumn<QString>("reasonPart");

    QTest::newRow("document") << "/ok" << Kind::Other << "";
    QTest::newRow("not found") << "/missing" << Kind::HttpStatus << "HTTP 404 Not Found";
    QTest::newRow("server error with a well-formed body") << "/error" << Kind::HttpStatus << "500";
    QTest::newRow("not well-formed") << "/broken" << Kind::Parse << "mismatch";
    QTest::newRow("failure envelope") << "/refused" << Kind::ServerFailure << "OSL8301: bad query";
    QTest::newRow("not found, with the server's words") << "/gone" << Kind::HttpStatus << "HTTP 404 Not Found";
}

void TestServerClient::read()
{
    QFETCH(QString, path);
    QFETCH(Kind, kind);
    QFETCH(QString, reasonPart);

    HttpClient http;
    const QString url = m_server.url(path);
    try {
        const ServerAnswer answer = ServerClient(http).read(url);
        QCOMPARE(kind, Kind::Other);
        QCOMPARE(answer.document().selectSingleNode("osl:response/osl:message/osl:messageline").text(),
                 QStringLiteral("caf\u00e9"));
        // Indentation of the answer does not count as children.
        QCOMPARE(answer.root().childNodes().size(), 1);
        QCOMPARE(answer.returnValue(), std::optional<QString>(QStringLiteral("0")));
    } catch (const OstrelError &e) {
        QCOMPARE(e.kind(), kind);
        QVERIFY2(e.description().contains(reasonPart, Qt::CaseInsensitive), qPrintable(e.description()));
        if (kind == Kind::HttpStatus)
            QVERIFY(e.httpStatus() >= 400);
        if (kind == Kind::ServerFailure)
            QCOMPARE(e.serverCode(), QStringLiteral("OSL8301"));
        // The server's own words travel beside its status.
        QCOMPARE(e.serverReason(), path == "/gone"       ? QStringLiteral("OSL8701: no such collection")
                                   : path == "/refused" ? QStringLiteral("OSL8301: bad query")
                                                        : QString());
    }
}

void TestServerClient::readSendsNoCredentials()
{
    HttpClient http;
    ServerClient(http).read(m_server.url(QStringLiteral("/ok")));
    std::lock_guard<std::mutex> g(m_lock);
    QCOMPARE(m_lastMethod, std::string("GET"));
    QVERIFY(m_lastAuthorization.empty());
}

void TestServerClient::unreachableServer()
{
    HttpClient http;
    const QString url = QStringLiteral("http://127.0.0.1:%1/x").arg(owbtest::closedPort());
    try {
        ServerClient(http).read(url);
        QFAIL("an unreachable server must fail the read");
    } catch (const OstrelError &e) {
        QCOMPARE(e.kind(), Kind::Transport);
        QVERIFY(!e.description().isEmpty());
    }
}

void TestServerClient::envelope_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("failure");     // empty: none
    QTest::addColumn<QString>("firstRoot");   // the first result document's name; empty: none

    QTest::newRow("result") << kOpen + "<xql:result><A osl:id=\"1\"/><B osl:id=\"2\"/></xql:result>" + kOk + kClose
                            << "" << "A";
    QTest::newRow("failure beside a result")
        << kOpen + "<xql:result><A osl:id=\"1\"/></xql:result>" + failure("8309", " cut short ") + kClose
        << "OSL8309: cut short" << "A";
    QTest::newRow("failure text inside a stored document does not count")
        << kOpen + "<xql:result><Log osl:id=\"3\"><osl:message><osl:messagetext osl:code=\"X\">no</osl:messagetext>"
                   "</osl:message></Log></xql:result>" + kOk + kClose
        << "" << "Log";
    QTest::newRow("a result section inside a stored document is no result")
        << kOpen + "<osl:note><xql:result><A osl:id=\"1\"/></xql:result></osl:note>" + kOk + kClose << "" << "A";
    QTest::newRow("text without code is a note")
        << kOpen + "<osl:message osl:returnvalue=\"0\"><osl:messagetext>fine</osl:messagetext></osl:message>" + kClose
        << "" << "";
    QTest::newRow("another prefix for the same namespace")
        << QByteArray("<r:response xmlns:r=\"http://namespaces.ostrel.org/ostrel/response2\">"
                      "<r:message r:returnvalue=\"1\"><r:messagetext r:code=\"C1\">why</r:messagetext></r:message>"
                      "</r:response>")
        << "C1: why" << "";
    QTest::newRow("the prefix bound to another namespace")
        << QByteArray("<osl:response xmlns:osl=\"urn:other\"><osl:messagetext osl:code=\"C\">x</osl:messagetext>"
                      "</osl:response>")
        << "" << "";
}

void TestServerClient::envelope()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, failure);
    QFETCH(QString, firstRoot);
    ServerAnswer answer;
    QVERIFY(answer.load(body));
    QCOMPARE(answer.failure() ? answer.failure()->describe() : QString(), failure);
    QCOMPARE(answer.firstResultRoot().nodeName(), firstRoot);
}

void TestServerClient::judge_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("highest");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QString>("refusal");

    const QByteArray stored = kOpen + "<osl:object osl:id=\"42\"/>" + kOk + kClose;
    QTest::newRow("stored") << 200 << stored << 300 << Verdict::Accepted << "";
    QTest::newRow("300 judged by the envelope") << 300 << stored << 300 << Verdict::Accepted << "";
    QTest::newRow("201 above a threshold of 200") << 201 << stored << 200 << Verdict::HttpStatus << "";
    QTest::newRow("not XML") << 200 << QByteArray("<html>") << 300 << Verdict::NotXml << "";
    QTest::newRow("failure text") << 200 << kOpen + failure("8103", "not stored") + kClose << 300
                                  << Verdict::ServerFailure << "Ostrel error (8103) OSL8103: not stored";
    QTest::newRow("return value only")
        << 200 << kOpen + "<osl:message osl:returnvalue=\"7\"><osl:messageline> busy </osl:messageline></osl:message>"
                   + kClose
        << 300 << Verdict::ServerFailure << "Ostrel error (7) busy";
    QTest::newRow("no message") << 200 << kOpen + kClose << 300 << Verdict::NoMessage << "";
    QTest::newRow("no return value") << 200 << kOpen + "<osl:message/>" + kClose << 300 << Verdict::NoReturnValue
                                     << "";
    QTest::newRow("no object") << 200 << kOpen + kOk + kClose << 300 << Verdict::NoObject << "";
    QTest::newRow("id not a number") << 200 << kOpen + "<osl:object osl:id=\"4x\"/>" + kOk + kClose << 300
                                     << Verdict::BadId << "";
}

void TestServerClient::judge()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, highest);
    QFETCH(Verdict, verdict);
    QFETCH(QString, refusal);
    WriteAnswer written;
    written.status = status;
    written.parsed = written.answer.load(body);
    QCOMPARE(written.judge(highest, true), verdict);
    if (!refusal.isEmpty())
        QCOMPARE(written.refusal(), refusal);
    if (verdict == Verdict::Accepted)
        QCOMPARE(written.number(), 42);
    const OstrelError e = written.error(verdict, "S", "d");
    const Kind expected = verdict == Verdict::HttpStatus      ? Kind::HttpStatus
                          : verdict == Verdict::ServerFailure ? Kind::ServerFailure
                          : verdict == Verdict::Accepted      ? Kind::Other
                                                              : Kind::Parse;
    QCOMPARE(e.kind(), expected);
}

void TestServerClient::doctypeRef_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("doctype");
    QTest::newRow("plain") << "http://h:8790/ostrel/mydb" << "Sales" << "Order";
    QTest::newRow("quotes and blanks") << "http://h/ostrel/db" << "Bob's files" << "O'Brien";
    QTest::newRow("the schema collection") << "https://h/ostrel/db" << "osl:collection" << "xs:schema";
}

void TestServerClient::doctypeRef()
{
    QFETCH(QString, database);
    QFETCH(QString, collection);
    QFETCH(QString, doctype);
    const DoctypeRef ref{database, collection, doctype};
    QCOMPARE(ref.key(), collection + "/" + doctype);
    QCOMPARE(DoctypeRef::fromOpeningUri(ref.openingUri()), std::optional<DoctypeRef>(ref));
    QCOMPARE(DoctypeRef::fromCollectionUri(ref.collectionUri(), doctype), ref);
    QCOMPARE(qHash(ref), qHash(DoctypeRef{database, collection, doctype}));
    QVERIFY(!(ref == DoctypeRef{database + "2", collection, doctype}));
}

QTEST_GUILESS_MAIN(TestServerClient)
#include "tst_serverclient.moc"
