// How a request waits: the display it opens, Cancel, the caller's own display, the cap of
// one request. Against a real server on 127.0.0.1 that answers a byte at a time.
#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "common/LocalHttpServer.h"
#include "support/ScriptedUserInteraction.h"

#include <QTest>

#include <thread>

using namespace owb;
using owbtest::LocalHttpServer;

namespace {

// n bytes "x", one every 30 ms; sized: with a Content-Length.
void drip(httplib::Response &res, int n, bool sized)
{
    auto write = [n](size_t offset, httplib::DataSink &sink) {
        if (offset >= size_t(n)) {
            sink.done();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return sink.write("x", 1);
    };
    if (sized)
        res.set_content_provider(size_t(n), "text/plain", [write](size_t offset, size_t, httplib::DataSink &sink) {
            return write(offset, sink);
        });
    else
        res.set_chunked_content_provider("text/plain", write);
}

} // namespace

class TestHttpWait : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void slowAnswerIsShownWithItsBytes_data();
    void slowAnswerIsShownWithItsBytes();
    void cancelEndsTheRequest_data();
    void cancelEndsTheRequest();
    void callersOwnDisplayIsAskedInstead();
    void withoutDisplayTheRequestRunsToItsEnd();
    void requestCapEndsATrickle();
    void cancellationIsRecognisedWhenWrapped_data();
    void cancellationIsRecognisedWhenWrapped();

private:
    LocalHttpServer m_server;
};

void TestHttpWait::initTestCase()
{
    m_server.server.Get(R"(/drip/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        drip(res, std::stoi(req.matches[1]), false);
    });
    m_server.server.Get(R"(/sized/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        drip(res, std::stoi(req.matches[1]), true);
    });
    m_server.server.Get("/endless", [](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink &sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return sink.write("x", 1);
        });
    });
    m_server.server.Get("/ok", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("fine", "text/plain");
    });
    QVERIFY(m_server.start());
}

void TestHttpWait::slowAnswerIsShownWithItsBytes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("bytesWording");
    QTest::addColumn<qint64>("maximum");
    QTest::newRow("length unknown") << "/drip/12" << " bytes received" << qint64(0);
    QTest::newRow("length sent") << "/sized/12" << " of 12 bytes received" << qint64(12);
}

void TestHttpWait::slowAnswerIsShownWithItsBytes()
{
    QFETCH(QString, path);
    QFETCH(QString, bytesWording);
    QFETCH(qint64, maximum);
    ScriptedUserInteraction ui;
    HttpClient http;
    http.setUserInteraction(&ui);
    HttpRequest req;
    req.url = m_server.url(path);
    req.activity = QStringLiteral("Running the query");

    const HttpResponse res = http.send(req);
    QCOMPARE(res.body, QByteArray(12, 'x'));
    QCOMPARE(ui.progress.size(), 1);
    const auto &shown = *ui.progress.first();
    QVERIFY(shown.ended);
    QVERIFY(shown.labels.first().startsWith(QStringLiteral("Running the query")));
    QVERIFY2(shown.labels.last().endsWith(bytesWording), qPrintable(shown.labels.join('|')));
    QCOMPARE(shown.maximum, maximum);
    // Asked again and again while the bytes came: the caller was never kept for the whole wait.
    QVERIFY2(shown.cancelQuestions >= 3, qPrintable(QString::number(shown.cancelQuestions)));
    QVERIFY(!shown.values.isEmpty());
    QVERIFY(std::is_sorted(shown.values.begin(), shown.values.end()));
    QVERIFY(shown.values.last() <= 12);
}

void TestHttpWait::cancelEndsTheRequest_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("streaming");
    QTest::addColumn<qint64>("cancelAt");
    QTest::newRow("trickle") << false << false << qint64(3);
    QTest::newRow("trickle into a sink") << false << true << qint64(3);
    QTest::newRow("no answer at all") << true << false << qint64(0);
}

