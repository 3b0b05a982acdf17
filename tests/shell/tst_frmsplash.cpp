#include <QtTest>
#include <QLabel>
#include <QTimer>

#include "shell/frmSplash.h"

using namespace owb;

namespace {

// "Version " and three numbers from the project's version, missing parts as 0.
QString expectedVersion()
{
    QStringList parts = QStringLiteral(OWB_PROJECT_VERSION).split(u'.');
    while (parts.size() < 3)
        parts << QStringLiteral("0");
    return QStringLiteral("Version ") + parts.mid(0, 3).join(u'.');
}

} // namespace

class TestFrmSplash : public QObject {
    Q_OBJECT
private slots:
    void showsTheVersion();
    void closesItselfAfterTwoSeconds();
    void closesAtAKeyPress();
};

void TestFrmSplash::showsTheVersion()
{
    frmSplash w;
    QVERIFY(w.findChild<QLabel *>("lblVersion"));
    QCOMPARE(w.findChild<QLabel *>("lblVersion")->text(), expectedVersion());
    QVERIFY(w.findChild<QLabel *>("imgLogo"));
    QVERIFY(!w.findChild<QLabel *>("imgLogo")->pixmap().isNull());
    QVERIFY(w.windowTitle().isEmpty());
}

void TestFrmSplash::closesItselfAfterTwoSeconds()
{
    QPointer<frmSplash> w = new frmSplash;
    auto *timer = w->findChild<QTimer *>("Timer1");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 2000);
    QVERIFY(timer->isSingleShot());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(timer->isActive());
    QVERIFY(w->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!w, 6000);
}

void TestFrmSplash::closesAtAKeyPress()
{
    QPointer<frmSplash> w = new frmSplash;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::keyClick(w.data(), Qt::Key_Space);
    // At once, not when the timer fires.
    QVERIFY(!w || !w->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!w, 6000);
}

QTEST_MAIN(TestFrmSplash)
#include "tst_frmsplash.moc"
