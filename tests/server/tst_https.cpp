// The client and ostreld over TLS, with an authority and certificates made for the test: what
// is trusted, what is refused and in which words, and that the server keeps its deadlines.
#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "server/FormEncoder.h"
#include "server/ServerClient.h"
#include "server/clsConnection.h"
#include "server/clsOstrelAccess.h"
#include "support/TlsFiles.h"
#include "xml/MemoryDocumentList.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <map>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace owb;
using owbtest::OstreldProcess;

class TestHttps : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void trustAndRefusals_data();
    void trustAndRefusals();
    void authorityFileByLongestUri_data();
    void authorityFileByLongestUri();
    void documentsTravelOverTls();
    void idleDeadlineHoldsOverTls();
    void unusableFilesStopTheStart_data();
    void unusableFilesStopTheStart();

private:
    std::unique_ptr<owbtest::TlsFiles> m_tls;
    std::map<QString, std::unique_ptr<OstreldProcess>> m_servers;   // by certificate kind
};

void TestHttps::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("OSTRELD_EXE"))
        QSKIP("the server is not part of this build (OSTRELD_EXE unset)");
    m_tls = std::make_unique<owbtest::TlsFiles>();
    QVERIFY2(m_tls->ok(), qPrintable(m_tls->error()));
    const std::map<QString, QString> certificates{
        {"plain", QString()}, {"good", m_tls->certificate()}, {"expired", m_tls->expired()},
        {"other", m_tls->otherHost()}};
    for (const auto &[kind, certificate] : certificates) {
        owbtest::OstreldOptions o = certificate.isEmpty() ? owbtest::OstreldOptions{} : m_tls->serving(certificate);
        if (kind != "good")
            o.seedDir.clear();
        o.extraArgs = QStringList{"--idle-timeout", "3"};
        auto server = std::make_unique<OstreldProcess>(o);
        QVERIFY2(server->ok(), qPrintable(kind + ": " + server->error()));
        m_servers[kind] = std::move(server);
    }
}

void TestHttps::cleanupTestCase()
{
    m_servers.clear();
}

void TestHttps::trustAndRefusals_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("caFile");   // "ca": the test's authority
    QTest::addColumn<QString>("refusal");  // empty: the server is reached and alive
    QTest::newRow("plain http") << "plain" << "http" << "127.0.0.1" << "" << "";
    QTest::newRow("trusted authority") << "good" << "https" << "127.0.0.1" << "ca" << "";
    QTest::newRow("trusted authority, host by name") << "good" << "https" << "localhost" << "ca" << "";
    QTest::newRow("unknown issuer")
        << "good" << "https" << "127.0.0.1" << ""
        << "The certificate of 127.0.0.1 is issued by an unknown certificate authority";
    QTest::newRow("expired") << "expired" << "https" << "127.0.0.1" << "ca"
                             << "The certificate of 127.0.0.1 has expired";
    QTest::newRow("another host") << "other" << "https" << "127.0.0.1" << "ca"
                                  << "The certificate of 127.0.0.1 is made out for another host name";
    QTest::newRow("http to an https server") << "good" << "http" << "127.0.0.1" << "ca"
                                             << "127.0.0.1 speaks HTTPS only: its URI begins with https://";
    QTest::newRow("https to an http server") << "plain" << "https" << "localhost" << "ca"
                                             << "localhost answers in plain HTTP, not HTTPS";
    QTest::newRow("authority file missing") << "good" << "https" << "127.0.0.1" << "missing.pem"
                                            << "The certificate authority file";
}

void TestHttps::trustAndRefusals()
{
    QFETCH(QString, server);
    QFETCH(QString, scheme);
    QFETCH(QString, host);
    QFETCH(QString, caFile);
    QFETCH(QString, refusal);
    QString db = m_servers.at(server)->databaseURI(host);
    db.replace(QRegularExpression("^https?"), scheme);
    HttpClient http;
    http.setTimeouts(5000, 10000, 30000);
    if (!caFile.isEmpty())
        http.setAuthorityFile(db, caFile == "ca" ? m_tls->authority() : m_tls->path(caFile));

    const PingResult ping = ServerClient(http).ping(db, "demo", "demo");
    if (refusal.isEmpty()) {
        QVERIFY2(ping.alive, qPrintable(ping.transportError + ping.failureText));
        return;
    }
    QVERIFY(!ping.alive);
    QVERIFY(!ping.answered);
    QVERIFY(ping.secureRefusal);
    QVERIFY2(ping.transportError.contains(refusal), qPrintable(ping.transportError));
    QVERIFY2(ping.transportError.startsWith("Request to " + db), qPrintable(ping.transportError));
}

