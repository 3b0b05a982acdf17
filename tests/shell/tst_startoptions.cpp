// OstrelClient's own arguments, and the database URI handed in at start reaching the Navigate
// window for this run only.
#include "common/Settings.h"
#include "shell/Application.h"
#include "shell/StartOptions.h"
#include "navigation/NavFixture.h"

#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using namespace owb;

class TestStartOptions : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void helpNamesTheOption();
    void startURIFirstForThisRunOnly();
};

void TestStartOptions::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("uri");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("error");
    QTest::newRow("none") << QStringList() << "" << false << false;
    QTest::newRow("uri") << QStringList{"--database-uri", "http://localhost:18890/ostrel/mydb"}
                         << "http://localhost:18890/ostrel/mydb" << false << false;
    QTest::newRow("uri with =") << QStringList{"--database-uri= https://h/ostrel/db "} << "https://h/ostrel/db"
                                << false << false;
    QTest::newRow("uri missing") << QStringList{"--database-uri"} << "" << false << true;
    QTest::newRow("not http") << QStringList{"--database-uri", "localhost:8790/ostrel/mydb"} << "" << false << true;
    QTest::newRow("help") << QStringList{"-h"} << "" << true << false;
    // The help wins over what else is wrong, and a value is no option.
    QTest::newRow("help and unknown") << QStringList{"-platform", "xcb", "--help"} << "" << true << true;
    QTest::newRow("--help as the value") << QStringList{"--database-uri", "--help"} << "" << false << true;
    QTest::newRow("unknown option") << QStringList{"--port", "1"} << "" << false << true;
    QTest::newRow("stray argument") << QStringList{"http://h/db"} << "" << false << true;
}

void TestStartOptions::parse()
{
    QFETCH(QStringList, args);
    QFETCH(QString, uri);
    QFETCH(bool, help);
    QFETCH(bool, error);
    const StartOptions o = StartOptions::parse(args);
    QCOMPARE(o.databaseURI, uri);
    QCOMPARE(o.help, help);
    QCOMPARE(!o.error.isEmpty(), error);
}

void TestStartOptions::helpNamesTheOption()
{
    const QString help = StartOptions::helpText();
    QVERIFY(help.startsWith("Usage: OstrelClient"));
    QVERIFY(help.contains("--database-uri URI"));
}

void TestStartOptions::startURIFirstForThisRunOnly()
{
    navtest::Server server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    owbtest::IsolatedHome home;
    Settings::save("ostreldatabase", "uri", "http://a/x");
    auto scripted = std::make_unique<ScriptedUserInteraction>();
    ScriptedUserInteraction &ui = *scripted;
    ui.dialogHandlers << navtest::answerLogin("demo", "demo");
    {
        Application app(std::move(scripted));
        app.setStartDatabaseURI(server.databaseURI());
        app.start();
        QWidget *nav = app.navigateWindow();
        QVERIFY(nav);
        auto *box = nav->findChild<QComboBox *>("cboDatabaseURI");
        auto *load = nav->findChild<QPushButton *>("Command3");
        auto *tree = nav->findChild<QTreeWidget *>("tvDocs");
        QVERIFY(box && load && tree);
        QCOMPARE(box->currentText(), server.databaseURI());
        QCOMPARE(box->itemText(0), server.databaseURI());
        QCOMPARE(box->itemText(1), "http://a/x");
        QVERIFY(load->isEnabled());
        load->click();
        QCOMPARE(ui.shown.value(0).kind, "dialog");
        QVERIFY(tree->topLevelItemCount() == 1);
        QVERIFY(tree->topLevelItem(0)->childCount() > 0);   // the demo's collections
        QCOMPARE(box->count(), 2);   // chosen, so not appended
    }
    QCOMPARE(Settings::get("ostreldatabase", "uri"), "http://a/x");
}

QTEST_MAIN(TestStartOptions)
#include "tst_startoptions.moc"
