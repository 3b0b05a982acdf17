// The document windows' commands from the keyboard and the main window's menus: a key or a
// menu entry acts on the active document window only.
#include "workbench/WorkbenchFixture.h"

#include "shell/frmMain.h"
#include "common/FindBar.h"
#include "workbench/CommandBars.h"
#include "workbench/frmOstrelClient.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QHelpEvent>
#include <QToolTip>
#include <QToolBar>
#include <QtTest>

#include <Qsci/qsciscintilla.h>

using owb::frmMain;
using owb::frmOstrelClient;
using namespace wbtest;

namespace {

QString keysOf(const QAction *a)
{
    return a->shortcut().toString(QKeySequence::PortableText);
}

// What a key may have changed in a window.
QString stateOf(frmOstrelClient &w)
{
    return QStringLiteral("%1 entries, tip '%2'").arg(w.documentList()->count()).arg(w.documentEditor()->toolTip());
}

} // namespace

class TestDocumentMenu : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void keyActsOnActiveWindowOnly_data();
    void keyActsOnActiveWindowOnly();
    void shortcuts_data();
    void shortcuts();
    void menuFollowsActiveWindow();
    void fileItemsActOnActiveWindow();
    void mainWindowKeysFromTheEditor_data();
    void mainWindowKeysFromTheEditor();
    void userGuideListsEveryShortcut();
    void findBarOfActiveWindowOnly();

private:
    // Two document windows of the Order doctype in a shown main window; the second active.
    struct Setup {
        Context ctx;
        frmMain main;
        std::unique_ptr<frmOstrelClient> first, second;
    };
    std::unique_ptr<Setup> twoWindows();

    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<Server> m_server;
};

void TestDocumentMenu::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
    m_server = std::make_unique<Server>();
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
}

std::unique_ptr<TestDocumentMenu::Setup> TestDocumentMenu::twoWindows()
{
    auto s = std::make_unique<Setup>();
    s->ctx.connection.AddConString(m_server->databaseURI(), QStringLiteral("demo"), QStringLiteral("demo"));
    s->ctx.connection.setContext(m_server->databaseURI());
    owb::AppContext app = s->ctx.app();
    app.mainWindow = &s->main;
    for (auto *slot : {&s->first, &s->second}) {
        *slot = std::make_unique<frmOstrelClient>(app);
        (*slot)->setDoctype(QStringLiteral("Shop/Order"));
        (*slot)->Init(m_server->openingURI(QStringLiteral("Order")));
        s->main.showChild(slot->get());
    }
    s->main.activateWindow();
    return s;
}

void TestDocumentMenu::keyActsOnActiveWindowOnly_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");   // the active window's state after the key

    // Before Ctrl+S: it adds an order to the shared server.
    QTest::newRow("F5 queries") << QKeySequence(Qt::Key_F5) << "" << "4 entries, tip ''";
    QTest::newRow("Ctrl+S stores") << QKeySequence(Qt::CTRL | Qt::Key_S) << "<Order><customer>Zed</customer></Order>"
                                   << "1 entries, tip ''";
    QTest::newRow("F7 checks") << QKeySequence(Qt::Key_F7) << "<Order>\n<total>"
                               << "0 entries, tip 'Premature end of data in tag total line 2'";
}

void TestDocumentMenu::keyActsOnActiveWindowOnly()
{
    QFETCH(QKeySequence, key);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    const auto s = twoWindows();
    QVERIFY(QTest::qWaitForWindowActive(&s->main));
    for (frmOstrelClient *w : {s->first.get(), s->second.get()})
        w->documentEditor()->setText(text);
    // Either window active in turn: the key reaches that one, never the other.
    for (frmOstrelClient *active : {s->second.get(), s->first.get()}) {
        frmOstrelClient *other = active == s->first.get() ? s->second.get() : s->first.get();
        s->main.activateChild(active);
        active->documentEditor()->setFocus();
        QTRY_VERIFY(active->documentEditor()->hasFocus());
        const QString otherBefore = stateOf(*other);
        QTest::keySequence(active->documentEditor(), key);
        QTRY_COMPARE(stateOf(*active), expected);
        QCOMPARE(stateOf(*other), otherBefore);
        if (active == s->second.get())
            QCOMPARE(otherBefore, QStringLiteral("0 entries, tip ''"));
    }
}

