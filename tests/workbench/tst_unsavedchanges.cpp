// The document window never replaces an edited text without asking, keeps its modified
// marker true to the text, and keeps recovery copies of what is unsaved.
#include "WorkbenchFixture.h"
#include "support/DocTree.h"

#include "common/RecoveryStore.h"
#include "workbench/UnsavedChanges.h"
#include "workbench/frmOstrelClient.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <Qsci/qsciscintilla.h>

using owb::frmOstrelClient;
using namespace wbtest;

namespace {

const QString kTyped = QStringLiteral("<!--typed-->");

struct Opened {
    std::unique_ptr<Context> ctx;
    std::unique_ptr<frmOstrelClient> w;
    QsciScintilla *text() const { return w->documentEditor(); }
    QListWidget *list() const { return w->documentList(); }
    void run(const char *key) const { w->findChild<QAction *>(QString::fromLatin1(key))->trigger(); }
    void query(const QString &filter) const
    {
        w->findChild<QLineEdit *>(QStringLiteral("txtQry"))->setText(filter);
        run("Query");
    }
    // Typed at the very start, before the root element: well-formed, yet nothing the
    // document element holds.
    void type(QsciScintilla *editor) const
    {
        editor->setCursorPosition(0, 0);
        QTest::keyClicks(editor, kTyped);
    }
    QStringList questions() const
    {
        QStringList q;
        for (const auto &s : ctx->ui.shown)
            if (s.kind == QLatin1String("question"))
                q << s.title + QLatin1Char('|') + s.text + (s.defaultNo ? QStringLiteral("|No") : QString());
        return q;
    }
};

// An editor's text, caret and undo history, to tell that nothing of them moved.
struct EditorState {
    QString text;
    int line = 0;
    int index = 0;
    explicit EditorState(QsciScintilla *e) : text(e->text()) { e->getCursorPosition(&line, &index); }
    bool operator==(const EditorState &o) const { return text == o.text && line == o.line && index == o.index; }
};

QString textUndone(QsciScintilla *editor)
{
    while (editor->isUndoAvailable())
        editor->undo();
    return editor->text();
}

} // namespace

class tst_UnsavedChanges : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<Server> m_server;
    QTemporaryDir m_files;

    Opened open(owb::RecoveryStore *store = nullptr)
    {
        Opened o;
        o.ctx = std::make_unique<Context>(m_server->databaseURI());
        owb::AppContext app = o.ctx->app();
        app.recovery = store;
        o.w = std::make_unique<frmOstrelClient>(app);
        o.w->setDoctype(QStringLiteral("Shop/Order"));
        o.w->Init(m_server->openingURI(QStringLiteral("Order")));
        o.w->show();
        return o;
    }

private slots:
    void initTestCase();
    void everyReplacementAsks_data();
    void everyReplacementAsks();
    void closingAsksInItsOwnWords_data();
    void closingAsksInItsOwnWords();
    void unchangedTextNeverAsks();
    void storeAndSaveClearTheMarker();
    void acceptKeepsWhatTheDocumentHolds();
    void namesForTheMainWindow();
    void recoveryCopyFollowsTheText();
    void restoredTextIsMarkedAndKept();
};

void tst_UnsavedChanges::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
    m_server = std::make_unique<Server>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    QVERIFY(writeFile(m_files.filePath(QStringLiteral("order.xml")), "<Order><customer>From a file</customer></Order>"));
    QVERIFY(writeFile(m_files.filePath(QStringLiteral("style.xsl")), "<xsl:stylesheet version=\"1.0\" "
                                                                     "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"/>"));
}

void tst_UnsavedChanges::everyReplacementAsks_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("after");   // what the replacing text holds
    const QList<std::pair<const char *, const char *>> paths{
        {"click", "Bob"}, {"keys", "Bob"}, {"query", "Ann"}, {"refresh", "Ann"}, {"new", "<Order"},
        {"open", "From a file"}, {"open stylesheet", "xsl:stylesheet"}, {"accept", "Zed"}};
    for (const auto &[path, after] : paths) {
        QTest::addRow("%s, yes", path) << QString::fromLatin1(path) << true << QString::fromLatin1(after);
        QTest::addRow("%s, no", path) << QString::fromLatin1(path) << false << QString::fromLatin1(after);
    }
}

