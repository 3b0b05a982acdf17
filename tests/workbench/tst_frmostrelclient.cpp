#include "WorkbenchFixture.h"
#include "support/NamedChildren.h"

#include "common/OstrelError.h"
#include "realworld/RealWorld.h"
#include "server/clsOstrelAccess.h"
#include "workbench/frmOstrelClient.h"
#include "workbench/DocumentListAdapter.h"
#include "support/DocTree.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QWebEngineView>

#include <Qsci/qsciscintilla.h>

using owb::frmOstrelClient;
using namespace wbtest;

namespace {

template <typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qWarning("no child %s", name);
    return c;
}

QModelIndex treeItem(QTreeView *tree, const QString &key)
{
    return owbtest::docTreeIndex(tree, key);
}

QStringList treeKeys(QTreeView *tree)
{
    return owbtest::docTreeKeys(tree);
}

QStringList listTexts(QListWidget *list)
{
    QStringList t;
    for (int i = 0; i < list->count(); ++i)
        t << list->item(i)->text();
    return t;
}

} // namespace

class tst_frmOstrelClient : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<Server> m_server;

    // A window opened on doctype Order of the shop, queried with filter.
    struct Opened {
        std::unique_ptr<Context> ctx;
        std::unique_ptr<frmOstrelClient> w;
    };
    Opened open(const QString &doctype = QStringLiteral("Order"))
    {
        Opened o;
        o.ctx = std::make_unique<Context>(m_server->databaseURI());
        o.w = std::make_unique<frmOstrelClient>(o.ctx->app());
        o.w->setDoctype(QStringLiteral("Shop/") + doctype);
        o.w->Init(m_server->openingURI(doctype));
        return o;
    }
    void query(frmOstrelClient *w, const QString &filter)
    {
        child<QLineEdit>(w, "txtQry")->setText(filter);
        child<QAction>(w, "Query")->trigger();
    }
    // Stores a new document through the request layer; its id.
    qint32 insert(Context &ctx, const QString &xml)
    {
        QListWidget list;
        owb::DocumentListAdapter adapter(&list);
        owb::clsOstrelAccess access(ctx.connection, ctx.encoder, ctx.http);
        return access.ProcessRequest(m_server->databaseURI() + QStringLiteral("/Shop"), xml, adapter).toInt();
    }
    bool stored(const QString &filter)
    {
        owb::HttpClient http;
        const auto r = http.get(m_server->databaseURI() + QStringLiteral("/Shop?_xql=Order[")
                                + QUrl::toPercentEncoding(filter) + QStringLiteral("]"));
        return r.body.contains("<Order");
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void opening();
    void openingWithoutSchema();
    void openingNonXml();
    void openingWithServerDown();
    void openingWithoutWordList();
    void closingTellsTheOpener();
    void buildQueryURI();
    void filterReachesServerUnchanged_data();
    void filterReachesServerUnchanged();
    void plusKeyRunsQuery();
    void queryWithoutHits();
    void failedQueryShowsNoMessage();
    void goneDocumentLeavesList();
    void listMouseAndArrowKeys();
    void refreshFromImport();
    void deleteKeyRemovesDocument();
    void deleteOnTabStripDoesNotArm();
    void leavingTextPage();
    void pagesWithoutTextPageDoNotParse();
    void nodeClick_data();
    void nodeClick();
    void accept_data();
    void accept();
    void acceptAndClickWithoutDocument();
    void entitiesOnTheTreePage();
    void storeUneditedKeepsTheDocument();
    void stylesheets();
};

void tst_frmOstrelClient::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
    Context ctx;
    frmOstrelClient w(ctx.app());
    const QString missing = owbtest::missingChildren(
        &w, {owbtest::named<QAction>("Query"), owbtest::named<QLabel>("lblDocument"), owbtest::named<QLabel>("lblPath"),
             owbtest::named<QLineEdit>("txtQry"), owbtest::named<QLineEdit>("txtValue"),
             owbtest::named<QListWidget>("lstDocuments"), owbtest::named<QPushButton>("Command1"),
             owbtest::named<QTabWidget>("SSTab1"), owbtest::named<QTreeView>("tvDocument"),
             owbtest::named<QsciScintilla>("CodeMax1"), owbtest::named<QsciScintilla>("CodeMax2"),
             owbtest::named<QsciScintilla>("cmxXMLDoc")});
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("the window lacks ") + missing));
}

// A server of each test's own, seeded afresh: what one test stores or removes reaches no other.
void tst_frmOstrelClient::init()
{
    m_server = std::make_unique<Server>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
}

void tst_frmOstrelClient::cleanup()
{
    m_server.reset();
}

