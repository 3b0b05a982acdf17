#include <QtTest>
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

QTEST_MAIN(TestFrmHelp)
#include "tst_frmhelp.moc"
