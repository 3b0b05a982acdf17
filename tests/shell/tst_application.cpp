#include "shell/Application.h"
#include "shell/frmMain.h"
#include "log/frmLog.h"
#include "shell/frmAbout.h"
#include "shell/frmHelp.h"
#include "shell/frmSplash.h"
#include "support/ScriptedUserInteraction.h"
#include <QAction>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace owb;

namespace {

class WithNavigate : public Application {
public:
    using Application::Application;
    QPointer<QWidget> created;
protected:
    QWidget *createNavigateWindow() override
    {
        auto *w = new QWidget;
        w->setObjectName(QStringLiteral("frmNavigate"));
        // The real Navigate window hides the document items when it loads.
        w->setProperty("mainWindowSeen", context().mainWindow != nullptr);
        created = w;
        return w;
    }
};

} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void startupOrder();
    void logLoadedAndHidden();
    void firstHideLogShowsLog();
    void startTwiceChangesNothing();
    void navigateWindowComesLast();
    void loadProblemsReachTheUser();
    void splashAtStartGoesByItself();
    void helpAndAboutFromTheMenu();

private:
    QTemporaryDir m_tmp;
};

void TestApplication::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_tmp.path() + "/settings");
    qputenv("OSTREL_WORKBENCH_HOME", (m_tmp.path() + "/home").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (m_tmp.path() + "/share").toLocal8Bit());
}

void TestApplication::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "OstrelClient", "OstrelClient").clear();
    QDir(m_tmp.path() + "/home").removeRecursively();
    QVERIFY(QDir().mkpath(m_tmp.path() + "/home"));
}

void TestApplication::startupOrder()
{
    Application app(std::make_unique<ScriptedUserInteraction>());
    QVERIFY(app.startupSteps().isEmpty());
    QVERIFY(!app.context().fileHandler);
    app.start();
    QCOMPARE(app.startupSteps(),
             (QStringList{"clsFileHandler", "clsConnection", "FormEncoder", "frmMain", "frmLog",
                          "frmNavigate", "frmSplash"}));
    // The Navigate window's load hides the document items of the File menu; a home without
    // data files must not stop start-up either.
    QVERIFY(app.mainWindow()->findChild<QAction *>("mnuFileProcess"));
    QVERIFY(!app.mainWindow()->findChild<QAction *>("mnuFileProcess")->isVisible());
    const AppContext &c = app.context();
    QVERIFY(c.fileHandler && c.connection && c.formEncoder && c.http && c.ui);
    QCOMPARE(c.mainWindow, static_cast<IMainWindow *>(app.mainWindow()));
    QCOMPARE(c.log, static_cast<ILogMessage *>(app.logWindow()));
}

void TestApplication::logLoadedAndHidden()
{
    Application app(std::make_unique<ScriptedUserInteraction>());
    app.start();
    frmMain *main = app.mainWindow();
    QVERIFY(main->isVisible());
    frmLog *log = app.logWindow();
    QVERIFY(log);
    QVERIFY(log->logText().contains(QStringLiteral(" Log started on ")));
    QVERIFY(!main->isChildShown(log));
    auto *sub = qobject_cast<QMdiSubWindow *>(log->parentWidget());
    QVERIFY(sub);
    QCOMPARE(sub->mdiArea(), main->mdiArea());
    QVERIFY(main->findChild<QAction *>("mnuViewLog"));
    QVERIFY(!main->findChild<QAction *>("mnuViewLog")->isChecked());
    QVERIFY(QFileInfo(m_tmp.path() + "/home/log").isDir());
}

void TestApplication::firstHideLogShowsLog()
{
    Application app(std::make_unique<ScriptedUserInteraction>());
    app.start();
    frmMain *main = app.mainWindow();
    QAction *mark = main->findChild<QAction *>("mnuViewLog");
    main->HideLog();
    QVERIFY(mark->isChecked());
    QVERIFY(main->isChildShown(app.logWindow()));
    // The log window's own Hide log goes through the main window.
    app.logWindow()->hideLog();
    QVERIFY(!mark->isChecked());
    QVERIFY(!main->isChildShown(app.logWindow()));
}

