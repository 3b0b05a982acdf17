#include <QtTest>
#include <QLabel>
#include <QPushButton>

#include "support/NamedChildren.h"
#include "support/ScriptedUserInteraction.h"
#include "shell/SysInfo.h"
#include "shell/frmAbout.h"

using namespace owb;

namespace {

// An executable script named name in dir that writes its name into the file mark.
bool fakeTool(const QString &dir, const QString &name, const QString &mark)
{
    QFile f(dir + u'/' + name);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("#!/bin/sh\necho " + name.toUtf8() + " > '" + mark.toUtf8() + "'\n");
    f.close();
    return f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// PATH set to one folder for the life of the object.
class PathOverride {
public:
    explicit PathOverride(const QString &dir) : m_old(qgetenv("PATH")) { qputenv("PATH", dir.toLocal8Bit()); }
    ~PathOverride() { qputenv("PATH", m_old); }

private:
    QByteArray m_old;
};

} // namespace

class TestFrmAbout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void texts();
    void okCloses();
    void firstToolFoundIsStarted();
    void noToolSaysSo();
};

void TestFrmAbout::initTestCase()
{
    ScriptedUserInteraction ui;
    frmAbout w(ui);
    const QString missing = owbtest::missingChildren(
        &w, {owbtest::named<QLabel>("lblTitle"), owbtest::named<QLabel>("lblVersion"),
             owbtest::named<QLabel>("lblDescription"), owbtest::named<QLabel>("lblDisclaimer"),
             owbtest::named<QLabel>("picIcon"), owbtest::named<QPushButton>("cmdOK"),
             owbtest::named<QPushButton>("cmdSysInfo")});
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("the window lacks ") + missing));
}

void TestFrmAbout::texts()
{
    ScriptedUserInteraction ui;
    frmAbout w(ui);
    QCOMPARE(w.windowTitle(), "About Ostrel Workbench");
    QCOMPARE(w.findChild<QLabel *>("lblTitle")->text(), "Ostrel Workbench");
    QStringList parts = QStringLiteral(OWB_PROJECT_VERSION).split(u'.');
    while (parts.size() < 3)
        parts << "0";
    QCOMPARE(w.findChild<QLabel *>("lblVersion")->text(), "Version " + parts.mid(0, 3).join(u'.'));
    QCOMPARE(w.findChild<QLabel *>("lblDescription")->text(),
             "Ostrel Workbench: the application to maintain Ostrel database.");
    QVERIFY(!w.findChild<QLabel *>("lblDisclaimer")->text().isEmpty());
    QVERIFY(!w.findChild<QLabel *>("picIcon")->pixmap().isNull());
    QCOMPARE(w.findChild<QPushButton *>("cmdOK")->text(), "OK");
    QCOMPARE(w.findChild<QPushButton *>("cmdSysInfo")->text(), "&System Info...");
}

void TestFrmAbout::okCloses()
{
    ScriptedUserInteraction ui;
    QPointer<frmAbout> w = new frmAbout(ui);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::mouseClick(w->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w, 5000);
}

void TestFrmAbout::firstToolFoundIsStarted()
{
    QTemporaryDir bin, out;
    QVERIFY(bin.isValid() && out.isValid());
    const QString mark = out.filePath("started");
    // Two candidates present: the one earlier in the list wins.
    const QStringList &names = SysInfo::candidates();
    QVERIFY(names.size() >= 3);
    QVERIFY(fakeTool(bin.path(), names.at(2), mark));
    QVERIFY(fakeTool(bin.path(), names.at(1), mark));
    PathOverride path(bin.path());
    QCOMPARE(SysInfo::findProgram(), bin.filePath(names.at(1)));

    ScriptedUserInteraction ui;
    frmAbout w(ui);
    w.show();
    QTest::mouseClick(w.findChild<QPushButton *>("cmdSysInfo"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(mark).size() > 0, 10000);
    QFile f(mark);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().trimmed(), names.at(1).toUtf8());
    QVERIFY(ui.shown.isEmpty());
    QVERIFY(w.isVisible());
}

void TestFrmAbout::noToolSaysSo()
{
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    // A candidate's name that is not executable does not count.
    QFile plain(bin.filePath(SysInfo::candidates().first()));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    PathOverride path(bin.path());
    QVERIFY(SysInfo::findProgram().isEmpty());

    ScriptedUserInteraction ui;
    frmAbout w(ui);
    w.findChild<QPushButton *>("cmdSysInfo")->click();
    QCOMPARE(ui.messages(), QStringList{"System Information Is Unavailable At This Time"});
    QCOMPARE(ui.shown[0].title, "Ostrel Workbench");
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
