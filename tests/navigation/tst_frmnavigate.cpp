#include <QtTest>
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>
#include <Qsci/qsciscintilla.h>

#include "common/Settings.h"
#include "navigation/TreeWidgetDocTree.h"
#include "navigation/frmNavigate.h"
#include "schema/clsSchema.h"
#include "workbench/frmOstrelClient.h"
#include "FakeServer.h"
#include "NavFixture.h"
#include "SchemaAnswers.h"

using owb::frmNavigate;
using owb::TreeWidgetDocTree;
using owb::UserInteraction;

namespace {

using namespace answers;

const QString InfoQuery = "/ostrel/db/osl:collection?_xql=xs:schema/xs:annotation/xs:appinfo/osd:schemaInfo";

template <typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}

QStringList items(QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Every node as "depth:key", depth-first.
QStringList keys(QTreeWidget *tree)
{
    QStringList out;
    std::function<void(QTreeWidgetItem *, int)> walk = [&](QTreeWidgetItem *it, int depth) {
        out << QString::number(depth) + QLatin1Char(':') + TreeWidgetDocTree::keyOf(it);
        for (int i = 0; i < it->childCount(); ++i)
            walk(it->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return out;
}

QTreeWidgetItem *find(QTreeWidget *tree, const QString &key)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if (TreeWidgetDocTree::keyOf(*it) == key)
            return *it;
    return nullptr;
}

void typeUri(QComboBox *box, const QString &text)
{
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), text);
}

void clickNode(QTreeWidget *tree, QTreeWidgetItem *item)
{
    emit tree->itemClicked(item, 0);
}

} // namespace

class TestFrmNavigate : public QObject {
    Q_OBJECT
private slots:
    void init();
    void loadButtonRule_data();
    void loadButtonRule();
    void typedPrefixStaysAsTyped();
    void startupList_data();
    void startupList();
    void ctrlDeleteRemovesFirstMatch_data();
    void ctrlDeleteRemovesFirstMatch();
    void listSurvivesRestart();
    void offeredURIIsNotSaved_data();
    void offeredURIIsNotSaved();
    void connectionFailures_data();
    void connectionFailures();
    void treeFailuresLeaveWindowUsable_data();
    void treeFailuresLeaveWindowUsable();
    void collectionClickToggles();
    void demoDatabaseEndToEnd();
    void typedUriAppendedEachTime();
    void firstUriLoadsAtOnceWithoutAppending();
    void doctypeWithoutSchemaOpensAnyway();
    void sameDoctypeOfTwoDatabases();

private:
    std::unique_ptr<navtest::IsolatedHome> m_home;
};

void TestFrmNavigate::init()
{
    m_home = std::make_unique<navtest::IsolatedHome>();
}

void TestFrmNavigate::loadButtonRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("scheme alone") << "http://" << false;
    QTest::newRow("scheme alone, blanks around") << "  http://  " << false;
    QTest::newRow("host and path") << "http://h/ostrel/db" << true;
    QTest::newRow("one host letter") << "http://h" << true;
    QTest::newRow("no scheme") << "localhost:8790/ostrel/mydb" << false;
    QTest::newRow("scheme in capitals") << "HTTP://localhost/ostrel/mydb" << false;
    QTest::newRow("other scheme") << "ftp://localhost/ostrel/mydb" << false;
    QTest::newRow("TLS scheme alone") << "https://" << false;
    QTest::newRow("TLS with host") << "https://h/ostrel/db" << true;
}

void TestFrmNavigate::loadButtonRule()
{
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    owb::Settings::save("ostreldatabase", "uri", "");
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    auto *button = child<QPushButton>(&nav, "Command3");
    QVERIFY(!button->isEnabled());
    typeUri(child<QComboBox>(&nav, "cboDatabaseURI"), text);
    QCOMPARE(button->isEnabled(), enabled);
}

void TestFrmNavigate::typedPrefixStaysAsTyped()
{
    owb::Settings::save("ostreldatabase", "uri", "http://h/db2");
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    auto *box = child<QComboBox>(&nav, "cboDatabaseURI");
    nav.show();
    QApplication::setActiveWindow(&nav);
    box->lineEdit()->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&nav));
    typeUri(box, "http://h/db");
    QCOMPARE(box->currentText(), QStringLiteral("http://h/db"));
}

