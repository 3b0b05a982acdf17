// Which commands of the document window's toolbars can act in which state: an action is
// enabled exactly then, and follows the state as it changes.
#include "WorkbenchFixture.h"

#include "workbench/CommandBars.h"
#include "workbench/DocumentSession.h"
#include "workbench/DocumentTabs.h"
#include "workbench/frmOstrelClient.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

#include <Qsci/qsciscintilla.h>

using owb::frmOstrelClient;
using namespace wbtest;

namespace {

const QStringList kKeys = {"Query", "Store", "Remove", "New", "Open", "Save", "import", "export", "Copy", "Cut",
                           "Delete", "Paste", "Print", "Validate", "WellFormed", "Schema", "exit"};
const QStringList kAlways = {"Query", "New", "import", "exit"};

QStringList enabledIn(const frmOstrelClient &w)
{
    QStringList on;
    for (const QString &key : kKeys) {
        const QAction *a = w.findChild<QAction *>(key);
        if (a && a->isEnabled())
            on << key;
    }
    return on;
}

} // namespace

class TestCommandStates : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void states_data();
    void states();
    void followsTheSession();

private:
    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<Server> m_server;
};

void TestCommandStates::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
    m_server = std::make_unique<Server>();
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
}

void TestCommandStates::states_data()
{
    QTest::addColumn<QString>("doctype");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("stylesheet");
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("enabled");   // besides the ones always enabled

    QTest::newRow("empty text page") << "Order" << int(owb::TabText) << "" << "<x/>" << false << ""
                                     << QStringList{"Open"};
    QTest::newRow("blanks only") << "Order" << int(owb::TabText) << " \n\t " << "<x/>" << false << ""
                                 << QStringList{"Open"};
    QTest::newRow("a new document") << "Order" << int(owb::TabText) << "<Order/>" << "<x/>" << false << ""
                                    << QStringList{"Store", "Open", "Save", "Print", "Validate", "WellFormed",
                                                   "Schema"};
    QTest::newRow("a selection and something to paste")
        << "Order" << int(owb::TabText) << "<Order/>" << "<x/>" << true << "<y/>"
        << QStringList{"Store", "Open", "Save", "Copy", "Cut", "Delete", "Paste", "Print", "Validate", "WellFormed",
                       "Schema"};
    QTest::newRow("stylesheet page") << "Order" << int(owb::TabStylesheet) << "<Order/>" << "<x/>" << false << ""
                                     << QStringList{"Store", "Open", "Save", "Print", "Validate", "WellFormed"};
    QTest::newRow("stylesheet page, empty document")
        << "Order" << int(owb::TabStylesheet) << "" << "<x/>" << false << ""
        << QStringList{"Open", "Save", "Print", "Validate"};
    QTest::newRow("tree page") << "Order" << int(owb::TabTree) << "<Order/>" << "<x/>" << true << "<y/>"
                               << QStringList{"Store"};
    // What a non-XML doctype cannot do, its commands say: they stay available to say it.
    QTest::newRow("non-XML doctype, tree page")
        << "Picture" << int(owb::TabTree) << "" << "" << false << "" << QStringList{"Open", "Save", "export",
                                                                                     "Validate"};
}

void TestCommandStates::states()
{
    QFETCH(QString, doctype);
    QFETCH(int, page);
    QFETCH(QString, document);
    QFETCH(QString, stylesheet);
    QFETCH(bool, selectAll);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, enabled);

    if (clipboard.isEmpty())
        QGuiApplication::clipboard()->clear();
    else
        QGuiApplication::clipboard()->setText(clipboard);
    Context ctx(m_server->databaseURI());
    frmOstrelClient w(ctx.app());
    w.setDoctype("Shop/" + doctype);
    w.Init(m_server->openingURI(doctype));
    w.stylesheetEditor()->setText(stylesheet);
    w.documentEditor()->setText(document);
    w.tabs()->setCurrentIndex(page);
    if (selectAll) {
        w.documentEditor()->selectAll();
        w.stylesheetEditor()->selectAll();
    }
    QStringList expected = kAlways + enabled;
    QStringList on = enabledIn(w);
    expected.sort();
    on.sort();
    QVERIFY2(on == expected, qPrintable(on.join(",") + " / " + expected.join(",")));
    // Every disabled command says why on a line of its tip; an enabled one does not.
    for (const QString &key : kKeys) {
        const QAction *a = w.findChild<QAction *>(key);
        const QStringList lines = w.commandBars().tipOf(a).split('\n');
        QCOMPARE(lines.first().startsWith(a->toolTip()), true);
        QVERIFY2(lines.size() == (a->isEnabled() ? 1 : 2), qPrintable(key + ": " + lines.join('|')));
    }
}

void TestCommandStates::followsTheSession()
{
    Context ctx(m_server->databaseURI());
    frmOstrelClient w(ctx.app());
    w.setDoctype("Shop/Order");
    w.Init(m_server->openingURI("Order"));
    QAction *remove = w.findChild<QAction *>("Remove");
    QAction *exportAction = w.findChild<QAction *>("export");
    QVERIFY(remove && exportAction);
    QVERIFY(!remove->isEnabled());
    QVERIFY(!exportAction->isEnabled());

    // A query lists the orders and shows the first: a stored document to remove, a list to export.
    w.RunQuery();
    QVERIFY(w.documentList()->count() > 0);
    QVERIFY(exportAction->isEnabled());
    QVERIFY(remove->isEnabled());

    // Removed, the document is no longer stored; it can be stored anew.
    ctx.ui.questionAnswers << true;
    remove->trigger();
    QVERIFY2(ctx.ui.messages().isEmpty(), qPrintable(ctx.ui.messages().join('|')));
    QVERIFY(!remove->isEnabled());
    QVERIFY(w.findChild<QAction *>("Store")->isEnabled());

    // An empty list leaves nothing to export.
    w.documentList()->clear();
    QVERIFY(!exportAction->isEnabled());
}

QTEST_MAIN(TestCommandStates)
#include "tst_commandstates.moc"
