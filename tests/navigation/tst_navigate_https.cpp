// The workbench over HTTPS: the login with a chosen certificate authority, the tree, a query
// and a fetch; the refusal without the authority; the choice kept for the next start.
#include <QtTest>
#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <Qsci/qsciscintilla.h>

#include "navigation/TreeWidgetDocTree.h"
#include "navigation/frmNavigate.h"
#include "common/Settings.h"
#include "workbench/frmOstrelClient.h"
#include "NavFixture.h"
#include "support/NamedChildren.h"
#include "support/TlsFiles.h"

using owb::frmNavigate;
using owbtest::child;

namespace {

QTreeWidgetItem *find(QTreeWidget *tree, const QString &key)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if (owb::TreeWidgetDocTree::keyOf(*it) == key)
            return *it;
    return nullptr;
}

// The login, after choosing the authority file through "Certificate authority..." when given.
std::function<int(QDialog *)> loginWith(owb::ScriptedUserInteraction &ui, const QString &caFile)
{
    return [&ui, caFile](QDialog *dlg) {
        if (!caFile.isEmpty()) {
            auto *choose = child<QPushButton>(dlg, "cmdCAFile");
            if (!choose) {
                QTest::qFail("the login dialog lacks cmdCAFile", __FILE__, __LINE__);
                return int(QDialog::Rejected);
            }
            ui.fileAnswers << caFile;
            choose->click();
        }
        return navtest::answerLogin("demo", "demo")(dlg);
    };
}

} // namespace

class TestNavigateHttps : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void loginTreeQueryAndFetch();
    void untrustedServerIsRefused();
    void chosenAuthorityServesTheNextStart();

private:
    void load(frmNavigate &nav) { child<QPushButton>(&nav, "Command3")->click(); }

    std::unique_ptr<owbtest::TlsFiles> m_tls;
    std::unique_ptr<owbtest::OstreldProcess> m_server;
    std::unique_ptr<navtest::IsolatedHome> m_home;
    QString m_db;
};

void TestNavigateHttps::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("OSTRELD_EXE"))
        QSKIP("the server is not part of this build (OSTRELD_EXE unset)");
    m_tls = std::make_unique<owbtest::TlsFiles>();
    QVERIFY2(m_tls->ok(), qPrintable(m_tls->error()));
    m_server = std::make_unique<owbtest::OstreldProcess>(m_tls->serving(m_tls->certificate()));
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    m_db = m_server->databaseURI("localhost");
}

void TestNavigateHttps::init()
{
    m_home = std::make_unique<navtest::IsolatedHome>();
    owb::Settings::save("ostreldatabase", "uri", m_db);
}

void TestNavigateHttps::loginTreeQueryAndFetch()
{
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    ctx.ui.dialogHandlers << loginWith(ctx.ui, m_tls->authority());
    load(nav);
    const QString established = "Connection to " + m_db + " has been established";
    QVERIFY2(ctx.log.lines.contains(established), qPrintable(ctx.log.lines.join('|')));
    QVERIFY2(ctx.ui.messages().isEmpty(), qPrintable(ctx.ui.messages().join('|')));
    auto *tree = child<QTreeWidget>(&nav, "tvDocs");
    QTreeWidgetItem *order = find(tree, "Sales/Order");
    QVERIFY(order);

    emit tree->itemClicked(order, 0);
    QCOMPARE(ctx.main.shown.size(), 1);
    auto *window = qobject_cast<owb::frmOstrelClient *>(ctx.main.shown[0].data());
    QVERIFY(window);
    QVERIFY(child<QsciScintilla>(window, "CodeMax2")->text().contains("<osd:doctype name=\"Order\""));
    child<QAction>(window, "Query")->trigger();
    auto *list = child<QListWidget>(window, "lstDocuments");
    QCOMPARE(list->count(), 150);
    // The query shows its first hit, fetched on its own.
    QVERIFY(child<QsciScintilla>(window, "cmxXMLDoc")->text().contains("osl:id=\"1\""));
    QVERIFY2(ctx.ui.messages().isEmpty(), qPrintable(ctx.ui.messages().join('|')));
    window->close();
}

void TestNavigateHttps::untrustedServerIsRefused()
{
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    ctx.ui.dialogHandlers << loginWith(ctx.ui, QString());
    load(nav);
    const QString why = "The certificate of localhost is issued by an unknown certificate authority";
    QCOMPARE(ctx.ui.messages().size(), 1);
    const QString box = ctx.ui.messages().first();
    QVERIFY2(box.startsWith("Failed to connect to server " + m_db + "\n"), qPrintable(box));
    QVERIFY2(box.contains(why), qPrintable(box));
    QVERIFY2(!ctx.log.lines.filter(why).isEmpty(), qPrintable(ctx.log.lines.join('|')));
    QVERIFY2(!ctx.main.statuses.filter(why).isEmpty(), qPrintable(ctx.main.statuses.join('|')));
    QVERIFY(!ctx.connection.ConnectionExists(m_db));
    QCOMPARE(child<QTreeWidget>(&nav, "tvDocs")->topLevelItemCount(), 0);
}

void TestNavigateHttps::chosenAuthorityServesTheNextStart()
{
    {
        navtest::Context ctx;
        frmNavigate nav(ctx.app());
        ctx.ui.dialogHandlers << loginWith(ctx.ui, m_tls->authority());
        load(nav);
        QVERIFY(ctx.connection.ConnectionExists(m_db));
    }
    navtest::Context ctx;
    frmNavigate nav(ctx.app());
    QCOMPARE(ctx.http.authorityFileFor(m_db + "?_diagnose=ping"), m_tls->authority());
    ctx.ui.dialogHandlers << loginWith(ctx.ui, QString());
    load(nav);
    QVERIFY2(ctx.ui.messages().isEmpty(), qPrintable(ctx.ui.messages().join('|')));
    QVERIFY(find(child<QTreeWidget>(&nav, "tvDocs"), "Library/Book"));
}

QTEST_MAIN(TestNavigateHttps)
#include "tst_navigate_https.moc"
