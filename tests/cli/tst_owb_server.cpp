#include <QtTest>

#include "cli/OwbRun.h"
#include "common/HttpClient.h"
#include "realworld/RealWorld.h"
#include "server/LoginName.h"

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include "support/OstreldProcess.h"
#include "xml/DomDocument.h"

using owbtest::Owb;
using owbtest::OwbResult;

// The owb executable against ostreld with the demo data: what each command prints and how it
// exits. Tests that write make documents of their own and look only at those.
class TestOwbServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void pingWithTheUsersCredentials_data();
    void pingWithTheUsersCredentials();
    void doctypesListsTheNavigateTree();
    void queryListsIdsOrDocuments();
    void queryWithoutHits();
    void getFormattedOrAsSent();
    void getOfAMissingDocument();
    void newBuildsTheDoctypesSample_data();
    void newBuildsTheDoctypesSample();
    void storeThenGetKeepsNonAsciiText();
    void storeReplacesAndRemoveRemoves();
    void getThenStoreKeepsEveryCharacter();
    void storeRefusesAMalformedFileBeforeSending();
    void passwordIsNeverGuessed();
    void passwordPromptOnATerminalDoesNotEcho();

private:
    QStringList db(const QStringList &rest) const { return QStringList{m_server->databaseURI()} + rest; }
    std::unique_ptr<owbtest::OstreldProcess> m_server;
    Owb m_owb;
};

void TestOwbServer::initTestCase()
{
    owbtest::OstreldOptions options;
    options.users = "demo:demo,ann:s3cret," + owb::LoginName::currentUserName() + ":login-pw";
    m_server = std::make_unique<owbtest::OstreldProcess>(options);
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
}

void TestOwbServer::pingWithTheUsersCredentials_data()
{
    QTest::addColumn<QString>("savedUser");   // "config"/"userid"; "-": no settings at all
    QTest::addColumn<QStringList>("userOption");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--user") << "nobody" << QStringList{"--user", "demo"} << "demo" << 0 << "has been established";
    QTest::newRow("user last confirmed") << "demo" << QStringList() << "demo" << 0 << "has been established";
    QTest::newRow("another user last confirmed") << "ann" << QStringList() << "s3cret" << 0 << "has been established";
    QTest::newRow("login name") << "-" << QStringList() << "login-pw" << 0 << "has been established";
    QTest::newRow("--user over the saved one") << "demo" << QStringList{"--user", "nobody"} << "demo" << 1
                                              << "Failed to connect (401)";
    QTest::newRow("wrong password") << "" << QStringList{"--user", "demo"} << "wrong" << 1 << "Failed to connect (401)";
}

void TestOwbServer::pingWithTheUsersCredentials()
{
    QFETCH(QString, savedUser);
    QFETCH(QStringList, userOption);
    QFETCH(QString, password);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    Owb owb;
    if (savedUser == "-")
        QVERIFY(QDir(owb.path("config")).removeRecursively());
    else
        owb.saveSetting("config", "userid", savedUser);
    owb.env.insert("OSTREL_PASSWORD", password);
    const OwbResult r = owb.run(QStringList{"ping"} + db(userOption));
    QVERIFY2(r.exitCode == exitCode, r.describe());
    const QString said = exitCode == 0 ? r.outText() : QString::fromUtf8(r.err);
    QVERIFY2(said.contains(expected), r.describe());
    QCOMPARE((exitCode == 0 ? r.errLines() : r.outLines()).size(), 0);
}

void TestOwbServer::doctypesListsTheNavigateTree()
{
    const OwbResult r = m_owb.run(QStringList{"doctypes"} + db({}));
    QVERIFY2(r.exitCode == 0, r.describe());
    QCOMPARE(r.outLines(), QStringList({"Library/Author", "Library/Book", "Library/images", "Sales/Customer",
                                        "Sales/Invoice", "Sales/Order"}));
}

