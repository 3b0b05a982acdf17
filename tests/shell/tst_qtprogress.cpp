#include <QtTest>

#include "shell/QtProgress.h"

#include <QApplication>
#include <QDialog>
#include <QSignalSpy>
#include <QProgressDialog>
#include <QPushButton>

#include <limits>

using owb::QtProgress;

class TestQtProgress : public QObject {
    Q_OBJECT
private slots:
    void staysHiddenWhileShort();
    void showsStepsAndCancels();
    void unknownAndLargeAmounts();
    void inputReachesOnlyTheOperationsDialogs();
};

void TestQtProgress::staysHiddenWhileShort()
{
    QWidget window;
    {
        QtProgress progress(&window, "Import", "File 1 of 3", 3, std::numeric_limits<int>::max());
        for (int i = 0; i < 3; ++i) {
            progress.setValue(i);
            QVERIFY(!progress.wasCancelled());
        }
        QVERIFY(!progress.dialog());
        QVERIFY(window.findChildren<QProgressDialog *>().isEmpty());
    }
}

void TestQtProgress::showsStepsAndCancels()
{
    QWidget window;
    QPointer<QProgressDialog> shown;
    {
        QtProgress progress(&window, "Import", "File 1 of 4: a.xml", 4, 0);
        progress.setValue(1);
        shown = progress.dialog();
        QVERIFY(shown);
        QVERIFY(shown->isVisible());
        QCOMPARE(shown->windowTitle(), QString("Import"));
        QCOMPARE(shown->labelText(), QString("File 1 of 4: a.xml"));
        QCOMPARE(shown->maximum(), 4);
        QCOMPARE(shown->value(), 1);
        QCOMPARE(shown->windowModality(), Qt::ApplicationModal);

        progress.setLabel("File 2 of 4: b.xml");
        QCOMPARE(shown->labelText(), QString("File 2 of 4: b.xml"));
        QVERIFY(!progress.wasCancelled());
        QPushButton *cancel = shown->findChild<QPushButton *>();
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(progress.wasCancelled());
        progress.setValue(2);
        QVERIFY(progress.wasCancelled());
    }
    QVERIFY(!shown);
}

void TestQtProgress::unknownAndLargeAmounts()
{
    QWidget window;
    QtProgress unknown(&window, "Waiting", "0 bytes received", 0, 0);
    unknown.setValue(123456);
    QVERIFY(unknown.dialog());
    QCOMPARE(unknown.dialog()->maximum(), 0);

    const qint64 big = qint64(6) * 1024 * 1024 * 1024;
    QtProgress bytes(&window, "Download", "", big, 0);
    bytes.setValue(big / 2);
    QVERIFY(bytes.dialog());
    const double shownShare = double(bytes.dialog()->value()) / bytes.dialog()->maximum();
    QVERIFY2(qAbs(shownShare - 0.5) < 0.01, qPrintable(QString::number(shownShare)));
}

void TestQtProgress::inputReachesOnlyTheOperationsDialogs()
{
    QWidget window;
    auto *query = new QPushButton("Query", &window);
    window.show();
    // The dialog whose OK began the operation (a login around its check).
    QDialog login;
    auto *ok = new QPushButton("OK", &login);
    login.setWindowModality(Qt::ApplicationModal);
    login.show();
    QSignalSpy queries(query, &QPushButton::clicked);
    QSignalSpy oks(ok, &QPushButton::clicked);
    {
        // Before its dialog shows, the login is still the top modal dialog.
        QtProgress progress(&window, "Waiting for the server", "Connecting", 0, std::numeric_limits<int>::max());
        QVERIFY(!progress.wasCancelled());
        QTest::mouseClick(ok, Qt::LeftButton);
        QTest::mouseClick(query, Qt::LeftButton);
        QCOMPARE(oks.count(), 0);
        QCOMPARE(queries.count(), 0);
    }
    {
        QtProgress progress(&window, "Waiting for the server", "Connecting", 0, 0);
        progress.setValue(0);
        QVERIFY(progress.dialog());
        // A question the operation itself asks while it runs.
        QDialog question;
        auto *yes = new QPushButton("Yes", &question);
        question.setWindowModality(Qt::ApplicationModal);
        question.show();
        QSignalSpy yeses(yes, &QPushButton::clicked);

        QTest::mouseClick(query, Qt::LeftButton);
        QTest::keyClick(query, Qt::Key_Space);
        QTest::mouseClick(ok, Qt::LeftButton);
        QTest::mouseClick(yes, Qt::LeftButton);
        QCOMPARE(queries.count(), 0);
        QCOMPARE(oks.count(), 0);
        QCOMPARE(yeses.count(), 1);
        question.close();
        QTest::mouseClick(progress.dialog()->findChild<QPushButton *>(), Qt::LeftButton);
        QVERIFY(progress.wasCancelled());
    }
    login.close();
    QTest::mouseClick(query, Qt::LeftButton);
    QCOMPARE(queries.count(), 1);
}

QTEST_MAIN(TestQtProgress)
#include "tst_qtprogress.moc"