void tst_frmOstrelClient::opening()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    QCOMPARE(w->objectName(), QStringLiteral("frmOstrelClient"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Ostrel Document"));
    QVERIFY(!w->isWindowModified());
    QCOMPARE(child<QLabel>(w, "lblDocument")->text(), QStringLiteral("Order"));
    QCOMPARE(o.ctx->main.docMenuEnabled, 1);
    QVERIFY2(o.ctx->ui.shown.isEmpty(), qPrintable(o.ctx->ui.messages().join('|')));

    auto *tabs = child<QTabWidget>(w, "SSTab1");
    const QStringList captions{"Document (text)", "&Document (TreeView)", "Stylesheet", "Result", "Ostrel schema"};
    QCOMPARE(tabs->count(), captions.size());
    for (int i = 0; i < captions.size(); ++i)
        QCOMPARE(tabs->tabText(i), captions[i]);
    QCOMPARE(tabs->currentIndex(), 0);

    // The schema page holds the schema, formatted: one element per line.
    const QString schema = child<QsciScintilla>(w, "CodeMax2")->text();
    QVERIFY(schema.startsWith(QStringLiteral("<xs:schema")));
    QVERIFY(schema.contains(QStringLiteral("\n  <xs:annotation>")));
    QVERIFY(schema.contains(QStringLiteral("osd:doctype name=\"Order\"")));

    QVERIFY(child<QsciScintilla>(w, "CodeMax1")->text().contains(QStringLiteral("xsl:stylesheet")));
    for (const char *name : {"cmxXMLDoc", "CodeMax1"})
        QVERIFY(child<QsciScintilla>(w, name)->isEnabled());
    QVERIFY(child<QPushButton>(w, "Command1")->isEnabled());
    QVERIFY(!w->NonXML());
    QVERIFY(!w->hasCurrentElement());
    QCOMPARE(child<QListWidget>(w, "lstDocuments")->count(), 0);
    QVERIFY(!w->findChild<QWebEngineView *>()); // the browser costs too much to make up front
}

void tst_frmOstrelClient::openingWithoutSchema()
{
    auto o = open(QStringLiteral("Missing"));
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    const auto &m = o.ctx->ui.shown.first();
    QCOMPARE(m.title, QStringLiteral("Error occured"));
    QCOMPARE(m.icon, owb::UserInteraction::Icon::Information);
    QCOMPARE(m.text, QStringLiteral("Failed to load schema for document type Shop/Missing\r\n"
                                    "Just continue. You can not generate New documents. "
                                    "This will be dealt with at a later stage"));
    QVERIFY(child<QsciScintilla>(o.w.get(), "CodeMax2")->text().isEmpty());
    QCOMPARE(child<QLabel>(o.w.get(), "lblDocument")->text(), QStringLiteral("Missing"));
    QVERIFY(child<QsciScintilla>(o.w.get(), "cmxXMLDoc")->isEnabled());
}

void tst_frmOstrelClient::openingNonXml()
{
    auto o = open(QStringLiteral("Picture"));
    QVERIFY(o.ctx->ui.shown.isEmpty());
    QVERIFY(o.w->NonXML());
    QVERIFY(!child<QsciScintilla>(o.w.get(), "cmxXMLDoc")->isEnabled());
    QVERIFY(!child<QsciScintilla>(o.w.get(), "CodeMax1")->isEnabled());
    QVERIFY(!child<QPushButton>(o.w.get(), "Command1")->isEnabled());
    QVERIFY(child<QsciScintilla>(o.w.get(), "CodeMax2")->text().contains(QStringLiteral("osd:nonXML")));
}

void tst_frmOstrelClient::openingWithServerDown()
{
    // Port 1 refuses at once: the window still opens, says why, and stays usable.
    Context ctx;
    frmOstrelClient w(ctx.app());
    w.setDoctype(QStringLiteral("Shop/Order"));
    w.Init(QStringLiteral("http://127.0.0.1:1/ostrel/mydb/Shop?_xql=Order"));
    QCOMPARE(w.DoctypeName(), QStringLiteral("Order"));
    QCOMPARE(child<QLabel>(&w, "lblDocument")->text(), QStringLiteral("Order"));
    QCOMPARE(ctx.ui.shown.size(), 1);
    QVERIFY(ctx.ui.shown.first().text.startsWith(QStringLiteral("Failed to load schema for document type Shop/Order")));
    QCOMPARE(ctx.log.lines.size(), 1);
    QVERIFY(!ctx.log.lines.first().isEmpty());
}

void tst_frmOstrelClient::openingWithoutWordList()
{
    const QString words = m_home->path() + QStringLiteral("/FOLanguage/elements.dat");
    QVERIFY(QFile::rename(words, words + QStringLiteral(".away")));
    Context ctx;
    {
        frmOstrelClient w(ctx.app());
        QVERIFY(QFile::rename(words + QStringLiteral(".away"), words));
    }
    QCOMPARE(ctx.log.lines.size(), 1);
    QVERIFY2(ctx.log.lines[0].startsWith(QStringLiteral("XSL-FO colouring and completion are off: ")),
             qPrintable(ctx.log.lines[0]));
    QCOMPARE(ctx.main.statuses, QStringList{QStringLiteral("XSL-FO colouring and completion are off; the log says why")});
}

void tst_frmOstrelClient::closingTellsTheOpener()
{
    Context ctx;
    auto w = std::make_unique<frmOstrelClient>(ctx.app());
    w->setDoctype(QStringLiteral("Shop/Order"));
    QSignalSpy spy(w.get(), &frmOstrelClient::closed);
    w->show();
    w->close();
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.first().first().toString(), QStringLiteral("Shop/Order"));
    w->close();
    QCOMPARE(spy.size(), 1); // once only
}