void TestHttpWait::cancelEndsTheRequest()
{
    QFETCH(bool, silent);
    QFETCH(bool, streaming);
    QFETCH(qint64, cancelAt);
    owbtest::SilentSocket quiet;
    ScriptedUserInteraction ui;
    ui.cancelProgressAt = cancelAt;
    HttpClient http;
    http.setUserInteraction(&ui);
    HttpRequest req;
    req.url = silent ? QStringLiteral("http://127.0.0.1:%1/x").arg(quiet.port()) : m_server.url("/endless");
    QByteArray piecesSeen;
    try {
        if (streaming)
            http.sendStreaming(req, [&](const char *data, size_t size, const HttpResponse &) {
                piecesSeen.append(data, qsizetype(size));
                return true;
            });
        else
            http.send(req);
        QFAIL("a cancelled request must fail");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("HTTP"));
        QCOMPARE(e.description(), QStringLiteral("Cancelled by the user"));
        QCOMPARE(e.number(), HttpClient::CancelledNumber);
        QVERIFY(HttpClient::isCancellation(e));
    }
    QCOMPARE(ui.progress.size(), 1);
    QVERIFY(ui.progress.first()->ended);
    if (streaming)
        QVERIFY(piecesSeen.size() >= cancelAt);
    // The client is still good for the next request.
    QCOMPARE(http.get(m_server.url("/ok")).body, QByteArray("fine"));
}

void TestHttpWait::callersOwnDisplayIsAskedInstead()
{
    ScriptedUserInteraction ui;
    HttpClient http;
    http.setUserInteraction(&ui);
    auto record = std::make_shared<owbtest::ProgressRecord>();
    record->cancelAtValue = 1;
    owbtest::ScriptedProgress transfer(record);
    transfer.setValue(0);
    transfer.setLabel(QStringLiteral("File 1 of 2: a.xml"));

    HttpRequest req;
    req.url = m_server.url("/drip/40");
    req.progress = &transfer;
    const HttpResponse res = http.send(req);   // never cancelled: the value stays below 1
    QCOMPARE(res.body.size(), 40);
    QVERIFY(record->cancelQuestions >= 3);
    QCOMPARE(record->values, QList<qint64>{0});
    QCOMPARE(record->labels, QStringList{QStringLiteral("File 1 of 2: a.xml")});
    QVERIFY(ui.progress.isEmpty());

    transfer.setValue(1);
    req.url = m_server.url("/endless");
    try {
        http.send(req);
        QFAIL("the caller's Cancel must end the request");
    } catch (const OstrelError &e) {
        QVERIFY(HttpClient::isCancellation(e));
    }
    QVERIFY(ui.progress.isEmpty());
}

void TestHttpWait::withoutDisplayTheRequestRunsToItsEnd()
{
    HttpClient http;
    HttpRequest req;
    req.url = m_server.url("/drip/10");
    QCOMPARE(http.send(req).body, QByteArray(10, 'x'));
}

void TestHttpWait::requestCapEndsATrickle()
{
    // One byte every 30 ms never stalls; the client has no cap of its own.
    ScriptedUserInteraction ui;
    HttpClient http;
    http.setTimeouts(2000, 1000, 0);
    http.setUserInteraction(&ui);
    HttpRequest req;
    req.url = m_server.url("/endless");
    req.totalTimeoutMs = 400;
    try {
        http.send(req);
        QFAIL("the request's own cap must end an endless answer");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("HTTP"));
        QVERIFY(!HttpClient::isCancellation(e));
        QVERIFY2(e.description().contains(req.url), qPrintable(e.description()));
    }
    // A cap on the client and a larger one on the request: the smaller holds.
    http.setTimeouts(2000, 1000, 400);
    req.totalTimeoutMs = 600000;
    QVERIFY_THROWS_EXCEPTION(OstrelError, http.send(req));
}

void TestHttpWait::cancellationIsRecognisedWhenWrapped_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<quint32>("number");
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("as thrown") << "Cancelled by the user" << HttpClient::CancelledNumber << true;
    QTest::newRow("wrapped") << "Failed to load document (u)\r\nreason:Cancelled by the user"
                             << OstrelError::DefaultNumber << true;
    QTest::newRow("time-out") << "Request to u failed: Operation timed out" << OstrelError::DefaultNumber << false;
}

void TestHttpWait::cancellationIsRecognisedWhenWrapped()
{
    QFETCH(QString, description);
    QFETCH(quint32, number);
    QFETCH(bool, cancelled);
    // Rewording keeps the kind: the words of the new description decide nothing.
    const OstrelError thrown(cancelled ? OstrelError::Kind::Cancelled : OstrelError::Kind::Transport,
                             QStringLiteral("HTTP"), QStringLiteral("what the client said"), HttpClient::CancelledNumber);
    QCOMPARE(HttpClient::isCancellation(thrown.reworded(QStringLiteral("X"), description, number)), cancelled);
    QVERIFY(!HttpClient::isCancellation(OstrelError(QStringLiteral("X"), HttpClient::CancelledText)));
}

QTEST_GUILESS_MAIN(TestHttpWait)
#include "tst_httpwait.moc"
