#include "shell/frmMain.h"
#include "common/UnsavedWork.h"
#include "support/ScriptedUserInteraction.h"
#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

using namespace owb;

namespace {

QAction *item(frmMain &w, const QString &name)
{
    return w.findChild<QAction *>(name);
}

class StubbornChild : public QWidget {
public:
    bool refuse = true;
protected:
    void closeEvent(QCloseEvent *e) override
    {
        if (refuse)
            e->ignore();
        else
            e->accept();
    }
};

// A window holding unsaved texts that asks nothing itself once they were let go.
class EditedChild : public QWidget, public UnsavedWork {
public:
    QStringList names;
    bool discarded = false;
    QStringList unsavedChanges() override { return discarded ? QStringList() : names; }
    void discardUnsavedChanges() override { discarded = true; }
protected:
    void closeEvent(QCloseEvent *e) override { e->setAccepted(discarded || names.isEmpty()); }
};

} // namespace

class TestFrmMain : public QObject {
    Q_OBJECT
private slots:
    void window();
    void menuBarOrder();
    void menuItems_data();
    void menuItems();
    void hideLogToggles();
    void viewLogItemToggles();
    void enableDocMenuOnlyWhenHidden();
    void disableDocMenuHidesAll();
    void statusBarItemClickedTwice();
    void navigateItemTogglesNavigateWindow();
    void setStatus_data();
    void setStatus();
    void childWindows();
    void exitClosesChildren();
    void childRefusingCloseKeepsMainOpen();
    void oneQuestionForEveryEditedWindow_data();
    void oneQuestionForEveryEditedWindow();
    void helpItemsSignal();
};

void TestFrmMain::window()
{
    frmMain w;
    QCOMPARE(w.objectName(), QStringLiteral("frmMain"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Ostrel Workbench"));
    QCOMPARE(w.centralWidget(), static_cast<QWidget *>(w.mdiArea()));
    auto *sb = w.findChild<QStatusBar *>("sbMessage");
    QVERIFY(sb);
    QCOMPARE(w.statusBar(), sb);
    QVERIFY(!sb->isHidden());
}

void TestFrmMain::menuBarOrder()
{
    frmMain w;
    QStringList names, captions;
    for (QAction *a : w.menuBar()->actions()) {
        names << a->menu()->objectName();
        captions << a->text();
    }
    QCOMPARE(names, (QStringList{"cmdFile", "cmdView", "mnuDocument", "mnuHelp"}));
    QCOMPARE(captions, (QStringList{"&File", "&View", "&Document", "&Help"}));
    // The Document menu shows only while a document window is active.
    QVERIFY(!w.documentMenu()->menuAction()->isVisible());
}

void TestFrmMain::menuItems_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("separator");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("checked");

    QTest::newRow("perform") << "cmdFile" << 0 << "mnuFilePerform" << "&Perform request" << false << false << false;
    QTest::newRow("process") << "cmdFile" << 1 << "mnuFileProcess" << "Process &documents" << false << false << false;
    QTest::newRow("sep1") << "cmdFile" << 2 << "mnuFileSep1" << "-" << true << false << false;
    QTest::newRow("print") << "cmdFile" << 3 << "mnuFilePrint" << "&Print" << false << false << false;
    QTest::newRow("sep2") << "cmdFile" << 4 << "mnuFileSep2" << "-" << true << false << false;
    QTest::newRow("exit") << "cmdFile" << 5 << "mnuFileExit" << "&Exit" << false << false << false;
    QTest::newRow("navigate") << "cmdView" << 0 << "cmdViewNavigate" << "&Navigate" << false << true << true;
    QTest::newRow("status") << "cmdView" << 1 << "cmdViewStatus" << "&Statusbar" << false << true << true;
    QTest::newRow("log") << "cmdView" << 2 << "mnuViewLog" << "&Log" << false << true << false;
    QTest::newRow("index") << "mnuHelp" << 0 << "mnuHelpIndex" << "Index" << false << false << false;
    QTest::newRow("help sep") << "mnuHelp" << 1 << "mnuHelpSep" << "-" << true << false << false;
    QTest::newRow("about") << "mnuHelp" << 2 << "cmdHelpAbout" << "&About" << false << false << false;
}

void TestFrmMain::menuItems()
{
    QFETCH(QString, menu);
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, separator);
    QFETCH(bool, checkable);
    QFETCH(bool, checked);

    frmMain w;
    auto *m = w.findChild<QMenu *>(menu);
    QVERIFY(m);
    QVERIFY(position < m->actions().size());
    QAction *a = m->actions().at(position);
    QCOMPARE(a->objectName(), name);
    QCOMPARE(a, item(w, name));
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->isSeparator(), separator);
    QCOMPARE(a->isCheckable(), checkable);
    QCOMPARE(a->isChecked(), checked);
    QVERIFY(a->isVisible());
}