void TestOwbServer::queryListsIdsOrDocuments()
{
    const OwbResult all = m_owb.run(QStringList{"query"} + db({"Sales", "Order"}));
    QVERIFY2(all.exitCode == 0, all.describe());
    QCOMPARE(all.outLines().size(), 150);

    const OwbResult some = m_owb.run(QStringList{"query"} + db({"Sales", "Order", "  @osl:id<4 "}));
    QCOMPARE(some.outLines(), QStringList({"1", "2", "3"}));

    // A filter with characters that mean something in a URL reaches the server as typed.
    const OwbResult quoted = m_owb.run(QStringList{"query"} + db({"Sales", "Order", "number='SO-10001' and @osl:id>=1"}));
    QCOMPARE(quoted.outLines(), QStringList({"1"}));

    const OwbResult xml = m_owb.run(QStringList{"query", "--xml"} + db({"Sales", "Order", "@osl:id<=2"}));
    const OwbResult one = m_owb.run(QStringList{"get"} + db({"Sales", "Order", "1"}));
    const OwbResult two = m_owb.run(QStringList{"get"} + db({"Sales", "Order", "2"}));
    QVERIFY2(xml.exitCode == 0, xml.describe());
    QCOMPARE(xml.outText(), one.outText() + two.outText());
}

void TestOwbServer::queryWithoutHits()
{
    const OwbResult r = m_owb.run(QStringList{"query"} + db({"Sales", "Order", "@osl:id<0"}));
    QVERIFY2(r.exitCode == 0, r.describe());
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.errLines(), QStringList("Nothing found"));
}

void TestOwbServer::getFormattedOrAsSent()
{
    const OwbResult formatted = m_owb.run(QStringList{"get"} + db({"Sales", "Order", "1"}));
    QVERIFY2(formatted.exitCode == 0, formatted.describe());
    QVERIFY(formatted.outText().startsWith("<Order "));
    QVERIFY(formatted.outText().contains("osl:id=\"1\""));
    QVERIFY2(formatted.outText().contains("\n    <line no=\"1\">\n      <product sku="), formatted.out);
    QVERIFY(formatted.outText().endsWith("</Order>\n"));

    // The demo keeps each line on one line of its own, indented by six.
    const OwbResult raw = m_owb.run(QStringList{"get", "--raw"} + db({"Sales", "Order", "1"}));
    QVERIFY2(raw.exitCode == 0, raw.describe());
    QVERIFY2(raw.outText().contains("\n      <line no=\"1\"><product sku="), raw.out);
    owb::DomDocument a, b;
    QVERIFY(a.loadBytes(formatted.out) && b.loadBytes(raw.out));
    QCOMPARE(a.documentElement().text(), b.documentElement().text());
}

void TestOwbServer::getOfAMissingDocument()
{
    const OwbResult r = m_owb.run(QStringList{"get"} + db({"Sales", "Order", "99999"}));
    QVERIFY2(r.exitCode == 1, r.describe());
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.errLines().size(), 1);
    QVERIFY(r.errLines().first().contains("No document Order with osl:id=99999"));
}

void TestOwbServer::newBuildsTheDoctypesSample_data()
{
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("doctype");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected");   // the root's start, or the message
    QTest::newRow("first doctype of its schema") << "Sales" << "Order" << 0 << "<Order ";
    QTest::newRow("a later doctype of the same schema") << "Sales" << "Invoice" << 0 << "<Invoice";
    QTest::newRow("non-XML") << "Library" << "images" << 1 << "non-XML";
    QTest::newRow("no schema") << "Sales" << "Nothing" << 1 << "Can't create a new document since schema is missing";
}

void TestOwbServer::newBuildsTheDoctypesSample()
{
    QFETCH(QString, collection);
    QFETCH(QString, doctype);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    const OwbResult r = m_owb.run(QStringList{"new"} + db({collection, doctype}));
    QVERIFY2(r.exitCode == exitCode, r.describe());
    if (exitCode != 0) {
        QCOMPARE(r.errLines().size(), 1);
        QVERIFY2(r.errLines().first().contains(expected), r.describe());
        return;
    }
    QVERIFY2(r.outText().startsWith(expected), r.describe());
    owb::DomDocument doc;
    QVERIFY(doc.loadBytes(r.out));
    QCOMPARE(doc.documentElement().nodeName(), doctype);
    QVERIFY(doc.documentElement().hasChildNodes());
    // The doctype's schema accepts it.
    const QString file = m_owb.path("new.xml");
    QVERIFY(owbtest::writeFile(file, r.out));
    const OwbResult v = m_owb.run(QStringList{"validate"} + db({collection, doctype, file}));
    QVERIFY2(v.exitCode == 0 && v.out.isEmpty(), v.describe());
}

