#include <QtTest>

#include "common/HttpClient.h"
#include "common/LocalHttpServer.h"
#include "common/OstrelError.h"
#include "xml/MemoryDocumentList.h"
#include "server/LookUp.h"

#include "common/UrlEncoding.h"
#include "xml/DomDocument.h"
#include "support/OstreldProcess.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <atomic>
#include <memory>

using namespace owb;

namespace {

// Counts the entries as they arrive, for a server thread to watch.
class MemoryList : public MemoryDocumentList {
public:
    std::atomic<int> added{0};
    void addEntry(const QString &text, qint32 id) override
    {
        MemoryDocumentList::addEntry(text, id);
        ++added;
    }
};

const QByteArray kOpen =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
    "xmlns:xql=\"http://namespaces.ostrel.org/xql\">\n  <xql:query>Order</xql:query>\n";
const QByteArray kClose =
    "  <osl:message osl:returnvalue=\"0\"><osl:messageline>done</osl:messageline></osl:message>\n"
    "</osl:response>\n";

QByteArray envelope(const QByteArray &inside)
{
    return kOpen + inside + kClose;
}

QByteArray result(const QByteArray &documents)
{
    return "<xql:result>" + documents + "</xql:result>";
}

QByteArray failure(const QByteArray &code)
{
    return kOpen + "<osl:message osl:returnvalue=\"8301\"><osl:messagetext osl:code=\"" + code
        + "\">the reason</osl:messagetext></osl:message></osl:response>";
}

// n orders, each with some nesting and text, ids 1..n.
QByteArray hits(int n)
{
    QByteArray docs;
    for (int i = 1; i <= n; ++i)
        docs += "<Order osl:id=\"" + QByteArray::number(i) + "\"><item no=\"1\">widget &amp; co</item>"
                "<total>" + QByteArray::number(i * 3) + "</total></Order>\n";
    return envelope(result(docs));
}

// Lists the hits of the query at url; the failure's description, empty when there was none.
QString failureOf(const HttpClient &client, IDocumentList &list, const QString &url)
{
    LookUp reader(&client);
    reader.setDocumentList(&list);
    try {
        reader.ParseQuery(url);
    } catch (const OstrelError &e) {
        return e.description();
    }
    return {};
}

} // namespace

class TestLookUp : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void reuseClearsTheList();
    void externalEntitiesAreNotLoaded();
    void overHttp_data();
    void overHttp();
    void listsWhileTheAnswerArrives();
    void againstTheServer_data();
    void againstTheServer();
    void cleanupTestCase();

private:
    static void addColumns();
    QString serverDatabase();

    std::unique_ptr<owbtest::OstreldProcess> m_server;
    QString m_db;
};

void TestLookUp::addColumns()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<qint32>>("ids");
    QTest::addColumn<QString>("error");   // a fragment of the description; empty: no error
}

