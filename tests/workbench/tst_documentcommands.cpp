#include "WorkbenchFixture.h"
#include "support/NamedChildren.h"

#include "common/AppPaths.h"
#include "common/Settings.h"
#include "schema/BuildNewDoc.h"
#include "transfer/frmExport.h"
#include "transfer/frmImport.h"
#include "workbench/frmOstrelClient.h"
#include "xml/DomDocument.h"
#include "xml/xmlutil.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <Qsci/qsciscintilla.h>

using owb::frmOstrelClient;
using Icon = owb::UserInteraction::Icon;
using namespace wbtest;

namespace {

QString listText(QListWidget *list, int row) { return list->item(row) ? list->item(row)->text() : QString(); }

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// The commands of Toolbar1 against ostreld with the demo data.
class TestDocumentCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<owbtest::OstreldProcess> m_server;

    struct Opened {
        std::unique_ptr<Context> ctx;
        std::unique_ptr<frmOstrelClient> w;
        QsciScintilla *text() const { return w->documentEditor(); }
        QListWidget *list() const { return w->documentList(); }
        void run(const char *key) const { w->findChild<QAction *>(QString::fromLatin1(key))->trigger(); }
        void query(const QString &filter) const
        {
            w->findChild<QLineEdit *>("txtQry")->setText(filter);
            run("Query");
        }
    };
    Opened open(const QString &collection, const QString &doctype)
    {
        Opened o;
        o.ctx = std::make_unique<Context>(m_server->databaseURI());
        o.w = std::make_unique<frmOstrelClient>(o.ctx->app());
        o.w->setDoctype(collection + "/" + doctype);
        o.w->Init(m_server->databaseURI() + "/" + collection + "?_xql=" + doctype);
        o.w->show();
        return o;
    }
    // The stored document with this id, as the server has it; empty when there is none.
    QString stored(const QString &collection, const QString &doctype, const QString &id)
    {
        owb::HttpClient http;
        const auto r = http.get(m_server->databaseURI() + "/" + collection + "?_xql="
                                + QUrl::toPercentEncoding(doctype + "[@osl:id=" + id + "]"));
        const int at = r.body.indexOf("<" + doctype.toUtf8() + " ");
        return at < 0 ? QString() : QString::fromUtf8(r.body.mid(at));
    }
    static QString idOf(const QString &text)
    {
        owb::DomDocument doc;
        return doc.loadXML(text) ? doc.documentElement().getAttribute("osl:id") : QString();
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void toolbarButtons();
    void newThenStoreOnEachDemoDoctype_data();
    void newThenStoreOnEachDemoDoctype();
    void failedNewKeepsTheEditor();
    void storeReplacesAChangedDocument();
    void storeFailureAndNothingToStore();
    void removeAsksFirst_data();
    void removeAsksFirst();
    void openAndSaveByPage_data();
    void openAndSaveByPage();
    void openRefusesABadByte();
    void saveAsksBeforeOverwriting_data();
    void saveAsksBeforeOverwriting();
    void nonXmlDoctype();
    void importDialogQueriesAndRemembers();
    void exportDialog();
    void unsavedEditsAskBeforeClosing();
};

void TestDocumentCommands::init()
{
    m_home = std::make_unique<IsolatedHome>();
}

void TestDocumentCommands::cleanup()
{
    m_home.reset();
}

void TestDocumentCommands::initTestCase()
{
    {
        Context ctx;
        frmOstrelClient probe(ctx.app());
        const QString missing = owbtest::missingChildren(
            &probe, {owbtest::named<QLineEdit>("txtQry"),
                     owbtest::named<QToolBar>("Toolbar1"),
                     owbtest::named<QAction>("Query"),
                     owbtest::named<QAction>("Store"),
                     owbtest::named<QAction>("Remove"),
                     owbtest::named<QAction>("New"),
                     owbtest::named<QAction>("Open"),
                     owbtest::named<QAction>("Save"),
                     owbtest::named<QAction>("import"),
                     owbtest::named<QAction>("export")});
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("the window lacks ") + missing));
    }
    m_server = std::make_unique<owbtest::OstreldProcess>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
}