// The query is built from the filter box; the rules are DocumentTarget's.
void tst_frmOstrelClient::buildQueryURI()
{
    Context ctx;
    frmOstrelClient w(ctx.app());
    w.ParseOstrelURI(QStringLiteral("http://h/ostrel/mydb/Sales?_xql=Order"));
    w.ParseOstrelURI(QStringLiteral("http://other/ostrel/x/Stock?_xql=Item"));
    QCOMPARE(w.CollectionURI(), QStringLiteral("http://h/ostrel/mydb/Sales"));
    child<QLineEdit>(&w, "txtQry")->setText(QStringLiteral("  price>10 "));
    QCOMPARE(w.BuildQueryURI(), QStringLiteral("http://h/ostrel/mydb/Sales?_xql=Order[price>10]"));
}

void tst_frmOstrelClient::filterReachesServerUnchanged_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("hits");
    QTest::newRow("all") << "" << QStringList{"osl:id=1", "osl:id=2", "osl:id=3", "osl:id=4"};
    QTest::newRow("comparison") << "total>10" << QStringList{"osl:id=1", "osl:id=3", "osl:id=4"};
    QTest::newRow("blank in literal") << "customer='Dee Lee'" << QStringList{"osl:id=4"};
    QTest::newRow("plus in literal") << "note='a+b'" << QStringList{"osl:id=3"};
    QTest::newRow("ampersand") << "item/name='Ink & <quill>'" << QStringList{"osl:id=1"};
}

void tst_frmOstrelClient::filterReachesServerUnchanged()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, hits);
    auto o = open();
    query(o.w.get(), filter);
    auto *list = child<QListWidget>(o.w.get(), "lstDocuments");
    QCOMPARE(listTexts(list), hits);
    for (int i = 0; i < list->count(); ++i)
        QCOMPARE(list->item(i)->data(Qt::UserRole).toInt(), hits[i].mid(7).toInt());
    // The first hit is selected and shown.
    QCOMPARE(list->currentRow(), 0);
    QVERIFY(o.w->hasCurrentElement());
    QVERIFY(o.ctx->ui.shown.isEmpty());
}

void tst_frmOstrelClient::plusKeyRunsQuery()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    auto *txt = child<QLineEdit>(w, "txtQry");
    QTest::keyClicks(txt, QStringLiteral("total<10"));
    QCOMPARE(child<QListWidget>(w, "lstDocuments")->count(), 0); // nothing ran yet
    QTest::keyClicks(txt, QStringLiteral("+"));
    QCOMPARE(txt->text(), QStringLiteral("total<10+"));
    QCOMPARE(listTexts(child<QListWidget>(w, "lstDocuments")), QStringList{"osl:id=2"});

    // Shown as indented text and as a tree.
    const QString text = child<QsciScintilla>(w, "cmxXMLDoc")->text();
    QVERIFY(text.startsWith(QStringLiteral("<Order")));
    QVERIFY(text.contains(QStringLiteral("osl:id=\"2\"")));
    QVERIFY(text.contains(QStringLiteral("\n  <customer>Bob</customer>")));
    const QStringList keys = treeKeys(child<QTreeView>(w, "tvDocument"));
    for (const QString &k : {"/", ".", "./@osl:id", "./customer", "./total", "./item", "./item/@no", "./item/name"})
        QVERIFY2(keys.contains(k), qPrintable(k + " not in " + keys.join(' ')));
}