void TestLookUp::answers_data()
{
    addColumns();
    QTest::newRow("two hits, nested elements")
        << envelope(result("<Order osl:id=\"1\"><a><Order osl:id=\"77\"/></a></Order>"
                           "<Order osl:id=\"4\"><b x=\"1\"/></Order>"))
        << QStringList{"osl:id=1", "osl:id=4"} << QList<qint32>{1, 4} << QString();
    QTest::newRow("empty result") << envelope("<xql:result/>") << QStringList{} << QList<qint32>{}
                                  << QString();
    QTest::newRow("id text kept as sent")
        << envelope(result("<Order osl:id=\"007\"/><Order osl:id=\"-3\"/>"))
        << QStringList{"osl:id=007", "osl:id=-3"} << QList<qint32>{7, -3} << QString();
    QTest::newRow("envelope ids outside the result do not count")
        << envelope("<osl:object osl:id=\"9\"/>" + result("<Order osl:id=\"2\"/>")
                    + "<Order osl:id=\"5\"/>")
        << QStringList{"osl:id=2"} << QList<qint32>{2} << QString();
    QTest::newRow("several results")
        << envelope(result("<A osl:id=\"1\"/>") + "<x/>" + result("<B osl:id=\"2\"><c/></B>"))
        << QStringList{"osl:id=1", "osl:id=2"} << QList<qint32>{1, 2} << QString();
    QTest::newRow("a stored document holding envelope names")
        << envelope(result("<Log osl:id=\"3\"><xql:result><Order osl:id=\"99\"/></xql:result>"
                           "<osl:messagetext osl:code=\"OSL1\"/></Log><Order osl:id=\"8\"/>"))
        << QStringList{"osl:id=3", "osl:id=8"} << QList<qint32>{3, 8} << QString();
    QTest::newRow("messagetext without code is ignored")
        << envelope("<osl:messagetext>note</osl:messagetext>" + result("<A osl:id=\"1\"/>"))
        << QStringList{"osl:id=1"} << QList<qint32>{1} << QString();
    QTest::newRow("failure envelope") << failure("OSL8301") << QStringList{} << QList<qint32>{}
                                      << QString("Query failed, reason OSL8301: the reason");
    QTest::newRow("failure after hits")
        << QByteArray(kOpen + result("<A osl:id=\"1\"/>")
                      + "<osl:message><osl:messagetext osl:code=\"X1\">r</osl:messagetext>"
                        "</osl:message></osl:response>")
        << QStringList{"osl:id=1"} << QList<qint32>{1} << QString("Query failed, reason X1: r");
    QTest::newRow("id missing")
        << envelope(result("<A osl:id=\"1\"/><B no=\"2\"/><A osl:id=\"3\"/>"))
        << QStringList{"osl:id=1"} << QList<qint32>{1}
        << QString("Result document 2 (B) has no osl:id attribute");
    QTest::newRow("id not a number")
        << envelope(result("<A osl:id=\"1\"/><A osl:id=\"abc\"/>")) << QStringList{"osl:id=1"}
        << QList<qint32>{1} << QString("osl:id that is not a whole number: \"abc\"");
    QTest::newRow("id with a fraction")
        << envelope(result("<A osl:id=\"12.5\"/>")) << QStringList{} << QList<qint32>{}
        << QString("not a whole number");
    QTest::newRow("id beyond 32 bits")
        << envelope(result("<A osl:id=\"4294967297\"/>")) << QStringList{} << QList<qint32>{}
        << QString("not a whole number");
    QTest::newRow("id empty") << envelope(result("<A osl:id=\"\"/>")) << QStringList{}
                              << QList<qint32>{} << QString("not a whole number");
    QTest::newRow("id in another namespace is no osl:id")
        << envelope(result("<A xmlns:o=\"urn:o\" o:id=\"1\"/>")) << QStringList{}
        << QList<qint32>{} << QString("has no osl:id");
    QTest::newRow("truncated answer")
        << hits(3).left(hits(3).indexOf("<Order osl:id=\"3\"") + 10)
        << QStringList{"osl:id=1", "osl:id=2"} << QList<qint32>{1, 2}
        << QString("not well-formed");
    QTest::newRow("not XML") << QByteArray("<html><body>Bad gateway</body>") << QStringList{}
                             << QList<qint32>{} << QString("not well-formed");
    QTest::newRow("well-formed but no result")
        << QByteArray("<osl:response xmlns:osl=\"urn:x\"/>") << QStringList{} << QList<qint32>{}
        << QString("holds no xql:result");
}

void TestLookUp::answers()
{
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, texts);
    QFETCH(QList<qint32>, ids);
    QFETCH(QString, error);

    // The outcome must not depend on where the answer is split.
    for (const int piece : {1, 3, 17, 4096}) {
        MemoryList list;
        LookUp reader;
        reader.setDocumentList(&list);
        QString caught;
        QString source;
        quint32 number = 0;
        try {
            reader.begin();
            for (qsizetype at = 0; at < answer.size(); at += piece)
                reader.feed(answer.constData() + at, size_t(qMin<qsizetype>(piece, answer.size() - at)));
            reader.finish();
        } catch (const OstrelError &e) {
            caught = e.description();
            source = e.source();
            number = e.number();
        }
        const QByteArray where = "piece size " + QByteArray::number(piece);
        QVERIFY2(list.texts() == texts, where + ": " + list.texts().join(',').toUtf8());
        QVERIFY2(list.ids() == ids, where.constData());
        QCOMPARE(reader.hits(), int(texts.size()));
        if (error.isEmpty()) {
            QVERIFY2(caught.isEmpty(), qPrintable(caught));
        } else {
            QVERIFY2(caught.contains(error), qPrintable(where + ": " + caught.toUtf8()));
            QCOMPARE(source, QString("Lookup"));
            QCOMPARE(number, 0x80040000u);
        }
    }
}

void TestLookUp::reuseClearsTheList()
{
    MemoryList list;
    list.addEntry("stale", 42);
    LookUp reader;
    reader.setDocumentList(&list);
    reader.parseAnswer(hits(2));
    QCOMPARE(list.texts(), (QStringList{"osl:id=1", "osl:id=2"}));
    // A failed parse leaves the parser ready for a new one.
    QVERIFY_THROWS_EXCEPTION(OstrelError, reader.parseAnswer(failure("F")));
    reader.parseAnswer(hits(1));
    QCOMPARE(list.texts(), QStringList{"osl:id=1"});

    LookUp noList;
    QVERIFY_THROWS_EXCEPTION(OstrelError, noList.parseAnswer(hits(1)));
}

