// The Debian package: built from this build folder with cpack, unpacked with dpkg -x into a
// temporary root, and its programs started from there.
#include "common/HttpClient.h"
#include "support/OstreldProcess.h"
#include "InstalledTree.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace installtest;

class TestPackage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dependsOnTheLinkedLibraries_data();
    void dependsOnTheLinkedLibraries();
    void desktopEntryNamesInstalledProgramAndIcon();
    void installedServerServesTheDemoData();
    void installedWorkbenchStartsWithoutWritingIntoTheRoot();

private:
    QString field(const QString &name);
    QTemporaryDir m_tmp;
    QString m_deb;
    QString m_root;
};

void TestPackage::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    const QString out = m_tmp.filePath("out");
    QString log;
    QString error = run(QStringLiteral(OWB_CPACK_COMMAND),
                        {"--config", OWB_BUILD_DIR "/CPackConfig.cmake", "-B", out}, &log);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QStringList debs = QDir(out).entryList({"*.deb"}, QDir::Files);
    QVERIFY2(debs.size() == 1, qPrintable(log));
    m_deb = out + "/" + debs.first();
    m_root = m_tmp.filePath("root");
    error = run("dpkg", {"-x", m_deb, m_root});
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

QString TestPackage::field(const QString &name)
{
    QString out;
    const QString error = run("dpkg-deb", {"-f", m_deb, name}, &out);
    return error.isEmpty() ? out.trimmed() : error;
}

// Packages whose libraries the programs link; named by prefix, the version suffix is Debian's.
void TestPackage::dependsOnTheLinkedLibraries_data()
{
    QTest::addColumn<QString>("package");
    for (const char *p : {"libqt6widgets6", "libqt6webenginewidgets6", "libqscintilla2-qt6",
                          "libxml2", "libxslt1", "libcurl4", "libsqlite3",
                          "qt6-qpa-plugins"})
        QTest::newRow(p) << QString::fromLatin1(p);
}

void TestPackage::dependsOnTheLinkedLibraries()
{
    QFETCH(QString, package);
    const QString depends = field("Depends");
    bool found = false;
    for (const QString &d : depends.split(',', Qt::SkipEmptyParts))
        found = found || d.trimmed().startsWith(package);
    QVERIFY2(found, qPrintable(depends));
    QCOMPARE(field("Package"), QStringLiteral("ostrel-workbench"));
}

void TestPackage::desktopEntryNamesInstalledProgramAndIcon()
{
    QSettings entry(m_root + "/usr/share/applications/ostrel-workbench.desktop", QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    const QString exec = entry.value("Exec").toString().section(' ', 0, 0);
    const QString icon = entry.value("Icon").toString();
    QVERIFY(!exec.isEmpty() && !icon.isEmpty());
    QVERIFY2(QFileInfo(m_root + "/usr/bin/" + exec).isExecutable(), qPrintable(exec));
    const QString icons = m_root + "/usr/share/icons/hicolor/";
    QVERIFY(QFileInfo::exists(icons + "scalable/apps/" + icon + ".svg"));
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString png = icons + QStringLiteral("%1x%1/apps/").arg(size) + icon + ".png";
        const QImage image(png);
        QVERIFY2(image.width() == size && image.height() == size, qPrintable(png));
    }
    QVERIFY(QFileInfo::exists(m_root + "/usr/share/man/man1/" + exec + ".1.gz"));
}

void TestPackage::installedServerServesTheDemoData()
{
    qputenv("OSTRELD_EXE", (m_root + "/usr/bin/ostreld").toLocal8Bit());
    owbtest::OstreldProcess server(m_root + "/usr/share/ostrel-workbench/demo");
    QVERIFY2(server.ok(), qPrintable(server.error()));
    owb::HttpClient http;
    const owb::HttpResponse r = http.get(server.databaseURI() + "/Sales?_xql=Order[@osl:id=1]");
    QCOMPARE(r.status, 200);
    QVERIFY2(r.body.contains("<Order"), r.body.constData());
}

void TestPackage::installedWorkbenchStartsWithoutWritingIntoTheRoot()
{
    const QString error = startWorkbenchLeavingUntouched(m_root + "/usr/bin/OstrelClient", m_root);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