void tst_UnsavedChanges::everyReplacementAsks()
{
    QFETCH(QString, path);
    QFETCH(bool, yes);
    QFETCH(QString, after);
    const Opened o = open();
    QVERIFY(QTest::qWaitForWindowExposed(o.w.get()));
    o.query(QString());
    QCOMPARE(o.list()->count(), 4);
    const QString shown = o.text()->text();
    QVERIFY(shown.contains(QStringLiteral("Ann")));

    const bool stylesheet = path == QLatin1String("open stylesheet");
    QsciScintilla *editor = stylesheet ? o.w->stylesheetEditor() : o.text();
    const QString clean = editor->text();
    if (stylesheet)
        o.w->tabs()->setCurrentIndex(2);
    o.type(editor);
    QVERIFY(o.w->isWindowModified());
    QTreeView *tree = o.w->findChild<QTreeView *>(QStringLiteral("tvDocument"));
    if (path == QLatin1String("accept")) {
        o.w->tabs()->setCurrentIndex(1);   // parses the text, typing and all
        emit tree->clicked(owbtest::docTreeIndex(tree, QStringLiteral("./customer")));
        o.w->findChild<QLineEdit *>(QStringLiteral("txtValue"))->setText(QStringLiteral("Zed"));
    }
    const EditorState before(editor);
    const QString element = o.w->currentElementXml();
    o.ctx->ui.shown.clear();
    o.ctx->ui.questionAnswers = {yes};
    o.ctx->ui.fileAnswers = {m_files.filePath(stylesheet ? QStringLiteral("style.xsl") : QStringLiteral("order.xml"))};

    if (path == QLatin1String("click"))
        QTest::mouseClick(o.list()->viewport(), Qt::LeftButton, {}, o.list()->visualItemRect(o.list()->item(1)).center());
    else if (path == QLatin1String("keys"))
        QTest::keyClick(o.list(), Qt::Key_Down);
    else if (path == QLatin1String("query"))
        o.run("Query");
    else if (path == QLatin1String("refresh"))
        o.w->impForm_RefreshList();
    else if (path == QLatin1String("new"))
        o.run("New");
    else if (path.startsWith(QLatin1String("open")))
        o.run("Open");
    else
        QTest::mouseClick(o.w->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);

    const QString name = stylesheet ? QStringLiteral("the stylesheet") : QStringLiteral("Order osl:id=1");
    QCOMPARE(o.questions(), QStringList{QStringLiteral("Unsaved changes|Discard the changes to ") + name + QStringLiteral("?|No")});
    if (!yes) {
        QVERIFY(EditorState(editor) == before);
        QCOMPARE(o.list()->currentRow(), 0);
        QTRY_COMPARE(o.list()->selectedItems(), QList<QListWidgetItem *>{o.list()->item(0)});
        QCOMPARE(o.w->currentElementXml(), element);
        QVERIFY(o.w->isWindowModified());
        QCOMPARE(o.ctx->ui.shown.size(), 1);   // no file dialog either
        // The undo history is whole: undone, the text is the clean one again.
        QCOMPARE(textUndone(editor), clean);
        QVERIFY(!o.w->isWindowModified());
        return;
    }
    QVERIFY2(editor->text().contains(after), qPrintable(editor->text()));
    // A node edit shows the document the text was parsed into, typing and all (the comment
    // beside the root is part of it); every other replacement drops the typing.
    QCOMPARE(editor->text().contains(kTyped), path == QLatin1String("accept"));
    // A node edit is a change of its own; every other replacement is clean.
    QCOMPARE(o.w->isWindowModified(), path == QLatin1String("accept"));
}