void TestLookUp::externalEntitiesAreNotLoaded()
{
    QTemporaryDir dir;
    QFile outside(dir.filePath("outside.xml"));
    QVERIFY(outside.open(QIODevice::WriteOnly));
    outside.write("<Order osl:id=\"66\"/>");
    outside.close();
    const QByteArray url = QUrl::fromLocalFile(outside.fileName()).toEncoded();

    const QByteArray answer =
        "<!DOCTYPE osl:response [<!ENTITY ext SYSTEM \"" + url + "\">]>\n"
        + envelope(result("<Order osl:id=\"1\"/>&ext;")).mid(kOpen.indexOf("<osl:response"));
    MemoryList list;
    LookUp reader;
    reader.setDocumentList(&list);
    try {
        reader.parseAnswer(answer);
    } catch (const OstrelError &) {
        // Refusing the reference outright is as good as skipping it.
    }
    QVERIFY(!list.ids().contains(66));
}

void TestLookUp::overHttp_data()
{
    addColumns();
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");

    QStringList thousand;
    QList<qint32> thousandIds;
    for (int i = 1; i <= 1000; ++i) {
        thousand << QStringLiteral("osl:id=%1").arg(i);
        thousandIds << i;
    }
    QTest::newRow("1000 hits in small chunks") << hits(1000) << thousand << thousandIds
                                               << QString() << "/chunked" << 200;
    QTest::newRow("no hits") << envelope("<xql:result></xql:result>") << QStringList{}
                             << QList<qint32>{} << QString() << "/chunked" << 200;
    QTest::newRow("failure envelope") << failure("OSL7") << QStringList{} << QList<qint32>{}
                                      << QString("Query failed, reason OSL7: the reason") << "/chunked" << 200;
    QTest::newRow("id missing") << envelope(result("<A osl:id=\"5\"/><A/>"))
                                << QStringList{"osl:id=5"} << QList<qint32>{5}
                                << QString("has no osl:id") << "/chunked" << 200;
    QTest::newRow("id not numeric") << envelope(result("<A osl:id=\"x1\"/>")) << QStringList{}
                                    << QList<qint32>{} << QString("not a whole number")
                                    << "/chunked" << 200;
    // The connection closes after half of the announced length.
    QTest::newRow("truncated") << hits(4) << QStringList{"osl:id=1", "osl:id=2"}
                               << QList<qint32>{1, 2} << QString("127.0.0.1") << "/truncated"
                               << 200;
    QTest::newRow("refused with an envelope")
        << failure("OSL404") << QStringList{} << QList<qint32>{}
        << QString("Query failed, reason OSL404: the reason") << "/chunked" << 404;
    QTest::newRow("refused with a page")
        << QByteArray("<html><p>oops") << QStringList{} << QList<qint32>{}
        << QString("Query failed, HTTP status 500") << "/chunked" << 500;
    QTest::newRow("refused hits are not listed")
        << hits(2) << QStringList{} << QList<qint32>{} << QString("HTTP status 403") << "/chunked"
        << 403;
}

void TestLookUp::overHttp()
{
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, texts);
    QFETCH(QList<qint32>, ids);
    QFETCH(QString, error);
    QFETCH(QString, path);
    QFETCH(int, status);

    owbtest::LocalHttpServer http;
    std::string seenQuery;
    const std::string body = answer.toStdString();
    http.server.Get("/chunked", [&](const httplib::Request &req, httplib::Response &res) {
        seenQuery = req.get_param_value("_xql");
        res.status = status;
        res.set_chunked_content_provider("text/xml", [&body](size_t offset, httplib::DataSink &sink) {
            if (offset >= body.size()) {
                sink.done();
                return true;
            }
            const size_t n = std::min<size_t>(7, body.size() - offset);
            return sink.write(body.data() + offset, n);
        });
    });
    // Stops right after the second hit's end tag: the body breaks off inside the result.
    const size_t cut = body.find("<Order osl:id=\"3\"");
    http.server.Get("/truncated", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content_provider(body.size(), "text/xml",
                                 [&body, cut](size_t offset, size_t, httplib::DataSink &sink) {
                                     if (offset >= cut)
                                         return false;
                                     return sink.write(body.data() + offset, cut - offset);
                                 });
    });
    QVERIFY(http.start());

    HttpClient client;
    MemoryList list;
    const QString caught = failureOf(client, list, http.url(path + "?_xql=Order%5Btotal%3E10%5D"));
    QCOMPARE(list.texts(), texts);
    QCOMPARE(list.ids(), ids);
    if (error.isEmpty())
        QVERIFY2(caught.isEmpty(), qPrintable(caught));
    else
        QVERIFY2(caught.contains(error), qPrintable(caught));
    if (path == "/chunked")
        QCOMPARE(QString::fromStdString(seenQuery), QString("Order[total>10]"));
}

