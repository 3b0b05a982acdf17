// `cmake --install` into a temporary prefix: what lands where, and an installed workbench that
// reads its data from the prefix and writes only below the user's data folder.
//
// The workbench code is checked in the installed layout by copying this test program into the
// prefix's bin/ and running it there as a probe (OWB_INSTALL_PROBE set): it then finds its
// folders exactly as an installed OstrelClient does.
#include "common/AppPaths.h"
#include "common/Settings.h"
#include "navigation/NavFixture.h"
#include "navigation/TreeWidgetDocTree.h"
#include "navigation/frmNavigate.h"
#include "shell/Application.h"
#include "workbench/frmOstrelClient.h"
#include "InstalledTree.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <Qsci/qsciscintilla.h>

using namespace installtest;

class TestInstallLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void installedFiles_data();
    void installedFiles();
    void everyDataFileIsInstalled();
    void manualPageNamesEveryOption_data();
    void manualPageNamesEveryOption();
    void workbenchReadsInstalledDataAndWritesBelowTheUser();
    void installedOstrelClientStartsWithoutWritingIntoThePrefix();

private:
    QTemporaryDir m_tmp;
    QString m_prefix;
    QString m_probe;
};

void TestInstallLayout::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_prefix = m_tmp.filePath("prefix");
    const QString error = run(QStringLiteral(OWB_CMAKE_COMMAND),
                              {"--install", OWB_BUILD_DIR, "--prefix", m_prefix});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    m_probe = m_prefix + "/bin/install-probe";
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), m_probe));
}

void TestInstallLayout::installedFiles_data()
{
    QTest::addColumn<QString>("path");
    for (const char *p : {"bin/OstrelClient", "bin/ostreld", "share/ostrel-workbench/xsl/sortschema.xsl",
                          "share/ostrel-workbench/xsl/template.xsl",
                          "share/ostrel-workbench/demo/schemas/sales.xsd",
                          "share/applications/ostrel-workbench.desktop",
                          "share/icons/hicolor/scalable/apps/ostrel-workbench.svg",
                          "share/icons/hicolor/48x48/apps/ostrel-workbench.png",
                          "share/man/man1/OstrelClient.1.gz", "share/man/man1/ostreld.1.gz"})
        QTest::newRow(p) << QString::fromLatin1(p);
}

void TestInstallLayout::installedFiles()
{
    QFETCH(QString, path);
    const QFileInfo fi(m_prefix + "/" + path);
    QVERIFY2(fi.isFile() && fi.size() > 0, qPrintable(fi.filePath()));
    if (path.startsWith("bin/"))
        QVERIFY(fi.isExecutable());
}

void TestInstallLayout::everyDataFileIsInstalled()
{
    const QDir src(QStringLiteral(OWB_DATA_DIR));
    QDirIterator it(src.path(), QDir::Files, QDirIterator::Subdirectories);
    int count = 0;
    while (it.hasNext()) {
        const QFileInfo from(it.next());
        const QFileInfo to(m_prefix + "/share/ostrel-workbench/" + src.relativeFilePath(from.filePath()));
        QVERIFY2(to.isFile() && to.size() == from.size(), qPrintable(to.filePath()));
        ++count;
    }
    QVERIFY(count > 0);
}

void TestInstallLayout::manualPageNamesEveryOption_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("ostreld") << "ostreld";
    QTest::newRow("OstrelClient") << "OstrelClient";
    if (QFileInfo::exists(m_prefix + "/bin/owb"))
        QTest::newRow("owb") << "owb";
}

void TestInstallLayout::manualPageNamesEveryOption()
{
    QFETCH(QString, program);
    QString help;
    const QString error = run(m_prefix + "/bin/" + program, {"--help"}, &help);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QFile page(QStringLiteral(OWB_SOURCE_DIR "/packaging/man/") + program + ".1");
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString manual = QString::fromUtf8(page.readAll()).replace("\\-", "-");
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
    QStringList missing;
    for (auto it = option.globalMatch(help); it.hasNext();) {
        const QString name = it.next().captured();
        if (!QRegularExpression(QRegularExpression::escape(name) + "(?![a-z-])").match(manual).hasMatch())
            missing << name;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(' ')));
}