void tst_frmOstrelClient::queryWithoutHits()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    query(w, QStringLiteral("customer='Bob'"));
    const QString shown = child<QsciScintilla>(w, "cmxXMLDoc")->text();
    QVERIFY(shown.contains(QStringLiteral("Bob")));
    query(w, QStringLiteral("customer='Nobody'"));
    QCOMPARE(child<QListWidget>(w, "lstDocuments")->count(), 0);
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QCOMPARE(o.ctx->ui.shown.first().text, QStringLiteral("Nothing found"));
    QCOMPARE(o.ctx->ui.shown.first().title, QStringLiteral("No result"));
    QCOMPARE(child<QsciScintilla>(w, "cmxXMLDoc")->text(), shown);
}

void tst_frmOstrelClient::failedQueryShowsNoMessage()
{
    auto o = open();
    query(o.w.get(), QStringLiteral("customer=="));
    QVERIFY(o.ctx->ui.shown.isEmpty());
    QVERIFY(o.ctx->log.lines.join('\n').contains(QStringLiteral("Query failed, reason")));
}

void tst_frmOstrelClient::goneDocumentLeavesList()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    const qint32 first = insert(*o.ctx, QStringLiteral("<Order><customer>Gone</customer></Order>"));
    const qint32 second = insert(*o.ctx, QStringLiteral("<Order><customer>Gone</customer></Order>"));
    QVERIFY(first > 0 && second > first);
    query(w, QStringLiteral("customer='Gone'"));
    auto *list = child<QListWidget>(w, "lstDocuments");
    QCOMPARE(list->count(), 2);
    const QString shown = child<QsciScintilla>(w, "cmxXMLDoc")->text();

    // Removed behind the window's back, then the entry is picked.
    owb::clsOstrelAccess other(o.ctx->connection, o.ctx->encoder, o.ctx->http);
    owb::DomNode doc = other.getDocument(w->CollectionURI(), QStringLiteral("Order"), second);
    QVERIFY(!doc.isNull());
    other.RemoveDocument(doc, w->CollectionURI());

    list->setCurrentRow(1);
    QCOMPARE(listTexts(list), QStringList{QStringLiteral("osl:id=%1").arg(first)});
    QCOMPARE(list->currentRow(), -1);
    QVERIFY(!w->hasCurrentElement());
    QCOMPARE(child<QsciScintilla>(w, "cmxXMLDoc")->text(), shown);
    QVERIFY(o.ctx->ui.shown.isEmpty());

    // An armed Delete on a gone entry must not carry over to the next document shown.
    other.RemoveDocument(doc = other.getDocument(w->CollectionURI(), QStringLiteral("Order"), first),
                         w->CollectionURI());
    const qint32 third = insert(*o.ctx, QStringLiteral("<Order><customer>Gone</customer></Order>"));
    list->addItem(QStringLiteral("osl:id=%1").arg(third));
    list->item(1)->setData(Qt::UserRole, third);
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Delete);
    QVERIFY(!w->DeleteArmed());
    QCOMPARE(list->count(), 1);
    list->setCurrentRow(0);
    QVERIFY(child<QsciScintilla>(w, "cmxXMLDoc")->text().contains(QStringLiteral("Gone")));
    QVERIFY(stored(QStringLiteral("customer='Gone'")));
}

void tst_frmOstrelClient::listMouseAndArrowKeys()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    const qint32 a = insert(*o.ctx, QStringLiteral("<Order><customer>Clicked A</customer></Order>"));
    insert(*o.ctx, QStringLiteral("<Order><customer>Clicked B</customer></Order>"));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    query(w, QStringLiteral("starts-with(customer,'Clicked')"));
    auto *list = child<QListWidget>(w, "lstDocuments");
    auto *editor = child<QsciScintilla>(w, "cmxXMLDoc");
    QCOMPARE(list->count(), 2);
    QVERIFY(editor->text().contains(QStringLiteral("Clicked A")));

    auto click = [list](int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    };
    click(1);
    QVERIFY(editor->text().contains(QStringLiteral("Clicked B")));
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(list->currentRow(), 0);
    QVERIFY(editor->text().contains(QStringLiteral("Clicked A")));

    // A click on the entry already selected fetches it again: gone by now, it leaves the list.
    owb::clsOstrelAccess other(o.ctx->connection, o.ctx->encoder, o.ctx->http);
    owb::DomNode doc = other.getDocument(w->CollectionURI(), QStringLiteral("Order"), a);
    other.RemoveDocument(doc, w->CollectionURI());
    click(0);
    QCOMPARE(list->count(), 1);
    QVERIFY(list->item(0)->text() != QStringLiteral("osl:id=%1").arg(a));
}