void TestOwbServer::storeThenGetKeepsNonAsciiText()
{
    const QString name = QString::fromUtf8("Zoë Ångström — 日本 \xF0\x9F\x98\x80");
    const QString file = m_owb.path("customer.xml");
    QVERIFY(owbtest::writeFile(file, ("<Customer number=\"C-CLI-1\">\n  <name>" + name + "</name>\n  "
                                      "<address><street>Straße 1</street><city>Kraków</city><country>PL</country>"
                                      "</address>\n  <email>z@example.org</email>\n</Customer>\n").toUtf8()));
    const OwbResult stored = m_owb.run(QStringList{"store"} + db({"Sales", file}));
    QVERIFY2(stored.exitCode == 0, stored.describe());
    QCOMPARE(stored.outLines().size(), 1);
    const QString id = stored.outLines().first();

    const OwbResult got = m_owb.run(QStringList{"get"} + db({"Sales", "Customer", id}));
    QVERIFY2(got.exitCode == 0, got.describe());
    owb::DomDocument doc;
    QVERIFY(doc.loadBytes(got.out));
    QCOMPARE(doc.selectSingleNode("Customer/name").text(), name);
    QCOMPARE(doc.selectSingleNode("Customer/address/city").text(), QString::fromUtf8("Kraków"));
}

void TestOwbServer::storeReplacesAndRemoveRemoves()
{
    const QString file = m_owb.path("order.xml");
    QVERIFY(owbtest::writeFile(file, "<Customer number=\"C-CLI-2\"><name>First</name></Customer>"));
    const OwbResult stored = m_owb.run(QStringList{"store"} + db({"Sales", file}));
    QVERIFY2(stored.exitCode == 0, stored.describe());
    const QString id = stored.outLines().value(0);

    // What get prints can be stored back: it replaces the document it came from.
    const OwbResult got = m_owb.run(QStringList{"get"} + db({"Sales", "Customer", id}));
    QVERIFY(owbtest::writeFile(file, got.outText().replace("First", "Second").toUtf8()));
    const OwbResult replaced = m_owb.run(QStringList{"store"} + db({"Sales", file}));
    QCOMPARE(replaced.outLines(), QStringList(id));
    QVERIFY(m_owb.run(QStringList{"get"} + db({"Sales", "Customer", id})).outText().contains("<name>Second</name>"));

    const OwbResult removed = m_owb.run(QStringList{"remove"} + db({"Sales", "Customer", id}));
    QVERIFY2(removed.exitCode == 0, removed.describe());
    QCOMPARE(m_owb.run(QStringList{"get"} + db({"Sales", "Customer", id})).exitCode, 1);
    const OwbResult again = m_owb.run(QStringList{"remove"} + db({"Sales", "Customer", id}));
    QVERIFY2(again.exitCode == 1 && again.errLines().size() == 1, again.describe());
}

void TestOwbServer::getThenStoreKeepsEveryCharacter()
{
    const QString file = m_owb.path("exact.xml");
    QVERIFY(owbtest::writeFile(file, realworld::exactDocument("Customer", "C-CLI-EXACT")));
    const OwbResult stored = m_owb.run(QStringList{"store"} + db({"Sales", file}));
    QVERIFY2(stored.exitCode == 0, stored.describe());
    const QString id = stored.outLines().value(0);
    const auto held = [&] {
        owb::HttpClient http;
        return realworld::canonicalText(
            http.get(m_server->databaseURI() + "/Sales?_xql=" + QUrl::toPercentEncoding("Customer[@osl:id=" + id + "]"))
                .body);
    };
    const QByteArray before = held();
    QVERIFY2(before.contains("<password> </password>") && before.contains("<tab>\t</tab>"), before.constData());

    const OwbResult got = m_owb.run(QStringList{"get"} + db({"Sales", "Customer", id}));
    QVERIFY2(got.exitCode == 0, got.describe());
    QVERIFY(owbtest::writeFile(file, got.out));
    QCOMPARE(m_owb.run(QStringList{"store"} + db({"Sales", file})).outLines(), QStringList(id));
    QCOMPARE(held(), before);
}

