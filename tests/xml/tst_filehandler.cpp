#include "xml/clsFileHandler.h"
#include "common/OstrelError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace owb;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestFileHandler : public QObject {
    Q_OBJECT
private slots:
    void saveAndLoad_data();
    void saveAndLoad();
    void load_data();
    void load();
    void loadXml_data();
    void loadXml();
    void overwriteReplacesAll();
    void failures_data();
    void failures();
    void deniedAccess();
    void failedSaveKeepsOldFile();
};

void TestFileHandler::saveAndLoad_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QByteArray>("bytes");      // what lands on disk
    QTest::addColumn<QString>("reloaded");

    QTest::newRow("empty") << QString() << QByteArray() << QString();
    QTest::newRow("no line end added") << "abc" << QByteArray("abc") << "abc";
    QTest::newRow("line ends kept") << "a\r\nb\nc\r\n" << QByteArray("a\r\nb\nc\r\n") << "a\r\nb\nc\r\n";
    QTest::newRow("utf-8 by default")
        << "<a>caf\u00e9 \u20ac</a>" << QByteArray("<a>caf\xC3\xA9 \xE2\x82\xAC</a>") << "<a>caf\u00e9 \u20ac</a>";
    QTest::newRow("declared utf-8")
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\u00e9</a>"
        << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\xC3\xA9</a>")
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\u00e9</a>";
    QTest::newRow("declared latin-1, euro as reference")
        << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>caf\u00e9 \u20ac</a>"
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>caf\xE9 &#8364;</a>")
        << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>caf\u00e9 &#8364;</a>";
    QTest::newRow("declared ascii, astral char")
        << "<?xml version='1.0' encoding='US-ASCII'?><a>\U0001F600x</a>"
        << QByteArray("<?xml version='1.0' encoding='US-ASCII'?><a>&#128512;x</a>")
        << "<?xml version='1.0' encoding='US-ASCII'?><a>&#128512;x</a>";
    QTest::newRow("declaration later in text is no declaration")
        << "x<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\u00e9"
        << QByteArray("x<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\xC3\xA9")
        << "x<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\u00e9";
}

void TestFileHandler::saveAndLoad()
{
    QFETCH(QString, content);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reloaded);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.xml"));
    const clsFileHandler fh;
    fh.SaveFile(content, path);
    QVERIFY(QFile::exists(path));
    QCOMPARE(readBytes(path), bytes);
    QCOMPARE(fh.LoadFile(path), reloaded);
}

void TestFileHandler::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF<a>\xC3\xA9</a>") << "<a>\u00e9</a>";
    QTest::newRow("utf-16le bom") << QByteArray("\xFF\xFE<\0a\0/\0>\0", 10) << "<a/>";
    QTest::newRow("single-byte without declaration") << QByteArray("caf\xE9 \x80") << "caf\u00e9 \u20ac";
    QTest::newRow("declared windows-1252") << QByteArray("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80</a>")
                                           << "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\u20ac</a>";
}

void TestFileHandler::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.txt"));
    writeBytes(path, bytes);
    QCOMPARE(clsFileHandler().LoadFile(path), text);
}

void TestFileHandler::loadXml_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");   // the text, or the error's description after the path
    QTest::newRow("utf-8") << QByteArray("<a>\xC3\xA9 \xF0\x9F\x98\x80</a>") << "<a>\u00e9 \U0001F600</a>";
    QTest::newRow("utf-16be bom") << QByteArray("\xFE\xFF\0<\0a\0/\0>", 10) << "<a/>";
    QTest::newRow("declared latin-1") << QByteArray("<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9</a>")
                                      << "<?xml version='1.0' encoding='ISO-8859-1'?><a>\u00e9</a>";
    // Never a replacement character, nor a guess at another encoding.
    QTest::newRow("latin-1 byte, undeclared") << QByteArray("<a>\n  caf\xE9</a>")
                                              << ":2:6: Byte 0xE9 is not valid in the encoding UTF-8";
    QTest::newRow("cut-off sequence") << QByteArray("<a>\xE2\x82") << ":1:4: Byte 0xE2 is not valid in the encoding UTF-8";
    QTest::newRow("column in characters") << QByteArray("<a>\xC3\xA9\xC3\xA9\xFF</a>")
                                          << ":1:6: Byte 0xFF is not valid in the encoding UTF-8";
    QTest::newRow("declared encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-7\"?>\n<a>\xD2</a>")
                                       << ":2:4: Byte 0xD2 is not valid in the encoding ISO-8859-7";
    QTest::newRow("unknown encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"x-none\"?><a/>")
                                      << ":1:1: Unknown encoding \"x-none\"";
}

