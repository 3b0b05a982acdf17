// Documents at the size and depth bounds, through the document window: fetched into the text
// page, then parsed again for the tree page.
#include "support/NamedChildren.h"
#include "WorkbenchFixture.h"

#include "common/LocalHttpServer.h"
#include "common/XmlLimits.h"
#include "workbench/DocumentTabs.h"
#include "workbench/frmOstrelClient.h"

#include <QAbstractItemView>
#include <QAction>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

#include <Qsci/qsciscintilla.h>

#include <map>

using owb::frmOstrelClient;
using namespace wbtest;

namespace {

QByteArray nested(int levels)
{
    QByteArray open = "<Order>", close;
    for (int i = 1; i < levels; ++i) {
        open += "<n>";
        close += "</n>";
    }
    return open + "deepest" + close + "</Order>";
}

QByteArray textHeavy()
{
    QByteArray text;
    const QByteArray line = QByteArray(89, 'w') + " words\n";
    text.reserve(11'000'000);
    while (text.size() < 10'500'000)
        text += line;
    return "<Order><p>" + text + "</p><p>" + text + "</p><p>" + text + "</p></Order>";
}

QByteArray oneLine()
{
    return "<Order><p>" + QByteArray(12'000'000, 'y') + "</p></Order>";
}

const QByteArray kBomb =
    "<!DOCTYPE Order [<!ENTITY a \"lollollollollollollollollollol\">"
    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
    "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
    "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
    "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">"
    "<!ENTITY j \"&i;&i;&i;&i;&i;&i;&i;&i;&i;&i;\">]>\n<Order note=\"&j;\">&j;</Order>";

const std::string kOpen = "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
                          "xmlns:xql=\"http://namespaces.ostrel.org/xql\"><xql:result>";
const std::string kClose = "</xql:result><osl:message osl:returnvalue=\"0\"><osl:messageline>ok</osl:messageline>"
                           "</osl:message></osl:response>";

} // namespace

class TestBigDocuments : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedHome> m_home;
    owbtest::LocalHttpServer m_http;
    std::map<int, std::string> m_docs;   // id -> document as stored; read-only once started

    struct Opened {
        std::unique_ptr<Context> ctx;
        std::unique_ptr<frmOstrelClient> w;
        QListWidget *list() const { return owbtest::child<QListWidget>(w.get(), "lstDocuments"); }
        QsciScintilla *text() const { return owbtest::child<QsciScintilla>(w.get(), "cmxXMLDoc"); }
        QTabWidget *tabs() const { return owbtest::child<QTabWidget>(w.get(), "SSTab1"); }
        QAbstractItemView *tree() const { return owbtest::child<QAbstractItemView>(w.get(), "tvDocument"); }
    };
    Opened open()
    {
        Opened o;
        const QString db = m_http.url(QStringLiteral("/ostrel/db"));
        o.ctx = std::make_unique<Context>(db);
        o.w = std::make_unique<frmOstrelClient>(o.ctx->app());
        o.w->setDoctype(QStringLiteral("Shop/Order"));
        o.w->Init(db + QStringLiteral("/Shop?_xql=Order"));
        owbtest::child<QAction>(o.w.get(), "Query")->trigger();
        o.ctx->ui.shown.clear();   // no schema here: its message is not what is tested
        return o;
    }
    // The row of the entry with id.
    static int rowOf(QListWidget *list, int id)
    {
        for (int r = 0; r < list->count(); ++r)
            if (list->item(r)->data(Qt::UserRole).toInt() == id)
                return r;
        return -1;
    }

private slots:
    void initTestCase();
    void opensInBothPages_data();
    void opensInBothPages();
    void deeperIsRefused();
    void entityBombIsRefused();
};