void tst_UnsavedChanges::closingAsksInItsOwnWords_data()
{
    QTest::addColumn<bool>("exit");
    QTest::addColumn<bool>("yes");
    QTest::newRow("close, yes") << false << true;
    QTest::newRow("close, no") << false << false;
    QTest::newRow("exit, yes") << true << true;
    QTest::newRow("exit, no") << true << false;
}

void tst_UnsavedChanges::closingAsksInItsOwnWords()
{
    QFETCH(bool, exit);
    QFETCH(bool, yes);
    const Opened o = open();
    QSignalSpy closed(o.w.get(), &frmOstrelClient::closed);
    o.query(QStringLiteral("customer='Cy'"));
    o.type(o.text());
    o.ctx->ui.questionAnswers = {yes};
    if (exit)
        o.run("exit");
    else
        o.w->close();
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QCOMPARE(o.ctx->ui.shown[0].title, QStringLiteral("Close anyway?"));
    QVERIFY(o.ctx->ui.shown[0].defaultNo);
    QCOMPARE(closed.size(), yes ? 1 : 0);
    QCOMPARE(o.w->isVisible(), !yes);
}

void tst_UnsavedChanges::unchangedTextNeverAsks()
{
    const Opened o = open();
    o.query(QString());
    QTest::keyClicks(o.text(), QStringLiteral("x"));
    QVERIFY(o.w->isWindowModified());
    QTest::keyClick(o.text(), Qt::Key_Backspace);
    QVERIFY(!o.w->isWindowModified());

    // Typed and taken back again, in both editors: nothing asks, not even closing.
    o.type(o.w->stylesheetEditor());
    o.w->stylesheetEditor()->undo();
    o.type(o.text());
    o.text()->undo();
    QVERIFY(!o.w->isWindowModified());
    o.w->tabs()->setCurrentIndex(2);
    o.ctx->ui.fileAnswers = {m_files.filePath(QStringLiteral("style.xsl"))};
    o.run("Open");
    o.w->tabs()->setCurrentIndex(0);
    QTest::keyClick(o.list(), Qt::Key_Down);
    o.run("New");
    o.run("Query");
    QVERIFY(o.w->close());
    QCOMPARE(o.ctx->ui.shown.size(), 1);   // the file dialog only
}

void tst_UnsavedChanges::storeAndSaveClearTheMarker()
{
    const Opened o = open();
    o.query(QStringLiteral("customer='Dee Lee'"));
    o.text()->setCursorPosition(0, 0);
    o.text()->insert(QStringLiteral("<!--stored-->"));
    QVERIFY(o.w->isWindowModified());
    o.run("Store");
    QVERIFY2(o.ctx->ui.shown.isEmpty(), qPrintable(o.ctx->ui.messages().join('|')));
    QVERIFY(!o.w->isWindowModified());

    o.type(o.text());
    QVERIFY(o.w->isWindowModified());
    o.ctx->ui.fileAnswers = {m_files.filePath(QStringLiteral("saved.xml"))};
    o.run("Save");
    QVERIFY(!o.w->isWindowModified());
    QVERIFY(!o.w->hasUnsavedChanges());

    // A text the server refuses stays changed.
    o.text()->setText(QStringLiteral("<Order><unclosed></Order>"));
    o.run("Store");
    QVERIFY(o.w->isWindowModified());
}