void TestFrmMain::hideLogToggles()
{
    frmMain w;
    QWidget log;
    w.setLogWindow(&log);
    w.show();
    QAction *mark = item(w, "mnuViewLog");

    w.HideLog();
    QVERIFY(mark->isChecked());
    QVERIFY(w.isChildShown(&log));
    QVERIFY(qobject_cast<QMdiSubWindow *>(log.parentWidget()));
    QCOMPARE(w.mdiArea()->activeSubWindow(), log.parentWidget());

    w.HideLog();
    QVERIFY(!mark->isChecked());
    QVERIFY(!w.isChildShown(&log));

    w.HideLog();
    QVERIFY(mark->isChecked());
    QVERIFY(w.isChildShown(&log));
    QCOMPARE(w.mdiArea()->subWindowList().size(), 1);
}

void TestFrmMain::viewLogItemToggles()
{
    frmMain w;
    QWidget log;
    w.setLogWindow(&log);
    w.show();
    QAction *mark = item(w, "mnuViewLog");
    mark->trigger();
    QVERIFY(mark->isChecked());
    QVERIFY(w.isChildShown(&log));
    mark->trigger();
    QVERIFY(!mark->isChecked());
    QVERIFY(!w.isChildShown(&log));
}

void TestFrmMain::enableDocMenuOnlyWhenHidden()
{
    frmMain w;
    const QStringList docItems{"mnuFilePerform", "mnuFileProcess", "mnuFileSep1", "mnuFilePrint", "mnuFileSep2"};
    w.DisableDocMenu();
    w.EnableDocMenu();
    for (const QString &n : docItems)
        QVERIFY2(item(w, n)->isVisible(), qPrintable(n));

    // Process is visible already: a second call must leave every item as it is.
    item(w, "mnuFilePrint")->setVisible(false);
    w.EnableDocMenu();
    QVERIFY(!item(w, "mnuFilePrint")->isVisible());
    QVERIFY(item(w, "mnuFileProcess")->isVisible());
}

void TestFrmMain::disableDocMenuHidesAll()
{
    frmMain w;
    w.DisableDocMenu();
    for (const char *n : {"mnuFilePerform", "mnuFileProcess", "mnuFileSep1", "mnuFilePrint", "mnuFileSep2"})
        QVERIFY2(!item(w, n)->isVisible(), n);
    QVERIFY(item(w, "mnuFileExit")->isVisible());
    w.DisableDocMenu();
    QVERIFY(!item(w, "mnuFileProcess")->isVisible());
}

void TestFrmMain::statusBarItemClickedTwice()
{
    frmMain w;
    w.show();
    QAction *mark = item(w, "cmdViewStatus");
    auto *sb = w.findChild<QStatusBar *>("sbMessage");
    mark->trigger();
    QVERIFY(!mark->isChecked());
    QVERIFY(sb->isHidden());
    mark->trigger();
    QVERIFY(mark->isChecked());
    QVERIFY(!sb->isHidden());
}

void TestFrmMain::navigateItemTogglesNavigateWindow()
{
    frmMain w;
    QWidget nav;
    w.setNavigateWindow(&nav);
    w.show();
    w.showChild(&nav);
    QAction *mark = item(w, "cmdViewNavigate");
    mark->trigger();
    QVERIFY(!mark->isChecked());
    QVERIFY(!w.isChildShown(&nav));
    mark->trigger();
    QVERIFY(mark->isChecked());
    QVERIFY(w.isChildShown(&nav));
}

void TestFrmMain::setStatus_data()
{
    QTest::addColumn<QString>("message");
    QTest::newRow("loaded") << "Documents have been loaded";
    QTest::newRow("empty") << "";
    QTest::newRow("unicode") << QStringLiteral("Größe ✓");
}