void TestLookUp::listsWhileTheAnswerArrives()
{
    // The server holds back the rest of the answer until the client has listed the first
    // hit; a reader that waited for the whole answer would list nothing in time.
    owbtest::LocalHttpServer http;
    MemoryList list;
    std::atomic<bool> sawEarlyEntry{false};
    const std::string body = hits(50).toStdString();
    const size_t firstEnd = body.find("</Order>") + 8;
    http.server.Get("/slow", [&](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider("text/xml", [&](size_t offset, httplib::DataSink &sink) {
            if (offset == 0)
                return sink.write(body.data(), firstEnd);
            if (offset == firstEnd) {
                for (int i = 0; i < 500 && list.added.load() == 0; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                sawEarlyEntry = list.added.load() > 0;
                return sink.write(body.data() + offset, body.size() - offset);
            }
            sink.done();
            return true;
        });
    });
    QVERIFY(http.start());

    HttpClient client;
    LookUp reader(&client);
    reader.setDocumentList(&list);
    reader.ParseQuery(http.url("/slow"));
    QCOMPARE(list.count(), 50);
    QVERIFY(sawEarlyEntry.load());
}

// Started on first use; empty when this build has no server.
QString TestLookUp::serverDatabase()
{
    if (!m_db.isEmpty() || m_server)
        return m_db;
    if (qEnvironmentVariableIsEmpty("OSTRELD_EXE") || qEnvironmentVariableIsEmpty("OSTRELD_DEMO"))
        return QString();
    m_server = std::make_unique<owbtest::OstreldProcess>();
    if (m_server->ok())
        m_db = m_server->databaseURI();
    return m_db;
}

void TestLookUp::cleanupTestCase()
{
    m_server.reset();
}

void TestLookUp::againstTheServer_data()
{
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("xql");
    QTest::addColumn<int>("count");       // -1: any number, checked against the DOM
    QTest::addColumn<QString>("error");
    QTest::newRow("all orders") << "Sales" << "Order" << 150 << QString();
    QTest::newRow("one by id") << "Sales" << "Order[@osl:id=3]" << 1 << QString();
    QTest::newRow("filter below the root") << "Library" << "Book[.//*[@xml:lang]]" << -1 << QString();
    QTest::newRow("nothing") << "Sales" << "Order[@osl:id=0]" << 0 << QString();
    QTest::newRow("files") << "Library" << "images" << 6 << QString();
    QTest::newRow("syntax error") << "Sales" << "Order[" << 0 << "Query failed, reason ";
    // A refusal that carries a failure envelope reports its code.
    QTest::newRow("unknown collection") << "Nowhere" << "Order" << 0 << "Query failed, reason ";
}

void TestLookUp::againstTheServer()
{
    QFETCH(QString, collection);
    QFETCH(QString, xql);
    QFETCH(int, count);
    QFETCH(QString, error);
    const QString db = serverDatabase();
    if (db.isEmpty())
        QSKIP("the server is not part of this build (OSTRELD_EXE unset)");
    const QString url = db + '/' + collection + "?_xql="
                        + QString::fromLatin1(UrlEncoding::encodeQueryValue(xql));

    HttpClient client;
    MemoryList list;
    const QString caught = failureOf(client, list, url);
    if (!error.isEmpty()) {
        QVERIFY2(caught.contains(error), qPrintable(caught));
        QCOMPARE(list.count(), 0);
        return;
    }
    QVERIFY2(caught.isEmpty(), qPrintable(caught));

    // The same answer read as a whole, for comparison.
    DomDocument answer = NewDOMDocument(false, true);
    QVERIFY(answer.loadBytes(client.get(url).body));
    QStringList texts;
    QList<qint32> ids;
    for (const DomNode &hit : answer.selectNodes("/osl:response/xql:result/*")) {
        texts << "osl:id=" + hit.getAttribute("osl:id");
        ids << hit.getAttribute("osl:id").toInt();
    }
    QCOMPARE(list.texts(), texts);
    QCOMPARE(list.ids(), ids);
    if (count >= 0)
        QCOMPARE(list.count(), count);
    else
        QVERIFY(list.count() > 0);
}

QTEST_GUILESS_MAIN(TestLookUp)
#include "tst_lookup.moc"