void TestDocumentMenu::shortcuts_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("shortcut");

    QTest::newRow("Query") << "Query" << "F5";
    QTest::newRow("Store") << "Store" << "Ctrl+S";
    QTest::newRow("New") << "New" << "Ctrl+N";
    QTest::newRow("Open") << "Open" << "Ctrl+O";
    QTest::newRow("Save") << "Save" << "Ctrl+Shift+S";
    QTest::newRow("Import") << "import" << "Ctrl+I";
    QTest::newRow("Export") << "export" << "Ctrl+E";
    QTest::newRow("Print") << "Print" << "Ctrl+P";
    QTest::newRow("Well formedness") << "WellFormed" << "F7";
    QTest::newRow("Against schema") << "Schema" << "Shift+F7";
    QTest::newRow("Exit") << "exit" << "Ctrl+W";
    QTest::newRow("Copy keeps the editor's") << "Copy" << "";
    QTest::newRow("View > Log") << "mnuViewLog" << "Ctrl+L";
    QTest::newRow("View > Navigate") << "cmdViewNavigate" << "Ctrl+Shift+N";
    QTest::newRow("File > Exit") << "mnuFileExit" << "Ctrl+Q";
}

void TestDocumentMenu::shortcuts()
{
    QFETCH(QString, key);
    QFETCH(QString, shortcut);
    const auto s = twoWindows();
    QAction *a = s->first->commandAction(key);
    if (!a)
        a = s->main.findChild<QAction *>(key);
    QVERIFY(a);
    QCOMPARE(keysOf(a), shortcut);
    // The button's tip names the key too.
    if (s->first->commandAction(key))
        QCOMPARE(s->first->commandBars().tipOf(a).contains(QLatin1Char('(')), !shortcut.isEmpty());
}

void TestDocumentMenu::menuFollowsActiveWindow()
{
    frmMain bare;
    QMenu *menu = bare.documentMenu();
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), QStringLiteral("mnuDocument"));
    QCOMPARE(menu->title(), QStringLiteral("&Document"));
    QVERIFY(!menu->menuAction()->isVisible());

    const auto s = twoWindows();
    menu = s->main.documentMenu();
    QVERIFY(s->main.menuBar()->actions().contains(menu->menuAction()));
    for (frmOstrelClient *active : {s->first.get(), s->second.get(), s->first.get()}) {
        s->main.activateChild(active);
        QTRY_VERIFY(menu->menuAction()->isVisible());
        // Both toolbars' buttons in their order, a separator between them.
        QList<QAction *> expected = active->findChild<QToolBar *>("Toolbar1")->actions();
        const QList<QAction *> entries = menu->actions();
        QVERIFY(entries.size() > expected.size());
        QVERIFY(entries[expected.size()]->isSeparator());
        expected << entries[expected.size()] << active->findChild<QToolBar *>("Toolbar2")->actions();
        QCOMPARE(entries, expected);
        QAction *validate = active->commandAction("Validate");
        QVERIFY(validate->menu());
        QCOMPARE(validate->menu()->actions(),
                 (QList<QAction *>{active->commandAction("WellFormed"), active->commandAction("Schema")}));
    }

    // A window without commands active: no Document menu; none at all once they are closed.
    auto *plain = new QWidget;
    s->main.showChild(plain);
    QTRY_VERIFY(!menu->menuAction()->isVisible());
    s->main.activateChild(s->second.get());
    QTRY_VERIFY(menu->menuAction()->isVisible());
    s->first.reset();
    s->second.reset();
    delete plain;
    QTRY_VERIFY(!menu->menuAction()->isVisible());
    QVERIFY(menu->actions().isEmpty());
}

void TestDocumentMenu::fileItemsActOnActiveWindow()
{
    const auto s = twoWindows();
    QAction *perform = s->main.findChild<QAction *>("mnuFilePerform");
    QAction *process = s->main.findChild<QAction *>("mnuFileProcess");
    QVERIFY(perform && process);
    s->main.activateChild(s->first.get());
    QTRY_VERIFY(s->main.documentMenu()->actions().contains(s->first->commandAction("Query")));

    perform->trigger();
    const int listed = s->first->documentList()->count();
    QVERIFY(listed >= 4);
    QCOMPARE(s->second->documentList()->count(), 0);

    // Store: only with a text, in the toolbar, its tip and the File menu alike.
    s->main.activateChild(s->second.get());
    QTRY_VERIFY(s->main.documentMenu()->actions().contains(s->second->commandAction("Store")));
    QAction *store = s->second->commandAction("Store");
    QVERIFY(!store->isEnabled());
    QVERIFY(!process->isEnabled());
    QCOMPARE(s->second->commandBars().tipOf(store),
             QStringLiteral("Store current document (Ctrl+S)\nThe document page holds no text to store"));
    QCOMPARE(store->toolTip(), QStringLiteral("Store current document"));
    QWidget *button = s->second->findChild<QToolBar *>("Toolbar1")->widgetForAction(store);
    QCOMPARE(button->toolTip(), s->second->commandBars().tipOf(store));
    // The menu entry, hovered, says the same.
    QMenu *menu = s->main.documentMenu();
    menu->popup(QPoint(0, 0));
    QTRY_VERIFY(menu->isVisible());
    const QPoint at = menu->actionGeometry(store).center();
    QHelpEvent hover(QEvent::ToolTip, at, menu->mapToGlobal(at));
    QCoreApplication::sendEvent(menu, &hover);
    QTRY_COMPARE(QToolTip::text(), s->second->commandBars().tipOf(store));
    menu->hide();
    s->second->documentEditor()->setFocus();
    QTest::keyClicks(s->second->documentEditor(), "<Order/>");
    QVERIFY(store->isEnabled());
    QVERIFY(process->isEnabled());
    QCOMPARE(s->second->commandBars().tipOf(store), QStringLiteral("Store current document (Ctrl+S)"));
    QCOMPARE(button->toolTip(), s->second->commandBars().tipOf(store));
    process->trigger();
    QCOMPARE(s->second->documentList()->count(), 1);
    QCOMPARE(s->first->documentList()->count(), listed);
}

