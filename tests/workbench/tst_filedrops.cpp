// Files dropped on the document window: one on an editor opens there as Open does, several
// on the document list are imported as the import window does.
#include "WorkbenchFixture.h"

#include "workbench/UnsavedChanges.h"
#include "workbench/frmOstrelClient.h"

#include <QListWidget>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <Qsci/qsciscintilla.h>

using owb::frmOstrelClient;
using namespace wbtest;

namespace {

// Sends a drag onto target and, when it is taken, the drop. True: the drop was taken.
bool drop(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

} // namespace

class TestFileDrops : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void onTheEditor_data();
    void onTheEditor();
    void onTheList();

private:
    QString file(const QString &name, const QByteArray &text);

    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<Server> m_server;
    QTemporaryDir m_files;
};

void TestFileDrops::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
    m_server = std::make_unique<Server>();
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
}

QString TestFileDrops::file(const QString &name, const QByteArray &text)
{
    const QString path = m_files.filePath(name);
    return writeFile(path, text) ? path : QString();
}

void TestFileDrops::onTheEditor_data()
{
    QTest::addColumn<QString>("typed");       // the editor's text before, typed by the user
    QTest::addColumn<QList<bool>>("answers");  // to the question about the typed text
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("questions");

    const QString dropped = "<Order><customer>Dropped</customer></Order>";
    QTest::newRow("into an empty editor") << "" << QList<bool>{} << 1 << true << dropped << 0;
    QTest::newRow("over typing, let go") << "<Order/>" << QList<bool>{true} << 1 << true << dropped << 1;
    QTest::newRow("over typing, kept") << "<Order/>" << QList<bool>{false} << 1 << true << "<Order/>" << 1;
    QTest::newRow("two files are not one document") << "" << QList<bool>{} << 2 << false << "" << 0;
}

void TestFileDrops::onTheEditor()
{
    QFETCH(QString, typed);
    QFETCH(QList<bool>, answers);
    QFETCH(int, files);
    QFETCH(bool, taken);
    QFETCH(QString, expected);
    QFETCH(int, questions);

    Context ctx(m_server->databaseURI());
    frmOstrelClient w(ctx.app());
    w.setDoctype("Shop/Order");
    w.Init(m_server->openingURI("Order"));
    w.show();
    QsciScintilla *editor = w.documentEditor();
    if (!typed.isEmpty()) {
        editor->setFocus();
        QTest::keyClicks(editor, typed);
    }
    ctx.ui.questionAnswers = answers;
    QList<QUrl> urls;
    const QString path = file("dropped.xml", "<Order><customer>Dropped</customer></Order>\n");
    for (int i = 0; i < files; ++i)
        urls << QUrl::fromLocalFile(path);

    QCOMPARE(drop(editor->viewport(), urls), taken);
    QTRY_COMPARE(ctx.ui.shown.size(), questions);
    QTRY_COMPARE(editor->text().trimmed(), expected);
    QCOMPARE(w.documentChanges().isChanged(), expected == typed && !typed.isEmpty());
}

void TestFileDrops::onTheList()
{
    Context ctx(m_server->databaseURI());
    frmOstrelClient w(ctx.app());
    w.setDoctype("Shop/Order");
    w.Init(m_server->openingURI("Order"));
    w.show();
    const QList<QUrl> urls{
        QUrl::fromLocalFile(file("first.xml", "<Order><customer>First</customer></Order>")),
        QUrl::fromLocalFile(file("second.xml", "<Order><customer>Second</customer></Order>")),
    };
    QVERIFY(drop(w.documentList()->viewport(), urls));
    QTRY_VERIFY(ctx.ui.messages().contains("All documents have been imported, see log"));
    // Opening the import window queries the list; both new documents are added to it.
    const int before = int(kOrders.size());
    QCOMPARE(w.documentList()->count(), before + 2);
}

QTEST_MAIN(TestFileDrops)
#include "tst_filedrops.moc"
