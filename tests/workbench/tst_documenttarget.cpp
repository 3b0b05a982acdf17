#include "workbench/DocumentTarget.h"
#include "common/OstrelError.h"

#include <QtTest>

using owb::DocumentTarget;

class TestDocumentTarget : public QObject {
    Q_OBJECT
private slots:
    void parseOstrelURI_data();
    void parseOstrelURI();
    void parseOstrelURIKeepsFirstTarget();
    void buildQueryURI_data();
    void buildQueryURI();
};

void TestDocumentTarget::parseOstrelURI_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("doctype");

    QTest::newRow("plain") << "http://h:8790/ostrel/mydb/Sales?_xql=Order" << true
                           << "http://h:8790/ostrel/mydb" << "Sales" << "Order";
    QTest::newRow("prefixed doctype") << "http://h/ostrel/db/osl:collection?_xql=xs:schema" << true
                                      << "http://h/ostrel/db" << "osl:collection" << "xs:schema";
    QTest::newRow("first marker counts") << "http://h/db/C?_xql=A?_xql=B" << true
                                         << "http://h/db" << "C" << "A?_xql=B";
    QTest::newRow("no marker") << "http://h/ostrel/mydb/Sales" << false << "" << "" << "";
    QTest::newRow("marker case differs") << "http://h/ostrel/mydb/Sales?_XQL=Order" << false << "" << "" << "";
    QTest::newRow("no slash") << "Sales?_xql=Order" << false << "" << "" << "";
}

void TestDocumentTarget::parseOstrelURI()
{
    QFETCH(QString, uri);
    QFETCH(bool, valid);
    DocumentTarget t;
    bool threw = false;
    try {
        t.ParseOstrelURI(uri);
    } catch (const owb::OstrelError &) {
        threw = true;
    }
    QCOMPARE(threw, !valid);
    if (!valid) {
        QVERIFY(t.DatabaseURI().isEmpty());
        QVERIFY(!t.isSet());
        return;
    }
    QFETCH(QString, database);
    QFETCH(QString, collection);
    QFETCH(QString, doctype);
    QCOMPARE(t.DatabaseURI(), database);
    QCOMPARE(t.CollectionName(), collection);
    QCOMPARE(t.CollectionURI(), database + QLatin1Char('/') + collection);
    QCOMPARE(t.DoctypeName(), doctype);
}

void TestDocumentTarget::parseOstrelURIKeepsFirstTarget()
{
    DocumentTarget t;
    t.ParseOstrelURI(QStringLiteral("http://h/ostrel/mydb/Sales?_xql=Order"));
    t.ParseOstrelURI(QStringLiteral("http://other/ostrel/x/Stock?_xql=Item"));
    QCOMPARE(t.DatabaseURI(), QStringLiteral("http://h/ostrel/mydb"));
    QCOMPARE(t.CollectionURI(), QStringLiteral("http://h/ostrel/mydb/Sales"));
    QCOMPARE(t.CollectionName(), QStringLiteral("Sales"));
    QCOMPARE(t.DoctypeName(), QStringLiteral("Order"));
}

void TestDocumentTarget::buildQueryURI_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("tail");
    QTest::addColumn<QString>("sent");
    QTest::newRow("none") << "" << "/Sales?_xql=Order" << "/Sales?_xql=Order";
    QTest::newRow("blanks") << "   " << "/Sales?_xql=Order" << "/Sales?_xql=Order";
    QTest::newRow("trimmed") << "  price>10 " << "/Sales?_xql=Order[price>10]" << "/Sales?_xql=Order%5Bprice%3E10%5D";
    QTest::newRow("as typed") << "name='a b' and x!=\"&#\"" << "/Sales?_xql=Order[name='a b' and x!=\"&#\"]"
                              << "/Sales?_xql=Order%5Bname%3D%27a%20b%27%20and%20x%21%3D%22%26%23%22%5D";
    QTest::newRow("plus stays a plus") << "note='a+b'" << "/Sales?_xql=Order[note='a+b']"
                                       << "/Sales?_xql=Order%5Bnote%3D%27a%2Bb%27%5D";
}

void TestDocumentTarget::buildQueryURI()
{
    QFETCH(QString, filter);
    QFETCH(QString, tail);
    QFETCH(QString, sent);
    DocumentTarget t;
    t.ParseOstrelURI(QStringLiteral("http://h/ostrel/mydb/Sales?_xql=Order"));
    QCOMPARE(t.BuildQueryURI(filter), QStringLiteral("http://h/ostrel/mydb") + tail);
    QCOMPARE(t.queryUrl(filter), QStringLiteral("http://h/ostrel/mydb") + sent);
}

QTEST_GUILESS_MAIN(TestDocumentTarget)
#include "tst_documenttarget.moc"
