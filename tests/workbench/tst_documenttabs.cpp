#include "workbench/DocumentTabs.h"

#include <QtTest>

using namespace owb;

Q_DECLARE_METATYPE(owb::TabAction)

class TestDocumentTabs : public QObject {
    Q_OBJECT
private slots:
    void everyMove_data();
    void everyMove();
};

void TestDocumentTabs::everyMove_data()
{
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("shown");
    QTest::addColumn<TabAction>("action");
    const TabAction none = TabAction::None, parse = TabAction::ParseText, apply = TabAction::ApplyStylesheet;
    const struct {
        const char *name;
        int previous, shown;
        TabAction action;
    } moves[] = {
        {"text to tree", TabText, TabTree, parse},
        {"text to stylesheet", TabText, TabStylesheet, parse},
        {"text to result: parse, no stylesheet", TabText, TabResult, parse},
        {"text to schema", TabText, TabSchema, none},
        {"schema to text", TabSchema, TabText, none},
        {"schema to tree", TabSchema, TabTree, parse},
        {"schema to stylesheet", TabSchema, TabStylesheet, parse},
        {"schema to result", TabSchema, TabResult, parse},
        {"tree to text", TabTree, TabText, none},
        {"tree to stylesheet", TabTree, TabStylesheet, none},
        {"tree to result", TabTree, TabResult, apply},
        {"tree to schema", TabTree, TabSchema, none},
        {"stylesheet to text", TabStylesheet, TabText, none},
        {"stylesheet to tree", TabStylesheet, TabTree, none},
        {"stylesheet to result", TabStylesheet, TabResult, apply},
        {"stylesheet to schema", TabStylesheet, TabSchema, none},
        {"result to text", TabResult, TabText, none},
        {"result to tree", TabResult, TabTree, none},
        {"result to stylesheet", TabResult, TabStylesheet, none},
        {"result to schema", TabResult, TabSchema, none},
    };
    for (const auto &m : moves)
        QTest::newRow(m.name) << m.previous << m.shown << m.action;
}

void TestDocumentTabs::everyMove()
{
    QFETCH(int, previous);
    QFETCH(int, shown);
    QFETCH(TabAction, action);
    QCOMPARE(tabChangeAction(previous, shown), action);
}

QTEST_GUILESS_MAIN(TestDocumentTabs)
#include "tst_documenttabs.moc"
