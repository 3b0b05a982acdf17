// The real main window at start-up with the demo database loaded and one document window
// open; under Xvfb the screenshot shows what a user sees.
#include <QtTest>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTreeWidget>
#include <Qsci/qsciscintilla.h>

#include "common/Settings.h"
#include "navigation/TreeWidgetDocTree.h"
#include "navigation/frmNavigate.h"
#include "shell/Application.h"
#include "shell/frmMain.h"
#include "support/ScriptedUserInteraction.h"
#include "support/Screenshot.h"
#include "workbench/frmOstrelClient.h"
#include "NavFixture.h"

class TestNavigateScreens : public QObject {
    Q_OBJECT
private slots:
    void demoLoadedWithDocumentWindow();
};

void TestNavigateScreens::demoLoadedWithDocumentWindow()
{
    navtest::IsolatedHome home;
    navtest::Server server;
    if (!server.ok())
        QSKIP(qPrintable(server.error()));
    owb::Settings::save("ostreldatabase", "uri", server.databaseURI());

    auto scripted = std::make_unique<owb::ScriptedUserInteraction>();
    owb::ScriptedUserInteraction *ui = scripted.get();
    owb::Application app(std::move(scripted));
    app.start();
    owb::frmMain *main = app.mainWindow();
    auto *nav = qobject_cast<owb::frmNavigate *>(app.navigateWindow());
    QVERIFY2(nav, "start-up shows the Navigate window");
    QVERIFY(main->isChildShown(nav));
    QVERIFY(QTest::qWaitForWindowExposed(main));

    auto *box = nav->findChild<QComboBox *>("cboDatabaseURI");
    auto *tree = nav->findChild<QTreeWidget *>("tvDocs");
    auto *connect = nav->findChild<QPushButton *>("Command3");
    QVERIFY(box && tree && connect);
    box->setCurrentIndex(0);
    ui->dialogHandlers << navtest::answerLogin("demo", "demo");
    connect->click();
    QCOMPARE(main->statusText(), "Connection to " + server.databaseURI() + " has been established");

    QTreeWidgetItem *sales = nullptr, *order = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        const QString key = owb::TreeWidgetDocTree::keyOf(*it);
        if (key == "Sales")
            sales = *it;
        else if (key == "Sales/Order")
            order = *it;
    }
    QVERIFY(sales && order);
    emit tree->itemClicked(sales, 0);
    QVERIFY(sales->isExpanded());
    emit tree->itemClicked(order, 0);

    auto *client = nav->documentWindow("Sales/Order");
    QVERIFY(client);
    QVERIFY(main->isChildShown(client));
    auto *schemaPage = client->findChild<QsciScintilla *>("CodeMax2");
    auto *tabs = client->findChild<QTabWidget *>("SSTab1");
    QVERIFY(schemaPage && tabs);
    QVERIFY(schemaPage->text().contains("osd:schemaInfo"));
    tabs->setCurrentWidget(schemaPage);
    QVERIFY2(ui->messages().isEmpty(), qPrintable(ui->messages().join('|')));

    // Side by side, so the picture shows both.
    main->resize(1200, 820);
    const QSize area = main->mdiArea()->size();
    const auto subs = main->mdiArea()->subWindowList();
    for (QMdiSubWindow *sub : subs) {
        if (sub->widget() == nav)
            sub->setGeometry(0, 0, 340, area.height());
        else if (sub->widget() == client)
            sub->setGeometry(340, 0, area.width() - 340, area.height());
    }
    QVERIFY(owbtest::paintedNow(main));

    QVERIFY(QDir().mkpath(QStringLiteral(OWB_SCREENSHOT_DIR)));
    const QPixmap shot = QGuiApplication::platformName() == QLatin1String("xcb")
        ? main->screen()->grabWindow(0)
        : main->grab();
    const QString path = QStringLiteral(OWB_SCREENSHOT_DIR "/navigate")
        + qEnvironmentVariable("OWB_SCREENSHOT_SUFFIX") + QStringLiteral(".png");
    QVERIFY(!shot.isNull() && shot.save(path));
    client->close();
}

QTEST_MAIN(TestNavigateScreens)
#include "tst_navigate_screens.moc"
