#include "xml/clsCodeInsight.h"
#include "common/OstrelError.h"
#include "xml/clsFileHandler.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace owb;

Q_DECLARE_METATYPE(std::optional<QStringList>)

namespace {

using Names = std::optional<QStringList>;

QString writeTemp(const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(QStringLiteral("CodeInsight.dat"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

QString dataFile(const QString &name)
{
    return QStringLiteral(OWB_DATA_DIR "/FOLanguage/") + name;
}

} // namespace

class TestCodeInsight : public QObject {
    Q_OBJECT
private slots:
    void lookups_data();
    void lookups();
    void failures_data();
    void failures();
    void wordLists();
    void shippedFilesAgree();
};

void TestCodeInsight::lookups_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<Names>("expected");

    const QByteArray block = "fo:block^font-size~color\r\n";
    QTest::newRow("names in file order") << block << "fo:block" << Names(QStringList{"font-size", "color"});
    QTest::newRow("case-sensitive") << block << "FO:BLOCK" << Names();
    QTest::newRow("unknown name") << block << "fo:inline" << Names();
    QTest::newRow("empty list is one empty name") << QByteArray("fo:wrapper^\r\n") << "fo:wrapper"
                                                  << Names(QStringList{QString()});
    QTest::newRow("comment after blanks") << QByteArray("  \t* fo:x^a\r\nfo:y^b") << "* fo:x" << Names();
    QTest::newRow("blank lines skipped") << QByteArray("\r\n   \r\nfo:y^b\r\n\r\n") << "fo:y"
                                         << Names(QStringList{"b"});
    QTest::newRow("line trimmed") << QByteArray("  fo:y^a~b \t\r\n") << "fo:y" << Names(QStringList{"a", "b"});
    QTest::newRow("after a second caret ignored") << QByteArray("fo:y^a~b^c~d\r\n") << "fo:y"
                                                  << Names(QStringList{"a", "b"});
    QTest::newRow("prefix line") << QByteArray("fo:^block~inline\r\nfo:block^id\r\n") << "fo:"
                                 << Names(QStringList{"block", "inline"});
    // Only CR LF ends a line: with bare line feeds the second entry is part of the first.
    QTest::newRow("line feeds alone: one line") << QByteArray("fo:block^a~b\nfo:inline^c\n") << "fo:inline"
                                                << Names();
    QTest::newRow("line feeds alone: first entry swallows the rest")
        << QByteArray("fo:block^a~b\nfo:inline^c\n") << "fo:block" << Names(QStringList{"a", "b\nfo:inline"});
}

void TestCodeInsight::lookups()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(Names, expected);
    QTemporaryDir dir;
    const QString path = writeTemp(dir, file);
    QVERIFY(!path.isEmpty());
    clsFileHandler files;
    const clsCodeInsight table(files, path);
    QCOMPARE(table.GetAttributes(name), expected);
}

void TestCodeInsight::failures_data()
{
    QTest::addColumn<QByteArray>("file");       // empty: no file at all
    QTest::addColumn<QString>("mentions");      // besides the file's path

    QTest::newRow("missing file") << QByteArray() << QString();
    QTest::newRow("line without caret") << QByteArray("* c\r\nfo:a^x\r\nfo:block\r\n") << "line 3";
    QTest::newRow("name on two lines") << QByteArray("fo:a^x\r\n\r\nfo:b^y\r\nfo:a^z\r\n")
                                       << "line 4: \"fo:a\" already stands on line 1";
}

void TestCodeInsight::failures()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, mentions);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("CodeInsight.dat"));
    if (!file.isEmpty())
        QCOMPARE(writeTemp(dir, file), path);
    clsFileHandler files;
    try {
        clsCodeInsight table(files, path);
        QFAIL("loading should fail");
    } catch (const OstrelError &e) {
        QVERIFY2(e.description().contains(path), qPrintable(e.description()));
        QVERIFY2(e.description().contains(mentions), qPrintable(e.description()));
        QCOMPARE(e.signedNumber(), -2147221504);
    }
}

void TestCodeInsight::wordLists()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("elements.dat"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("fo:|fo:block| fo:inline ||fo:wrapper\r\n");
    f.close();
    clsFileHandler files;
    QCOMPARE(clsCodeInsight::ReadWordList(files, path),
             (QStringList{"fo:", "fo:block", "fo:inline", "fo:wrapper"}));
    QVERIFY_THROWS_EXCEPTION(OstrelError, clsCodeInsight::ReadWordList(files, dir.filePath("none.dat")));
}

// Every element of the colouring list completes, the prefix line offers exactly those
// elements, and every attribute the table offers is coloured.
void TestCodeInsight::shippedFilesAgree()
{
    clsFileHandler files;
    QFile raw(dataFile(QStringLiteral("CodeInsight.dat")));
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY2(!raw.readAll().replace("\r\n", "").contains('\n'), "CodeInsight.dat must end its lines with CR LF");

    const clsCodeInsight table(files, dataFile(QStringLiteral("CodeInsight.dat")));
    const QStringList elements = clsCodeInsight::ReadWordList(files, dataFile(QStringLiteral("elements.dat")));
    const QStringList attributesList = clsCodeInsight::ReadWordList(files, dataFile(QStringLiteral("attributes.dat")));
    const QSet<QString> attributes(attributesList.begin(), attributesList.end());
    QCOMPARE(attributes.size(), attributesList.size());
    QVERIFY(elements.contains(QStringLiteral("fo:block")));
    QVERIFY(attributes.contains(QStringLiteral("font-size")));

    QStringList unprefixed;
    for (const QString &element : elements) {
        const Names names = table.GetAttributes(element);
        QVERIFY2(names.has_value(), qPrintable(element + " has no line"));
        if (element == QStringLiteral("fo:"))
            continue;
        QVERIFY2(element.startsWith(QStringLiteral("fo:")), qPrintable(element));
        unprefixed << element.mid(3);
        for (const QString &name : *names)
            QVERIFY2(name.isEmpty() || attributes.contains(name), qPrintable(element + ": " + name));
    }
    QCOMPARE(table.count(), elements.size());
    QStringList offered = *table.GetAttributes(QStringLiteral("fo:"));
    offered.sort();
    unprefixed.sort();
    QCOMPARE(offered, unprefixed);
}

QTEST_APPLESS_MAIN(TestCodeInsight)
#include "tst_codeinsight.moc"
