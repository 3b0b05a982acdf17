#include "common/UrlEncoding.h"

#include <QTest>

using namespace owb;

class TestUrlEncoding : public QObject {
    Q_OBJECT
private slots:
    void queryValue_data();
    void queryValue();
    void pathSegment_data();
    void pathSegment();
    void decodesBackToTheSameText_data();
    void decodesBackToTheSameText();
};

void TestUrlEncoding::queryValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("unreserved stays") << "Order-1.x_y~Z9" << QByteArray("Order-1.x_y~Z9");
    QTest::newRow("blank and plus") << "a b+c" << QByteArray("a%20b%2Bc");
    QTest::newRow("amp hash apostrophe") << "x='a&b#c'" << QByteArray("x%3D%27a%26b%23c%27");
    QTest::newRow("xpath") << "Order[@osl:id=7]" << QByteArray("Order%5B%40osl%3Aid%3D7%5D");
    QTest::newRow("latin-1 as utf-8") << QString::fromUtf8("ä") << QByteArray("%C3%A4");
    QTest::newRow("euro") << QString::fromUtf8("€") << QByteArray("%E2%82%AC");
    QTest::newRow("outside bmp") << QString::fromUtf8("😀") << QByteArray("%F0%9F%98%80");
    QTest::newRow("percent and slash") << "50%/x" << QByteArray("50%25%2Fx");
    QTest::newRow("empty") << "" << QByteArray("");
}

void TestUrlEncoding::queryValue()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, encoded);
    QCOMPARE(UrlEncoding::encodeQueryValue(text), encoded);
}

void TestUrlEncoding::pathSegment_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("colon and at stay") << "osl:collection@x" << QByteArray("osl:collection@x");
    QTest::newRow("slash is escaped") << "a/b" << QByteArray("a%2Fb");
    QTest::newRow("blank and hash") << "my file#1.gif" << QByteArray("my%20file%231.gif");
    QTest::newRow("question mark") << "a?b" << QByteArray("a%3Fb");
    QTest::newRow("non-ascii") << QString::fromUtf8("中.gif") << QByteArray("%E4%B8%AD.gif");
}

void TestUrlEncoding::pathSegment()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, encoded);
    QCOMPARE(UrlEncoding::encodePathSegment(text), encoded);
}

void TestUrlEncoding::decodesBackToTheSameText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("filter") << QString::fromUtf8("total>10 and name='O''Neil & Söhne #1+2 €中'");
    QTest::newRow("controls") << QString::fromUtf8("a\tb\nc");
}

void TestUrlEncoding::decodesBackToTheSameText()
{
    QFETCH(QString, text);
    // Decode as a form decoder does: "+" is a blank, so a literal "+" must have been escaped.
    const QByteArray encoded = UrlEncoding::encodeQueryValue(text);
    QByteArray bytes;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == '+')
            bytes.append(' ');
        else if (encoded[i] == '%' && i + 2 < encoded.size())
            bytes.append(static_cast<char>(encoded.mid(i + 1, 2).toInt(nullptr, 16))), i += 2;
        else
            bytes.append(encoded[i]);
    }
    QCOMPARE(QString::fromUtf8(bytes), text);
}

QTEST_GUILESS_MAIN(TestUrlEncoding)
#include "tst_urlencoding.moc"