void TestDocumentCommands::toolbarButtons()
{
    auto o = open("Sales", "Order");
    const QList<QAction *> actions = o.w->findChild<QToolBar *>("Toolbar1")->actions();
    const QStringList expected{"Query|Query|Query",
                               "Store|Store|Store current document",
                               "Remove|Remove|Remove selected document",
                               "New|New|Create new (test) document",
                               "Open|Open|Open xml document",
                               "Save|Save|Save current document",
                               "import|Import|Import XML documents",
                               "export|Export|export documents to file system"};
    QStringList got;
    for (const QAction *a : actions)
        got << a->objectName() + "|" + a->text() + "|" + a->toolTip();
    QCOMPARE(got, expected);
}

void TestDocumentCommands::newThenStoreOnEachDemoDoctype_data()
{
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("doctype");
    for (const char *row : {"Sales/Order", "Sales/Customer", "Sales/Invoice", "Library/Book", "Library/Author"}) {
        const QStringList parts = QString::fromLatin1(row).split('/');
        QTest::newRow(row) << parts[0] << parts[1];
    }
}

void TestDocumentCommands::newThenStoreOnEachDemoDoctype()
{
    QFETCH(QString, collection);
    QFETCH(QString, doctype);
    auto o = open(collection, doctype);
    o.run("New");
    const QString sample = o.text()->text();
    owb::DomDocument doc;
    QVERIFY2(doc.loadXML(sample), qPrintable(sample));
    QCOMPARE(doc.documentElement().nodeName(), doctype);
    QVERIFY(doc.documentElement().hasChildNodes());
    QVERIFY(idOf(sample).isEmpty());
    QVERIFY(o.ctx->ui.shown.isEmpty());
    // The generator's document for the schema on the schema page, formatted.
    owb::BuildNewDoc builder;
    QCOMPARE(sample, owb::xmlutil().FormatXML(builder.CreateNewDoc(o.w->schemaEditor()->text(), doctype)));
    // The schema accepts its sample, as the user checks it.
    o.run("Schema");
    QCOMPARE(o.ctx->ui.messages(), QStringList{"Document is valid"});
    o.ctx->ui.shown.clear();

    o.run("Store");
    QVERIFY2(o.ctx->ui.shown.isEmpty(), qPrintable(o.ctx->ui.messages().join('\n')));
    QCOMPARE(o.list()->count(), 1);
    const QString id = listText(o.list(), 0).mid(QString("+ osl:id=").size());
    QCOMPARE(listText(o.list(), 0), "+ osl:id=" + id);
    QCOMPARE(o.list()->currentRow(), 0);
    QCOMPARE(o.ctx->log.lines.last(), "Document  " + doctype + ", osl:id=" + id + ", processed");
    QCOMPARE(o.ctx->main.lastStatus(), "Document " + doctype + ", osl:id=" + id + ", processed");
    // The stored document is shown again, now with its id; the next query lists it.
    QCOMPARE(idOf(o.text()->text()), id);
    QVERIFY(!stored(collection, doctype, id).isEmpty());
    o.query("@osl:id=" + id);
    QCOMPARE(listText(o.list(), 0), "osl:id=" + id);
}

void TestDocumentCommands::failedNewKeepsTheEditor()
{
    auto o = open("Sales", "Order");
    // A schema no document can satisfy: a text of one of three letters, at least two long.
    o.w->schemaEditor()->setText(
        "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:element name=\"Order\"><xs:simpleType>"
        "<xs:restriction base=\"xs:string\"><xs:pattern value=\"[a-c]\"/><xs:minLength value=\"2\"/>"
        "</xs:restriction></xs:simpleType></xs:element></xs:schema>");
    o.text()->setText("<Order>mine</Order>");
    o.text()->setModified(true);
    o.run("New");
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QCOMPARE(o.ctx->ui.shown[0].title, QString("Creation failed"));
    QCOMPARE(o.ctx->ui.shown[0].icon, Icon::Exclamation);
    QVERIFY2(o.ctx->ui.shown[0].text.contains("matches the pattern \"[a-c]\""), qPrintable(o.ctx->ui.shown[0].text));
    QCOMPARE(o.ctx->log.lines.last(), o.ctx->ui.shown[0].text);
    QCOMPARE(o.text()->text(), QString("<Order>mine</Order>"));
    QVERIFY(o.text()->isModified());
}

