#include <QtTest>

#include "common/OstrelError.h"
#include "xpath/QueryFilter.h"
#include "xpath/StringClass.h"
#include "xpath/XPathAnalyse.h"

using namespace owb;

class TestFilterAnalysis : public QObject {
    Q_OBJECT
private slots:
    void analyse_data();
    void analyse();
    void positionWithinFilter_data();
    void positionWithinFilter();
    void reanalyseForgetsThePreviousFilter();
    void queryBoxFilter_data();
    void queryBoxFilter();

    void assignmentTrims_data();
    void assignmentTrims();
    void insertRange_data();
    void insertRange();
    void insertAfterInsert();
    void subString_data();
    void subString();
};

void TestFilterAnalysis::analyse_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::newRow("filter") << "order[id=1]" << "order" << "id=1" << 6 << 11;
    QTest::newRow("no bracket") << "order" << "order" << "" << 0 << 0;
    QTest::newRow("empty") << "" << "" << "" << 0 << 0;
    // The filter runs to the last character but one, not to the last "]".
    QTest::newRow("step after filter") << "a[b]/c" << "a" << "b]/" << 2 << 4;
    QTest::newRow("nested brackets") << "a[b[1]=2]" << "a" << "b[1]=2" << 2 << 9;
    QTest::newRow("opening only") << "a[b" << "a[b" << "" << 0 << 0;
    QTest::newRow("closing only") << "a]b" << "a]b" << "" << 0 << 0;
    QTest::newRow("empty filter") << "a[]" << "a" << "" << 2 << 3;
    QTest::newRow("opening last") << "]a[" << "]a" << "" << 3 << 1;
    QTest::newRow("quoted bracket counts") << "a[n='[x]']" << "a" << "n='[x]'" << 2 << 10;
}

void TestFilterAnalysis::analyse()
{
    QFETCH(QString, expression);
    XPathAnalyse a;
    a.Analyse(expression);
    QTEST(a.Context(), "context");
    QTEST(a.FilterExpression(), "filter");
    QTEST(int(a.StartPosFilter()), "start");
    QTEST(int(a.EndPosFilter()), "end");
}

void TestFilterAnalysis::positionWithinFilter_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QList<int>>("inside");
    QTest::newRow("a[x]") << "a[x]" << QList<int>{3};
    QTest::newRow("order[id=1]") << "order[id=1]" << QList<int>{7, 8, 9, 10};
    QTest::newRow("no filter") << "order" << QList<int>{};
    QTest::newRow("empty filter") << "a[]" << QList<int>{};
}

void TestFilterAnalysis::positionWithinFilter()
{
    QFETCH(QString, expression);
    QFETCH(QList<int>, inside);
    XPathAnalyse a;
    a.Analyse(expression);
    for (int p = -1; p <= expression.size() + 2; ++p)
        QVERIFY2(a.PositionWithinFilter(p) == inside.contains(p), qPrintable(QString::number(p)));
}

void TestFilterAnalysis::reanalyseForgetsThePreviousFilter()
{
    XPathAnalyse a;
    a.Analyse("order[id=1]");
    a.Analyse("customer");
    QCOMPARE(a.Context(), "customer");
    QCOMPARE(a.FilterExpression(), "");
    QCOMPARE(a.StartPosFilter(), 0);
    QCOMPARE(a.EndPosFilter(), 0);
    QVERIFY(!a.PositionWithinFilter(3));
}

void TestFilterAnalysis::queryBoxFilter_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("refusal");   // a part of the reason; empty: carried over
    QTest::newRow("built") << "order[item/@no and  item/text()]" << "item/@no and  item/text()" << "";
    QTest::newRow("spaces around") << "  order [ a=1 ]  " << "a=1" << "";
    QTest::newRow("inner brackets") << "order[item[2]/text()='x']" << "item[2]/text()='x'" << "";
    QTest::newRow("brackets in literals") << "order[a=']' or b=\"[\"]" << "a=']' or b=\"[\"" << "";
    QTest::newRow("two predicates") << "order[a][2]" << "a][2" << "";
    QTest::newRow("root alone") << "order" << "" << "";
    QTest::newRow("empty filter") << "order[]" << "" << "";
    QTest::newRow("empty") << "" << "" << "";
    QTest::newRow("step after filter") << "order[a]/b" << "" << "\"/b\" after it";
    QTest::newRow("step, no filter") << "order/b" << "" << "\"/b\" after it";
    QTest::newRow("another root") << "customer[a]" << "" << "must begin with order";
    QTest::newRow("longer name") << "orders[a]" << "" << "must begin with order";
    QTest::newRow("bare filter") << "price>10" << "" << "must begin with order";
    QTest::newRow("unclosed") << "order[a" << "" << "do not match";
    QTest::newRow("unclosed literal") << "order[a=']" << "" << "do not match";
    QTest::newRow("closed twice") << "order[a]]" << "" << "\"]\" after it";
}