void tst_UnsavedChanges::acceptKeepsWhatTheDocumentHolds()
{
    const Opened o = open();
    o.query(QStringLiteral("customer='Bob'"));
    // Typed inside the document, in the formatter's own layout: Accept keeps it, unasked.
    const int at = o.text()->text().indexOf(QStringLiteral("Bob"));
    o.text()->SendScintilla(QsciScintillaBase::SCI_SETSEL, at, at + 3);
    o.text()->replaceSelectedText(QStringLiteral("Bobby"));
    o.w->tabs()->setCurrentIndex(1);
    QTreeView *tree = o.w->findChild<QTreeView *>(QStringLiteral("tvDocument"));
    emit tree->clicked(owbtest::docTreeIndex(tree, QStringLiteral("./total")));
    o.w->findChild<QLineEdit *>(QStringLiteral("txtValue"))->setText(QStringLiteral("99"));
    QTest::mouseClick(o.w->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
    QVERIFY(o.ctx->ui.shown.isEmpty());
    QVERIFY(o.text()->text().contains(QStringLiteral("Bobby")));
    QVERIFY(o.text()->text().contains(QStringLiteral("99")));
    QVERIFY(o.w->isWindowModified());
}

void tst_UnsavedChanges::namesForTheMainWindow()
{
    const Opened o = open();
    QVERIFY(o.w->unsavedChanges().isEmpty());
    o.query(QStringLiteral("customer='Cy'"));
    o.type(o.text());
    o.type(o.w->stylesheetEditor());
    QCOMPARE(o.w->unsavedChanges(), (QStringList{"Order osl:id=3", "the stylesheet (Order)"}));
    o.ctx->ui.questionAnswers = {true};
    o.run("New");
    o.type(o.text());
    QCOMPARE(o.w->unsavedChanges().first(), QStringLiteral("the new document (Order)"));

    // Once the user has let them go, the window closes without asking again.
    o.w->discardUnsavedChanges();
    QVERIFY(o.w->unsavedChanges().isEmpty());
    const qsizetype asked = o.ctx->ui.shown.size();
    QVERIFY(o.w->close());
    QCOMPARE(o.ctx->ui.shown.size(), asked);
}

void tst_UnsavedChanges::recoveryCopyFollowsTheText()
{
    QTemporaryDir root;
    owb::RecoveryStore store(root.path());
    const Opened o = open(&store);
    o.query(QStringLiteral("customer='Bob'"));
    QVERIFY(!QDir(store.folder()).exists());
    o.type(o.text());
    const auto copies = [&] { return QDir(store.folder()).entryList({QStringLiteral("*.recovery")}, QDir::Files); };
    QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 10000);
    store.flush();
    QFile file(QDir(store.folder()).filePath(copies().first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::optional<owb::RecoveryEntry> e = owb::RecoveryEntry::decode(file.readAll());
    QVERIFY(e);
    QCOMPARE(QStringList({e->database, e->collection, e->doctype, e->editor, e->id, e->shown}),
             QStringList({m_server->databaseURI(), "Shop", "Order", "document", "2", "Order osl:id=2"}));
    QCOMPARE(e->text, o.text()->text().toUtf8());
    QVERIFY(qAbs(e->savedAt.secsTo(QDateTime::currentDateTimeUtc())) < 600);

    // Typed back to what was shown: the copy goes.
    textUndone(o.text());
    store.flush();
    QCOMPARE(copies().size(), 0);

    // A clean close takes the copies along.
    o.type(o.w->stylesheetEditor());
    QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 10000);
    o.ctx->ui.questionAnswers = {true};
    QVERIFY(o.w->close());
    store.flush();
    QCOMPARE(copies().size(), 0);
}

void tst_UnsavedChanges::restoredTextIsMarkedAndKept()
{
    // (A restore into a fresh window: tst_recovery.) Into a window whose own text holds
    // changes, only when the user lets them go.
    const Opened o = open();
    o.query(QStringLiteral("customer='Bob'"));
    o.type(o.text());
    owb::RecoveryEntry e;
    e.editor = QStringLiteral("document");
    e.text = QByteArray("<Order><customer>Recovered</customer></Order>");
    o.ctx->ui.questionAnswers = {false, true};
    QVERIFY(!o.w->restoreText(e));
    QCOMPARE(o.ctx->ui.shown.last().text, QStringLiteral("Discard the changes to Order osl:id=2?"));
    QVERIFY(o.text()->text().startsWith(kTyped));
    QVERIFY(o.w->restoreText(e));
    QCOMPARE(o.text()->text(), QString::fromUtf8(e.text));
    QVERIFY(o.w->isWindowModified());
}

QTEST_MAIN(tst_UnsavedChanges)
#include "tst_unsavedchanges.moc"
