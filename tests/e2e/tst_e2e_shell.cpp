#include "shell/Application.h"
#include "shell/frmMain.h"
#include "support/ScriptedUserInteraction.h"
#include "support/Screenshot.h"
#include "log/frmLog.h"
#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace owb;

class TestE2EShell : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void mainWindowThenLog();

private:
    // The whole screen on a real display (menus and frames included), else the window; empty
    // when the window never showed or the picture could not be saved.
    QString screenshot(QWidget *window, const QString &name);
    QTemporaryDir m_tmp;
};

void TestE2EShell::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_tmp.path() + "/settings");
    qputenv("OSTREL_WORKBENCH_HOME", m_tmp.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (m_tmp.path() + "/share").toLocal8Bit());
    QVERIFY(QDir().mkpath(QStringLiteral(OWB_SCREENSHOT_DIR)));
}

QString TestE2EShell::screenshot(QWidget *window, const QString &name)
{
    if (!owbtest::paintedNow(window))
        return QString();
    QPixmap shot;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        shot = window->screen()->grabWindow(0);
    else
        shot = window->grab();
    const QString path = QStringLiteral(OWB_SCREENSHOT_DIR "/") + name
                         + qEnvironmentVariable("OWB_SCREENSHOT_SUFFIX") + QStringLiteral(".png");
    if (shot.isNull() || !shot.save(path))
        return QString();
    return path;
}

void TestE2EShell::mainWindowThenLog()
{
    Application app(std::make_unique<ScriptedUserInteraction>());
    app.start();
    frmMain *main = app.mainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QCOMPARE(main->windowTitle(), QStringLiteral("Ostrel Workbench"));

    QStringList menus;
    for (QAction *a : main->menuBar()->actions())
        if (a->isVisible())
            menus << a->text();
    QCOMPARE(menus, (QStringList{"&File", "&View", "&Help"}));
    QVERIFY(main->statusBar()->isVisible());
    QVERIFY(!main->isChildShown(app.logWindow()));
    QVERIFY(!screenshot(main, "main").isEmpty());

    auto *viewLog = main->findChild<QAction *>("mnuViewLog");
    QVERIFY(viewLog);
    viewLog->trigger();
    frmLog *log = app.logWindow();
    QTRY_VERIFY(log->isVisible());
    auto *text = log->findChild<QPlainTextEdit *>("rtfLog");
    QVERIFY(text && text->isVisible());
    QVERIFY2(text->width() >= 300 && text->height() >= 200, "the log window opens at a usable size");
    const QRegularExpression header(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d Log started on \\d\\d \\S+ \\d{4}$"));
    QVERIFY2(header.match(text->toPlainText()).hasMatch(), qPrintable(text->toPlainText()));
    main->setStatus(QStringLiteral("Log shown"));
    QVERIFY(!screenshot(main, "log").isEmpty());
    main->close();
}

QTEST_MAIN(TestE2EShell)
#include "tst_e2e_shell.moc"