void TestFrmNavigate::startupList_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<bool>("loadEnabled");
    QTest::newRow("nothing stored") << false << "" << QStringList{"http://localhost:8790/ostrel/mydb"} << true;
    QTest::newRow("empty list stored") << true << "" << QStringList() << false;
    QTest::newRow("three in order") << true << "http://c/x,http://a/x,http://b/x"
                                    << QStringList{"http://c/x", "http://a/x", "http://b/x"} << true;
    QTest::newRow("first entry no URI to load") << true << "ftp://c/x,http://a/x"
                                                << QStringList{"ftp://c/x", "http://a/x"} << false;
}

// The box starts with the first URI of the list, chosen.
void TestFrmNavigate::startupList()
{
    QFETCH(bool, stored);
    QFETCH(QString, setting);
    QFETCH(QStringList, list);
    QFETCH(bool, loadEnabled);
    if (stored)
        owb::Settings::save("ostreldatabase", "uri", setting);
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    QCOMPARE(nav.objectName(), QStringLiteral("frmNavigate"));
    QCOMPARE(nav.windowTitle(), QStringLiteral("Navigate"));
    auto *box = child<QComboBox>(&nav, "cboDatabaseURI");
    QCOMPARE(items(box), list);
    QCOMPARE(box->currentText(), list.value(0));
    QCOMPARE(box->currentIndex(), list.isEmpty() ? -1 : 0);
    QCOMPARE(ctx.main.docMenuDisabled, 1);
    QCOMPARE(child<QPushButton>(&nav, "Command3")->isEnabled(), loadEnabled);
    for (const char *image : {"ClosedCollection", "Collections", "Document", "OpenCollection", "OstrelManager"})
        QVERIFY2(!nav.imlDocs().value(image).isNull(), image);
}

void TestFrmNavigate::ctrlDeleteRemovesFirstMatch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QStringList>("after");
    const QStringList all{"http://a/x", "http://b/x", "http://a/x"};
    QTest::newRow("first of two equal") << " http://a/x " << int(Qt::ControlModifier)
                                        << QStringList{"http://b/x", "http://a/x"};
    QTest::newRow("Delete alone") << "http://a/x" << int(Qt::NoModifier) << all;
    QTest::newRow("Ctrl+Shift+Delete") << "http://a/x" << int(Qt::ControlModifier | Qt::ShiftModifier) << all;
    QTest::newRow("no equal entry") << "http://A/x" << int(Qt::ControlModifier) << all;
}

void TestFrmNavigate::ctrlDeleteRemovesFirstMatch()
{
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(QStringList, after);
    owb::Settings::save("ostreldatabase", "uri", "http://a/x,http://b/x,http://a/x");
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    auto *box = child<QComboBox>(&nav, "cboDatabaseURI");
    typeUri(box, text);
    box->lineEdit()->setCursorPosition(0);
    QTest::keyClick(box->lineEdit(), Qt::Key_Delete, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(items(box), after);
    if (modifiers == int(Qt::ControlModifier))
        QCOMPARE(box->currentText(), text);   // the key removes an entry, not a word
}

void TestFrmNavigate::listSurvivesRestart()
{
    owb::Settings::save("ostreldatabase", "uri", "http://c/x,http://a/x,http://b/x");
    {
        navtest::Context ctx;
        frmNavigate nav(ctx.app());
        auto *box = child<QComboBox>(&nav, "cboDatabaseURI");
        typeUri(box, "http://a/x");
        QTest::keyRelease(box->lineEdit(), Qt::Key_Delete, Qt::ControlModifier);
        nav.close();
    }
    QCOMPARE(owb::Settings::get("ostreldatabase", "uri"), QStringLiteral("http://c/x,http://b/x"));
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    QCOMPARE(items(child<QComboBox>(&nav, "cboDatabaseURI")), (QStringList{"http://c/x", "http://b/x"}));
    // An emptied list is saved as an empty text, not as the default.
    auto *box = child<QComboBox>(&nav, "cboDatabaseURI");
    box->clear();
    nav.close();
    QCOMPARE(owb::Settings::get("ostreldatabase", "uri", "unset"), QString());
}

void TestFrmNavigate::offeredURIIsNotSaved_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("shown");
    const QString b = "http://b/x";
    QTest::newRow("new") << "http://a/x" << QStringList{b, "http://a/x"};
    QTest::newRow("already first") << "http://b/x,http://a/x" << QStringList{b, "http://a/x"};
    QTest::newRow("stored further down") << "http://a/x,http://b/x" << QStringList{b, "http://a/x", b};
    QTest::newRow("empty list") << "" << QStringList{b};
}

