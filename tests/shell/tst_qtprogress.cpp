#include <QtTest>

#include "shell/QtProgress.h"

#include <QApplication>
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

QTEST_MAIN(TestQtProgress)
#include "tst_qtprogress.moc"
