// Screenshots for the user guide, taken from the running workbench on the demo data. Run under
// a real display (scripts/userguide-screenshots.sh runs it under Xvfb); writes <out>/*.png.
// The database comes from OWB_SHOT_DATABASE (a running demo server), else a private ostreld.
#include "support/OstreldProcess.h"
#include "support/Screenshot.h"
#include "support/TestContext.h"

#include "common/Settings.h"
#include "support/ScriptedUserInteraction.h"
#include "log/frmLog.h"
#include "navigation/TreeWidgetDocTree.h"
#include "navigation/frmNavigate.h"
#include "shell/Application.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"
#include "workbench/frmOstrelClient.h"
#include "support/DocTree.h"
#include "xpath/frmFindReplace.h"
#include "xpath/frmXPathQryBuilder.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QWebEngineView>
#include <Qsci/qsciscintilla.h>

#include <cstdio>
#include <memory>

namespace {

QString g_out;
QStringList g_failed;

// Lets the window paint; screenshots need finished frames, not a condition to wait for.
// A child of the main window is taken with its frame.
QWidget *framed(QWidget *w)
{
    auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget());
    return sub ? sub : w;
}

void shot(QWidget *w, const QString &name)
{
    if (!w) {
        g_failed << name + QStringLiteral(" (no window)");
        return;
    }
    if (!owbtest::paintedNow(w)) {
        g_failed << name + QStringLiteral(" (never shown)");
        return;
    }
    const QString path = g_out + u'/' + name + QStringLiteral(".png");
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    if (!ok)
        g_failed << name;
}

// What the screen shows of w, pop-ups over it included (a widget's own picture leaves them out).
void screenShot(QWidget *w, const QString &name)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        shot(w, name);
        return;
    }
    if (!owbtest::paintedNow(w)) {
        g_failed << name + QStringLiteral(" (never shown)");
        return;
    }
    const QRect r(w->mapToGlobal(QPoint(0, 0)), w->size());
    const QString path = g_out + u'/' + name + QStringLiteral(".png");
    const bool ok = w->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    if (!ok)
        g_failed << name;
}

bool waitLoaded(QWebEngineView *view)
{
    if (!view)
        return false;
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    return loaded.wait(30000) && owbtest::showsContent(view);
}

QTreeWidgetItem *docTreeItem(QTreeWidget *tree, const QString &key)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if (owb::TreeWidgetDocTree::keyOf(*it) == key)
            return *it;
    return nullptr;
}

// Selects and clicks a node of a document tree (tvDocument).
void clickDocumentNode(QTreeView *tree, const QString &key)
{
    const QModelIndex i = owbtest::docTreeIndex(tree, key);
    if (!i.isValid())
        return;
    tree->setCurrentIndex(i);
    emit tree->clicked(i);
}

int fail(const QString &why)
{
    std::fprintf(stderr, "%s\n", qPrintable(why));
    return 1;
}