void TestInstallLayout::workbenchReadsInstalledDataAndWritesBelowTheUser()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QProcessEnvironment env = userEnvironment(home.path());
    env.insert("OWB_INSTALL_PROBE", m_prefix);
    env.insert("OSTRELD_EXE", m_prefix + "/bin/ostreld");
    env.insert("OSTRELD_DEMO", m_prefix + "/share/ostrel-workbench/demo");

    const auto before = snapshot(m_prefix);
    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(m_probe, {});
    QVERIFY2(probe.waitForStarted(10000), qPrintable(probe.errorString()));
    const bool finished = probe.waitForFinished(180000);
    const QString out = QString::fromLocal8Bit(probe.readAll());
    if (!finished)
        probe.kill();
    QVERIFY2(finished && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0,
             qPrintable(out));

    const QStringList changed = changes(before, snapshot(m_prefix));
    QVERIFY2(changed.isEmpty(), qPrintable(changed.join('\n')));
    QVERIFY(QFileInfo(userDataDir(home.path()) + "/log").isDir());
}

void TestInstallLayout::installedOstrelClientStartsWithoutWritingIntoThePrefix()
{
    const QString error = startWorkbenchLeavingUntouched(m_prefix + "/bin/OstrelClient", m_prefix);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

// Runs inside the prefix (see the top of the file).
class InstalledProbe : public QObject {
    Q_OBJECT
private slots:
    void findsInstalledFolders();
    void loadsADatabaseAndOpensADocumentWindow();
};

void InstalledProbe::findsInstalledFolders()
{
    const QString prefix = QDir(qEnvironmentVariable("OWB_INSTALL_PROBE")).canonicalPath();
    const owb::AppPaths::Layout l = owb::AppPaths::layout();
    QVERIFY(l.installed);
    QCOMPARE(QDir(l.dataDir).canonicalPath(), prefix + "/share/ostrel-workbench");
    QCOMPARE(l.writableRoot, userDataDir(qEnvironmentVariable("HOME")));
    QVERIFY(QFileInfo::exists(owb::AppPaths::dataFile("xsl/sortschema.xsl")));
}

void InstalledProbe::loadsADatabaseAndOpensADocumentWindow()
{
    navtest::Server server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    owb::Settings::save("ostreldatabase", "uri", server.databaseURI());

    auto scripted = std::make_unique<owb::ScriptedUserInteraction>();
    owb::ScriptedUserInteraction *ui = scripted.get();
    owb::Application app(std::move(scripted));
    app.start();
    auto *nav = qobject_cast<owb::frmNavigate *>(app.navigateWindow());
    QVERIFY(nav);
    auto *box = nav->findChild<QComboBox *>("cboDatabaseURI");
    auto *tree = nav->findChild<QTreeWidget *>("tvDocs");
    QVERIFY(box && tree);
    // As a newcomer: the stored URI is in the box, Load at once.
    QCOMPARE(box->currentText(), server.databaseURI());
    ui->dialogHandlers << navtest::answerLogin("demo", "demo");
    QVERIFY(nav->findChild<QPushButton *>("Command3"));
    nav->findChild<QPushButton *>("Command3")->click();
    // The tree is sorted by the installed sortschema.xsl; without it the Load reports an error.
    QVERIFY2(ui->messages().isEmpty(), qPrintable(ui->messages().join('|')));

    QTreeWidgetItem *order = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if (owb::TreeWidgetDocTree::keyOf(*it) == "Sales/Order")
            order = *it;
    QVERIFY(order);
    emit tree->itemClicked(order, 0);
    auto *client = nav->documentWindow("Sales/Order");
    QVERIFY(client);
    // The stylesheet page starts from the installed xsl/template.xsl.
    auto *stylesheet = client->findChild<QsciScintilla *>("CodeMax1");
    QVERIFY(stylesheet && stylesheet->text().contains("<xsl:stylesheet"));
    client->close();
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("OWB_INSTALL_PROBE")) {
        InstalledProbe probe;
        return QTest::qExec(&probe, argc, argv);
    }
    TestInstallLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_install_layout.moc"
