#include "log/LogFormat.h"
#include <QtTest>

#include <limits>

using namespace owb;

class TestLogFormat : public QObject {
    Q_OBJECT
private slots:
    void timeStamp_data();
    void timeStamp();
    void dateStampUsesAbbreviatedMonth_data();
    void dateStampUsesAbbreviatedMonth();
    void parseSequence_data();
    void parseSequence();
    void toDisplay_data();
    void toDisplay();
    void nextSequence_data();
    void nextSequence();
};

void TestLogFormat::timeStamp_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("expected");
    QTest::newRow("midnight") << QTime(0, 0, 0) << "00:00:00 ";
    QTest::newRow("single digits") << QTime(7, 5, 9) << "07:05:09 ";
    QTest::newRow("afternoon is 24h") << QTime(14, 5, 9) << "14:05:09 ";
    QTest::newRow("last second") << QTime(23, 59, 59) << "23:59:59 ";
    QTest::newRow("milliseconds dropped") << QTime(12, 0, 1, 999) << "12:00:01 ";
}

void TestLogFormat::timeStamp()
{
    QFETCH(QTime, time);
    QFETCH(QString, expected);
    QCOMPARE(LogFormat::timeStamp(QDateTime(QDate(2026, 12, 6), time)), expected);
}

void TestLogFormat::dateStampUsesAbbreviatedMonth_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("december") << QDate(2026, 12, 6) << en << "06 Dec 2026";
    QTest::newRow("may") << QDate(2027, 5, 31) << en << "31 May 2027";
    QTest::newRow("year padded") << QDate(987, 1, 2) << en << "02 Jan 0987";
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("german month")
        << QDate(2026, 3, 6) << de << QStringLiteral("06 ") + de.monthName(3, QLocale::ShortFormat) + " 2026";
}

void TestLogFormat::dateStampUsesAbbreviatedMonth()
{
    QFETCH(QDate, date);
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QCOMPARE(LogFormat::dateStamp(date, locale), expected);
}

void TestLogFormat::parseSequence_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");   // 0: rejected
    QTest::newRow("one") << "1" << 1;
    QTest::newRow("twelve") << "12" << 12;
    QTest::newRow("blanks around") << " 12 " << 12;
    QTest::newRow("largest") << "9999999" << 9'999'999;
    QTest::newRow("text") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("trailing text") << "12abc" << 0;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-3" << 0;
    QTest::newRow("too large") << "10000000" << 0;
    QTest::newRow("beyond int") << "99999999999" << 0;
    QTest::newRow("hex") << "0x10" << 0;
}

void TestLogFormat::parseSequence()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    const auto got = LogFormat::parseSequence(stored);
    QCOMPARE(got.has_value(), expected != 0);
    if (got)
        QCOMPARE(*got, expected);
}

void TestLogFormat::toDisplay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("crlf") << "a\r\nb\r\nc" << "a\nb\nc";
    QTest::newRow("lone cr") << "a\rb" << "a\nb";
    QTest::newRow("lf kept") << "a\nb" << "a\nb";
    QTest::newRow("empty lines kept") << "\r\n\r\na" << "\n\na";
    QTest::newRow("cr cr lf") << "a\r\r\nb" << "a\n\nb";
}

void TestLogFormat::toDisplay()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(LogFormat::toDisplay(text), expected);
}

void TestLogFormat::nextSequence_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("expected");
    QTest::newRow("counts up") << 1 << 2;
    QTest::newRow("to the largest") << 9'999'998 << 9'999'999;
    QTest::newRow("wraps") << 9'999'999 << 1;
    QTest::newRow("beyond the largest") << 10'000'000 << 1;
    // Once an overflow to a negative number; caught by the sanitizers.
    QTest::newRow("largest int") << std::numeric_limits<int>::max() << 1;
    QTest::newRow("zero") << 0 << 1;
    QTest::newRow("smallest int") << std::numeric_limits<int>::min() << 1;
}

void TestLogFormat::nextSequence()
{
    QFETCH(int, current);
    QFETCH(int, expected);
    QCOMPARE(LogFormat::nextSequence(current), expected);
}

QTEST_APPLESS_MAIN(TestLogFormat)
#include "tst_logformat.moc"
