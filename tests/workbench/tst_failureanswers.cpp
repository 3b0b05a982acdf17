// The document window against a server that refuses one operation with a failure envelope:
// the server's code and text reach the operation's usual channel, and nothing the user sees
// is dropped as if the answer had been empty.
#include "support/NamedChildren.h"
#include "WorkbenchFixture.h"

#include "common/LocalHttpServer.h"
#include "workbench/frmOstrelClient.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <Qsci/qsciscintilla.h>

#include <mutex>

using owb::frmOstrelClient;
using namespace wbtest;

namespace {

const std::string kOpen = "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
                          "xmlns:xql=\"http://namespaces.ostrel.org/xql\">";
const std::string kOk = "<osl:message osl:returnvalue=\"0\"><osl:messageline>ok</osl:messageline></osl:message>";

std::string refusal(const std::string &code, const std::string &text)
{
    return kOpen + "<osl:message osl:returnvalue=\"" + code.substr(3) + "\"><osl:messagetext osl:code=\"" + code
        + "\">" + text + "</osl:messagetext></osl:message></osl:response>";
}

std::string result(const std::string &docs)
{
    return kOpen + "<xql:result>" + docs + "</xql:result>" + kOk + "</osl:response>";
}

std::string order(int id)
{
    return "<Order osl:id=\"" + std::to_string(id) + "\"><customer>C" + std::to_string(id) + "</customer></Order>";
}

} // namespace

class TestFailureAnswers : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedHome> m_home;
    owbtest::LocalHttpServer m_http;
    std::mutex m_lock;
    QString m_refused;      // the operation the server refuses
    QStringList m_posts;    // bodies of the writes received

    void refuse(const QString &operation)
    {
        std::lock_guard g(m_lock);
        m_refused = operation;
        m_posts.clear();
    }
    QStringList posts()
    {
        std::lock_guard g(m_lock);
        return m_posts;
    }
    QString db() const { return m_http.url(QStringLiteral("/ostrel/db")); }

    struct Opened {
        std::unique_ptr<Context> ctx;
        std::unique_ptr<frmOstrelClient> w;
        QListWidget *list() const { return owbtest::child<QListWidget>(w.get(), "lstDocuments"); }
        QsciScintilla *text() const { return owbtest::child<QsciScintilla>(w.get(), "cmxXMLDoc"); }
        void run(const char *key) const { owbtest::child<QAction>(w.get(), key)->trigger(); }
    };
    Opened open()
    {
        Opened o;
        o.ctx = std::make_unique<Context>(db());
        o.w = std::make_unique<frmOstrelClient>(o.ctx->app());
        o.w->setDoctype(QStringLiteral("Shop/Order"));
        o.w->Init(db() + QStringLiteral("/Shop?_xql=Order"));
        return o;
    }
    // Opened, listed (entries 1 and 2) and showing document 1.
    Opened listed()
    {
        Opened o = open();
        o.run("Query");
        return o;
    }

private slots:
    void initTestCase();
    void eachOperation_data();
    void eachOperation();
    void failedFetchKeepsSelectionAndDocument();
};

void TestFailureAnswers::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
    const std::string schema = std::string(kShopSchema).insert(std::string(kShopSchema).find("<xs:schema") + 10,
                                                               " xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" osl:id=\"1\"");
    m_http.server.Get("/ostrel/db/osl:collection", [this, schema](const httplib::Request &, httplib::Response &res) {
        std::lock_guard g(m_lock);
        res.set_content(m_refused == "schema" ? refusal("OSL8303", "schema store offline") : result(schema), "text/xml");
    });
    m_http.server.Get("/ostrel/db/Shop", [this](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard g(m_lock);
        const std::string q = req.get_param_value("_xql");
        std::string body;
        if (q.find("@osl:id=") == std::string::npos)
            body = m_refused == "query" ? refusal("OSL8301", "unknown prefix") : result(order(1) + order(2));
        else if (m_refused == "fetch" && q.find("=2]") != std::string::npos)
            body = refusal("OSL8302", "document locked");
        else
            body = result(order(q.find("=2]") != std::string::npos ? 2 : 1));
        res.set_content(body, "text/xml");
    });
    m_http.server.Post("/ostrel/db/Shop", [this](const httplib::Request &req, httplib::Response &res) {
        std::lock_guard g(m_lock);
        m_posts << QString::fromStdString(req.body.substr(0, req.body.find('=')));
        if (m_refused == "store" || m_refused == "remove")
            res.set_content(refusal("OSL8304", "write refused"), "text/xml");
        else
            res.set_content(kOpen + "<osl:object osl:id=\"9\"/>" + kOk + "</osl:response>", "text/xml");
    });
    QVERIFY(m_http.start());
}

