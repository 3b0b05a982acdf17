// Samples made from public schemas, each put to xmllint as the user would check it.
#include <QtTest>

#include "common/OstrelError.h"
#include "schema/BuildNewDoc.h"
#include "schema/SchemaSource.h"
#include "schema/XsdValidator.h"
#include "xml/xmlutil.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using owb::BuildNewDoc;

namespace {

const QString DataDir = QStringLiteral(OWB_SOURCE_DIR "/tests/schema/data/realworld");

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TestSampleRealWorld : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyGlobalElement_data();
    void everyGlobalElement();
    void cleanupTestCase();

private:
    QTemporaryDir m_work;
    int m_made = 0, m_refused = 0;
};

void TestSampleRealWorld::initTestCase()
{
    if (QStandardPaths::findExecutable("xmllint").isEmpty())
        QFAIL("xmllint is not installed (package libxml2-utils)");
    QVERIFY(m_work.isValid());
}

void TestSampleRealWorld::everyGlobalElement_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("root");
    const QStringList folders = QDir(DataDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    if (folders.isEmpty())
        QFAIL("no real-world schemas found");
    for (const QString &folder : folders) {
        const QDir dir(DataDir + "/" + folder);
        for (const QString &file : dir.entryList({"*.xsd"}, QDir::Files, QDir::Name)) {
            // The global elements, read the way a reader of the file would list them.
            QProcess p;
            p.start("xmllint", {"--xpath",
                                "//*[local-name()='schema']/*[local-name()='element'][not(@abstract='true')]/@name",
                                dir.filePath(file)});
            p.waitForFinished(60000);
            const QString names = QString::fromUtf8(p.readAllStandardOutput());
            static const QRegularExpression name(" name=\"([^\"]+)\"");
            for (auto it = name.globalMatch(names); it.hasNext();) {
                const QString root = it.next().captured(1);
                QTest::newRow(qPrintable(folder + "/" + file + "/" + root)) << dir.filePath(file) << root;
            }
        }
    }
}

void TestSampleRealWorld::everyGlobalElement()
{
    QFETCH(QString, schema);
    QFETCH(QString, root);
    owb::LocalSchemaSource beside(QFileInfo(schema).absolutePath());
    BuildNewDoc builder;
    builder.setSchemaSource(&beside, schema);
    const QString samplePath = m_work.filePath("sample.xml");
    builder.setChecker([&](const QString &text) -> std::optional<QString> {
        QFile f(samplePath);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
            return QString("cannot write the sample");
        f.close();
        const auto issues = owb::XsdValidator::validateFile(samplePath, schema, 1, false);
        return issues.isEmpty() ? std::nullopt : std::optional<QString>(issues.first().message);
    });
    QString sample;
    try {
        sample = owb::xmlutil().FormatXML(builder.CreateNewDoc(readAll(schema), root));
    } catch (const owb::OstrelError &e) {
        // No sample: that is allowed for a few, with a reason.
        ++m_refused;
        QVERIFY(!e.description().trimmed().isEmpty());
        qInfo("no sample: %s", qPrintable(e.description()));
        return;
    }
    ++m_made;
    QFile f(samplePath);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(sample.toUtf8()) > 0);
    f.close();
    QProcess p;
    p.start("xmllint", {"--nonet", "--noout", "--schema", schema, samplePath});
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, qPrintable(QString::fromUtf8(p.readAllStandardError()) + "\n" + sample));
}

void TestSampleRealWorld::cleanupTestCase()
{
    // Most documents of real schemas get a sample; the others fail with a reason.
    QVERIFY2(m_made * 10 >= (m_made + m_refused) * 9,
             qPrintable(QString("%1 samples, %2 refused").arg(m_made).arg(m_refused)));
}

QTEST_GUILESS_MAIN(TestSampleRealWorld)
#include "tst_samplerealworld.moc"