void TestDocumentCommands::storeReplacesAChangedDocument()
{
    auto o = open("Sales", "Customer");
    o.query("@osl:id=3");
    QCOMPARE(o.list()->count(), 1);
    const QString changed = o.text()->text().replace(QRegularExpression("<email>[^<]*</email>"),
                                                     "<email>changed@example.org</email>");
    o.text()->setText(changed);
    o.run("Store");
    QCOMPARE(o.list()->count(), 1);
    QCOMPARE(o.ctx->log.lines.last(), QString("Document  Customer, osl:id=3, processed"));
    QVERIFY(stored("Sales", "Customer", "3").contains("<email>changed@example.org</email>"));
}

void TestDocumentCommands::storeFailureAndNothingToStore()
{
    auto o = open("Sales", "Order");
    o.text()->setText("  \n ");
    o.run("Store");
    o.run("Remove");
    o.run("Save");
    QVERIFY(o.ctx->ui.shown.isEmpty());

    o.text()->setText("<Order><broken></Order>");
    o.run("Store");
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QCOMPARE(o.ctx->ui.shown[0].title, QString("Error has been raised"));
    QCOMPARE(o.ctx->ui.shown[0].icon, Icon::Exclamation);
    QVERIFY2(o.ctx->ui.shown[0].text.startsWith("Ostrel error (8101) "), qPrintable(o.ctx->ui.shown[0].text));
    QCOMPARE(o.ctx->log.lines.last(), o.ctx->ui.shown[0].text);
    QCOMPARE(o.ctx->main.lastStatus(), QString("Processing of document Order failed"));
    QCOMPARE(o.list()->count(), 0);
}

void TestDocumentCommands::removeAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestDocumentCommands::removeAsksFirst()
{
    QFETCH(bool, yes);
    auto o = open("Sales", "Invoice");
    o.run("New");
    o.run("Store");
    const QString id = idOf(o.text()->text());
    QVERIFY(!id.isEmpty());
    const QString before = o.text()->text();
    o.ctx->ui.questionAnswers = {yes};
    o.run("Remove");
    QCOMPARE(o.ctx->ui.shown.last().kind, QString("question"));
    QCOMPARE(o.ctx->ui.shown.last().title, QString("Confirmation"));
    QCOMPARE(o.ctx->ui.shown.last().text, QString("Are you sure you want to delete this document?"));
    QCOMPARE(o.list()->count(), 1);
    if (yes) {
        QVERIFY(stored("Sales", "Invoice", id).isEmpty());
        QVERIFY(idOf(o.text()->text()).isEmpty());
        QVERIFY(o.text()->text().startsWith("<Invoice"));
        QCOMPARE(o.ctx->log.lines.last(), QString("Document has been deleted successfully"));
        QCOMPARE(o.ctx->main.lastStatus(), QString("Document has been deleted successfully"));
    } else {
        QVERIFY(!stored("Sales", "Invoice", id).isEmpty());
        QCOMPARE(o.text()->text(), before);
    }
}

void TestDocumentCommands::openAndSaveByPage_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("what");   // empty: the page has no file commands
    QTest::newRow("text") << 0 << "XML file";
    QTest::newRow("tree") << 1 << "";
    QTest::newRow("stylesheet") << 2 << "Stylesheet";
    QTest::newRow("result") << 3 << "";
    QTest::newRow("schema") << 4 << "";
}

void TestDocumentCommands::openAndSaveByPage()
{
    QFETCH(int, tab);
    QFETCH(QString, what);
    auto o = open("Sales", "Order");
    o.query("@osl:id=2");
    QTemporaryDir dir;
    const QString in = dir.filePath("in.xml"), out = dir.filePath("out.xml");
    QVERIFY(writeFile(in, QString::fromUtf8("<Order><note>Grüße 中</note></Order>").toUtf8()));
    o.w->tabs()->setCurrentIndex(tab);
    o.ctx->ui.shown.clear();
    o.ctx->ui.fileAnswers = {in, out};
    o.run("Open");
    o.run("Save");
    if (what.isEmpty()) {
        QVERIFY(o.ctx->ui.shown.isEmpty());
        QVERIFY(!QFile::exists(out));
        return;
    }
    QCOMPARE(o.ctx->ui.shown.size(), 2);
    QCOMPARE(o.ctx->ui.shown[0].title, "Open " + what);
    QCOMPARE(o.ctx->ui.shown[1].title, "Save " + what);
    QsciScintilla *editor = tab == 0 ? o.text() : o.w->stylesheetEditor();
    QCOMPARE(editor->text(), QString::fromUtf8("<Order><note>Grüße 中</note></Order>"));
    QCOMPARE(QString::fromUtf8(readAll(out)), editor->text());
    QCOMPARE(o.ctx->log.lines.last(), "Document has been saved to " + out);
    QCOMPARE(o.ctx->main.lastStatus(), "Document has been saved to " + out);
}

