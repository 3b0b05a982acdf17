// Toolbar2 of the document window against ostreld with the demo data.
#include "WorkbenchFixture.h"
#include "support/NamedChildren.h"

#include "workbench/DocumentTabs.h"
#include "workbench/EditCommands.h"
#include "workbench/ErrorMarks.h"
#include "workbench/frmOstrelClient.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

#include <Qsci/qsciscintilla.h>

using owb::frmOstrelClient;
using Shown = owb::ScriptedUserInteraction::Shown;
using namespace wbtest;

namespace {

struct Opened {
    std::unique_ptr<Context> ctx;
    std::unique_ptr<frmOstrelClient> w;

    QsciScintilla *editor(const char *name) const { return w->findChild<QsciScintilla *>(QLatin1String(name)); }
    QsciScintilla *doc() const { return editor("cmxXMLDoc"); }
    void trigger(const char *key) const
    {
        QAction *a = w->findChild<QAction *>(QLatin1String(key));
        QVERIFY2(a, key);
        a->trigger();
    }
    void showPage(int tab) const { w->findChild<QTabWidget *>(QStringLiteral("SSTab1"))->setCurrentIndex(tab); }
    Shown lastBox() const { return ctx->ui.shown.isEmpty() ? Shown{} : ctx->ui.shown.last(); }
    static owb::ErrorMarks &marksOf(QsciScintilla *ed)
    {
        return *ed->findChild<owb::ErrorMarks *>(QString(), Qt::FindDirectChildrenOnly);
    }
    owb::ErrorMarks &marks() const { return marksOf(doc()); }
    int printerChoices() const
    {
        int n = 0;
        for (const Shown &s : ctx->ui.shown)
            n += s.kind == QLatin1String("printer");
        return n;
    }
};

// 1-based line of the first line of text holding needle; 0 when none does.
int lineOf(const QString &text, const QString &needle)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains(needle))
            return i + 1;
    return 0;
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestEditCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void toolbarButtons();
    void wellFormednessMarksTheLine();
    void storedDocumentValidates();
    void everyValidationErrorMarked();
    void malformedDocumentUnderValidation();
    void doctypeWithoutSchema();
    void nonXmlDoctype();
    void stylesheetPage();
    void clipboard_data();
    void clipboard();
    void print();
    void exitClosesFrame();

private:
    Opened open(const QString &collection, const QString &doctype, bool query = true);

    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<Server> m_server;
};

void TestEditCommands::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
    {
        Context ctx;
        frmOstrelClient probe(ctx.app());
        const QString missing = owbtest::missingChildren(
            &probe, {owbtest::named<QsciScintilla>("cmxXMLDoc"),
                     owbtest::named<QsciScintilla>("CodeMax1"),
                     owbtest::named<QTabWidget>("SSTab1"),
                     owbtest::named<QToolBar>("Toolbar2"),
                     owbtest::named<QAction>("Validate"),
                     owbtest::named<QAction>("exit"),
                     owbtest::named<owb::ErrorMarks>("")});
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("the window lacks ") + missing));
    }
    m_server = std::make_unique<Server>(qEnvironmentVariable("OSTRELD_DEMO"));
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
}

Opened TestEditCommands::open(const QString &collection, const QString &doctype, bool query)
{
    Opened o;
    o.ctx = std::make_unique<Context>(m_server->databaseURI());
    o.w = std::make_unique<frmOstrelClient>(o.ctx->app());
    o.w->setDoctype(collection + QLatin1Char('/') + doctype);
    o.w->Init(m_server->openingURI(doctype, collection));
    if (query)
        o.w->RunQuery();
    return o;
}

void TestEditCommands::toolbarButtons()
{
    const Opened o = open("Sales", "Order", false);
    QList<QStringList> buttons;
    for (QAction *a : o.w->findChild<QToolBar *>("Toolbar2")->actions())
        buttons << QStringList{a->objectName(), a->text(), a->toolTip()};
    const QList<QStringList> expected{
        {"Copy", "Copy", "Copy Selected text"},       {"Cut", "Cut", "Cut selected text"},
        {"Delete", "Delete", "Delete selected text"}, {"Paste", "Paste", "Paste copied text"},
        {"Print", "Print", "Print current document"}, {"Validate", "Validate", "Validate XML document"},
        {"Replace", "Replace", "XML Find & Replace"},  {"exit", "Exit", "Leave current form"},
    };
    QCOMPARE(buttons, expected);
    QMenu *menu = o.w->findChild<QAction *>("Validate")->menu();
    QVERIFY(menu);
    QStringList entries;
    for (QAction *a : menu->actions())
        entries << a->objectName() + "=" + a->text();
    QCOMPARE(entries, (QStringList{"WellFormed=Well formedness", "Schema=Against schema"}));
}

