// "XML Find & Replace" opened from a document window, against ostreld with the shop.
#include "WorkbenchFixture.h"

#include "server/ServerClient.h"
#include "support/NamedChildren.h"
#include "workbench/DocumentSession.h"
#include "workbench/FindReplaceButton.h"
#include "workbench/frmOstrelClient.h"
#include "support/ReplaceExpect.h"
#include "xpath/frmFindReplace.h"

#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <Qsci/qsciscintilla.h>

using namespace wbtest;
using owb::frmFindReplace;

namespace {

using owbtest::Documents;
using owbtest::applied;

struct Opened {
    std::unique_ptr<Context> ctx;
    std::unique_ptr<owb::frmOstrelClient> w;
    frmFindReplace *f = nullptr;
    QString collection;

    template <typename T>
    T *get(const char *name) const { return owbtest::child<T>(f, name); }
    void set(const QString &xpath, const QString &value, bool fragment, bool allListed, bool images = true) const
    {
        get<QLineEdit>("txtFind")->setText(xpath);
        get<QPlainTextEdit>("txtReplace")->setPlainText(value);
        get<QRadioButton>(fragment ? "optFragment" : "optValue")->setChecked(true);
        get<QRadioButton>(allListed ? "optAllListed" : "optDocument")->setChecked(true);
        get<QCheckBox>("chkBeforeImage")->setChecked(images);
    }
    void click(const char *name) const { get<QPushButton>(name)->click(); }
    QStringList column(int c) const
    {
        QStringList out;
        auto *list = get<QTreeWidget>("lstMatches");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(c);
        return out;
    }
    // The stored Orders, each as its text.
    Documents stored() const
    {
        const owb::ServerClient server(ctx->http);
        Documents out;
        for (qint32 id = 1; id <= kOrders.size(); ++id)
            out.insert(id, server.fetch(collection, QStringLiteral("Order"), id, {{}, nullptr, true}).xml());
        return out;
    }
};

} // namespace

class TestFindReplace : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_before.clear(); }
    void opensWithItsControls();
    void shownDocumentIsOneUndoableEdit();
    void refusedBeforeAnyStore_data();
    void refusedBeforeAnyStore();
    void allListedWithBeforeImagesAndRestore();
    void withoutBeforeImagesAsksFirst();
    void cancelStopsBetweenDocuments();
    void outlivesItsDocumentWindow();

private:
    Opened open();

    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<Server> m_server;
    Documents m_before;
};

void TestFindReplace::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
}

Opened TestFindReplace::open()
{
    // Each test changes the documents: each gets a server of its own.
    m_server = std::make_unique<Server>();
    Opened o;
    if (!m_server->ok()) {
        qWarning("%s", qPrintable(m_server->error()));
        return o;
    }
    o.ctx = std::make_unique<Context>(m_server->databaseURI());
    o.w = std::make_unique<owb::frmOstrelClient>(o.ctx->app());
    o.w->Init(m_server->openingURI(QStringLiteral("Order")));
    o.collection = o.w->CollectionURI();
    o.w->RunQuery();
    if (QAction *replace = o.w->findChild<QAction *>(QStringLiteral("Replace")))
        replace->trigger();
    o.f = o.w->findReplace().window();
    m_before = o.stored();
    return o;
}