void TestFailureAnswers::eachOperation_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("channel");   // message, log (with status) or both
    QTest::addColumn<QString>("said");
    QTest::newRow("query") << "query" << "log" << "OSL8301: unknown prefix";
    QTest::newRow("fetch") << "fetch" << "message" << "OSL8302: document locked";
    QTest::newRow("schema") << "schema" << "log" << "OSL8303: schema store offline";
    QTest::newRow("store") << "store" << "message" << "OSL8304: write refused";
    QTest::newRow("remove") << "remove" << "message" << "OSL8304: write refused";
}

void TestFailureAnswers::eachOperation()
{
    QFETCH(QString, operation);
    QFETCH(QString, channel);
    QFETCH(QString, said);
    refuse(QString());
    Opened o = listed();
    QCOMPARE(o.list()->count(), 2);
    QCOMPARE(o.list()->currentRow(), 0);
    QVERIFY(o.text()->text().contains(QStringLiteral("C1")));
    o.ctx->ui.shown.clear();
    o.ctx->log.lines.clear();
    o.ctx->main.statuses.clear();

    refuse(operation);
    if (operation == "query") {
        o.run("Query");
    } else if (operation == "fetch") {
        o.list()->setCurrentRow(1);
    } else if (operation == "schema") {
        o = open();
    } else if (operation == "store") {
        o.text()->setText(QStringLiteral("<Order><customer>New</customer></Order>"));
        o.run("Store");
    } else {
        o.ctx->ui.questionAnswers = {true};
        o.run("Remove");
        o.ctx->ui.shown.removeFirst();   // the question
    }

    const QString messages = o.ctx->ui.messages().join('|');
    const QString log = o.ctx->log.lines.join('|');
    if (channel == "message") {
        QCOMPARE(o.ctx->ui.shown.size(), 1);
        QVERIFY2(o.ctx->ui.shown[0].text.contains(said), qPrintable(messages));
    } else {
        QVERIFY2(log.contains(said), qPrintable(log));
    }
    if (operation == "query") {
        QVERIFY2(o.ctx->main.lastStatus().contains(said), qPrintable(o.ctx->main.lastStatus()));
        QVERIFY2(!messages.contains(QStringLiteral("Nothing found")), qPrintable(messages));
    }
    if (operation == "schema") {
        // Said once where the window always says it, and the window still opens.
        QCOMPARE(o.ctx->ui.shown.size(), 1);
        QVERIFY(o.ctx->ui.shown[0].text.startsWith(QStringLiteral("Failed to load schema for document type")));
        return;
    }
    if (operation != "query")
        QCOMPARE(o.list()->count(), 2);
    if (operation == "remove") {
        QCOMPARE(posts(), QStringList{QStringLiteral("_delete")});
        QVERIFY2(o.text()->text().contains(QStringLiteral("osl:id=\"1\"")), qPrintable(o.text()->text()));
    }
}

void TestFailureAnswers::failedFetchKeepsSelectionAndDocument()
{
    refuse(QString());
    Opened o = listed();
    QVERIFY(o.text()->text().contains(QStringLiteral("C1")));
    refuse(QStringLiteral("fetch"));

    o.list()->setCurrentRow(1);
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QCOMPARE(o.ctx->ui.shown[0].title, QStringLiteral("An error has been raised"));
    // What is selected is what is shown, and the entry refused is still there to try again.
    QCOMPARE(o.list()->count(), 2);
    QCOMPARE(o.list()->currentRow(), 0);
    QVERIFY(o.text()->text().contains(QStringLiteral("C1")));
    QVERIFY(o.w->hasCurrentElement());
    QVERIFY(o.w->currentElementXml().contains(QStringLiteral("C1")));

    // Delete on the refused entry: nothing is removed, least of all the document still shown.
    {
        const QSignalBlocker quiet(o.list());
        o.list()->setCurrentRow(1);
    }
    QTest::keyClick(o.list(), Qt::Key_Delete);
    QCOMPARE(o.ctx->ui.shown.size(), 2);
    QCOMPARE(o.list()->currentRow(), 0);
    QCOMPARE(posts(), QStringList());
    QVERIFY(o.w->currentElementXml().contains(QStringLiteral("osl:id=\"1\"")));

    // Once the server gives it, the entry shows as usual.
    refuse(QString());
    o.list()->setCurrentRow(1);
    QCOMPARE(o.list()->currentRow(), 1);
    QVERIFY(o.text()->text().contains(QStringLiteral("C2")));
}

QTEST_MAIN(TestFailureAnswers)
#include "tst_failureanswers.moc"
