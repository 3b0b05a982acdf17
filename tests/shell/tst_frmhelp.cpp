#include <QtTest>
#include <QAction>
#include <QWebEngineView>

#include "shell/frmHelp.h"
#include "support/TestContext.h"

using namespace owb;

class TestFrmHelp : public QObject {
    Q_OBJECT
private slots:
    void browserOnlyOnceShown();
    void showsTheGuide();
    void missingGuideStillShowsTheWindow();
    void backAndForward();
};

void TestFrmHelp::browserOnlyOnceShown()
{
    owbtest::IsolatedHome home;
    frmHelp w;
    QCOMPARE(w.windowTitle(), "Help");
    QVERIFY(!w.browser());
    QVERIFY(!w.findChild<QWebEngineView *>());
    QCOMPARE(frmHelp::indexUrl(), QUrl::fromLocalFile(home.path() + "/documentation/index.htm"));
}

void TestFrmHelp::showsTheGuide()
{
    owbtest::IsolatedHome home;
    QVERIFY(QFileInfo::exists(home.path() + "/documentation/index.htm"));
    frmHelp w;
    w.show();
    auto *view = w.findChild<QWebEngineView *>("wbHelp");
    QVERIFY(view);
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    QVERIFY(loaded.wait(60000) || loaded.size() > 0);
    QVERIFY(loaded.first().first().toBool());
    QCOMPARE(view->url(), frmHelp::indexUrl());
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("Ostrel Workbench User Guide"), 10000);
    // Showing again keeps the one browser.
    w.hide();
    w.show();
    QCOMPARE(w.findChildren<QWebEngineView *>().size(), 1);
    // Smaller than any margin: the browser keeps a valid size.
    w.resize(2, 2);
    QTRY_VERIFY(view->width() >= 1 && view->height() >= 1);
}

void TestFrmHelp::missingGuideStillShowsTheWindow()
{
    owbtest::IsolatedHome home;
    QVERIFY(QFile::remove(home.path() + "/documentation/index.htm"));
    frmHelp w;
    w.show();
    auto *view = w.browser();
    QVERIFY(view);
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    QVERIFY(loaded.wait(60000) || loaded.size() > 0);
    QCOMPARE(loaded.first().first().toBool(), false);   // the browser's own error page
    QVERIFY(w.isVisible());
}

void TestFrmHelp::backAndForward()
{
    owbtest::IsolatedHome home;
    frmHelp w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *view = w.browser();
    QVERIFY(view);
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.size() == 1, 60000);
    const QUrl second = QUrl::fromLocalFile(home.path() + "/documentation/server.htm");
    view->load(second);
    QTRY_VERIFY_WITH_TIMEOUT(loaded.size() == 2, 30000);
    QCOMPARE(view->url(), second);
    // The key as a user presses it, in the page.
    w.activateWindow();
    view->setFocus();
    QWidget *page = view->focusProxy() ? view->focusProxy() : view;
    QTRY_VERIFY(page->hasFocus());
    QTest::keyClick(page, Qt::Key_Left, Qt::AltModifier);
    QTRY_COMPARE_WITH_TIMEOUT(view->url(), frmHelp::indexUrl(), 30000);
    QVERIFY(w.findChild<QAction *>("actHelpForward"));
    w.findChild<QAction *>("actHelpForward")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(view->url(), second, 30000);
}

QTEST_MAIN(TestFrmHelp)
#include "tst_frmhelp.moc"