void tst_frmOstrelClient::refreshFromImport()
{
    auto o = open();
    child<QLineEdit>(o.w.get(), "txtQry")->setText(QStringLiteral("customer='Bob'"));
    o.w->impForm_RefreshList();
    QCOMPARE(listTexts(child<QListWidget>(o.w.get(), "lstDocuments")), QStringList{"osl:id=2"});
    QCOMPARE(o.ctx->main.lastStatus(), QStringLiteral("Documents have been loaded"));
}

void tst_frmOstrelClient::deleteKeyRemovesDocument()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    insert(*o.ctx, QStringLiteral("<Order><customer>Doomed</customer></Order>"));
    query(w, QStringLiteral("customer='Doomed'"));
    auto *list = child<QListWidget>(w, "lstDocuments");
    QCOMPARE(list->count(), 1);
    QVERIFY(stored(QStringLiteral("customer='Doomed'")));

    QTest::keyClick(list, Qt::Key_Delete);
    QVERIFY(!stored(QStringLiteral("customer='Doomed'")));
    QVERIFY(o.ctx->ui.shown.isEmpty()); // no question asked
    QCOMPARE(o.ctx->main.lastStatus(), QStringLiteral("Document has been deleted successfully"));
    QVERIFY(o.ctx->log.lines.contains(QStringLiteral("Document has been deleted successfully")));
    // The text stays, without its id, so that a Store makes a new document.
    const QString text = child<QsciScintilla>(w, "cmxXMLDoc")->text();
    QVERIFY(text.contains(QStringLiteral("Doomed")));
    QVERIFY(!text.contains(QStringLiteral("osl:id")));
    QCOMPARE(list->count(), 1);
    QVERIFY(!w->DeleteArmed());

    // Any other key shows without removing.
    query(w, QStringLiteral("customer='Ann'"));
    QTest::keyClick(list, Qt::Key_Down);
    QVERIFY(stored(QStringLiteral("customer='Ann'")));
}

void tst_frmOstrelClient::deleteOnTabStripDoesNotArm()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    query(w, QStringLiteral("customer='Ann' or customer='Bob'"));
    QTest::keyClick(child<QTabWidget>(w, "SSTab1")->tabBar(), Qt::Key_Delete);
    QVERIFY(!w->DeleteArmed());
    child<QListWidget>(w, "lstDocuments")->setCurrentRow(1);
    QVERIFY(child<QsciScintilla>(w, "cmxXMLDoc")->text().contains(QStringLiteral("Bob")));
    QVERIFY(stored(QStringLiteral("customer='Bob'")));
}

void tst_frmOstrelClient::leavingTextPage()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    query(w, QStringLiteral("customer='Bob'"));
    auto *tabs = child<QTabWidget>(w, "SSTab1");
    auto *editor = child<QsciScintilla>(w, "cmxXMLDoc");
    auto *tree = child<QTreeView>(w, "tvDocument");
    const QString before = w->currentElementXml();
    const QStringList keysBefore = treeKeys(tree);

    editor->setText(QStringLiteral("<Order><customer>Bob</customer><oops></Order>"));
    tabs->setCurrentIndex(1);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QCOMPARE(o.ctx->ui.shown.first().title, QStringLiteral("Ostrel Workbench"));
    const QString msg = o.ctx->ui.shown.first().text;
    QVERIFY2(msg.startsWith(QStringLiteral("Failed to load XML content\r\n")), qPrintable(msg));
    QVERIFY(msg.size() > QStringLiteral("Failed to load XML content\r\n").size());
    QCOMPARE(w->currentElementXml(), before);
    QCOMPARE(treeKeys(tree), keysBefore);

    // Edits not yet stored reach the tree.
    editor->setText(QStringLiteral("<Order><customer>Bob</customer><extra a=\"1\"/><extra/></Order>"));
    tabs->setCurrentIndex(4); // to the schema page: no parse
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QCOMPARE(treeKeys(tree), keysBefore);
    tabs->setCurrentIndex(1); // from the schema page: parse
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(treeKeys(tree), (QStringList{"/", ".", "./customer", "./extra", "./extra/@a", "./extra_1"}));
    QVERIFY(w->currentElementXml().contains(QStringLiteral("<extra a=\"1\"/>")));
}

void tst_frmOstrelClient::pagesWithoutTextPageDoNotParse()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    query(w, QStringLiteral("customer='Bob'"));
    auto *tabs = child<QTabWidget>(w, "SSTab1");
    tabs->setCurrentIndex(1);
    child<QsciScintilla>(w, "cmxXMLDoc")->setText(QStringLiteral("<broken"));
    tabs->setCurrentIndex(2);
    QCOMPARE(tabs->currentIndex(), 2);
    tabs->setCurrentIndex(1);
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(o.ctx->ui.shown.isEmpty());
    QVERIFY(w->currentElementXml().contains(QStringLiteral("Bob")));
}