void TestFrmNavigate::offeredURIIsNotSaved()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, shown);
    owb::Settings::save("ostreldatabase", "uri", stored);
    {
        navtest::Context ctx;
        frmNavigate nav(ctx.app());
        nav.offerDatabaseURI(" http://b/x ");
        auto *box = child<QComboBox>(&nav, "cboDatabaseURI");
        QCOMPARE(items(box), shown);
        QCOMPARE(box->currentIndex(), 0);
        QVERIFY(child<QPushButton>(&nav, "Command3")->isEnabled());
        nav.close();
    }
    QCOMPARE(owb::Settings::get("ostreldatabase", "uri"), stored);
}

void TestFrmNavigate::connectionFailures_data()
{
    QTest::addColumn<int>("pingStatus");
    QTest::addColumn<QByteArray>("pingBody");
    QTest::addColumn<QString>("how");   // "login", "cancel", "edit", "down"
    QTest::addColumn<QString>("logLine");

    const QByteArray alive = "<r>Server is alive</r>";
    QTest::newRow("ping refused") << 401 << alive << "login" << "Failed to connect (401) Unauthorized";
    QTest::newRow("alive missing") << 200 << QByteArray("<r>Server is sleeping</r>") << "login" << "";
    QTest::newRow("login cancelled") << 200 << alive << "cancel" << "";
    QTest::newRow("URI edited in the dialog") << 200 << alive << "edit" << "";
    // "@" + the start of the line, after the URI.
    QTest::newRow("server down") << 200 << alive << "down" << "@?_diagnose=ping failed: ";
}

void TestFrmNavigate::connectionFailures()
{
    QFETCH(int, pingStatus);
    QFETCH(QByteArray, pingBody);
    QFETCH(QString, how);
    QFETCH(QString, logLine);

    auto server = std::make_unique<FakeServer>();
    QVERIFY(server->ok());
    server->setPing(pingStatus, pingBody);
    server->setAnswer(InfoQuery, 200, answer(schema("Sales", {"Order"})));
    const QString uri = server->base() + "/ostrel/db";
    const QString other = server->base() + "/ostrel/other";
    if (how == "down")
        server.reset();

    navtest::Context ctx;
    ctx.http.setTimeouts(2000, 2000, 5000);
    frmNavigate nav(ctx.app());
    auto *box = child<QComboBox>(&nav, "cboDatabaseURI");
    const QStringList before = items(box);
    typeUri(box, uri);
    ctx.ui.dialogHandlers << navtest::answerLogin("demo", "demo", how == "edit" ? other : QString(),
                                                  how == "cancel");
    child<QPushButton>(&nav, "Command3")->click();

    QCOMPARE(ctx.ui.messages(), QStringList{"Failed to connect to server " + uri});
    QVERIFY(!nav.connected());
    QVERIFY(!ctx.connection.ConnectionExists(uri));
    QCOMPARE(items(box), before);
    QCOMPARE(child<QTreeWidget>(&nav, "tvDocs")->topLevelItemCount(), 0);
    if (logLine.isEmpty()) {
        for (const QString &line : ctx.log.lines)
            QVERIFY2(!line.startsWith("Failed to connect ("), qPrintable(line));
    } else if (logLine.startsWith('@')) {
        const QString start = "Request to " + uri + logLine.mid(1);
        QVERIFY2(std::any_of(ctx.log.lines.begin(), ctx.log.lines.end(),
                             [&](const QString &line) { return line.startsWith(start); }),
                 qPrintable(ctx.log.lines.join('|')));
    } else {
        QVERIFY2(ctx.log.lines.contains(logLine), qPrintable(ctx.log.lines.join('|')));
    }
    // An edited URI is checked and registered under its own name only.
    QCOMPARE(ctx.connection.ConnectionExists(other), how == "edit");
    // Still usable: the button stays on for the next attempt.
    QVERIFY(child<QPushButton>(&nav, "Command3")->isEnabled());
}