void TestHttps::authorityFileByLongestUri_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("file");
    QTest::newRow("the database itself") << "https://h/ostrel/db" << "db.pem";
    QTest::newRow("its ping") << "https://h/ostrel/db?_diagnose=ping" << "db.pem";
    QTest::newRow("its schema collection") << "https://h/ostrel/db/osl:collection?_xql=x" << "db.pem";
    QTest::newRow("a collection with its own") << "https://h/ostrel/db/Sales?_xql=Order" << "sales.pem";
    QTest::newRow("a database that only starts alike") << "https://h/ostrel/db2/Sales" << "";
    QTest::newRow("another host") << "https://g/ostrel/db" << "";
    QTest::newRow("forgotten") << "https://h/ostrel/old/x" << "";
}

void TestHttps::authorityFileByLongestUri()
{
    QFETCH(QString, url);
    QFETCH(QString, file);
    HttpClient http;
    http.setAuthorityFile("https://h/ostrel/db", "db.pem");
    http.setAuthorityFile("https://h/ostrel/db/Sales", "sales.pem");
    http.setAuthorityFile("https://h/ostrel/old", "old.pem");
    http.setAuthorityFile("https://h/ostrel/old", "");
    QCOMPARE(http.authorityFileFor(url), file);
}

void TestHttps::documentsTravelOverTls()
{
    const QString db = m_servers.at("good")->databaseURI();
    HttpClient http;
    http.setTimeouts(5000, 10000, 30000);
    http.setAuthorityFile(db, m_tls->authority());
    clsConnection connection;
    connection.AddConString(db, "demo", "demo");
    connection.setContext(db);
    FormEncoder encoder;
    clsOstrelAccess access(connection, encoder, http);
    MemoryDocumentList list;
    const QString xml = "<Customer number=\"T1\"><name>Über TLS</name><address><street>s</street><city>c</city>"
                        "<country>DE</country></address><email>t@example.org</email></Customer>";
    const QString id = access.ProcessRequest(db + "/Sales", xml, list);
    QVERIFY(id.toInt() > 0);
    DomNode root = access.getDocument(db + "/Sales", "Customer", id.toInt());
    QCOMPARE(root.selectSingleNode("name").text(), QString::fromUtf8("Über TLS"));
    access.RemoveDocument(root, db + "/Sales");
    QVERIFY(access.getDocument(db + "/Sales", "Customer", id.toInt()).isNull());
}

void TestHttps::idleDeadlineHoldsOverTls()
{
    // A connection that never starts its handshake is closed by the idle deadline (3 s).
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(m_servers.at("good")->port()));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
    // It may say goodbye (a TLS alert) before the end of the stream.
    bool closed = false;
    char buffer[256];
    for (int reads = 0; reads < 100 && !closed; ++reads) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 30000) <= 0)
            break;
        closed = recv(fd, buffer, sizeof buffer, 0) <= 0;
    }
    ::close(fd);
    QVERIFY2(closed, "the server kept an idle TLS connection open");
}

void TestHttps::unusableFilesStopTheStart_data()
{
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("certificate missing") << "missing.pem" << "server.key" << 1
                                         << "cannot read the TLS certificate %1/missing.pem";
    QTest::newRow("key missing") << "server.pem" << "missing.key" << 1 << "cannot read the TLS key %1/missing.key";
    QTest::newRow("a key for a certificate") << "server.key" << "server.key" << 1
                                             << "the TLS certificate file %1/server.key holds no PEM certificate";
    QTest::newRow("a certificate for a key") << "server.pem" << "server.pem" << 1
                                             << "the TLS key file %1/server.pem holds no unencrypted PEM private key";
    QTest::newRow("the key of another certificate")
        << "ca.pem" << "server.key" << 1
        << "the TLS key in %1/server.key does not belong to the certificate in %1/ca.pem";
    QTest::newRow("key without certificate") << "" << "server.key" << 2 << "--tls-cert and --tls-key go together";
}

void TestHttps::unusableFilesStopTheStart()
{
    QFETCH(QString, certificate);
    QFETCH(QString, key);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString dir = QFileInfo(m_tls->authority()).absolutePath();
    QStringList args{"--port", "0", "--data", m_tls->path("unused.sqlite")};
    if (!certificate.isEmpty())
        args << "--tls-cert" << m_tls->path(certificate);
    args << "--tls-key" << m_tls->path(key);
    QProcess server;
    server.start(qEnvironmentVariable("OSTRELD_EXE"), args);
    const bool ended = server.waitForFinished(30000);
    if (!ended)
        server.kill();
    QVERIFY(ended);
    QCOMPARE(server.exitCode(), exitCode);
    const QString err = QString::fromUtf8(server.readAllStandardError());
    QVERIFY2(err.contains("ostreld: " + (message.contains("%1") ? message.arg(dir) : message)), qPrintable(err));
    QVERIFY(!server.readAllStandardOutput().contains("listening"));
}

QTEST_GUILESS_MAIN(TestHttps)
#include "tst_https.moc"
