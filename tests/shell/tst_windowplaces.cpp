// The windows' places kept from one run to the next, and brought onto the screens there are.
#include "shell/WindowPlaces.h"
#include "common/Settings.h"
#include "shell/frmMain.h"
#include "support/TestContext.h"

#include <QMdiSubWindow>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtTest>

using namespace owb;

namespace {

// A child with a splitter of two panes, as the document window has.
QWidget *splitChild()
{
    auto *child = new QWidget;
    child->setObjectName("frmPlaced");
    auto *split = new QSplitter(child);
    split->addWidget(new QWidget);
    split->addWidget(new QWidget);
    (new QVBoxLayout(child))->addWidget(split);
    return child;
}

} // namespace

class TestWindowPlaces : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_home = std::make_unique<owbtest::IsolatedHome>(); }
    void clamp_data();
    void clamp();
    void keptFromOneRunToTheNext();
    void placeOffTheScreensComesBack();

private:
    std::unique_ptr<owbtest::IsolatedHome> m_home;
};

void TestWindowPlaces::clamp_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QRect>("expected");

    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    QTest::newRow("inside") << QRect(100, 100, 800, 600) << QList<QRect>{left} << QRect(100, 100, 800, 600);
    QTest::newRow("partly off to the right") << QRect(1500, 100, 800, 600) << QList<QRect>{left}
                                             << QRect(1120, 100, 800, 600);
    QTest::newRow("above and left") << QRect(-300, -50, 800, 600) << QList<QRect>{left} << QRect(0, 0, 800, 600);
    QTest::newRow("larger than the screen") << QRect(10, 10, 3000, 2000) << QList<QRect>{left}
                                            << QRect(0, 0, 1920, 1080);
    QTest::newRow("on the second screen") << QRect(2000, 100, 800, 600) << QList<QRect>{left, right}
                                          << QRect(2000, 100, 800, 600);
    QTest::newRow("mostly on the second screen") << QRect(1800, 100, 800, 600) << QList<QRect>{left, right}
                                                 << QRect(1920, 100, 800, 600);
    QTest::newRow("second screen gone") << QRect(2000, 100, 800, 600) << QList<QRect>{left}
                                        << QRect(1120, 100, 800, 600);
    QTest::newRow("no screen at all") << QRect(2000, 100, 800, 600) << QList<QRect>{} << QRect(2000, 100, 800, 600);
}

void TestWindowPlaces::clamp()
{
    QFETCH(QRect, saved);
    QFETCH(QList<QRect>, screens);
    QFETCH(QRect, expected);
    QCOMPARE(WindowPlaces::clamp(saved, screens), expected);
}

void TestWindowPlaces::keptFromOneRunToTheNext()
{
    const QRect screen = WindowPlaces::screenAreas().value(0);
    QVERIFY(screen.width() >= 600 && screen.height() >= 450);
    const QRect place(screen.left() + 20, screen.top() + 30, 560, 400);
    {
        frmMain main;
        main.rememberPlaces();
        main.setGeometry(place);
        main.show();
        QWidget *child = splitChild();
        main.showChild(child);
        auto *frame = qobject_cast<QMdiSubWindow *>(child->parentWidget());
        QVERIFY(frame);
        frame->resize(330, 210);
        auto *split = child->findChild<QSplitter *>();
        split->setSizes({60, 200});
        const QList<int> sizes = split->sizes();
        QVERIFY(main.close());
        QCOMPARE(Settings::get("window", "frmPlaced/splitters"), QStringLiteral("%1,%2").arg(sizes[0]).arg(sizes[1]));
    }
    frmMain again;
    again.rememberPlaces();
    QCOMPARE(again.geometry(), place);
    again.show();
    QWidget *child = splitChild();
    again.showChild(child);
    auto *frame = qobject_cast<QMdiSubWindow *>(child->parentWidget());
    QCOMPARE(frame->size(), QSize(330, 210));
    const QList<int> sizes = child->findChild<QSplitter *>()->sizes();
    QCOMPARE(QStringLiteral("%1,%2").arg(sizes[0]).arg(sizes[1]), Settings::get("window", "frmPlaced/splitters"));

    // A window that does not remember leaves the settings alone.
    Settings::save("window", "frmMain/geometry", "1,2,3,4");
    {
        frmMain forgetful;
        forgetful.show();
        QVERIFY(forgetful.close());
    }
    QCOMPARE(Settings::get("window", "frmMain/geometry"), QStringLiteral("1,2,3,4"));
}

void TestWindowPlaces::placeOffTheScreensComesBack()
{
    const QRect screen = WindowPlaces::screenAreas().value(0);
    Settings::save("window", "frmMain/geometry",
                   QStringLiteral("%1,%2,400,300").arg(screen.right() + 5000).arg(screen.bottom() + 5000));
    frmMain main;
    main.rememberPlaces();
    QVERIFY(screen.contains(main.geometry()));
    QCOMPARE(main.geometry().size(), QSize(400, 300));
}

QTEST_MAIN(TestWindowPlaces)
#include "tst_windowplaces.moc"