void TestFrmNavigate::treeFailuresLeaveWindowUsable_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("no result") << (Head + Tail) << "Database is empty" << QStringList();
    QTest::newRow("failure envelope")
        << (Head + "<osl:message osl:returnvalue=\"8301\"><osl:messagetext osl:code=\"OSL8301\">no such "
                   "prefix</osl:messagetext></osl:message></osl:response>")
        << "Failed to load osl:collection\r\nOSL8301: no such prefix" << QStringList();
    QTest::newRow("no schemas") << answer("") << "Database is empty" << QStringList{"0:root"};
    QTest::newRow("doctype declared twice")
        << answer(schema("Sales", {"Order"}) + schema("Sales", {"Order"}))
        << "Key is not unique in collection: Sales/Order"
        << QStringList{"0:root", "1:Sales", "2:Sales/Order"};
}

void TestFrmNavigate::treeFailuresLeaveWindowUsable()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    QFETCH(QStringList, kept);
    FakeServer server;
    QVERIFY(server.ok());
    server.setAnswer(InfoQuery, 200, body);
    const QString uri = server.base() + "/ostrel/db";
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    typeUri(child<QComboBox>(&nav, "cboDatabaseURI"), uri);
    ctx.ui.dialogHandlers << navtest::answerLogin("demo", "demo");
    child<QPushButton>(&nav, "Command3")->click();

    QVERIFY(nav.connected());
    QCOMPARE(ctx.ui.shown.size(), 2);   // the login dialog, then the message
    QCOMPARE(ctx.ui.shown[1].kind, QStringLiteral("message"));
    QCOMPARE(ctx.ui.shown[1].title, QStringLiteral("Error raised"));
    QCOMPARE(ctx.ui.shown[1].text, text);
    QCOMPARE(ctx.ui.shown[1].icon, UserInteraction::Icon::Critical);
    QCOMPARE(keys(child<QTreeWidget>(&nav, "tvDocs")), kept);
    QCOMPARE(ctx.connection.OstrelURL(), uri);
    QVERIFY(child<QPushButton>(&nav, "Command3")->isEnabled());
}

void TestFrmNavigate::collectionClickToggles()
{
    FakeServer server;
    QVERIFY(server.ok());
    server.setAnswer(InfoQuery, 200, answer(schema("Sales", {"Order"})));
    navtest::Context ctx;
    ctx.connection.AddConString(server.base() + "/ostrel/db", "demo", "demo");
    frmNavigate nav(ctx.app());
    typeUri(child<QComboBox>(&nav, "cboDatabaseURI"), server.base() + "/ostrel/db");
    child<QPushButton>(&nav, "Command3")->click();
    QVERIFY(ctx.ui.shown.isEmpty());   // registered: no login
    auto *tree = child<QTreeWidget>(&nav, "tvDocs");
    QTreeWidgetItem *root = find(tree, "root");
    QVERIFY(root && root->isExpanded());
    QCOMPARE(root->text(0), QStringLiteral("Ostrel Documents"));
    QTreeWidgetItem *sales = find(tree, "Sales");
    QVERIFY(sales && !sales->isExpanded());
    QCOMPARE(TreeWidgetDocTree::imageOf(sales), QStringLiteral("ClosedCollection"));
    clickNode(tree, sales);
    QVERIFY(sales->isExpanded());
    QCOMPARE(TreeWidgetDocTree::imageOf(sales), QStringLiteral("OpenCollection"));
    QCOMPARE(sales->icon(0).cacheKey(), nav.imlDocs().value("OpenCollection").cacheKey());
    clickNode(tree, sales);
    QVERIFY(!sales->isExpanded());
    QCOMPARE(TreeWidgetDocTree::imageOf(sales), QStringLiteral("ClosedCollection"));
    // Root clicks do nothing.
    clickNode(tree, root);
    QVERIFY(root->isExpanded());
    QVERIFY(ctx.main.shown.isEmpty());
}

