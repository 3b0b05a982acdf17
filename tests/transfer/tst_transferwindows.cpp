#include <QtTest>

#include "support/NamedChildren.h"
#include "common/Settings.h"
#include "xml/MemoryDocumentList.h"
#include "support/OstreldProcess.h"
#include "support/TestContext.h"
#include "transfer/frmExport.h"
#include "transfer/frmImport.h"
#include "transfer/TransferRig.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace owb;
using owb::MemoryDocumentList;

namespace {

const QByteArray kOrder = "<Order status=\"open\"><number>W-1</number></Order>";

} // namespace

class TestTransferWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void importShowsItsTarget_data();
    void importShowsItsTarget();
    void importSelectsAndRemovesFiles();
    void importFailureKeepsTheWindow();
    void importSuccessClosesAndRemembers();
    void refusedUploadAnsweredNo();
    void importProgressCancel();
    void exportWithAndWithoutIds_data();
    void exportWithAndWithoutIds();
    void exportFailureKeepsTheWindow();
    void exportDirectoryPickerAndNewDir();

private:
    ImportExportParm parm(const QString &collection, const QString &doctype, const QString &dir);
    QString file(const QString &name, const QByteArray &bytes);

    std::unique_ptr<owbtest::OstreldProcess> m_server;
    std::unique_ptr<owbtest::IsolatedHome> m_home;
    std::unique_ptr<owbtest::Context> m_ctx;
    std::unique_ptr<QTemporaryDir> m_dir;
    MemoryDocumentList m_list;
};

void TestTransferWindows::initTestCase()
{
    m_server = std::make_unique<owbtest::OstreldProcess>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
}

void TestTransferWindows::init()
{
    m_home = std::make_unique<owbtest::IsolatedHome>();
    m_ctx = std::make_unique<owbtest::Context>(m_server->databaseURI());
    m_dir = std::make_unique<QTemporaryDir>();
    m_list.clear();
}

void TestTransferWindows::cleanup()
{
    m_ctx.reset();
    m_home.reset();
}

ImportExportParm TestTransferWindows::parm(const QString &collection, const QString &doctype, const QString &dir)
{
    ImportExportParm p;
    p.OstrelURI = m_server->databaseURI() + "/" + collection;
    p.doctypename = doctype;
    p.DirName = dir;
    p.DatabaseList = &m_list;
    return p;
}

QString TestTransferWindows::file(const QString &name, const QByteArray &bytes)
{
    QFile f(m_dir->filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
}

void TestTransferWindows::importShowsItsTarget_data()
{
    QTest::addColumn<bool>("nonXML");
    QTest::addColumn<QString>("kind");
    QTest::newRow("xml") << false << "XML document";
    QTest::newRow("non-xml") << true << "Non XML document";
}

void TestTransferWindows::importShowsItsTarget()
{
    QFETCH(bool, nonXML);
    QFETCH(QString, kind);
    frmImport w(m_ctx->app());
    w.setImportParm(parm("Sales", "Order", "/start/here"));
    w.setNonXML(nonXML);
    w.show();
    const QString missing = owbtest::missingChildren(
        &w, {owbtest::named<QLineEdit>("txtOslURI"), owbtest::named<QLineEdit>("txtDocTypeName"),
             owbtest::named<QLabel>("lblDocType"), owbtest::named<QLabel>("Label1"), owbtest::named<QLabel>("Label3"),
             owbtest::named<QPushButton>("Command1"), owbtest::named<QPushButton>("OKButton"),
             owbtest::named<QPushButton>("CancelButton")});
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("the window lacks ") + missing));
    QCOMPARE(w.windowTitle(), QString("Import XML Document"));
    QCOMPARE(w.findChild<QLineEdit *>("txtOslURI")->text(), m_server->databaseURI() + "/Sales");
    QCOMPARE(w.findChild<QLineEdit *>("txtDocTypeName")->text(), QString("Order"));
    QCOMPARE(w.findChild<QLabel *>("lblDocType")->text(), kind);
    QCOMPARE(w.findChild<QLabel *>("Label1")->text(), QString("Ostrel URI:"));
    QCOMPARE(w.findChild<QLabel *>("Label3")->text(), QString("Document type:"));
    QCOMPARE(w.findChild<QPushButton *>("Command1")->text(), QString("Select ..."));
    QCOMPARE(w.findChild<QPushButton *>("OKButton")->text(), QString("Import"));
    QCOMPARE(w.findChild<QPushButton *>("CancelButton")->text(), QString("Cancel"));
}