// Opens a doctype's window from the Navigate tree and runs a query with filter.
owb::frmOstrelClient *openAndQuery(owb::frmNavigate *nav, const QString &key, const QString &filter)
{
    auto *tree = nav->findChild<QTreeWidget *>(QStringLiteral("tvDocs"));
    QTreeWidgetItem *item = docTreeItem(tree, key);
    if (!item)
        return nullptr;
    emit tree->itemClicked(item, 0);
    owb::frmOstrelClient *client = nav->documentWindow(key);
    if (!client)
        return nullptr;
    client->findChild<QLineEdit *>(QStringLiteral("txtQry"))->setText(filter);
    client->findChild<QAction *>(QStringLiteral("Query"))->trigger();
    return client;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OstrelClient"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/ostrel-workbench-64.png")));   // as main() does
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(g_out);

    owbtest::IsolatedHome home;
    std::unique_ptr<owbtest::OstreldProcess> server;
    QString database = qEnvironmentVariable("OWB_SHOT_DATABASE");
    if (database.isEmpty()) {
        server = std::make_unique<owbtest::OstreldProcess>();
        if (!server->ok())
            return fail(server->error());
        database = server->databaseURI();
    }
    owb::Settings::save(QStringLiteral("ostreldatabase"), QStringLiteral("uri"), database);

    auto scripted = std::make_unique<owb::ScriptedUserInteraction>();
    owb::ScriptedUserInteraction *ui = scripted.get();
    owb::Application workbench(std::move(scripted));
    workbench.start();
    shot(workbench.splashWindow(), QStringLiteral("splash"));
    if (workbench.splashWindow())
        workbench.splashWindow()->close();
    owb::frmMain *main = workbench.mainWindow();
    main->resize(1200, 800);
    auto *nav = qobject_cast<owb::frmNavigate *>(workbench.navigateWindow());
    if (!nav)
        return fail(QStringLiteral("no Navigate window"));
    if (!QTest::qWaitForWindowExposed(main))
        return fail(QStringLiteral("the main window was not shown"));

    // Login, with the dialog on screen while it is filled in.
    ui->dialogHandlers << [](QDialog *dlg) {
        dlg->show();
        dlg->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("demo"));
        auto *pwd = dlg->findChild<QLineEdit *>(QStringLiteral("txtPassword"));
        pwd->clear();
        QTest::keyClicks(pwd, QStringLiteral("demo"));
        shot(dlg, QStringLiteral("login"));
        dlg->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        return dlg->result();
    };
    nav->findChild<QComboBox *>(QStringLiteral("cboDatabaseURI"))->setCurrentIndex(0);
    nav->findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    auto *docs = nav->findChild<QTreeWidget *>(QStringLiteral("tvDocs"));
    QTreeWidgetItem *sales = docTreeItem(docs, QStringLiteral("Sales"));
    QTreeWidgetItem *library = docTreeItem(docs, QStringLiteral("Library"));
    if (!sales || !library)
        return fail(QStringLiteral("demo collections not loaded: ") + main->statusText());
    emit docs->itemClicked(sales, 0);
    emit docs->itemClicked(library, 0);
    framed(nav)->setGeometry(0, 0, 330, 520);
    shot(framed(nav), QStringLiteral("navigate"));

    owb::frmOstrelClient *customers =
        openAndQuery(nav, QStringLiteral("Sales/Customer"), QStringLiteral("address/country='FR'"));
    if (!customers || customers->findChild<QListWidget *>(QStringLiteral("lstDocuments"))->count() == 0)
        return fail(QStringLiteral("no customers listed: ") + main->statusText());
    const QSize area = main->mdiArea()->size();
    framed(nav)->setGeometry(0, 0, 330, area.height());
    framed(customers)->setGeometry(330, 0, area.width() - 330, area.height());
    shot(main, QStringLiteral("overview"));
    framed(customers)->setGeometry(0, 0, 1000, 640);
    framed(customers)->raise();
    shot(framed(customers), QStringLiteral("query"));

    auto *tabs = customers->findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    tabs->setCurrentIndex(1);
    auto *tree = customers->findChild<QTreeView *>(QStringLiteral("tvDocument"));
    tree->expandAll();
    clickDocumentNode(tree, QStringLiteral("./name"));
    shot(framed(customers), QStringLiteral("tree"));

    // The query builder over the customer shown, built from an empty filter box.
    customers->findChild<QLineEdit *>(QStringLiteral("txtQry"))->clear();
    QTest::mouseClick(customers->findChild<QPushButton *>(QStringLiteral("Command3")), Qt::LeftButton);
    if (auto *builder = main->findChild<owb::frmXPathQryBuilder *>()) {
        auto *btree = builder->findChild<QTreeView *>(QStringLiteral("tvDocument"));
        btree->expandAll();
        clickDocumentNode(btree, QStringLiteral("./address/country"));
        auto *box = builder->findChild<QLineEdit *>(QStringLiteral("txtExpression"));
        box->setCursorPosition(int(box->text().size()) - 1);
        box->insert(QStringLiteral("='FR'"));
        framed(builder)->setGeometry(120, 60, 760, 480);
        framed(builder)->raise();
        shot(framed(builder), QStringLiteral("querybuilder"));
        QTest::mouseClick(builder->findChild<QPushButton *>(QStringLiteral("Command9")), Qt::LeftButton);
    } else {
        g_failed << QStringLiteral("querybuilder (not opened: ") + main->statusText() + u')';
    }

    // Find & Replace over the listed customers: a dry run, so the demo data stay as they are.
    if (QAction *replace = customers->findChild<QAction *>(QStringLiteral("Replace")))
        replace->trigger();
    if (auto *find = main->findChild<owb::frmFindReplace *>()) {
        find->findChild<QLineEdit *>(QStringLiteral("txtFind"))->setText(QStringLiteral("//address/city"));
        find->findChild<QPlainTextEdit *>(QStringLiteral("txtReplace"))->setPlainText(QStringLiteral("Paris"));
        find->findChild<QRadioButton *>(QStringLiteral("optAllListed"))->setChecked(true);
        find->find();
        framed(find)->setGeometry(100, 40, 820, 520);
        framed(find)->raise();
        shot(framed(find), QStringLiteral("findreplace"));
        QTest::mouseClick(find->findChild<QPushButton *>(QStringLiteral("cmdClose")), Qt::LeftButton);
    } else {
        g_failed << QStringLiteral("findreplace (not opened: ") + main->statusText() + u')';
    }

    // Validation against the schema of a customer broken on purpose: the line is marked.
    {
        tabs->setCurrentIndex(0);
        auto *editor = customers->findChild<QsciScintilla *>(QStringLiteral("cmxXMLDoc"));
        const QString shown = editor->text();
        QString broken = shown;
        editor->setText(broken.replace(QStringLiteral("city>"), QStringLiteral("town>")));
        if (QAction *schema = customers->findChild<QAction *>(QStringLiteral("Schema"))) {
            const qsizetype before = ui->shown.size();
            schema->trigger();
            if (ui->shown.size() == before || ui->shown.last().title != QStringLiteral("Validation failed"))
                g_failed << QStringLiteral("check (no validation failure)");
            shot(framed(customers), QStringLiteral("check"));
        } else {
            g_failed << QStringLiteral("check (no Against schema command)");
        }
        editor->setText(shown);
        editor->setModified(false);
    }

    // The stylesheet page of the customers, with the completion list of an element open.
    {
        framed(customers)->raise();
        tabs->setCurrentIndex(2);
        auto *editor = customers->findChild<QsciScintilla *>(QStringLiteral("CodeMax1"));
        int line = 0;
        while (line < editor->lines() && !editor->text(line).contains(QStringLiteral("<xsl:template")))
            ++line;
        const QString before = editor->text();
        editor->setFocus();
        editor->setCursorPosition(line, editor->text(line).trimmed().size() + 2);
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("<fo:block"));
        // Until the window offers completion, the picture shows the page without the list.
        if (!QTest::qWaitFor([editor] { return editor->isListActive(); }, 2000)) {
            std::printf("note: stylesheet page without a completion list\n");
            editor->setText(before);
        }
        screenShot(framed(customers), QStringLiteral("stylesheet"));
        editor->cancelList();
        editor->setText(before);
        tabs->setCurrentIndex(0);
    }

    // The import and export windows of the customers, from the toolbar.
    {
        customers->findChild<QAction *>(QStringLiteral("import"))->trigger();
        if (auto *import = customers->findChild<QDialog *>(QStringLiteral("frmImport"))) {
            // Two files that are there to import: copies of demo customers.
            const QString dir = home.path() + QStringLiteral("/export");
            QDir().mkpath(dir);
            for (const char *file : {"customer-001.xml", "customer-002.xml"}) {
                const QString to = dir + QStringLiteral("/new-") + QLatin1String(file);
                QFile::copy(QStringLiteral(OWB_SOURCE_DIR "/ostreld/demo/collections/Sales/") + QLatin1String(file), to);
                import->findChild<QListWidget *>(QStringLiteral("lstImport"))->addItem(to);
            }
            shot(import, QStringLiteral("import"));
            import->close();
        } else {
            g_failed << QStringLiteral("import (no window)");
        }
        customers->findChild<QAction *>(QStringLiteral("export"))->trigger();
        auto *exportWindow = customers->findChild<QDialog *>(QStringLiteral("frmExport"));
        shot(exportWindow, QStringLiteral("export"));
        if (exportWindow)
            exportWindow->close();
    }

    owb::frmOstrelClient *orders =
        openAndQuery(nav, QStringLiteral("Sales/Order"), QStringLiteral("@status='open'"));
    if (!orders)
        return fail(QStringLiteral("no Order window"));
    framed(orders)->setGeometry(0, 0, 1000, 640);
    framed(orders)->raise();
    // A new sample document from the schema; shown, then the stored order again.
    {
        auto *editor = orders->findChild<QsciScintilla *>(QStringLiteral("cmxXMLDoc"));
        const QString shown = editor->text();
        orders->findChild<QAction *>(QStringLiteral("New"))->trigger();
        if (editor->text() == shown)
            g_failed << QStringLiteral("new (no sample document: ") + main->statusText() + u')';
        shot(framed(orders), QStringLiteral("new"));
        editor->setText(shown);
        editor->setModified(false);
    }
    auto *otabs = orders->findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    auto *styleEditor = orders->findChild<QsciScintilla *>(QStringLiteral("CodeMax1"));
    QFile xsl(QStringLiteral(OWB_SOURCE_DIR "/ostreld/demo/xsl/order.xsl"));
    if (!xsl.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("no demo stylesheet"));
    styleEditor->setText(QString::fromUtf8(xsl.readAll()));
    otabs->setCurrentIndex(2);
    otabs->setCurrentIndex(3);
    if (!waitLoaded(orders->findChild<QWebEngineView *>(QStringLiteral("WebBrowser1"))))
        g_failed << QStringLiteral("result (stylesheet not applied: ") + main->statusText() + u')';
    shot(framed(orders), QStringLiteral("result"));

    main->HideLog();
    if (QWidget *log = workbench.logWindow()) {
        framed(log)->setGeometry(60, 40, 760, 420);
        framed(log)->raise();
        shot(framed(log), QStringLiteral("log"));
        main->HideLog();
    }

    {
        main->findChild<QAction *>(QStringLiteral("cmdHelpAbout"))->trigger();
        shot(workbench.aboutWindow(), QStringLiteral("about"));
        if (workbench.aboutWindow())
            workbench.aboutWindow()->close();
    }
    {
        // The guide shown in Help has this run's pictures, also on a first run.
        const QString images = home.path() + QStringLiteral("/documentation/images/");
        QDir().mkpath(images);
        for (const QFileInfo &png : QDir(g_out).entryInfoList({QStringLiteral("*.png")}, QDir::Files)) {
            QFile::remove(images + png.fileName());
            QFile::copy(png.filePath(), images + png.fileName());
        }
        main->findChild<QAction *>(QStringLiteral("mnuHelpIndex"))->trigger();
        owb::frmHelp *help = workbench.helpWindow();
        if (!help)
            return fail(QStringLiteral("Help > Index opened nothing"));
        framed(help)->setGeometry(40, 20, 1000, 680);
        if (!waitLoaded(help->browser()))
            g_failed << QStringLiteral("help (guide not loaded)");
        shot(framed(help), QStringLiteral("help"));
        framed(help)->close();
    }

    // What was typed for the pictures is no edit to keep.
    for (QWidget *w : {static_cast<QWidget *>(customers), static_cast<QWidget *>(orders)}) {
        for (QsciScintilla *e : w->findChildren<QsciScintilla *>())
            e->setModified(false);
        framed(w)->close();
    }
    main->close();
    if (!g_failed.isEmpty())
        return fail(QStringLiteral("not taken: ") + g_failed.join(QStringLiteral(", ")));
    return 0;
}