void tst_frmOstrelClient::nodeClick_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("element") << "./customer" << "Ann";
    QTest::newRow("second sibling") << "./item_1/name" << "Ink & <quill>";
    QTest::newRow("attribute of second") << "./item_1/@no" << "2";
    QTest::newRow("element without text") << "./item" << "";
}

void tst_frmOstrelClient::nodeClick()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    auto o = open();
    frmOstrelClient *w = o.w.get();
    query(w, QStringLiteral("customer='Ann'"));
    auto *tree = child<QTreeView>(w, "tvDocument");
    auto *path = child<QLabel>(w, "lblPath");
    const QModelIndex item = treeItem(tree, key);
    QVERIFY2(item.isValid(), qPrintable(treeKeys(tree).join(' ')));
    emit tree->clicked(item);
    const QString expectedPath = owbtest::docTreeModel(tree)->NodeXPath(item);
    QVERIFY(expectedPath.startsWith(QStringLiteral("./")));
    QCOMPARE(path->text(), expectedPath);
    QCOMPARE(child<QLineEdit>(w, "txtValue")->text(), value);

    // The document node changes nothing.
    const QModelIndex document = treeItem(tree, QStringLiteral("/"));
    QVERIFY(document.isValid());
    emit tree->clicked(document);
    QCOMPARE(path->text(), expectedPath);
    QCOMPARE(child<QLineEdit>(w, "txtValue")->text(), value);
}

void tst_frmOstrelClient::accept_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text of element") << "./customer" << "Anna" << "<customer>Anna</customer>";
    QTest::newRow("attribute") << "./item_1/@no" << "9" << "<item no=\"9\">";
    QTest::newRow("first child element replaced") << "./item" << "X < Y" << "<item no=\"1\">X &lt; Y</item>";
    QTest::newRow("document element") << "." << "T" << "\">T<total>15</total>";
}

void tst_frmOstrelClient::accept()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    auto o = open();
    frmOstrelClient *w = o.w.get();
    query(w, QStringLiteral("customer='Ann'"));
    auto *tree = child<QTreeView>(w, "tvDocument");
    const QStringList keys = treeKeys(tree);
    const QModelIndex item = treeItem(tree, key);
    QVERIFY2(item.isValid(), qPrintable(keys.join(' ')));
    emit tree->clicked(item);
    child<QLineEdit>(w, "txtValue")->setText(value);
    QTest::mouseClick(child<QPushButton>(w, "Command1"), Qt::LeftButton);
    const QString text = child<QsciScintilla>(w, "cmxXMLDoc")->text();
    QVERIFY2(text.contains(expected), qPrintable(text));
    QVERIFY(w->currentElementXml().contains(expected));
    QCOMPARE(treeKeys(tree), keys); // the tree follows at the next parse only
}

void tst_frmOstrelClient::acceptAndClickWithoutDocument()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    auto *editor = child<QsciScintilla>(w, "cmxXMLDoc");
    editor->setText(QStringLiteral("<Order><customer>Z</customer></Order>"));
    child<QLineEdit>(w, "txtValue")->setText(QStringLiteral("v"));
    QTest::mouseClick(child<QPushButton>(w, "Command1"), Qt::LeftButton);
    QCOMPARE(editor->text(), QStringLiteral("<Order><customer>Z</customer></Order>"));
    QCOMPARE(child<QLabel>(w, "lblPath")->text(), QStringLiteral("Path: "));

    // A path that selects nothing changes nothing. (The typed text goes by the user's leave.)
    o.ctx->ui.questionAnswers = {true};
    query(w, QStringLiteral("customer='Bob'"));
    auto *tree = child<QTreeView>(w, "tvDocument");
    const QModelIndex customer = treeItem(tree, QStringLiteral("./customer"));
    QVERIFY(customer.isValid());
    emit tree->clicked(customer);
    editor->setText(QStringLiteral("<Order><other/></Order>"));
    child<QTabWidget>(w, "SSTab1")->setCurrentIndex(1);
    const QString before = editor->text();
    QTest::mouseClick(child<QPushButton>(w, "Command1"), Qt::LeftButton);
    QCOMPARE(editor->text(), before);
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QCOMPARE(o.ctx->ui.shown[0].title, QStringLiteral("Unsaved changes"));
}