void TestEditCommands::wellFormednessMarksTheLine()
{
    const Opened o = open("Sales", "Order");
    const QString good = o.doc()->text();
    QVERIFY(good.count('\n') > 12);
    o.doc()->insertAt("&", 11, 0);   // line 12

    o.trigger("Validate");
    const Shown box = o.lastBox();
    QCOMPARE(box.title, QStringLiteral("Check failed"));
    QCOMPARE(box.icon, owb::UserInteraction::Icon::Exclamation);
    QVERIFY(box.text.startsWith("Document is not well-formed\r\n"));
    const QString reason = box.text.mid(QString("Document is not well-formed\r\n").size());
    QVERIFY(!reason.isEmpty());
    QCOMPARE(o.ctx->log.lines.mid(o.ctx->log.lines.size() - 2), (QStringList{"Document is not well-formed", reason}));
    QCOMPARE(o.ctx->main.lastStatus(), reason);
    QCOMPARE(o.marks().markedLines(), QList<int>{11});
    QCOMPARE(o.doc()->selectedText(), o.doc()->text(11).remove('\n').remove('\r'));
    QCOMPARE(o.doc()->toolTip(), reason);

    // Mended: the next check clears mark and tooltip, and keeps the text.
    o.doc()->setText(good);
    o.trigger("WellFormed");
    QCOMPARE(o.lastBox().title, QStringLiteral("Check succeeded"));
    QCOMPARE(o.lastBox().text, QStringLiteral("Document is well-formed"));
    QCOMPARE(o.ctx->log.lines.last(), QStringLiteral("Document is well-formed"));
    QCOMPARE(o.ctx->main.lastStatus(), QStringLiteral("Document is well formed"));
    QVERIFY(o.marks().markedLines().isEmpty());
    QCOMPARE(o.doc()->toolTip(), QString());
    QCOMPARE(o.doc()->text(), good);
}

void TestEditCommands::storedDocumentValidates()
{
    const Opened o = open("Sales", "Order");
    QVERIFY(o.doc()->text().contains("osl:id="));
    o.trigger("Schema");
    QCOMPARE(o.lastBox().title, QStringLiteral("Validation succeeded"));
    QCOMPARE(o.lastBox().text, QStringLiteral("Document is valid"));
    QCOMPARE(o.ctx->log.lines.last(), QStringLiteral("Document Order is valid"));
    QCOMPARE(o.ctx->main.lastStatus(), QStringLiteral("Document Order is valid"));
}

void TestEditCommands::everyValidationErrorMarked()
{
    const Opened o = open("Sales", "Order");
    QString text = o.doc()->text();
    QVERIFY(text.contains("<qty>"));
    text.replace(QRegularExpression("<qty>\\d+</qty>"), "<qty>-1</qty>");
    text.replace(QRegularExpression("<date>[^<]*</date>"), "<date>someday</date>");
    o.doc()->setText(text);
    o.showPage(owb::TabText);

    o.trigger("Schema");
    const Shown box = o.lastBox();
    QCOMPARE(box.title, QStringLiteral("Validation failed"));
    const QString first = box.text;
    QCOMPARE(o.ctx->main.lastStatus(), "Validation failed " + first);
    QCOMPARE(o.doc()->toolTip(), first);

    // Every line with an error is marked; each shows its own reason; the log lists them all.
    QList<int> expected{lineOf(text, "someday") - 1};
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains("<qty>-1</qty>"))
            expected << i;
    QVERIFY(expected.size() >= 3);
    QCOMPARE(o.marks().markedLines(), expected);
    QVERIFY(o.marks().reasonAt(expected[0]).contains("someday"));
    for (int i = 1; i < expected.size(); ++i)
        QVERIFY2(o.marks().reasonAt(expected[i]).contains("-1"), qPrintable(o.marks().reasonAt(expected[i])));
    const QStringList log = o.ctx->log.lines;
    const int at = log.lastIndexOf(first);
    QVERIFY(at >= 0);
    for (int line : expected)
        QVERIFY2(!log.mid(at).filter(QString("Line %1: ").arg(line + 1)).isEmpty(), qPrintable(log.join('|')));
    QCOMPARE(o.doc()->selectedText(), lines[expected[0]]);
}