void TestFindReplace::opensWithItsControls()
{
    const Opened o = open();
    QVERIFY(o.f);
    QCOMPARE(o.f->windowTitle(), QStringLiteral("XML Find & Replace"));
    QCOMPARE(o.w->findChild<QAction *>("Replace")->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
    const QString missing = owbtest::missingChildren(
        o.f, {owbtest::named<QLineEdit>("txtFind"), owbtest::named<QPlainTextEdit>("txtReplace"),
              owbtest::named<QRadioButton>("optValue"), owbtest::named<QRadioButton>("optFragment"),
              owbtest::named<QRadioButton>("optDocument"), owbtest::named<QRadioButton>("optAllListed"),
              owbtest::named<QCheckBox>("chkBeforeImage"), owbtest::named<QPushButton>("cmdFind"),
              owbtest::named<QPushButton>("cmdReplaceFirst"), owbtest::named<QPushButton>("cmdReplaceAll"),
              owbtest::named<QPushButton>("cmdRestore"), owbtest::named<QPushButton>("cmdClose"),
              owbtest::named<QTreeWidget>("lstMatches")});
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    // A value in the shown document, unless the user says otherwise.
    for (const char *on : {"optValue", "optDocument", "chkBeforeImage"})
        QVERIFY2(o.get<QAbstractButton>(on)->isChecked(), on);
    for (const char *off : {"optFragment", "optAllListed"})
        QVERIFY2(!o.get<QAbstractButton>(off)->isChecked(), off);
    // A second press brings the same window forward.
    o.w->findChild<QAction *>("Replace")->trigger();
    QCOMPARE(o.w->findReplace().window(), o.f);
}

void TestFindReplace::shownDocumentIsOneUndoableEdit()
{
    const Opened o = open();
    QVERIFY(o.f);
    QsciScintilla *editor = o.w->documentEditor();
    const QString original = editor->text();
    o.set(QStringLiteral("//item/@no"), QStringLiteral("9\"<"), false, false);
    o.click("cmdFind");
    QCOMPARE(o.column(1), (QStringList{"./item/@no", "./item[2]/@no"}));
    QCOMPARE(o.column(2), (QStringList{"1", "2"}));
    QCOMPARE(editor->text(), original);   // Find changes nothing

    o.click("cmdReplaceAll");
    QCOMPARE(editor->text().count(QStringLiteral("no=\"9&quot;&lt;\"")), 2);
    QCOMPARE(o.w->session().CurrentElement().selectNodes(QStringLiteral("item[@no='9\"<']")).size(), 2);
    QCOMPARE(o.stored(), m_before);   // nothing stored
    editor->undo();
    QCOMPARE(editor->text(), original);

    o.set(QStringLiteral("//none"), QString(), false, false);
    o.click("cmdReplaceFirst");
    QCOMPARE(o.ctx->ui.messages().last(), QStringLiteral("Nothing found"));
}

void TestFindReplace::refusedBeforeAnyStore_data()
{
    QTest::addColumn<QString>("xpath");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("fragment");
    QTest::addColumn<QString>("message");
    QTest::newRow("xpath") << "//total[" << "1" << false << "Invalid XPath expression \"//total[\" at position 9";
    QTest::newRow("fragment") << "//total" << "<a>" << true << "The XML fragment is not well-formed";
    // Known only in the documents: each one is left as it was.
    QTest::newRow("fragment for an attribute") << "//@no" << "<a/>" << true << "0 of 4 documents changed, 2 failed";
}

void TestFindReplace::refusedBeforeAnyStore()
{
    QFETCH(QString, xpath);
    QFETCH(QString, value);
    QFETCH(bool, fragment);
    QFETCH(QString, message);
    const Opened o = open();
    QVERIFY(o.f);
    o.set(xpath, value, fragment, true);
    o.click("cmdReplaceAll");
    QVERIFY(!o.ctx->ui.messages().isEmpty());
    QVERIFY2(o.ctx->ui.messages().last().contains(message), qPrintable(o.ctx->ui.messages().last()));
    QCOMPARE(o.stored(), m_before);
}

void TestFindReplace::allListedWithBeforeImagesAndRestore()
{
    const Opened o = open();
    QVERIFY(o.f);
    // Find first: a dry run over the list.
    o.set(QStringLiteral("//item[@no='1']/name | //note"), QStringLiteral("<b>x &amp; y</b>"), true, true);
    o.click("cmdFind");
    QCOMPARE(o.column(0), (QStringList{"1", "2", "3"}));
    QCOMPARE(o.column(4), (QStringList{"Found", "Found", "Found"}));
    QCOMPARE(o.stored(), m_before);

    o.click("cmdReplaceAll");
    QCOMPARE(o.column(4), (QStringList{"Replaced", "Replaced", "Replaced"}));
    const Documents changed = o.stored();
    QCOMPARE(changed, applied(m_before, {QStringLiteral("//item[@no='1']/name | //note"),
                                          QStringLiteral("<b>x &amp; y</b>"), true, false, {}}));
    QVERIFY(changed != m_before);
    QVERIFY(o.ctx->log.lines.contains(QStringLiteral("Document Order_2: 1 replaced")));

    // The originals, as export writes them, one per changed document.
    const QString run = o.f->lastRun();
    QVERIFY(run.startsWith(QDir(m_home->path()).filePath(QStringLiteral("beforeimage/"))));
    QCOMPARE(QDir(run).entryList(QDir::Files), (QStringList{"Order_1.xml", "Order_2.xml", "Order_3.xml"}));
    QFile image(QDir(run).filePath(QStringLiteral("Order_1.xml")));
    QVERIFY(image.open(QIODevice::ReadOnly));
    QVERIFY(image.readAll().startsWith("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Order"));

    o.ctx->ui.questionAnswers << true;
    o.click("cmdRestore");
    QCOMPARE(o.stored(), m_before);
    QCOMPARE(o.ctx->ui.messages().last(), QStringLiteral("3 documents restored"));
}

void TestFindReplace::withoutBeforeImagesAsksFirst()
{
    const Opened o = open();
    QVERIFY(o.f);
    o.set(QStringLiteral("//total"), QStringLiteral("0"), false, true, false);
    o.ctx->ui.questionAnswers << false;
    o.click("cmdReplaceAll");
    QVERIFY(o.ctx->ui.shown.last().kind == QStringLiteral("question"));
    QCOMPARE(o.stored(), m_before);

    o.ctx->ui.questionAnswers << true;
    o.click("cmdReplaceFirst");
    QCOMPARE(o.stored(), applied(m_before, {QStringLiteral("//total"), QStringLiteral("0"), false, true, {}}));
    QVERIFY(o.f->lastRun().isEmpty());
    // The shown document is fetched again: its page shows what is stored now.
    QVERIFY(o.w->documentEditor()->text().contains(QStringLiteral("<total>0</total>")));
}

void TestFindReplace::cancelStopsBetweenDocuments()
{
    const Opened o = open();
    QVERIFY(o.f);
    o.ctx->ui.cancelProgressAt = 1;
    o.set(QStringLiteral("//total"), QStringLiteral("0"), false, true);
    o.click("cmdReplaceAll");
    Documents expectedNow = m_before;
    expectedNow[1] = applied(m_before, {QStringLiteral("//total"), QStringLiteral("0"), false, false, {}}).value(1);
    QCOMPARE(o.stored(), expectedNow);
    QCOMPARE(o.ctx->ui.messages().last(), QStringLiteral("1 of 4 documents changed (cancelled after 1)"));
    QVERIFY(o.ctx->log.lines.contains(QStringLiteral("Replace cancelled after 1 of 4 documents")));
    QVERIFY(o.ctx->ui.progress.last()->ended);
}

void TestFindReplace::outlivesItsDocumentWindow()
{
    Opened o = open();
    QPointer<frmFindReplace> f = o.f;
    QVERIFY(f);
    o.set(QStringLiteral("//total"), QStringLiteral("0"), false, true);
    o.w.reset();
    QVERIFY(f && !f->isVisible());
    f->findChild<QPushButton *>("cmdReplaceAll")->click();   // works on nothing, says so
    QCOMPARE(o.ctx->ui.messages().last(), QStringLiteral("The document window of this search is closed"));
    QCOMPARE(o.stored(), m_before);
    QTRY_VERIFY(!f);
}

QTEST_MAIN(TestFindReplace)
#include "tst_findreplace.moc"