void TestFrmMain::setStatus()
{
    QFETCH(QString, message);
    frmMain w;
    w.setStatus(QStringLiteral("before"));
    w.setStatus(message);
    QCOMPARE(w.statusText(), message);
    QVERIFY(w.findChild<QStatusBar *>("sbMessage"));
    auto *panel = w.findChild<QStatusBar *>("sbMessage")->findChild<QLabel *>();
    QVERIFY(panel);
    QCOMPARE(panel->text(), message);
}

void TestFrmMain::childWindows()
{
    frmMain w;
    auto *a = new QWidget;
    auto *b = new QWidget;
    a->setMinimumSize(300, 200);
    QMdiSubWindow *subA = w.addChild(a);
    QVERIFY(subA->width() >= 300 && subA->height() >= 200);
    QCOMPARE(w.addChild(a), subA);
    w.showChild(a);
    w.showChild(b);
    QVERIFY(w.isVisible());
    QCOMPARE(w.mdiArea()->subWindowList().size(), 2);
    QCOMPARE(w.mdiArea()->activeSubWindow(), b->parentWidget());
    w.activateChild(a);
    QCOMPARE(w.mdiArea()->activeSubWindow(), subA);
    // Closing a frame only hides a single-instance child.
    subA->close();
    QCoreApplication::processEvents();
    QCOMPARE(w.mdiArea()->subWindowList().size(), 2);
    w.showChild(a);
    QVERIFY(w.isChildShown(a));
    // The frame marks a modified child while the child's caption stays as it is.
    auto *doc = new QWidget;
    doc->setWindowTitle(QStringLiteral("Ostrel Document"));
    w.showChild(doc);
    doc->setWindowModified(true);
    QVERIFY(doc->parentWidget()->isWindowModified());
    QCOMPARE(doc->windowTitle(), QStringLiteral("Ostrel Document"));
    doc->setWindowModified(false);
    QVERIFY(!doc->parentWidget()->isWindowModified());
}

void TestFrmMain::exitClosesChildren()
{
    frmMain w;
    auto *doc = new QWidget;
    doc->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWidget> watch(doc);
    w.showChild(doc);
    item(w, "mnuFileExit")->trigger();
    QVERIFY(!w.isVisible());
    QTRY_VERIFY(watch.isNull());
}

void TestFrmMain::childRefusingCloseKeepsMainOpen()
{
    frmMain w;
    auto *child = new StubbornChild;
    w.showChild(child);
    item(w, "mnuFileExit")->trigger();
    QVERIFY(w.isVisible());
    child->refuse = false;
    item(w, "mnuFileExit")->trigger();
    QVERIFY(!w.isVisible());
}

void TestFrmMain::oneQuestionForEveryEditedWindow_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestFrmMain::oneQuestionForEveryEditedWindow()
{
    QFETCH(bool, yes);
    ScriptedUserInteraction ui;
    frmMain w;
    w.setUserInteraction(&ui);
    auto *orders = new EditedChild;
    orders->names = QStringList{"Order osl:id=2", "the stylesheet (Order)"};
    auto *clean = new EditedChild;
    auto *books = new EditedChild;
    books->names = QStringList{"the new document (Book)"};
    for (QWidget *child : {static_cast<QWidget *>(orders), static_cast<QWidget *>(clean), static_cast<QWidget *>(books)})
        w.showChild(child);
    ui.questionAnswers = {yes};
    item(w, "mnuFileExit")->trigger();
    QCOMPARE(ui.shown.size(), 1);
    QCOMPARE(ui.shown[0].title, QString("Unsaved changes"));
    QCOMPARE(ui.shown[0].text,
             QString("Discard the changes to Order osl:id=2, the stylesheet (Order), the new document (Book)?"));
    QVERIFY(ui.shown[0].defaultNo);
    QCOMPARE(w.isVisible(), !yes);
    QCOMPARE(orders->discarded, yes);
    QCOMPARE(books->discarded, yes);
}

void TestFrmMain::helpItemsSignal()
{
    frmMain w;
    QSignalSpy index(&w, &frmMain::helpIndexRequested);
    QSignalSpy about(&w, &frmMain::aboutRequested);
    item(w, "mnuHelpIndex")->trigger();
    QCOMPARE(index.size(), 1);
    QCOMPARE(about.size(), 0);
    item(w, "cmdHelpAbout")->trigger();
    QCOMPARE(about.size(), 1);
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
