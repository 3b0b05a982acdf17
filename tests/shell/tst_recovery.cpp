// A workbench killed after typing offers the text at the next start. The first run is this
// test binary in its child mode (the real start-up, scripted dialogs), killed with SIGKILL.
#include "workbench/WorkbenchFixture.h"

#include "common/RecoveryStore.h"
#include "navigation/frmNavigate.h"
#include "shell/Application.h"
#include "shell/frmMain.h"
#include "shell/frmRecover.h"
#include "workbench/frmOstrelClient.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <Qsci/qsciscintilla.h>

#include <cstdio>

using namespace owb;

namespace {

const char *kChildMode = "--type-and-wait";
const QString kTyped = QStringLiteral("<!--typed before the crash-->");

// The child: opens Shop/Order of databaseURI, shows Bob's order, types, and runs until killed.
int typeAndWait(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OstrelClient"));
    Application workbench(std::make_unique<ScriptedUserInteraction>());
    workbench.start();
    auto *navigate = qobject_cast<frmNavigate *>(workbench.navigateWindow());
    frmOstrelClient *w = navigate ? navigate->openDocumentWindow(
                                        {QString::fromLocal8Bit(argv[2]), QStringLiteral("Shop"), QStringLiteral("Order")})
                                  : nullptr;
    if (!w)
        return 2;
    w->findChild<QLineEdit *>(QStringLiteral("txtQry"))->setText(QStringLiteral("customer='Bob'"));
    w->findChild<QAction *>(QStringLiteral("Query"))->trigger();
    w->documentEditor()->setCursorPosition(0, 0);
    QTest::keyClicks(w->documentEditor(), kTyped);
    std::printf("typed\n");
    std::fflush(stdout);
    return app.exec();
}

QStringList copiesBelow(const QString &root)
{
    QStringList found;
    for (const QString &folder : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QString &file : QDir(root + QLatin1Char('/') + folder).entryList({QStringLiteral("*.recovery")}))
            found << folder + QLatin1Char('/') + file;
    return found;
}

} // namespace

class tst_Recovery : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_user;
    std::unique_ptr<wbtest::IsolatedHome> m_home;
    std::unique_ptr<wbtest::Server> m_server;
    QString recoveryRoot() const { return RecoveryStore::defaultRoot(); }

private slots:
    void initTestCase();
    void killedAfterTypingOffersTheTextBack();
    void discardDeletesTheTexts();
};

void tst_Recovery::initTestCase()
{
    QVERIFY(m_user.isValid());
    // The user's own folders stay untouched, here and in the child.
    qputenv("HOME", m_user.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", m_user.filePath(QStringLiteral("config")).toUtf8());
    m_home = std::make_unique<wbtest::IsolatedHome>();
    m_server = std::make_unique<wbtest::Server>();
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    QVERIFY(recoveryRoot().startsWith(m_home->path()));
}

void tst_Recovery::killedAfterTypingOffersTheTextBack()
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildMode), m_server->databaseURI()});
    QVERIFY2(child.waitForStarted(10000), qPrintable(child.errorString()));
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("typed")
                                 || child.state() != QProcess::Running,
                             60000);
    QCOMPARE(child.state(), QProcess::Running);
    QTRY_COMPARE_WITH_TIMEOUT(copiesBelow(recoveryRoot()).size(), 1, 30000);

    // While it runs, its copy is no one else's.
    {
        RecoveryStore other(recoveryRoot());
        QVERIFY(other.claimOrphans().isEmpty());
    }
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QString left = copiesBelow(recoveryRoot()).first().section(QLatin1Char('/'), 0, 0);

    auto scripted = std::make_unique<ScriptedUserInteraction>();
    ScriptedUserInteraction *ui = scripted.get();
    Application app(std::move(scripted));
    app.start();
    frmRecover *offer = app.recoverWindow();
    QVERIFY(offer);
    QCOMPARE(offer->windowTitle(), QStringLiteral("Recover unsaved documents"));
    auto *rows = offer->findChild<QListWidget *>(QStringLiteral("lstRecover"));
    QVERIFY(rows);
    QCOMPARE(rows->count(), 1);
    const QString row = rows->item(0)->text();
    for (const QString &part : {m_server->databaseURI(), QStringLiteral("Shop"), QStringLiteral("Order"),
                                QStringLiteral("osl:id=2"), QDate::currentDate().toString(Qt::ISODate)})
        QVERIFY2(row.contains(part), qPrintable(row + QStringLiteral(" lacks ") + part));

    QPointer<frmRecover> watch(offer);
    offer->findChild<QPushButton *>(QStringLiteral("cmdRestore"))->click();
    QTRY_VERIFY(watch.isNull());
    auto *navigate = qobject_cast<frmNavigate *>(app.navigateWindow());
    frmOstrelClient *w = navigate->documentWindow(DoctypeRef{m_server->databaseURI(), QStringLiteral("Shop"), QStringLiteral("Order")});
    QVERIFY(w);
    QVERIFY2(ui->messages().isEmpty(), qPrintable(ui->messages().join('|')));
    QVERIFY(w->documentEditor()->text().startsWith(kTyped + QStringLiteral("<Order")));
    QVERIFY(w->documentEditor()->text().contains(QStringLiteral("Bob")));
    QVERIFY(w->isWindowModified());
    // The text now lies in this run's folder only.
    const QStringList now = copiesBelow(recoveryRoot());
    QCOMPARE(now.size(), 1);
    QVERIFY(!now.first().startsWith(left));
    QVERIFY(!QFileInfo::exists(recoveryRoot() + QLatin1Char('/') + left));

    // A clean end leaves nothing behind.
    ui->questionAnswers = {true};
    QVERIFY(app.mainWindow()->close());
}

void tst_Recovery::discardDeletesTheTexts()
{
    QTRY_VERIFY(copiesBelow(recoveryRoot()).isEmpty());
    RecoveryEntry e;
    e.database = m_server->databaseURI();
    e.collection = QStringLiteral("Shop");
    e.doctype = QStringLiteral("Order");
    e.editor = QStringLiteral("stylesheet");
    e.shown = QStringLiteral("the stylesheet");
    e.savedAt = QDateTime::currentDateTimeUtc();
    e.text = "<xsl:stylesheet/>";
    const QString folder = recoveryRoot() + QStringLiteral("/1-ended");
    QVERIFY(QDir().mkpath(folder));
    QFile f(folder + QStringLiteral("/text1.recovery"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(e.encode()) > 0);
    f.close();

    Application app(std::make_unique<ScriptedUserInteraction>());
    app.start();
    QVERIFY(app.recoverWindow());
    QVERIFY(app.recoverWindow()->lstRecover->item(0)->text().contains(QStringLiteral("the stylesheet")));
    app.recoverWindow()->findChild<QPushButton *>(QStringLiteral("cmdDiscard"))->click();
    QTRY_VERIFY(!app.recoverWindow());
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(!qobject_cast<frmNavigate *>(app.navigateWindow())->documentWindow(
        DoctypeRef{m_server->databaseURI(), QStringLiteral("Shop"), QStringLiteral("Order")}));
}

int main(int argc, char *argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], kChildMode) == 0)
        return typeAndWait(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OstrelClient"));
    tst_Recovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
