#include "log/Outcome.h"
#include "common/OstrelError.h"
#include "support/TestContext.h"

#include <QtTest>

using namespace owb;

class TestOutcome : public QObject {
    Q_OBJECT
private slots:
    void everyPartReachesItsSink();
    void runReportsOnlyFailures();
    void missingSinksAreSkipped();
};

using Sinks = owbtest::Context;

void TestOutcome::everyPartReachesItsSink()
{
    Sinks s;
    const OutcomeReporter report(s.app());
    report.report(Outcome::done(QStringLiteral("Stored")));
    QCOMPARE(s.log.lines, QStringList{"Stored"});
    QCOMPARE(s.main.statuses, QStringList{"Stored"});
    QVERIFY(s.ui.shown.isEmpty());

    const OstrelError e(QStringLiteral("Ostrel Access"), QStringLiteral("refused"));
    report.report(Outcome::failure(e, QStringLiteral("Error has been raised"), QStringLiteral("Deletion failed: refused")));
    QCOMPARE(s.ui.shown.size(), 1);
    QCOMPARE(s.ui.shown[0].title, QStringLiteral("Error has been raised"));
    QCOMPARE(s.ui.shown[0].text, QStringLiteral("refused"));
    QCOMPARE(s.ui.shown[0].icon, UserInteraction::Icon::Exclamation);
    QCOMPARE(s.log.lines, (QStringList{"Stored", "refused"}));
    QCOMPARE(s.main.lastStatus(), QStringLiteral("Deletion failed: refused"));

    // Log and status lines may differ, and several log lines keep their order.
    report.report(Outcome().withLog(QStringLiteral("a")).withLog(QStringLiteral("b")).withStatus(QStringLiteral("c")));
    QCOMPARE(s.log.lines.mid(2), (QStringList{"a", "b"}));
    QCOMPARE(s.main.lastStatus(), QStringLiteral("c"));
    report.report(Outcome::message(QStringLiteral("Nothing found"), QStringLiteral("No result")));
    QCOMPARE(s.ui.shown.last().icon, UserInteraction::Icon::Information);
    QCOMPARE(s.log.lines.size(), 4);
    QCOMPARE(s.main.statuses.size(), 3);
}

void TestOutcome::runReportsOnlyFailures()
{
    Sinks s;
    const OutcomeReporter report(s.app());
    int failures = 0;
    const auto onError = [&](const OstrelError &e) {
        ++failures;
        return Outcome().withLog(e.source() + QLatin1Char(':') + e.description());
    };
    QVERIFY(report.run([] {}, onError));
    QCOMPARE(failures, 0);

    bool after = false;
    QVERIFY(!report.run(
        [&] {
            throw OstrelError(QStringLiteral("clsChema"), QStringLiteral("no schema"));
            after = true;
        },
        onError));
    QVERIFY(!after);
    QCOMPARE(failures, 1);
    QCOMPARE(s.log.lines, QStringList{"clsChema:no schema"});
}

void TestOutcome::missingSinksAreSkipped()
{
    const OutcomeReporter report{AppContext{}};
    report.report(Outcome::failure(OstrelError(QStringLiteral("x"), QStringLiteral("y")), QStringLiteral("t"),
                                   QStringLiteral("s")));
    QVERIFY(!report.run([] { throw OstrelError(QStringLiteral("x"), QStringLiteral("y")); },
                        [](const OstrelError &e) { return Outcome::done(e.description()); }));
}

QTEST_GUILESS_MAIN(TestOutcome)
#include "tst_outcome.moc"