void TestFrmNavigate::demoDatabaseEndToEnd()
{
    navtest::Server server;
    if (!server.ok())
        QSKIP(qPrintable(server.error()));
    const QString uri = server.databaseURI();
    owb::Settings::save("ostreldatabase", "uri", "http://x/one," + uri);

    navtest::Context ctx;
    auto nav = std::make_unique<frmNavigate>(ctx.app());
    auto *box = child<QComboBox>(nav.get(), "cboDatabaseURI");
    auto *tree = child<QTreeWidget>(nav.get(), "tvDocs");
    box->setCurrentIndex(1);   // chosen from the list
    ctx.ui.dialogHandlers << navtest::answerLogin("demo", "demo");
    child<QPushButton>(nav.get(), "Command3")->click();

    const QString established = "Connection to " + uri + " has been established";
    QVERIFY2(ctx.log.lines.contains(established), qPrintable(ctx.log.lines.join('|')));
    QVERIFY(ctx.main.statuses.contains(established));
    QVERIFY(ctx.connection.ConnectionExists(uri));
    QCOMPARE(ctx.connection.OstrelURL(), uri);
    QCOMPARE(ctx.connection.UserID(), QStringLiteral("demo"));
    QCOMPARE(items(box), (QStringList{"http://x/one", uri}));   // chosen, so not appended
    const QStringList demoTree{"0:root", "1:Library", "2:Library/Author", "2:Library/Book",
                               "2:Library/images", "1:Sales", "2:Sales/Customer",
                               "2:Sales/Invoice", "2:Sales/Order"};
    QCOMPARE(keys(tree), demoTree);
    QCOMPARE(TreeWidgetDocTree::imageOf(find(tree, "Sales/Order")), QStringLiteral("Document"));
    QVERIFY(!find(tree, "Sales/Order")->icon(0).isNull());

    // Loading again: no login, same tree.
    child<QPushButton>(nav.get(), "Command3")->click();
    QCOMPARE(ctx.ui.shown.size(), 1);
    QCOMPARE(keys(tree), demoTree);

    // Open a doctype: one window with its schema.
    clickNode(tree, find(tree, "Sales/Order"));
    QVERIFY(ctx.log.lines.contains("Selected document Sales/Order"));
    QCOMPARE(ctx.main.shown.size(), 1);
    auto *order = qobject_cast<owb::frmOstrelClient *>(ctx.main.shown[0].data());
    QVERIFY(order);
    QCOMPARE(order->doctype(), QStringLiteral("Sales/Order"));
    QCOMPARE(order->DatabaseURI(), uri);
    QCOMPARE(order->CollectionName(), QStringLiteral("Sales"));
    QCOMPARE(order->DoctypeName(), QStringLiteral("Order"));
    QVERIFY(!order->NonXML());
    QCOMPARE(nav->documentWindow("Sales/Order"), order);
    QVERIFY(order->findChild<QsciScintilla *>("CodeMax2"));
    QVERIFY(order->findChild<QsciScintilla *>("CodeMax2")->text().contains("<osd:doctype name=\"Order\""));
    const QStringList noSchemaMessage = ctx.ui.messages().filter("Failed to load schema");
    QVERIFY2(noSchemaMessage.isEmpty(), qPrintable(noSchemaMessage.join('|')));

    // A second click brings the same window forward.
    clickNode(tree, find(tree, "Sales/Order"));
    QCOMPARE(ctx.main.shown.size(), 1);
    QCOMPARE(ctx.main.activated.size(), 1);
    QCOMPARE(ctx.main.activated[0].data(), order);

    // The non-XML doctype of the library.
    clickNode(tree, find(tree, "Library/images"));
    QCOMPARE(ctx.main.shown.size(), 2);
    auto *images = qobject_cast<owb::frmOstrelClient *>(ctx.main.shown[1].data());
    QVERIFY(images && images->NonXML());
    QCOMPARE(nav->openDocuments(), (QStringList{"Sales/Order", "Library/images"}));

    // Closing: the document menu goes only with the last window.
    const int disabledBefore = ctx.main.docMenuDisabled;
    order->close();
    QCOMPARE(nav->openDocuments(), QStringList{"Library/images"});
    QCOMPARE(ctx.main.docMenuDisabled, disabledBefore);
    images->close();
    QVERIFY(nav->openDocuments().isEmpty());
    QCOMPARE(ctx.main.docMenuDisabled, disabledBefore + 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Opening it again makes a new window.
    clickNode(tree, find(tree, "Sales/Order"));
    QCOMPARE(ctx.main.shown.size(), 3);
    QVERIFY(ctx.main.shown[2] && ctx.main.shown[2] != ctx.main.shown[0]);
    ctx.main.shown[2]->close();

    // Restart: the list comes back in order.
    nav->close();
    nav.reset();
    navtest::Context again;
    frmNavigate restarted(again.app());
    QCOMPARE(items(child<QComboBox>(&restarted, "cboDatabaseURI")), (QStringList{"http://x/one", uri}));
    QCOMPARE(child<QTreeWidget>(&restarted, "tvDocs")->topLevelItemCount(), 0);
}

void TestFrmNavigate::typedUriAppendedEachTime()
{
    FakeServer server;
    QVERIFY(server.ok());
    server.setAnswer(InfoQuery, 200, answer(schema("Sales", {"Order"})));
    const QString uri = server.base() + "/ostrel/db";
    owb::Settings::save("ostreldatabase", "uri", "");
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    auto *box = child<QComboBox>(&nav, "cboDatabaseURI");
    auto *load = child<QPushButton>(&nav, "Command3");
    typeUri(box, "  " + uri + " ");
    ctx.ui.dialogHandlers << navtest::answerLogin("demo", "demo");
    load->click();
    // Blanks around the typed text do not reach the server, the registry or the list.
    QVERIFY(ctx.connection.ConnectionExists(uri));
    QCOMPARE(server.requests().value(0), QStringLiteral("/ostrel/db"));
    QCOMPARE(items(box), QStringList{uri});
    QCOMPARE(box->currentIndex(), 0);
    QVERIFY(!ctx.log.lines.filter("has been established").isEmpty());

    typeUri(box, uri);
    ctx.ui.dialogHandlers << navtest::answerLogin("demo", "demo");
    load->click();
    QCOMPARE(items(box), (QStringList{uri, uri}));
    // Chosen now: loading again appends nothing.
    load->click();
    QCOMPARE(items(box), (QStringList{uri, uri}));
    QCOMPARE(keys(child<QTreeWidget>(&nav, "tvDocs")), (QStringList{"0:root", "1:Sales", "2:Sales/Order"}));
}

void TestFrmNavigate::firstUriLoadsAtOnceWithoutAppending()
{
    FakeServer server;
    QVERIFY(server.ok());
    server.setAnswer(InfoQuery, 200, answer(schema("Sales", {"Order"})));
    const QString uri = server.base() + "/ostrel/db";
    owb::Settings::save("ostreldatabase", "uri", uri + ",http://other/db");
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    auto *box = child<QComboBox>(&nav, "cboDatabaseURI");
    auto *load = child<QPushButton>(&nav, "Command3");
    QVERIFY(load->isEnabled());
    ctx.ui.dialogHandlers << navtest::answerLogin("demo", "demo");
    load->click();
    QVERIFY(ctx.connection.ConnectionExists(uri));
    QCOMPARE(keys(child<QTreeWidget>(&nav, "tvDocs")), (QStringList{"0:root", "1:Sales", "2:Sales/Order"}));
    QCOMPARE(items(box), (QStringList{uri, "http://other/db"}));

    // The same text typed over it is no choice of the list: it is appended.
    typeUri(box, uri);
    load->click();
    QCOMPARE(items(box), (QStringList{uri, "http://other/db", uri}));
    QCOMPARE(box->currentIndex(), 2);
}

void TestFrmNavigate::doctypeWithoutSchemaOpensAnyway()
{
    FakeServer server;
    QVERIFY(server.ok());
    server.setAnswer(InfoQuery, 200, answer(schema("Bob's", {"O'Brien"})));
    server.setAnswer("/ostrel/db/osl:collection", 200, answer(""));
    const QString uri = server.base() + "/ostrel/db";
    navtest::Context ctx;
    ctx.connection.AddConString(uri, "demo", "demo");
    frmNavigate nav(ctx.app());
    typeUri(child<QComboBox>(&nav, "cboDatabaseURI"), uri);
    child<QPushButton>(&nav, "Command3")->click();
    auto *tree = child<QTreeWidget>(&nav, "tvDocs");
    QCOMPARE(keys(tree), (QStringList{"0:root", "1:Bob's", "2:Bob's/O'Brien"}));

    clickNode(tree, find(tree, "Bob's/O'Brien"));
    QCOMPARE(ctx.main.shown.size(), 1);
    QCOMPARE(nav.openDocuments(), QStringList{"Bob's/O'Brien"});
    QCOMPARE(ctx.ui.messages(),
             QStringList{"Failed to load schema for document type Bob's/O'Brien\r\nJust continue. "
                         "You can not generate New documents. This will be dealt with at a later stage"});
    // The names reached the server intact inside the schema query.
    QVERIFY2(server.requests().contains("/ostrel/db/osl:collection?_xql="
                                        + owb::clsSchema::schemaQuery("Bob's", "O'Brien")),
             qPrintable(server.requests().join('|')));
    QVERIFY(child<QPushButton>(&nav, "Command3")->isEnabled());
    // The window's Exit button closes it, and Navigate forgets it.
    QPointer<QWidget> window = ctx.main.shown[0];
    QVERIFY(window->findChild<QAction *>("exit"));
    window->findChild<QAction *>("exit")->trigger();
    QVERIFY(nav.openDocuments().isEmpty());
    QCOMPARE(nav.documentWindow("Bob's/O'Brien"), nullptr);
    QTRY_VERIFY(window.isNull());
}

void TestFrmNavigate::sameDoctypeOfTwoDatabases()
{
    // A window belongs to its database: the same doctype key of another database is another
    // window, and closing one forgets only that one.
    FakeServer server;
    QVERIFY(server.ok());
    for (const QString db : {"db", "db2"})
        server.setAnswer(QString(InfoQuery).replace("/db/", "/" + db + "/"), 200, answer(schema("Sales", {"Order"})));
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    auto *tree = child<QTreeWidget>(&nav, "tvDocs");
    auto openIn = [&](const QString &db) {
        const QString uri = server.base() + "/ostrel/" + db;
        ctx.connection.AddConString(uri, "demo", "demo");
        typeUri(child<QComboBox>(&nav, "cboDatabaseURI"), uri);
        child<QPushButton>(&nav, "Command3")->click();
        clickNode(tree, find(tree, "Sales/Order"));
    };
    openIn("db");
    openIn("db2");
    QCOMPARE(ctx.main.shown.size(), 2);
    auto *first = qobject_cast<owb::frmOstrelClient *>(ctx.main.shown[0].data());
    auto *second = qobject_cast<owb::frmOstrelClient *>(ctx.main.shown[1].data());
    QVERIFY(first && second);
    QCOMPARE(first->DatabaseURI(), server.base() + "/ostrel/db");
    QCOMPARE(second->DatabaseURI(), server.base() + "/ostrel/db2");
    QCOMPARE(nav.openDocuments(), (QStringList{"Sales/Order", "Sales/Order"}));

    // The tree shows db2: its window comes forward.
    clickNode(tree, find(tree, "Sales/Order"));
    QCOMPARE(ctx.main.shown.size(), 2);
    QCOMPARE(ctx.main.activated.value(0).data(), second);

    first->close();
    QCOMPARE(nav.openDocuments(), QStringList{"Sales/Order"});
    QCOMPARE(nav.documentWindow("Sales/Order"), second);
    second->close();
}

QTEST_MAIN(TestFrmNavigate)
#include "tst_frmnavigate.moc"