void TestFileHandler::loadXml()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.xml"));
    writeBytes(path, bytes);
    QString got;
    try {
        got = clsFileHandler().LoadXmlFile(path);
    } catch (const OstrelError &e) {
        got = e.description();
        QVERIFY2(got.startsWith(path + QLatin1Char(':')), qPrintable(got));
        got = got.mid(path.size());
    }
    QCOMPARE(got, expected);
}

void TestFileHandler::overwriteReplacesAll()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("o.txt"));
    const clsFileHandler fh;
    fh.SaveFile(QStringLiteral("a much longer first content\nwith two lines"), path);
    fh.SaveFile(QStringLiteral("short"), path);
    QCOMPARE(readBytes(path), QByteArray("short"));
    fh.SaveFile(QString(), path);
    QCOMPARE(QFileInfo(path).size(), 0);
    QCOMPARE(fh.LoadFile(path), QString());
}

void TestFileHandler::failures_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("relative");   // below a fresh temporary folder
    QTest::addColumn<QString>("part");
    QTest::newRow("save into missing folder") << true << "no/such/dir/x.xml" << "Folder does not exist";
    QTest::newRow("load from missing folder") << false << "no/such/dir/x.xml" << "Folder does not exist";
    QTest::newRow("load missing file") << false << "missing.xml" << "File not found";
    QTest::newRow("save onto a folder") << true << "." << "folder";
    QTest::newRow("load a folder") << false << "." << "folder";
}

void TestFileHandler::failures()
{
    QFETCH(bool, save);
    QFETCH(QString, relative);
    QFETCH(QString, part);
    QTemporaryDir dir;
    const QString path = dir.filePath(relative);
    const clsFileHandler fh;
    try {
        if (save)
            fh.SaveFile(QStringLiteral("x"), path);
        else
            fh.LoadFile(path);
        QFAIL("no error");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("clsFileHandler"));
        QCOMPARE(e.number(), OstrelError::DefaultNumber);
        QVERIFY2(e.description().contains(part), qPrintable(e.description()));
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("no"))));
}

void TestFileHandler::deniedAccess()
{
    if (geteuid() == 0)
        QSKIP("file permissions do not bind root");
    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(locked));
    const QString path = locked + QStringLiteral("/f.txt");
    writeBytes(path, "secret");
    QFile::setPermissions(path, QFileDevice::Permissions());
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const clsFileHandler fh;
    QVERIFY_THROWS_EXCEPTION(OstrelError, fh.LoadFile(path));
    QVERIFY_THROWS_EXCEPTION(OstrelError, fh.SaveFile(QStringLiteral("x"), locked + QStringLiteral("/new.txt")));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestFileHandler::failedSaveKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.xml"));
    const clsFileHandler fh;
    fh.SaveFile(QStringLiteral("old"), path);
    QVERIFY_THROWS_EXCEPTION(OstrelError,
                             fh.SaveFile(QStringLiteral("<?xml version=\"1.0\" encoding=\"no-such-enc\"?><a/>"), path));
    QCOMPARE(readBytes(path), QByteArray("old"));
}

QTEST_GUILESS_MAIN(TestFileHandler)
#include "tst_filehandler.moc"