void TestDocumentMenu::mainWindowKeysFromTheEditor_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("item");

    QTest::newRow("Ctrl+L") << QKeySequence(Qt::CTRL | Qt::Key_L) << "mnuViewLog";
    QTest::newRow("Ctrl+Shift+N") << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N) << "cmdViewNavigate";
}

void TestDocumentMenu::mainWindowKeysFromTheEditor()
{
    QFETCH(QKeySequence, key);
    QFETCH(QString, item);
    const auto s = twoWindows();
    QVERIFY(QTest::qWaitForWindowActive(&s->main));
    QAction *a = s->main.findChild<QAction *>(item);
    QVERIFY(a);
    const bool before = a->isChecked();
    QsciScintilla *editor = s->second->documentEditor();
    editor->setText("<a/>\n<b/>\n");
    editor->setFocus();
    QTRY_VERIFY(editor->hasFocus());
    QTest::keySequence(editor, key);
    QCOMPARE(a->isChecked(), !before);
    QCOMPARE(editor->text(), QStringLiteral("<a/>\n<b/>\n"));
}

void TestDocumentMenu::userGuideListsEveryShortcut()
{
    QFile page(QStringLiteral(OWB_DATA_DIR "/documentation/keyboard.htm"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    const auto s = twoWindows();
    // The document windows are the main window's children: their actions are among its own.
    QStringList missing;
    int listed = 0;
    for (const QAction *a : s->main.findChildren<QAction *>()) {
        if (a->shortcut().isEmpty())
            continue;
        ++listed;
        // "Ctrl+Shift+S" as the page writes it: <kbd>Ctrl</kbd>+<kbd>Shift</kbd>+<kbd>S</kbd>
        const QString keys = "<kbd>" + keysOf(a).split('+').join("</kbd>+<kbd>") + "</kbd>";
        if (!html.contains(keys))
            missing << a->objectName() + " " + keysOf(a);
    }
    QVERIFY(listed >= 3 + 2 * 10);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
}

void TestDocumentMenu::findBarOfActiveWindowOnly()
{
    const auto s = twoWindows();
    QVERIFY(QTest::qWaitForWindowActive(&s->main));
    for (frmOstrelClient *w : {s->first.get(), s->second.get()})
        w->documentEditor()->setText(QStringLiteral("<Order><item/><item/></Order>"));
    for (frmOstrelClient *active : {s->second.get(), s->first.get()}) {
        frmOstrelClient *other = active == s->first.get() ? s->second.get() : s->first.get();
        other->documentEditor()->selectAll(false);
        s->main.activateChild(active);
        active->documentEditor()->setFocus();
        QTRY_VERIFY(active->documentEditor()->hasFocus());
        QTest::keySequence(active->documentEditor(), QKeySequence(Qt::CTRL | Qt::Key_F));
        owb::FindBar *bar = active->findBar();
        auto *text = bar->findChild<QLineEdit *>(QStringLiteral("txtFindText"));
        QTRY_VERIFY(text->hasFocus());
        QVERIFY(other->findBar()->isHidden());

        // Enter finds, F3 goes on and wraps; a miss shows in the bar.
        QTest::keyClicks(text, QStringLiteral("item"));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(active->documentEditor()->selectedText(), QStringLiteral("item"));
        int line, first, lineTo, indexTo;
        active->documentEditor()->getSelection(&line, &first, &lineTo, &indexTo);
        QTest::keySequence(text, QKeySequence(Qt::Key_F3));
        QTest::keySequence(text, QKeySequence(Qt::Key_F3));
        int again;
        active->documentEditor()->getSelection(&line, &again, &lineTo, &indexTo);
        QCOMPARE(again, first);
        QCOMPARE(other->documentEditor()->selectedText(), QString());
        QTest::keyClicks(text, QStringLiteral("s"));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(bar->status(), QStringLiteral("Not found"));

        QTest::keyClick(text, Qt::Key_Escape);
        QVERIFY(bar->isHidden());
        QTRY_VERIFY(active->documentEditor()->hasFocus());
    }
}

QTEST_MAIN(TestDocumentMenu)
#include "tst_documentmenu.moc"
