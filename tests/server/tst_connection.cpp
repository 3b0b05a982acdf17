#include "common/OstrelError.h"
#include "server/clsConnection.h"

#include <QTest>

using namespace owb;

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void valuesSurviveAsGiven_data();
    void valuesSurviveAsGiven();
    void firstRegistrationStays();
    void urisAreCaseSensitive();
    void unknownUriHasNoData();
    void unknownContextKeepsCurrent();
};

void TestConnection::valuesSurviveAsGiven_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << "http://localhost:8790/ostrel/mydb" << "demo" << "secret";
    QTest::newRow("semicolon in password") << "http://h/ostrel/db" << "demo" << "a;b;c";
    QTest::newRow("semicolon in user") << "http://h/ostrel/db" << "do;main" << "pw";
    QTest::newRow("semicolon in uri") << "http://h/ostrel/db;v=1" << "demo" << "pw";
    QTest::newRow("empty password") << "http://h/ostrel/db" << "demo" << "";
    QTest::newRow("blanks kept") << " http://h/ostrel/db " << " demo " << " pw ";
}

void TestConnection::valuesSurviveAsGiven()
{
    QFETCH(QString, uri);
    QFETCH(QString, user);
    QFETCH(QString, password);
    clsConnection c;
    c.AddConString(uri, user, password);
    QVERIFY(c.ConnectionExists(uri));
    const auto data = c.GetConnectionData(uri);
    QVERIFY(data.has_value());
    QCOMPARE(*data, (QStringList{uri, user, password}));
    QCOMPARE(c.ConnectionString(uri), uri + ";" + user + ";" + password);
    c.setContext(uri);
    QCOMPARE(c.OstrelURL(), uri);
    QCOMPARE(c.UserID(), user);
    QCOMPARE(c.Password(), password);
}

void TestConnection::firstRegistrationStays()
{
    clsConnection c;
    c.AddConString("http://h/ostrel/db", "first", "one");
    c.AddConString("http://h/ostrel/db", "second", "two");
    QCOMPARE(*c.GetConnectionData("http://h/ostrel/db"), (QStringList{"http://h/ostrel/db", "first", "one"}));
}

void TestConnection::urisAreCaseSensitive()
{
    clsConnection c;
    c.AddConString("http://h/ostrel/MyDb", "u", "p");
    QVERIFY(c.ConnectionExists("http://h/ostrel/MyDb"));
    QVERIFY(!c.ConnectionExists("http://h/ostrel/mydb"));
    QVERIFY(!c.GetConnectionData("http://h/ostrel/mydb").has_value());
}

void TestConnection::unknownUriHasNoData()
{
    clsConnection c;
    QVERIFY(!c.GetConnectionData("http://h/ostrel/db").has_value());
    QVERIFY(c.ConnectionString("http://h/ostrel/db").isEmpty());
    QVERIFY(!c.ConnectionExists(""));
}

void TestConnection::unknownContextKeepsCurrent()
{
    clsConnection c;
    c.AddConString("http://a/ostrel/db", "ua", "pa");
    c.setContext("http://a/ostrel/db");
    try {
        c.setContext("http://b/ostrel/db");
        QFAIL("an unknown context must be refused");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("Connection Manager"));
        QCOMPARE(e.description(), QStringLiteral("Context does not exist"));
        QCOMPARE(e.number(), 0x80040000u);
    }
    QCOMPARE(c.OstrelURL(), QStringLiteral("http://a/ostrel/db"));
    QCOMPARE(c.UserID(), QStringLiteral("ua"));
    QCOMPARE(c.Password(), QStringLiteral("pa"));
}

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