void TestTransferWindows::importSelectsAndRemovesFiles()
{
    frmImport w(m_ctx->app());
    w.setImportParm(parm("Sales", "Order", "/start/here"));
    w.show();
    m_ctx->ui.fileListAnswers = {{"/d/a.xml", "/d/b.xml"}, {"/e/c.xml", "/e/d.xml"}, {}};
    QListWidget *list = w.lstImport;
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(w.Command1, Qt::LeftButton);
    QCOMPARE(m_ctx->ui.shown.value(0).title, QString("Import xml files into Ostrel"));
    QCOMPARE(m_ctx->ui.shown.value(0).text, QString("/start/here"));
    QCOMPARE(list->count(), 4);

    // Import with nothing left does nothing at all.
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QString("/d/b.xml"));
    QCOMPARE(list->item(1)->text(), QString("/e/d.xml"));
    list->selectAll();
    QTest::keyClick(list, Qt::Key_Delete, Qt::ControlModifier);
    const int shownBefore = int(m_ctx->ui.shown.size());
    QTest::mouseClick(w.OKButton, Qt::LeftButton);
    QCOMPARE(int(m_ctx->ui.shown.size()), shownBefore);
    QVERIFY(w.isVisible());
}

void TestTransferWindows::importFailureKeepsTheWindow()
{
    const QString good = file("a.xml", kOrder), bad = file("b.xml", "<Order>"), third = file("c.xml", kOrder);
    Settings::save("config", "importdir", "/before");
    frmImport w(m_ctx->app());
    w.setImportParm(parm("Sales", "Order", m_dir->path()));
    w.show();
    m_ctx->ui.fileListAnswers = {{good, bad, third}};
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QTest::mouseClick(w.OKButton, Qt::LeftButton);
    QCOMPARE(m_ctx->ui.messages().value(0), "Failed to load documents. Look at the log\r\nFailed to load " + bad);
    QCOMPARE(m_ctx->ui.shown.last().title, QString("Result of import"));
    QCOMPARE(m_ctx->ui.shown.last().icon, UserInteraction::Icon::Exclamation);
    QVERIFY(w.isVisible());
    QCOMPARE(w.lstImport->count(), 3);
    QCOMPARE(m_list.count(), 1);
    QCOMPARE(Settings::get("config", "importdir"), QString("/before"));
}

void TestTransferWindows::importSuccessClosesAndRemembers()
{
    QPointer<frmImport> w = new frmImport(m_ctx->app());
    QSignalSpy refresh(w.data(), &frmImport::RefreshList);
    w->setImportParm(parm("Sales", "Order", m_dir->path()));
    w->show();
    m_ctx->ui.fileListAnswers = {{file("one.xml", kOrder)}};
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QTest::mouseClick(w->OKButton, Qt::LeftButton);
    QCOMPARE(m_ctx->ui.messages(), QStringList{"All documents have been imported, see log"});
    QCOMPARE(m_ctx->ui.shown.last().title, QString("Result of import"));
    QCOMPARE(Settings::get("config", "importdir"), m_dir->path());
    QCOMPARE(refresh.count(), 0);
    QCOMPARE(m_list.count(), 1);
    QTRY_VERIFY(w.isNull());
}

void TestTransferWindows::refusedUploadAnsweredNo()
{
    QPointer<frmImport> w = new frmImport(m_ctx->app());
    QSignalSpy refresh(w.data(), &frmImport::RefreshList);
    w->setImportParm(parm("Sales", "Order", m_dir->path()));
    w->setNonXML(true);
    w->show();
    m_ctx->ui.fileListAnswers = {{file("1.png", "1"), file("2.png", "2"), file("3.png", "3")}};
    m_ctx->ui.questionAnswers = {false};
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QTest::mouseClick(w->OKButton, Qt::LeftButton);
    int questions = 0;
    for (const auto &s : m_ctx->ui.shown)
        if (s.kind == "question") {
            ++questions;
            QCOMPARE(s.title, QString("Continue?"));
            QCOMPARE(s.text, QString("Failed to load document: Conflict\r\nContinue?"));
        }
    QCOMPARE(questions, 1);
    QCOMPARE(m_ctx->log.lines.filter("Store file ").size(), 1);
    QCOMPARE(m_ctx->ui.messages(), QStringList{"All documents have been imported, see log"});
    QCOMPARE(refresh.count(), 1);
    QTRY_VERIFY(w.isNull());
}