void TestDocumentCommands::openRefusesABadByte()
{
    auto o = open("Sales", "Order");
    QTemporaryDir dir;
    const QString in = dir.filePath("latin1.xml");
    QVERIFY(writeFile(in, "<Order>\n  caf\xe9</Order>"));
    o.text()->setText("<Order/>");
    o.ctx->ui.fileAnswers = {in};
    o.ctx->ui.questionAnswers = {true};   // the typed text may go
    o.run("Open");
    QCOMPARE(o.text()->text(), QString("<Order/>"));
    const QString why = in + ":2:6: Byte 0xE9 is not valid in the encoding UTF-8";
    QCOMPARE(o.ctx->log.lines.last(), why);
    QCOMPARE(o.ctx->main.lastStatus(), why);
}

void TestDocumentCommands::saveAsksBeforeOverwriting_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestDocumentCommands::saveAsksBeforeOverwriting()
{
    QFETCH(bool, yes);
    auto o = open("Sales", "Order");
    QTemporaryDir dir;
    const QString out = dir.filePath("exists.xml");
    QVERIFY(writeFile(out, "old"));
    o.text()->setText("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<Order>Zoë 中</Order>");
    o.ctx->ui.fileAnswers = {out};
    o.ctx->ui.questionAnswers = {yes};
    o.run("Save");
    QCOMPARE(o.ctx->ui.shown.last().title, QString("Warning"));
    QCOMPARE(o.ctx->ui.shown.last().text,
             QString("You are about to overwrite an existing file.\r\nWould you like to continue?"));
    // The declared encoding is kept; what it cannot hold is written as a reference.
    QCOMPARE(readAll(out), yes ? QByteArray("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<Order>Zo\xEB &#20013;</Order>")
                                        : QByteArray("old"));
    QCOMPARE(o.ctx->log.lines.filter("Document has been saved to ").size(), yes ? 1 : 0);
}

void TestDocumentCommands::nonXmlDoctype()
{
    auto o = open("Library", "images");
    o.query("");
    QVERIFY(o.list()->count() > 0);
    o.ctx->ui.shown.clear();
    for (const char *key : {"Store", "Open", "Save", "export"})
        o.run(key);
    QCOMPARE(o.ctx->ui.messages(), QStringList({"Use import function to add new \"documents\"",
                                                "Not implemented yet for non xml document",
                                                "Save function is not defined yet for non xml document",
                                                "This function is not yet implemented for non-xml documents"}));
    QCOMPARE(o.ctx->ui.shown[0].title, QString("Warning"));
    QCOMPARE(o.ctx->ui.shown[1].title, QString("Not implemented"));
    QCOMPARE(o.ctx->ui.shown[3].title, QString("Not supported"));

    // New opens the import window; a non-XML import refreshes the list when it is done.
    o.run("New");
    QTRY_VERIFY(o.w->findChild<owb::frmImport *>());
    auto *form = o.w->findChild<owb::frmImport *>();
    QCOMPARE(form->lblDocType->text(), QString("Non XML document"));
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("new-cover.gif"), "GIF89a"));
    const int before = o.list()->count();
    o.ctx->ui.fileListAnswers = {{dir.filePath("new-cover.gif")}};
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QTest::mouseClick(form->OKButton, Qt::LeftButton);
    QCOMPARE(o.list()->count(), before + 1);
    QCOMPARE(o.ctx->main.lastStatus(), QString("Documents have been loaded"));
}

