#include <QtTest>

#include "cli/OwbRun.h"
#include "support/OstreldProcess.h"
#include "support/TlsFiles.h"

using owbtest::Owb;
using owbtest::OwbResult;

// owb against ostreld over HTTPS, with an authority and certificates made for the test.
class TestOwbHttps : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void commandsOverHttps_data();
    void commandsOverHttps();
    void refusedStoreStoresNothing();
    void unencryptedPasswordIsWarned_data();
    void unencryptedPasswordIsWarned();

private:
    QString customerFile() const
    {
        return QStringLiteral(OWB_SOURCE_DIR "/ostreld/demo/collections/Sales/customer-001.xml");
    }
    std::unique_ptr<owbtest::TlsFiles> m_tls;
    std::unique_ptr<owbtest::OstreldProcess> m_server;
    std::unique_ptr<owbtest::OstreldProcess> m_otherHost;
};

void TestOwbHttps::initTestCase()
{
    m_tls = std::make_unique<owbtest::TlsFiles>();
    QVERIFY2(m_tls->ok(), qPrintable(m_tls->error()));
    m_server = std::make_unique<owbtest::OstreldProcess>(m_tls->serving(m_tls->certificate()));
    QVERIFY2(m_server->ok(), qPrintable(m_server->error()));
    auto other = m_tls->serving(m_tls->otherHost());
    other.seedDir.clear();
    m_otherHost = std::make_unique<owbtest::OstreldProcess>(other);
    QVERIFY2(m_otherHost->ok(), qPrintable(m_otherHost->error()));
}

void TestOwbHttps::commandsOverHttps_data()
{
    QTest::addColumn<QStringList>("command");   // DB stands for the database URI
    QTest::addColumn<QString>("trust");         // "--cacert", "OSTREL_CA_FILE" or "" (none)
    QTest::addColumn<QString>("server");        // "good" or "other"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected");      // in standard output on success, else in standard error
    const QString unknown = "The certificate of 127.0.0.1 is issued by an unknown certificate authority";
    const QStringList ping{"ping", "DB"};
    const QStringList doctypes{"doctypes", "DB"};
    const QStringList query{"query", "DB", "Sales", "Order", "@osl:id<3"};
    const QStringList store{"store", "DB", "Sales", customerFile()};
    const QStringList validate{"validate", "DB", "Sales", "Customer", customerFile()};
    QTest::newRow("ping --cacert") << ping << "--cacert" << "good" << 0 << "has been established";
    QTest::newRow("ping OSTREL_CA_FILE") << ping << "OSTREL_CA_FILE" << "good" << 0 << "has been established";
    QTest::newRow("ping untrusted") << ping << "" << "good" << 1 << unknown;
    QTest::newRow("ping another host") << ping << "--cacert" << "other" << 1
                                       << "The certificate of 127.0.0.1 is made out for another host name";
    QTest::newRow("doctypes --cacert") << doctypes << "--cacert" << "good" << 0 << "Sales/Order\n";
    QTest::newRow("doctypes untrusted") << doctypes << "" << "good" << 1 << unknown;
    QTest::newRow("query --cacert") << query << "--cacert" << "good" << 0 << "1\n2\n";
    QTest::newRow("query untrusted") << query << "" << "good" << 1 << unknown;
    QTest::newRow("store --cacert") << store << "--cacert" << "good" << 0 << "\n";
    QTest::newRow("store untrusted") << store << "" << "good" << 1 << unknown;
    QTest::newRow("validate --cacert") << validate << "--cacert" << "good" << 0 << "";
    QTest::newRow("validate untrusted") << validate << "" << "good" << 1 << unknown;
}

void TestOwbHttps::commandsOverHttps()
{
    QFETCH(QStringList, command);
    QFETCH(QString, trust);
    QFETCH(QString, server);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    Owb owb;
    command.replaceInStrings(QRegularExpression("^DB$"), (server == "good" ? m_server : m_otherHost)->databaseURI());
    if (trust == "--cacert")
        command << "--cacert" << m_tls->authority();
    else if (trust == "OSTREL_CA_FILE")
        owb.env.insert("OSTREL_CA_FILE", m_tls->authority());
    const OwbResult r = owb.run(command);
    QVERIFY2(r.exitCode == exitCode, r.describe());
    QVERIFY2((exitCode == 0 ? r.outText() : QString::fromUtf8(r.err)).contains(expected), r.describe());
    QVERIFY2(!r.err.contains("unencrypted"), r.describe());
}

void TestOwbHttps::refusedStoreStoresNothing()
{
    Owb owb;
    const QStringList query{"query", m_server->databaseURI(), "Sales", "Customer", "--cacert", m_tls->authority()};
    const OwbResult before = owb.run(query);
    QVERIFY2(before.exitCode == 0, before.describe());
    const OwbResult store = owb.run({"store", m_server->databaseURI(), "Sales", customerFile()});
    QVERIFY2(store.exitCode == 1, store.describe());
    QCOMPARE(owb.run(query).outLines(), before.outLines());
}

void TestOwbHttps::unencryptedPasswordIsWarned_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<QString>("failure");
    // 192.0.2.1 is an address for documentation: nothing answers there.
    QTest::newRow("http to another machine") << "http://192.0.2.1:9/ostrel/mydb" << true << "";
    QTest::newRow("https to another machine") << "https://192.0.2.1:9/ostrel/mydb" << false << "";
    QTest::newRow("http to the loopback") << m_server->databaseURI().replace("https:", "http:") << false
                                          << "127.0.0.1 speaks HTTPS only: its URI begins with https://";
}

void TestOwbHttps::unencryptedPasswordIsWarned()
{
    QFETCH(QString, uri);
    QFETCH(bool, warned);
    QFETCH(QString, failure);
    Owb owb;
    const OwbResult r = owb.run({"ping", uri, "--timeout", "2"});
    QVERIFY2(r.exitCode == 1, r.describe());
    QCOMPARE(r.errLines().contains("The password will be sent unencrypted"), warned);
    QVERIFY2(QString::fromUtf8(r.err).contains(failure), r.describe());
}

QTEST_GUILESS_MAIN(TestOwbHttps)
#include "tst_owb_https.moc"