void tst_frmOstrelClient::entitiesOnTheTreePage()
{
    // The tree shows an entity's text; the text page keeps the reference and its declaration.
    auto o = open();
    frmOstrelClient *w = o.w.get();
    auto *editor = child<QsciScintilla>(w, "cmxXMLDoc");
    auto *tree = child<QTreeView>(w, "tvDocument");
    editor->setText(QStringLiteral("<!DOCTYPE Order [<!ENTITY who \"Ann &amp; Bob\">]>\n"
                                   "<Order><customer>&who;</customer><note>n</note></Order>"));
    child<QTabWidget>(w, "SSTab1")->setCurrentIndex(1);
    emit tree->clicked(treeItem(tree, QStringLiteral("./customer")));
    QCOMPARE(child<QLineEdit>(w, "txtValue")->text(), QStringLiteral("Ann & Bob"));
    emit tree->clicked(treeItem(tree, QStringLiteral("./note")));
    child<QLineEdit>(w, "txtValue")->setText(QStringLiteral("m"));
    o.ctx->ui.questionAnswers = {true};   // the typed text was never stored
    QTest::mouseClick(child<QPushButton>(w, "Command1"), Qt::LeftButton);
    const QString text = editor->text();
    QVERIFY2(text.startsWith(QStringLiteral("<!DOCTYPE Order [")) && text.contains(QStringLiteral("<customer>&who;</customer>"))
                 && text.contains(QStringLiteral("<note>m</note>")),
             qPrintable(text));
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    // Shown again after the edit, the text is the document's: the next edit asks nothing.
    emit tree->clicked(treeItem(tree, QStringLiteral("./note")));
    child<QLineEdit>(w, "txtValue")->setText(QStringLiteral("k"));
    QTest::mouseClick(child<QPushButton>(w, "Command1"), Qt::LeftButton);
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QVERIFY(editor->text().contains(QStringLiteral("<note>k</note>")));
}

void tst_frmOstrelClient::storeUneditedKeepsTheDocument()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    const qint32 id = insert(*o.ctx, QString::fromUtf8(realworld::exactDocument("Order", "EXACT-1")));
    const auto held = [&] {
        owb::HttpClient http;
        const QString filter = QStringLiteral("Order[@osl:id=%1]").arg(id);
        return realworld::canonicalText(
            http.get(m_server->databaseURI() + QStringLiteral("/Shop?_xql=") + QUrl::toPercentEncoding(filter)).body);
    };
    const QByteArray before = held();
    QVERIFY2(before.contains("<password> </password>") && before.contains("<tab>\t</tab>"), before.constData());

    // Shown as text and as a tree, then stored back without an edit.
    query(w, QStringLiteral("number='EXACT-1'"));
    auto *tabs = child<QTabWidget>(w, "SSTab1");
    tabs->setCurrentIndex(1);
    tabs->setCurrentIndex(0);
    QVERIFY(w->currentElementXml().contains(QStringLiteral("EXACT-1")));
    child<QAction>(w, "Store")->trigger();
    QVERIFY(o.ctx->ui.shown.isEmpty());
    QCOMPARE(held(), before);
}

