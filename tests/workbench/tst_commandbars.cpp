#include "workbench/CommandBars.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using owb::Command;
using owb::CommandBars;

class TestCommandBars : public QObject {
    Q_OBJECT
private slots:
    void buttonsInTableOrder();
    void dropDownEntries();
};

void TestCommandBars::buttonsInTableOrder()
{
    QStringList ran;
    QToolBar bar;
    CommandBars::fill(&bar, {
        {"First", "First caption", "First tip", [&] { ran << "First"; }, {}},
        {"Second", "Second caption", "Second tip", [&] { ran << "Second"; }, {}},
        {"Idle", "Idle", "Does nothing", {}, {}},
    });
    const QList<QAction *> actions = bar.actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[0]->objectName(), QStringLiteral("First"));
    QCOMPARE(actions[0]->text(), QStringLiteral("First caption"));
    QCOMPARE(actions[0]->toolTip(), QStringLiteral("First tip"));
    QCOMPARE(actions[1]->objectName(), QStringLiteral("Second"));
    QVERIFY(!actions[0]->menu());

    QVERIFY(bar.findChild<QAction *>(QStringLiteral("Second")));
    bar.findChild<QAction *>(QStringLiteral("Second"))->trigger();
    QVERIFY(bar.findChild<QAction *>(QStringLiteral("Idle")));
    bar.findChild<QAction *>(QStringLiteral("Idle"))->trigger();
    QTest::mouseClick(bar.widgetForAction(actions[0]), Qt::LeftButton);
    QCOMPARE(ran, (QStringList{"Second", "First"}));
}

void TestCommandBars::dropDownEntries()
{
    QStringList ran;
    QToolBar bar;
    CommandBars::fill(&bar, {
        {"Check", "Check", "Check the text", [&] { ran << "Check"; },
         {{"Quick", "Quick check", {}, [&] { ran << "Quick"; }, {}},
          {"Deep", "Deep check", {}, [&] { ran << "Deep"; }, {}}}},
    });
    QAction *button = bar.findChild<QAction *>(QStringLiteral("Check"));
    QVERIFY(button);
    QVERIFY(button->menu());
    auto *tool = qobject_cast<QToolButton *>(bar.widgetForAction(button));
    QVERIFY(tool);
    QCOMPARE(tool->popupMode(), QToolButton::MenuButtonPopup);

    const QList<QAction *> entries = button->menu()->actions();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0]->objectName(), QStringLiteral("Quick"));
    QCOMPARE(entries[0]->text(), QStringLiteral("Quick check"));
    QCOMPARE(entries[1]->objectName(), QStringLiteral("Deep"));
    // Entries are found by their key like the buttons.
    QVERIFY(bar.findChild<QAction *>(QStringLiteral("Deep")));
    bar.findChild<QAction *>(QStringLiteral("Deep"))->trigger();
    entries[0]->trigger();
    button->trigger();
    QCOMPARE(ran, (QStringList{"Deep", "Quick", "Check"}));
}

QTEST_MAIN(TestCommandBars)
#include "tst_commandbars.moc"
