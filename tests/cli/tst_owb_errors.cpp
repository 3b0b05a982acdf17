#include <QtTest>

#include "cli/OwbRun.h"
#include "common/LocalHttpServer.h"

using owbtest::Owb;
using owbtest::OwbResult;

// What owb does with bad input: usage errors exit with 2, a server that is down, answers
// garbage or does not answer exits with 1; always one line on standard error and nothing on
// standard output. And what the executable loads.
class TestOwbErrors : public QObject {
    Q_OBJECT
private slots:
    void usageErrors_data();
    void usageErrors();
    void helpOfToolAndCommands_data();
    void helpOfToolAndCommands();
    void unusableServer_data();
    void unusableServer();
    void silentServerEndsAtTheTimeout();
    void executableLoadsNoWidgetsNorGui_data();
    void executableLoadsNoWidgetsNorGui();

private:
    Owb m_owb;
};

void TestOwbErrors::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    const QString db = "http://127.0.0.1:1/ostrel/mydb";
    QTest::newRow("no command") << QStringList() << "no command given";
    QTest::newRow("unknown command") << QStringList{"fetch", db} << "unknown command \"fetch\"";
    QTest::newRow("unknown option") << QStringList{"query", "--fast", db, "Sales", "Order"} << "unknown option --fast";
    QTest::newRow("option of another command") << QStringList{"query", "--raw", db, "Sales", "Order"}
                                               << "--raw is not an option of query";
    QTest::newRow("missing argument") << QStringList{"get", db, "Sales", "Order"} << "ID is missing";
    QTest::newRow("too many arguments") << QStringList{"ping", db, "extra"} << "too many arguments";
    QTest::newRow("not an id") << QStringList{"get", db, "Sales", "Order", "7x"} << "\"7x\" is not a document id";
    QTest::newRow("not a URI") << QStringList{"doctypes", "localhost:8790/ostrel/mydb"} << "is not a database URI";
    QTest::newRow("no database in the URI") << QStringList{"doctypes", "http://localhost:8790"} << "names no database";
    QTest::newRow("bad collection") << QStringList{"query", db, "Sa/les", "Order"} << "is not a collection name";
    QTest::newRow("value missing") << QStringList{"transform", "a.xsl", "b.xml", "-o"} << "--output needs a value";
    QTest::newRow("flag with a value") << QStringList{"query", "--xml=yes", db, "S", "O"} << "--xml takes no value";
    QTest::newRow("bad timeout") << QStringList{"ping", "--timeout", "soon", db} << "--timeout takes seconds";
}

void TestOwbErrors::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    const OwbResult r = m_owb.run(args);
    QVERIFY2(r.exitCode == 2, r.describe());
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.errLines().size(), 1);
    QVERIFY2(r.errLines().first().startsWith("owb") && r.errLines().first().contains(expected), r.describe());
}

void TestOwbErrors::helpOfToolAndCommands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");
    const QStringList commands{"ping", "doctypes", "query", "get", "store", "remove", "new", "validate",
                               "import", "export", "transform", "format"};
    QTest::newRow("owb --help") << QStringList{"--help"} << commands;
    QTest::newRow("owb help") << QStringList{"help"} << commands;
    QTest::newRow("owb export --help") << QStringList{"export", "--help"}
                                       << QStringList{"owb export DBURI COLLECTION DOCTYPE DIR [FILTER]", "--without-id"};
    QTest::newRow("owb new --help")
        << QStringList{"new", "--help"}
        << QStringList{"owb new DBURI COLLECTION DOCTYPE [--timeout SECONDS] [--cacert FILE]\n       owb new --schema FILE.xsd [--root NAME]",
                       "--schema FILE.xsd", "--root NAME"};
    QTest::newRow("owb help get") << QStringList{"help", "get"} << QStringList{"owb get DBURI COLLECTION DOCTYPE ID", "--raw"};
    // Help wins over whatever else is wrong with the line.
    QTest::newRow("help with missing arguments") << QStringList{"store", "-h"} << QStringList{"--user NAME"};
}

void TestOwbErrors::helpOfToolAndCommands()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    const OwbResult r = m_owb.run(args);
    QVERIFY2(r.exitCode == 0 && r.err.isEmpty(), r.describe());
    for (const QString &e : expected)
        QVERIFY2(r.outText().contains(e), qPrintable(e + "\n" + r.outText()));
}

void TestOwbErrors::unusableServer_data()
{
    QTest::addColumn<QString>("answer");   // empty: nothing listens
    QTest::addColumn<QStringList>("args"); // DBURI is put in front of these
    QTest::addColumn<QString>("expected");
    const QString garbage = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 12\r\n\r\nnot XML at all";
    const QString truncated = "HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n<osl:response xmlns:osl=\"x\"><xql:result>";
    const QStringList cases[] = {{"ping"}, {"doctypes"}, {"query", "Sales", "Order"}, {"get", "Sales", "Order", "1"},
                                 {"new", "Sales", "Order"}, {"export", "Sales", "Order", "@HOME"}};
    for (const QStringList &c : cases) {
        QTest::newRow(qPrintable("down: " + c.first())) << QString() << c << "Failed to connect";
        QTest::newRow(qPrintable("garbage: " + c.first())) << garbage << c << "";
        QTest::newRow(qPrintable("cut short: " + c.first())) << truncated << c << "";
    }
}

void TestOwbErrors::unusableServer()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    std::unique_ptr<owbtest::CannedSocketServer> server;
    int port = owbtest::closedPort();
    if (!answer.isEmpty()) {
        server = std::make_unique<owbtest::CannedSocketServer>(answer.toStdString());
        port = server->port();
    }
    QStringList argv = args;
    argv.insert(1, QStringLiteral("http://127.0.0.1:%1/ostrel/mydb").arg(port));
    argv.replaceInStrings("@HOME", m_owb.home.path());
    const OwbResult r = m_owb.run(argv, 30000);
    QVERIFY2(r.finished && r.exitCode == 1, r.describe());
    QVERIFY2(r.out.isEmpty(), r.describe());
    QVERIFY2(r.errLines().size() == 1 && r.errLines().first().startsWith("owb: "), r.describe());
    QVERIFY2(r.errLines().first().contains(expected), r.describe());
}

void TestOwbErrors::silentServerEndsAtTheTimeout()
{
    owbtest::SilentSocket silent;
    const OwbResult r = m_owb.run(
        {"query", "--timeout", "1", QStringLiteral("http://127.0.0.1:%1/ostrel/mydb").arg(silent.port()), "Sales", "Order"},
        30000);
    QVERIFY2(r.finished && r.exitCode == 1, r.describe());
    QCOMPARE(r.errLines().size(), 1);
}

void TestOwbErrors::executableLoadsNoWidgetsNorGui_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("args");
    // ldd: everything the loader pulls in, also through other libraries; readelf: what the
    // file itself names.
    QTest::newRow("ldd") << "ldd" << QStringList{Owb::executable()};
    QTest::newRow("readelf") << "readelf" << QStringList{"-d", Owb::executable()};
}

void TestOwbErrors::executableLoadsNoWidgetsNorGui()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, args);
    QProcess p;
    p.start(tool, args);
    QVERIFY2(p.waitForFinished(30000) && p.exitCode() == 0, qPrintable(tool + ": " + p.errorString()));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(out.contains("libQt6Core"), qPrintable(out));
    QVERIFY2(!out.contains("libQt6Widgets"), qPrintable(out));
    QVERIFY2(!out.contains("libQt6Gui"), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestOwbErrors)
#include "tst_owb_errors.moc"