// One window for every stylesheet case: each web view costs a browser process.
void tst_frmOstrelClient::stylesheets()
{
    auto o = open();
    frmOstrelClient *w = o.w.get();
    auto *tabs = child<QTabWidget>(w, "SSTab1");
    auto *xsl = child<QsciScintilla>(w, "CodeMax1");
    const QString outputDir = m_home->path() + QStringLiteral("/output");
    QDir(outputDir).removeRecursively();

    // No document yet: nothing is transformed, the page stays.
    tabs->setCurrentIndex(2);
    tabs->setCurrentIndex(3);
    QCOMPARE(tabs->currentIndex(), 2);
    QVERIFY(!QDir(outputDir).exists());
    QVERIFY(o.ctx->main.lastStatus().contains(QStringLiteral("no document")));
    QVERIFY(!w->findChild<QWebEngineView *>());

    tabs->setCurrentIndex(0);
    query(w, QStringLiteral("customer='Ann'"));

    // The template: readable HTML that shows the data and escapes it.
    tabs->setCurrentIndex(2);
    tabs->setCurrentIndex(3);
    QCOMPARE(tabs->currentIndex(), 3);
    QCOMPARE(o.ctx->main.lastStatus(), QStringLiteral("Stylesheet applied"));
    const QString html = outputDir + QStringLiteral("/result.html");
    QCOMPARE(w->lastResultFile(), html);
    QFile f(html);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray page = f.readAll();
    f.close();
    QVERIFY(page.contains("<html"));
    QVERIFY(page.contains("Ann"));
    QVERIFY(page.contains("Ink &amp; &lt;quill&gt;"));
    QVERIFY(!page.contains("<quill>"));
    auto *browser = w->findChild<QWebEngineView *>(QStringLiteral("WebBrowser1"));
    QVERIFY(browser);
    QSignalSpy loaded(browser, &QWebEngineView::loadFinished);
    QVERIFY(loaded.wait(30000));
    QCOMPARE(browser->url(), QUrl::fromLocalFile(html));
    QVERIFY(loaded.last().first().toBool());

    // Extension by output method.
    const QString head = QStringLiteral("<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">");
    const struct {
        const char *output;
        const char *body;
        const char *ext;
    } rows[] = {
        {"<xsl:output method=\"text\"/>", "<xsl:value-of select=\"/Order/customer\"/>", "txt"},
        {"<xsl:output method=\"xml\"/>", "<r><xsl:value-of select=\"/Order/customer\"/></r>", "xml"},
        {"", "<r><xsl:value-of select=\"/Order/customer\"/></r>", "xml"},
        {"<xsl:output indent=\"yes\"/>", "<html><body><xsl:value-of select=\"/Order/customer\"/></body></html>", "html"},
        {"<xsl:output indent=\"yes\"/>", "<r><xsl:value-of select=\"/Order/customer\"/></r>", "xml"},
    };
    for (const auto &row : rows) {
        xsl->setText(head + QString::fromLatin1(row.output) + QStringLiteral("<xsl:template match=\"/\">")
                     + QString::fromLatin1(row.body) + QStringLiteral("</xsl:template></xsl:stylesheet>"));
        tabs->setCurrentIndex(2);
        tabs->setCurrentIndex(3);
        QCOMPARE(tabs->currentIndex(), 3);
        const QString file = outputDir + QStringLiteral("/result.") + QLatin1String(row.ext);
        QCOMPARE(w->lastResultFile(), file);
        QFile r(file);
        QVERIFY(r.open(QIODevice::ReadOnly));
        QVERIFY2(r.readAll().contains("Ann"), row.output);
        QSignalSpy rowLoaded(browser, &QWebEngineView::loadFinished);
        QVERIFY(rowLoaded.wait(30000));
        QCOMPARE(browser->url(), QUrl::fromLocalFile(file));
    }

    // A stylesheet that is not well-formed: logged, status, back to the previous page.
    xsl->setText(head + QStringLiteral("<xsl:template match=\"/\">"));
    tabs->setCurrentIndex(1);
    const QString lastGood = w->lastResultFile();
    tabs->setCurrentIndex(3);
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(o.ctx->log.lines.last().startsWith(QStringLiteral("Failed to load XSL content: ")));
    QVERIFY(!o.ctx->main.lastStatus().isEmpty());
    QCOMPARE(w->lastResultFile(), lastGood);

    // A stylesheet may not write files of its own.
    const QString planted = m_home->path() + QStringLiteral("/planted.txt");
    xsl->setText(head + QStringLiteral("<xsl:template match=\"/\"><xsl:document href=\"") + planted
                 + QStringLiteral("\" method=\"text\">x</xsl:document><r/></xsl:template></xsl:stylesheet>"));
    xsl->setText(xsl->text().replace(QStringLiteral("version=\"1.0\""), QStringLiteral("version=\"1.1\"")));
    tabs->setCurrentIndex(2);
    tabs->setCurrentIndex(3);
    QVERIFY(!QFile::exists(planted));
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(w->lastResultFile(), lastGood);

    // A stylesheet opened from a file reads its modules and documents beside it.
    QTemporaryDir dir;
    const auto put = [&](const QString &name, const QString &text) { return writeFile(dir.filePath(name), text.toUtf8()); };
    QVERIFY(put(QStringLiteral("mod/part.xsl"), head + QStringLiteral("<xsl:template name=\"part\">"
                                                                      "<xsl:value-of select=\"/Order/customer\"/>"
                                                                      "</xsl:template></xsl:stylesheet>")));
    QVERIFY(put(QStringLiteral("data.xml"), QStringLiteral("<d>beside</d>")));
    QVERIFY(put(QStringLiteral("main.xsl"),
                head + QStringLiteral("<xsl:include href=\"mod/part.xsl\"/><xsl:output method=\"text\"/>"
                                      "<xsl:template match=\"/\"><xsl:call-template name=\"part\"/>|"
                                      "<xsl:value-of select=\"document('data.xml')/d\"/></xsl:template></xsl:stylesheet>")));
    o.ctx->ui.fileAnswers << dir.filePath(QStringLiteral("main.xsl"));
    o.ctx->ui.questionAnswers << true;   // the edited stylesheet may go
    child<QAction>(w, "Open")->trigger();
    tabs->setCurrentIndex(3);
    QCOMPARE(tabs->currentIndex(), 3);
    QFile result(outputDir + QStringLiteral("/result.txt"));
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll(), QByteArray("Ann|beside"));
}

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    tst_frmOstrelClient t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "tst_frmostrelclient.moc"