void TestOwbServer::storeRefusesAMalformedFileBeforeSending()
{
    const QString good = m_owb.path("good.xml");
    const QString bad = m_owb.path("bad.xml");
    QVERIFY(owbtest::writeFile(good, "<Customer number=\"C-CLI-3\"><name>Good</name></Customer>"));
    QVERIFY(owbtest::writeFile(bad, "<Customer>\n<name>\n</Customer>\n"));
    const int before = m_owb.run(QStringList{"query"} + db({"Sales", "Customer"})).outLines().size();
    const OwbResult r = m_owb.run(QStringList{"store"} + db({"Sales", good, bad}));
    QVERIFY2(r.exitCode == 1, r.describe());
    QCOMPARE(r.errLines().size(), 1);
    QVERIFY2(r.errLines().first().startsWith("owb: " + bad + ":3: "), r.describe());
    QCOMPARE(m_owb.run(QStringList{"query"} + db({"Sales", "Customer"})).outLines().size(), before);

    const OwbResult missing = m_owb.run(QStringList{"store"} + db({"Sales", m_owb.path("none.xml")}));
    QVERIFY2(missing.exitCode == 1 && missing.errLines().size() == 1, missing.describe());
    QVERIFY(missing.errLines().first().contains("File not found"));
}

void TestOwbServer::passwordIsNeverGuessed()
{
    Owb owb;
    owb.env.remove("OSTREL_PASSWORD");
    const QString file = owb.path("c.xml");
    QVERIFY(owbtest::writeFile(file, "<Customer number=\"C-CLI-4\"><name>x</name></Customer>"));
    for (const QStringList &args : {QStringList{"ping"} + db({}), QStringList{"store"} + db({"Sales", file})}) {
        const OwbResult r = owb.run(args);
        QVERIFY2(r.exitCode == 2, r.describe());
        QVERIFY2(QString::fromUtf8(r.err).contains("OSTREL_PASSWORD"), r.describe());
    }
    // Reads need none: the server takes queries from anyone.
    QCOMPARE(owb.run(QStringList{"query"} + db({"Sales", "Order", "@osl:id=1"})).outLines(), QStringList("1"));
}

// Reads what the terminal shows until it holds `until` or the program closes it.
static QByteArray readTerminal(int fd, const QByteArray &until, QByteArray seen = {})
{
    for (int rounds = 0; rounds < 300 && (until.isEmpty() || !seen.contains(until)); ++rounds) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        seen.append(buf, int(n));
    }
    return seen;
}

void TestOwbServer::passwordPromptOnATerminalDoesNotEcho()
{
    Owb owb;
    owb.env.remove("OSTREL_PASSWORD");
    const QByteArray exe = Owb::executable().toLocal8Bit();
    const QByteArray uri = m_server->databaseURI().toLocal8Bit();
    QList<QByteArray> env;
    for (const QString &kv : owb.env.toStringList())
        env << kv.toLocal8Bit();
    int fd = -1;
    const pid_t pid = forkpty(&fd, nullptr, nullptr, nullptr);
    QVERIFY(pid >= 0);
    if (pid == 0) {
        std::vector<char *> envp;
        for (QByteArray &kv : env)
            envp.push_back(kv.data());
        envp.push_back(nullptr);
        const char *argv[] = {exe.constData(), "ping", "--user", "ann", uri.constData(), nullptr};
        execve(exe.constData(), const_cast<char **>(argv), envp.data());
        _exit(127);
    }
    struct Reap {
        pid_t pid;
        int fd;
        int status = -1;
        ~Reap()
        {
            if (status == -1) {
                ::kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
            ::close(fd);
        }
    } reap{pid, fd};

    const QByteArray prompt = readTerminal(fd, "Password of ann for " + uri + ": ");
    QVERIFY2(prompt.endsWith(": "), prompt);
    QVERIFY(::write(fd, "s3cret\n", 7) == 7);
    const QByteArray shown = readTerminal(fd, {});
    QVERIFY(waitpid(pid, &reap.status, 0) == pid);
    QVERIFY2(WIFEXITED(reap.status) && WEXITSTATUS(reap.status) == 0, shown);
    QVERIFY2(shown.contains("Connection to " + uri + " has been established"), shown);
    QVERIFY2(!shown.contains("s3cret"), shown);
}

QTEST_GUILESS_MAIN(TestOwbServer)
#include "tst_owb_server.moc"