void TestFilterAnalysis::queryBoxFilter()
{
    QFETCH(QString, expression);
    QFETCH(QString, filter);
    QFETCH(QString, refusal);
    const QueryFilter::Fit fit = QueryFilter::filterFor(QStringLiteral("order"), expression);
    QVERIFY2(refusal.isEmpty() ? fit.reason.isEmpty() : fit.reason.contains(refusal), qPrintable(fit.reason));
    QCOMPARE(fit.filter, filter);
    if (refusal.isEmpty()) {
        // What the builder starts from gives the same filter back.
        const QString start = QueryFilter::expressionFor(QStringLiteral("order"), filter);
        QCOMPARE(start, filter.isEmpty() ? QStringLiteral("order") : "order[" + filter + "]");
        QCOMPARE(QueryFilter::filterFor(QStringLiteral("order"), start).filter, filter);
    }
}

void TestFilterAnalysis::assignmentTrims_data()
{
    QTest::addColumn<bool>("significant");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored");
    QTest::newRow("trimmed") << false << "  a  " << "a";
    QTest::newRow("inner spaces stay") << false << " a  b " << "a  b";
    QTest::newRow("only spaces") << false << "   " << "";
    QTest::newRow("tabs are not spaces") << false << "\ta " << "\ta";
    QTest::newRow("significant") << true << "  a  " << "  a  ";
}

void TestFilterAnalysis::assignmentTrims()
{
    QFETCH(bool, significant);
    QFETCH(QString, value);
    QFETCH(QString, stored);
    StringClass s;
    QCOMPARE(s.StringLength(), 0);
    s.setSpaceIsSignificant(significant);
    s.setStringValue(value);
    QCOMPARE(s.StringValue(), stored);
    QCOMPARE(s.StringLength(), stored.size());
}

void TestFilterAnalysis::insertRange_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("result");   // empty: refused
    const QString v = "0123456789";
    QTest::newRow("0") << 0 << "";
    QTest::newRow("-1") << -1 << "";
    for (int p = 1; p <= 9; ++p)
        QTest::newRow(qPrintable(QString::number(p))) << p << v.left(p) + "+" + v.mid(p);
    QTest::newRow("10") << 10 << "";
    QTest::newRow("11") << 11 << "";
}

void TestFilterAnalysis::insertRange()
{
    QFETCH(int, position);
    QFETCH(QString, result);
    StringClass s;
    s.setStringValue("0123456789");
    if (result.isEmpty()) {
        try {
            s.InsertString(position, "+");
            QFAIL("an insert outside the value was accepted");
        } catch (const OstrelError &e) {
            QCOMPARE(e.number(), 0x80040000u);
            QCOMPARE(e.source(), "StringClass");
            QCOMPARE(e.description(), "startpos is without range");
        }
        QCOMPARE(s.StringValue(), "0123456789");
    } else {
        s.InsertString(position, "+");
        QCOMPARE(s.StringValue(), result);
    }
}

void TestFilterAnalysis::insertAfterInsert()
{
    // The length follows the value, so a second insert may use the room the first one made.
    StringClass s;
    s.setStringValue("a[b]");
    s.InsertString(3, " and c");
    QCOMPARE(s.StringValue(), "a[b and c]");
    QCOMPARE(s.StringLength(), 10);
    s.InsertString(9, "d");
    QCOMPARE(s.StringValue(), "a[b and cd]");
    QCOMPARE(s.SubString(1, s.StringLength() + 1), "a[b and cd]");
}

void TestFilterAnalysis::subString_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("result");
    QTest::newRow("whole") << 1 << 6 << "hello";
    QTest::newRow("middle") << 2 << 4 << "el";
    QTest::newRow("last") << 5 << 6 << "o";
    QTest::newRow("same") << 3 << 3 << "";
    QTest::newRow("reversed") << 4 << 2 << "";
    QTest::newRow("end beyond") << 1 << 7 << "";
    QTest::newRow("start 0") << 0 << 3 << "";
}

void TestFilterAnalysis::subString()
{
    QFETCH(int, start);
    QFETCH(int, end);
    StringClass s;
    s.setStringValue("hello");
    QTEST(s.SubString(start, end), "result");
}

QTEST_APPLESS_MAIN(TestFilterAnalysis)
#include "tst_filteranalysis.moc"