void TestTransferWindows::importProgressCancel()
{
    QPointer<frmImport> w = new frmImport(m_ctx->app());
    w->setImportParm(parm("Sales", "Order", m_dir->path()));
    w->show();
    m_ctx->ui.fileListAnswers = {{file("p1.xml", kOrder), file("p2.xml", kOrder), file("p3.xml", kOrder)}};
    m_ctx->ui.cancelProgressAt = 1;
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QTest::mouseClick(w->OKButton, Qt::LeftButton);
    QCOMPARE(m_ctx->ui.progress.size(), 1);
    QCOMPARE(m_ctx->ui.progress[0]->title, QString("Import"));
    QVERIFY(m_ctx->ui.progress[0]->ended);
    QCOMPARE(m_list.count(), 1);
    QCOMPARE(m_ctx->ui.messages(), QStringList{"Import cancelled: 1 of 3 documents have been imported, see log"});
    QCOMPARE(m_ctx->log.lines.last(), QString("Import cancelled after 1 of 3 files"));
}

void TestTransferWindows::exportWithAndWithoutIds_data()
{
    QTest::addColumn<bool>("withoutId");
    QTest::newRow("with ids") << false;
    QTest::newRow("without ids") << true;
}

void TestTransferWindows::exportWithAndWithoutIds()
{
    QFETCH(bool, withoutId);
    m_list.addEntry("osl:id=1", 1);
    m_list.addEntry("osl:id=2", 2);
    QPointer<frmExport> w = new frmExport(m_ctx->app());
    w->setExportParm(parm("Sales", "Customer", m_dir->path()));
    w->show();
    QCOMPARE(w->windowTitle(), QString("Export XML Document"));
    QCOMPARE(w->Dir1->text(), m_dir->path());
    QCOMPARE(w->txtNewDir->text(), QString("<newdir>"));
    QCOMPARE(w->chkWithoutOslID->text(), QString("Without ID"));
    QCOMPARE(w->chkWithoutOslID->toolTip(), QString("Without document id (osl:id)"));
    QCOMPARE(w->OKButton->text(), QString("Export"));
    QVERIFY(w->findChild<QLabel *>("Label4"));
    QCOMPARE(w->findChild<QLabel *>("Label4")->text(), QString("Export directory:"));
    w->chkWithoutOslID->setChecked(withoutId);
    QTest::mouseClick(w->OKButton, Qt::LeftButton);
    QCOMPARE(m_ctx->ui.messages(), QStringList{"All documents have been exported to directory " + m_dir->path()});
    QCOMPARE(m_ctx->ui.shown.last().title, QString("Result of export"));
    QCOMPARE(Settings::get("config", "exportdir"), m_dir->path());
    QTRY_VERIFY(w.isNull());
    for (const char *name : {"Customer_1.xml", "Customer_2.xml"}) {
        const QByteArray bytes = owbtest::readAll(m_dir->filePath(name));
        QVERIFY2(bytes.startsWith("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Customer"), name);
        QCOMPARE(bytes.contains("osl:id="), !withoutId);
    }
}

void TestTransferWindows::exportFailureKeepsTheWindow()
{
    m_list.addEntry("osl:id=1", 1);
    Settings::save("config", "exportdir", "/before");
    frmExport w(m_ctx->app());
    const QString missing = m_dir->filePath("gone");
    w.setExportParm(parm("Sales", "Customer", missing));
    w.show();
    QTest::mouseClick(w.OKButton, Qt::LeftButton);
    QCOMPARE(m_ctx->ui.messages(), QStringList{"Failed to export documents\r\nDirectory " + missing + " does not exist"});
    QCOMPARE(m_ctx->ui.shown.last().icon, UserInteraction::Icon::Exclamation);
    QVERIFY(w.isVisible());
    QCOMPARE(Settings::get("config", "exportdir"), QString("/before"));
}

void TestTransferWindows::exportDirectoryPickerAndNewDir()
{
    frmExport w(m_ctx->app());
    w.setExportParm(parm("Sales", "Customer", m_dir->path()));
    w.show();
    const QString other = m_dir->filePath("other");
    QVERIFY(QDir().mkdir(other));
    m_ctx->ui.fileAnswers = {other, QString()};
    QTest::mouseClick(w.cmdPickDir, Qt::LeftButton);
    QCOMPARE(m_ctx->ui.shown.last().kind, QString("directory"));
    QCOMPARE(m_ctx->ui.shown.last().text, m_dir->path());
    QCOMPARE(w.Dir1->text(), other);
    QTest::mouseClick(w.cmdPickDir, Qt::LeftButton);
    QCOMPARE(w.Dir1->text(), other);

    w.txtNewDir->setText("made");
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QVERIFY(QFileInfo(other + "/made").isDir());
    QVERIFY(m_ctx->ui.messages().isEmpty());
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QCOMPARE(m_ctx->ui.messages(), QStringList{"Directory " + other + "/made already exists"});
    QCOMPARE(m_ctx->ui.shown.last().title, QString("Directory exists"));
}

QTEST_MAIN(TestTransferWindows)
#include "tst_transferwindows.moc"