void TestBigDocuments::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
    // The query shows the first entry: a plain one, so every case starts from the same page.
    m_docs = {{1, "<Order>plain</Order>"},
              {2, nested(owb::xmllimits::MaxDepth).toStdString()},
              {3, textHeavy().toStdString()},
              {4, oneLine().toStdString()},
              {5, nested(owb::xmllimits::MaxDepth + 1).toStdString()}};
    m_http.server.Get("/ostrel/db/Shop", [this](const httplib::Request &req, httplib::Response &res) {
        const std::string q = req.get_param_value("_xql");
        std::string body = kOpen;
        for (const auto &[id, doc] : m_docs) {
            const std::string tag = "=" + std::to_string(id) + "]";
            const bool all = q.find("@osl:id") == std::string::npos;
            if (all)
                body += "<Order osl:id=\"" + std::to_string(id) + "\"/>";
            else if (q.find(tag) != std::string::npos)
                body += std::string(doc).insert(6, " osl:id=\"" + std::to_string(id) + "\"");
        }
        res.set_content(body + kClose, "text/xml");
    });
    QVERIFY(m_http.start());
}

void TestBigDocuments::opensInBothPages_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("inside");   // text the page must show
    QTest::newRow("as deep as the server stores") << 2 << "deepest";
    QTest::newRow("text-heavy, 31 MB") << 3 << "www words";
    QTest::newRow("one line of 12 MB") << 4 << "yyyy";
}

void TestBigDocuments::opensInBothPages()
{
    QFETCH(int, id);
    QFETCH(QString, inside);
    Opened o = open();
    const int row = rowOf(o.list(), id);
    QVERIFY(row >= 0);
    o.list()->setCurrentRow(row);
    QVERIFY2(o.ctx->ui.shown.isEmpty(), qPrintable(o.ctx->ui.messages().join('|')));
    QVERIFY(o.w->hasCurrentElement());
    QVERIFY(o.text()->text().contains(inside));
    QVERIFY(o.text()->length() >= qsizetype(m_docs[id].size()));

    o.tabs()->setCurrentIndex(owb::TabTree);
    QCOMPARE(o.tabs()->currentIndex(), int(owb::TabTree));
    QVERIFY2(o.ctx->ui.shown.isEmpty(), qPrintable(o.ctx->ui.messages().join('|')));
    QVERIFY(o.tree()->model()->rowCount() > 0);
    // The tree page shows the text parsed afresh, not a leftover of the fetch.
    QVERIFY(o.w->currentElementXml().contains(inside));
}

void TestBigDocuments::deeperIsRefused()
{
    const QString limit = QStringLiteral("deeper than %1 levels").arg(owb::xmllimits::MaxDepth);
    Opened o = open();
    // Fetched: the answer is refused and the entry stays.
    o.list()->setCurrentRow(rowOf(o.list(), 5));
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QVERIFY2(o.ctx->ui.shown[0].text.contains(limit), qPrintable(o.ctx->ui.shown[0].text));
    QCOMPARE(o.list()->count(), int(m_docs.size()));

    // Typed: leaving the text page says why, and the text page stays.
    o.text()->setText(QString::fromStdString(m_docs[5]));
    o.tabs()->setCurrentIndex(owb::TabTree);
    QCOMPARE(o.ctx->ui.shown.size(), 2);
    QVERIFY2(o.ctx->ui.shown[1].text.contains(limit), qPrintable(o.ctx->ui.shown[1].text));
    QCOMPARE(o.tabs()->currentIndex(), int(owb::TabText));
}

void TestBigDocuments::entityBombIsRefused()
{
    Opened o = open();
    o.text()->setText(QString::fromUtf8(kBomb));
    o.tabs()->setCurrentIndex(owb::TabTree);
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QVERIFY2(o.ctx->ui.shown[0].text.contains(QStringLiteral("Entity references expand to more than")),
             qPrintable(o.ctx->ui.shown[0].text));
    QCOMPARE(o.tabs()->currentIndex(), int(owb::TabText));
    QVERIFY(!o.w->currentElementXml().contains(QStringLiteral("lol")));
}

QTEST_MAIN(TestBigDocuments)
#include "tst_bigdocuments.moc"