void TestDocumentCommands::importDialogQueriesAndRemembers()
{
    const QString fallback = owb::AppPaths::writableDir("export");
    QVERIFY(!QFileInfo::exists(fallback));
    auto o = open("Sales", "Customer");
    o.w->findChild<QLineEdit *>("txtQry")->setText("@osl:id=1");
    o.run("import");
    auto *form = o.w->findChild<owb::frmImport *>();
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->txtOslURI->text(), m_server->databaseURI() + "/Sales");
    QCOMPARE(form->txtDocTypeName->text(), QString("Customer"));
    QCOMPARE(listText(o.list(), 0), QString("osl:id=1"));
    QVERIFY(QFileInfo(fallback).isDir());
    // The window says in full where Select starts.
    auto *startDir = form->findChild<QLabel *>("lblImportDir");
    QVERIFY(startDir);
    QCOMPARE(startDir->text(), fallback);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("c.xml"), "<Customer number=\"C-9\"><name>New</name></Customer>"));
    o.ctx->ui.fileListAnswers = {{dir.filePath("c.xml")}};
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(o.ctx->ui.shown.last().text, fallback);
    QCOMPARE(startDir->text(), dir.path());
    QTest::mouseClick(form->OKButton, Qt::LeftButton);
    QCOMPARE(o.list()->count(), 2);
    QVERIFY(listText(o.list(), 1).startsWith("+ osl:id="));

    // The next import window starts where the last import took its files from.
    o.run("import");
    QTRY_COMPARE(o.w->findChildren<owb::frmImport *>().size(), 1);
    o.ctx->ui.fileListAnswers.clear();
    QVERIFY(o.w->findChild<owb::frmImport *>());
    QTest::mouseClick(o.w->findChild<owb::frmImport *>()->Command1, Qt::LeftButton);
    QCOMPARE(o.ctx->ui.shown.last().text, dir.path());
}

void TestDocumentCommands::exportDialog()
{
    auto o = open("Sales", "Invoice");
    o.run("export");
    QVERIFY(!o.w->findChild<owb::frmExport *>());

    o.query("@osl:id<3");
    QCOMPARE(o.list()->count(), 2);
    o.run("export");
    auto *first = o.w->findChild<owb::frmExport *>();
    QVERIFY(first);
    QCOMPARE(first->Dir1->text(), owb::AppPaths::writableDir("export"));
    first->close();
    QTRY_VERIFY(!o.w->findChild<owb::frmExport *>());
    QTemporaryDir dir;
    owb::Settings::save("config", "exportdir", dir.path());
    o.run("export");
    auto *form = o.w->findChild<owb::frmExport *>();
    QVERIFY(form);
    QCOMPARE(form->Dir1->text(), dir.path());
    QTest::mouseClick(form->OKButton, Qt::LeftButton);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"Invoice_1.xml", "Invoice_2.xml"}));
}

void TestDocumentCommands::unsavedEditsAskBeforeClosing()
{
    auto o = open("Sales", "Order");
    QSignalSpy closed(o.w.get(), &frmOstrelClient::closed);
    o.query("@osl:id=1");
    for (int tab : {1, 2, 4, 0})
        o.w->tabs()->setCurrentIndex(tab);
    // An edit taken back leaves nothing to lose.
    o.w->stylesheetEditor()->insert("<!-- x -->");
    o.w->stylesheetEditor()->undo();
    o.text()->insert(" ");
    o.ctx->ui.questionAnswers = {false};
    QVERIFY(!o.w->close());
    QCOMPARE(o.ctx->ui.shown.last().title, QString("Close anyway?"));
    QVERIFY(o.ctx->ui.shown.last().text.endsWith("\r\nClose anyway?"));
    QVERIFY(o.w->isVisible());
    QCOMPARE(closed.size(), 0);

    // Stored: nothing to lose any more.
    o.text()->setText(o.text()->text().trimmed());
    o.run("Store");
    const int asked = int(o.ctx->ui.shown.size());
    QVERIFY(o.w->close());
    QCOMPARE(int(o.ctx->ui.shown.size()), asked);
    QCOMPARE(closed.size(), 1);

    auto p = open("Sales", "Order");
    p.w->stylesheetEditor()->insert("<!-- edited -->");
    p.ctx->ui.questionAnswers = {true};
    QVERIFY(p.w->close());
    QCOMPARE(p.ctx->ui.shown.last().title, QString("Close anyway?"));
}

QTEST_MAIN(TestDocumentCommands)
#include "tst_documentcommands.moc"