void TestApplication::startTwiceChangesNothing()
{
    Application app(std::make_unique<ScriptedUserInteraction>());
    app.start();
    frmMain *main = app.mainWindow();
    frmLog *log = app.logWindow();
    app.start();
    QCOMPARE(app.mainWindow(), main);
    QCOMPARE(app.logWindow(), log);
    QCOMPARE(app.startupSteps().size(), 7);
    QCOMPARE(main->mdiArea()->subWindowList().size(), 2);
}

void TestApplication::navigateWindowComesLast()  // of the windows in the main window
{
    WithNavigate app(std::make_unique<ScriptedUserInteraction>());
    app.start();
    QVERIFY(app.created);
    QCOMPARE(app.navigateWindow(), app.created.data());
    QCOMPARE(app.startupSteps().mid(5), (QStringList{"frmNavigate", "frmSplash"}));
    QVERIFY(app.created->property("mainWindowSeen").toBool());
    frmMain *main = app.mainWindow();
    QCOMPARE(main->navigateWindow(), app.created.data());
    QVERIFY(main->isChildShown(app.created));
    QVERIFY(main->findChild<QAction *>("cmdViewNavigate"));
    main->findChild<QAction *>("cmdViewNavigate")->trigger();
    QVERIFY(!main->isChildShown(app.created));
}

void TestApplication::loadProblemsReachTheUser()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "OstrelClient", "OstrelClient");
    s.setValue("config/logseq", "twelve");
    s.setValue("config/lastlog", m_tmp.path() + "/nowhere.log");
    s.sync();
    auto ui = std::make_unique<ScriptedUserInteraction>();
    ScriptedUserInteraction *seen = ui.get();
    Application app(std::move(ui));
    app.start();
    QCOMPARE(seen->messages().size(), 2);
    QVERIFY(app.mainWindow()->isVisible());
    QVERIFY(app.logWindow()->logText().contains(QStringLiteral(" Log started on ")));
}

void TestApplication::splashAtStartGoesByItself()
{
    Application app(std::make_unique<ScriptedUserInteraction>());
    app.start();
    QPointer<frmSplash> splash = app.splashWindow();
    QVERIFY(splash);
    QVERIFY(splash->isVisible());
    QVERIFY(splash->isWindow());
    QVERIFY(!qobject_cast<QMdiSubWindow *>(splash->parentWidget()));
    QTRY_VERIFY_WITH_TIMEOUT(!splash, 6000);
    QVERIFY(app.mainWindow()->isVisible());
}

void TestApplication::helpAndAboutFromTheMenu()
{
    Application app(std::make_unique<ScriptedUserInteraction>());
    app.start();
    frmMain *main = app.mainWindow();
    QVERIFY(!app.helpWindow() && !app.aboutWindow());

    QVERIFY(main->findChild<QAction *>("mnuHelpIndex"));
    main->findChild<QAction *>("mnuHelpIndex")->trigger();
    QPointer<frmHelp> help = app.helpWindow();
    QVERIFY(help);
    QVERIFY(main->isChildShown(help));
    auto *frame = qobject_cast<QMdiSubWindow *>(help->parentWidget());
    QVERIFY(frame && frame->mdiArea() == main->mdiArea());
    QVERIFY(main->findChild<QAction *>("mnuHelpIndex"));
    main->findChild<QAction *>("mnuHelpIndex")->trigger();
    QCOMPARE(app.helpWindow(), help.data());
    QCOMPARE(main->mdiArea()->activeSubWindow(), frame);
    // Closed, it goes, and the next Index makes a new one.
    frame->close();
    QTRY_VERIFY_WITH_TIMEOUT(!help, 5000);
    QVERIFY(main->findChild<QAction *>("mnuHelpIndex"));
    main->findChild<QAction *>("mnuHelpIndex")->trigger();
    QVERIFY(app.helpWindow() && main->isChildShown(app.helpWindow()));

    QVERIFY(main->findChild<QAction *>("cmdHelpAbout"));
    main->findChild<QAction *>("cmdHelpAbout")->trigger();
    QPointer<frmAbout> about = app.aboutWindow();
    QVERIFY(about);
    QVERIFY(about->isVisible() && about->isWindow());
    QVERIFY(main->findChild<QAction *>("cmdHelpAbout"));
    main->findChild<QAction *>("cmdHelpAbout")->trigger();
    QCOMPARE(app.aboutWindow(), about.data());
}

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