void TestEditCommands::malformedDocumentUnderValidation()
{
    const Opened o = open("Sales", "Order");
    o.doc()->insertAt("<", 11, 0);
    const int before = o.ctx->ui.shown.size();
    o.trigger("Schema");
    // One box only: the silent check shows none, yet marks the line and sets the status.
    QCOMPARE(o.ctx->ui.shown.size(), before + 1);
    QCOMPARE(o.lastBox().title, QStringLiteral("Validation failed"));
    QCOMPARE(o.lastBox().text, QStringLiteral("Document is not well formed"));
    QCOMPARE(o.ctx->log.lines.mid(o.ctx->log.lines.size() - 2, 1), QStringList{"Document is not well-formed"});
    QCOMPARE(o.ctx->main.lastStatus(), o.ctx->log.lines.last());
    QCOMPARE(o.marks().markedLines().size(), 1);
}

void TestEditCommands::doctypeWithoutSchema()
{
    const Opened o = open("Sales", "Nothing", false);
    o.doc()->setText("<Nothing>\n  <a/>\n</Nothing>");
    o.trigger("Schema");
    QCOMPARE(o.lastBox().title, QStringLiteral("Validation failed"));
    QCOMPARE(o.lastBox().text, QStringLiteral("No schema found for document type Nothing"));
    QCOMPARE(o.ctx->log.lines.last(), QStringLiteral("No schema found for document type Nothing"));
    QCOMPARE(o.ctx->main.lastStatus(), QStringLiteral("Validation failed No schema found for document type Nothing"));
    QCOMPARE(o.marks().markedLines(), QList<int>{0});
}

void TestEditCommands::nonXmlDoctype()
{
    const Opened o = open("Library", "images", false);
    QVERIFY(o.w->NonXML());
    o.doc()->setText("<images/>");
    o.trigger("Validate");
    QCOMPARE(o.lastBox().title, QStringLiteral("Warning"));
    QCOMPARE(o.lastBox().text, QStringLiteral("It is of no use to check a non-xml document for wellformedness"));
    o.trigger("Schema");
    QCOMPARE(o.lastBox().text, QStringLiteral("It is of no use to validate a non-xml document"));
}

void TestEditCommands::stylesheetPage()
{
    const Opened o = open("Sales", "Order", false);
    QsciScintilla *style = o.editor("CodeMax1");
    QVERIFY(!style->text().trimmed().isEmpty());
    o.showPage(owb::TabStylesheet);

    // The drop-down wants a document text, whatever page is shown.
    const int before = o.ctx->ui.shown.size();
    o.trigger("WellFormed");
    o.trigger("Schema");
    QCOMPARE(o.ctx->ui.shown.size(), before);

    // The button checks the stylesheet, and marks it.
    style->insertAt("<", 0, 0);
    o.trigger("Validate");
    QCOMPARE(o.lastBox().title, QStringLiteral("Check failed"));
    QCOMPARE(Opened::marksOf(style).markedLines(), QList<int>{0});
    QVERIFY(!style->toolTip().isEmpty());
    QVERIFY(o.doc()->toolTip().isEmpty());

    // With a document text, schema validation still does nothing on this page.
    o.doc()->setText("<Order/>");
    const int shown = o.ctx->ui.shown.size();
    o.trigger("Schema");
    QCOMPARE(o.ctx->ui.shown.size(), shown);
    o.trigger("WellFormed");
    QCOMPARE(o.lastBox().title, QStringLiteral("Check failed"));   // the stylesheet, still broken
}

void TestEditCommands::clipboard_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<bool>("acts");
    QTest::newRow("document text") << int(owb::TabText) << "cmxXMLDoc" << true;
    QTest::newRow("stylesheet") << int(owb::TabStylesheet) << "CodeMax1" << true;
    QTest::newRow("tree page") << int(owb::TabTree) << "cmxXMLDoc" << false;
    QTest::newRow("schema page") << int(owb::TabSchema) << "CodeMax2" << false;
}

