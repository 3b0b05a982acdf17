#include "common/AppPaths.h"
#include "common/OstrelError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace owb;

class TestAppPaths : public QObject {
    Q_OBJECT
private slots:
    void resolve_data();
    void resolve();
    void readOnlyBuildFolderWritesBelowTheUserFolder();
    void thisProcessRunsFromTheBuildFolder();
    void userFolderFollowsXdgDataHome();
    void ensureWritableDirReportsAFolderItCannotMake();
};

// Folders are relative to a fresh temporary root; "-" stands for "not set".
void TestAppPaths::resolve_data()
{
    QTest::addColumn<QStringList>("makeDirs");
    QTest::addColumn<QString>("exeDir");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("dataDir");
    QTest::addColumn<QString>("writableRoot");
    QTest::addColumn<bool>("installed");

    QTest::newRow("build folder")
        << QStringList{"build/bin/xsl"} << "build/bin" << "-" << "build/bin" << "build/bin" << false;
    QTest::newRow("installed prefix, writable but never written")
        << QStringList{"usr/bin", "usr/share/ostrel-workbench/xsl"} << "usr/bin" << "-"
        << "usr/share/ostrel-workbench" << "user" << true;
    QTest::newRow("share without our folder is no install")
        << QStringList{"opt/bin", "opt/share/other"} << "opt/bin" << "-" << "opt/bin" << "opt/bin" << false;
    QTest::newRow("home wins over an install")
        << QStringList{"usr/bin", "usr/share/ostrel-workbench", "home"} << "usr/bin" << "home"
        << "home" << "home" << false;
    QTest::newRow("home that does not exist")
        << QStringList{"build/bin"} << "build/bin" << "gone" << "gone" << "user" << false;
    QTest::newRow("home with a trailing separator")
        << QStringList{"home"} << "build/bin" << "home/" << "home" << "home" << false;
}

void TestAppPaths::resolve()
{
    QFETCH(QStringList, makeDirs);
    QFETCH(QString, exeDir);
    QFETCH(QString, home);
    QFETCH(QString, dataDir);
    QFETCH(QString, writableRoot);
    QFETCH(bool, installed);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    for (const QString &d : makeDirs)
        QVERIFY(QDir(root.path()).mkpath(d));
    const QString user = root.filePath("user");
    const auto abs = [&](const QString &rel) { return rel == "user" ? user : root.filePath(rel); };

    const AppPaths::Layout l = AppPaths::resolve(abs(exeDir), home == "-" ? QString() : abs(home), user);
    QCOMPARE(l.dataDir, QDir::cleanPath(abs(dataDir)));
    QCOMPARE(l.writableRoot, abs(writableRoot));
    QCOMPARE(l.installed, installed);
}

void TestAppPaths::readOnlyBuildFolderWritesBelowTheUserFolder()
{
    if (geteuid() == 0)
        QSKIP("every folder is writable for root");
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.filePath("bin");
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner));
    const AppPaths::Layout l = AppPaths::resolve(bin, QString(), root.filePath("user"));
    QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(l.dataDir, bin);
    QCOMPARE(l.writableRoot, root.filePath("user"));
}

void TestAppPaths::thisProcessRunsFromTheBuildFolder()
{
    qunsetenv("OSTREL_WORKBENCH_HOME");
    const QString exeDir = QCoreApplication::applicationDirPath();
    QCOMPARE(AppPaths::appDir(), exeDir);
    QCOMPARE(AppPaths::dataFile("xsl/sortschema.xsl"), exeDir + "/xsl/sortschema.xsl");
    QCOMPARE(AppPaths::writableDir("log"), exeDir + "/log");

    QTemporaryDir home;
    QVERIFY(home.isValid());
    qputenv("OSTREL_WORKBENCH_HOME", home.path().toUtf8());
    QCOMPARE(AppPaths::dataFile("xsl/template.xsl"), home.path() + "/xsl/template.xsl");
    QCOMPARE(AppPaths::writableDir("export"), home.path() + "/export");
    qunsetenv("OSTREL_WORKBENCH_HOME");
}

void TestAppPaths::userFolderFollowsXdgDataHome()
{
    QTemporaryDir xdg;
    QVERIFY(xdg.isValid());
    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", xdg.path().toUtf8());
    const QString dir = AppPaths::userDataDir();
    qputenv("XDG_DATA_HOME", old);
    QCOMPARE(dir, xdg.path() + "/OstrelClient");
}

void TestAppPaths::ensureWritableDirReportsAFolderItCannotMake()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    qputenv("OSTREL_WORKBENCH_HOME", home.path().toUtf8());
    QCOMPARE(AppPaths::ensureWritableDir("output"), home.path() + "/output");
    QVERIFY(QFileInfo(home.path() + "/output").isDir());

    QFile blocker(home.path() + "/temp");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        AppPaths::ensureWritableDir("temp");
        QFAIL("a file in the way of the folder is reported");
    } catch (const OstrelError &e) {
        QVERIFY2(e.description().contains(home.path() + "/temp"), qPrintable(e.description()));
    }
    qunsetenv("OSTREL_WORKBENCH_HOME");
}

QTEST_GUILESS_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