void TestEditCommands::clipboard()
{
    QFETCH(int, tab);
    QFETCH(QString, editor);
    QFETCH(bool, acts);
    const Opened o = open("Sales", "Order", false);
    QsciScintilla *ed = o.editor(qPrintable(editor));
    const QString text = "<a>alpha beta gamma</a>";
    ed->setText(text);
    o.showPage(tab);
    QCOMPARE(o.w->currentTab(), tab);
    QClipboard *cb = QGuiApplication::clipboard();
    const auto select = [&](int from, int to) { ed->setSelection(0, from, 0, to); };

    cb->setText("sentinel");
    select(3, 8);
    o.trigger("Copy");
    QCOMPARE(cb->text(), acts ? QStringLiteral("alpha") : QStringLiteral("sentinel"));

    cb->setText("sentinel");
    select(9, 13);
    o.trigger("Cut");
    QCOMPARE(ed->text(), acts ? QStringLiteral("<a>alpha  gamma</a>") : text);
    QCOMPARE(cb->text(), acts ? QStringLiteral("beta") : QStringLiteral("sentinel"));

    // Delete leaves what it removed on the clipboard.
    ed->setText(text);
    cb->setText("sentinel");
    select(14, 19);
    o.trigger("Delete");
    QCOMPARE(ed->text(), acts ? QStringLiteral("<a>alpha beta </a>") : text);
    QCOMPARE(cb->text(), acts ? QStringLiteral("gamma") : QStringLiteral("sentinel"));

    ed->setText(text);
    ed->setCursorPosition(0, 8);
    cb->setText(" omega");
    o.trigger("Paste");
    QCOMPARE(ed->text(), acts ? QStringLiteral("<a>alpha omega beta gamma</a>") : text);
}

void TestEditCommands::print()
{
    const QString pdfinfo = QStandardPaths::findExecutable("pdfinfo");
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdfinfo.isEmpty() || pdftotext.isEmpty())
        QFAIL("pdfinfo and pdftotext are not installed (package poppler-utils)");
    const Opened o = open("Sales", "Order", false);
    QTemporaryDir dir;
    QStringList lines;
    for (int i = 1; i <= 300; ++i)
        lines << QString("<line n=\"%1\">text of line %1</line>").arg(i);
    o.doc()->setText("<Order>\n" + lines.join('\n') + "\n</Order>");

    // Not on the tree page, nor without text: no printer is even asked for.
    o.showPage(owb::TabTree);
    o.trigger("Print");
    o.showPage(owb::TabStylesheet);
    o.editor("CodeMax1")->setText("  \n ");
    o.trigger("Print");
    QCOMPARE(o.printerChoices(), 0);

    o.showPage(owb::TabText);
    const QString pdf = dir.filePath("doc.pdf");
    o.ctx->ui.printAnswers << pdf;
    o.trigger("Print");
    QCOMPARE(o.lastBox().kind, QStringLiteral("printer"));
    QVERIFY(QFileInfo(pdf).size() > 0);
    const auto pages = QRegularExpression("^Pages:\\s+(\\d+)$", QRegularExpression::MultilineOption)
                           .match(run(pdfinfo, {pdf}));
    QVERIFY(pages.hasMatch());
    const int count = pages.captured(1).toInt();
    QVERIFY2(count > 1 && count < 300, qPrintable(pages.captured(0)));
    const QString firstPage = run(pdftotext, {"-f", "1", "-l", "1", pdf, "-"});
    QVERIFY2(firstPage.contains("<Order>") && firstPage.contains("text of line 1<"), qPrintable(firstPage.left(200)));
    QVERIFY(!firstPage.contains("text of line 300<"));
    const QString lastPage = run(pdftotext, {"-f", QString::number(count), "-l", QString::number(count), pdf, "-"});
    QVERIFY(lastPage.contains("text of line 300<"));

    // The stylesheet page prints the stylesheet; a cancelled choice prints nothing.
    o.showPage(owb::TabStylesheet);
    o.editor("CodeMax1")->setText("<xsl:stylesheet/>");
    o.trigger("Print");
    QCOMPARE(o.printerChoices(), 2);
    QVERIFY(o.ctx->log.lines.filter("Printing").isEmpty());
    o.ctx->ui.printAnswers << dir.filePath("style.pdf");
    o.trigger("Print");
    QVERIFY(run(pdftotext, {dir.filePath("style.pdf"), "-"}).contains("<xsl:stylesheet/>"));
}

void TestEditCommands::exitClosesFrame()
{
    Opened o = open("Sales", "Order", false);
    QMdiArea area;
    frmOstrelClient *w = o.w.release();   // the frame owns it from here
    w->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QMdiSubWindow> watch(area.addSubWindow(w));
    QSignalSpy closed(w, &frmOstrelClient::closed);
    area.show();
    w->findChild<QAction *>("exit")->trigger();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(closed.first().first().toString(), QStringLiteral("Sales/Order"));
    QTRY_VERIFY(watch.isNull());
    QVERIFY(area.subWindowList().isEmpty());
}

QTEST_MAIN(TestEditCommands)
#include "tst_editcommands.moc"
