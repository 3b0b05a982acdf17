#include "common/OstrelError.h"
#include "server/FormEncoder.h"

#include <QTest>
#include <QXmlStreamReader>

using namespace owb;

namespace {

// What a server does with the body value: %XX and "+" decoded, bytes read as ISO-8859-1.
QString formDecodeLatin1(const QByteArray &encoded)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            bytes.append(' ');
        } else if (c == '%' && i + 2 < encoded.size()) {
            bool ok = false;
            bytes.append(static_cast<char>(encoded.mid(i + 1, 2).toInt(&ok, 16)));
            if (!ok)
                return QStringLiteral("<bad escape>");
            i += 2;
        } else {
            bytes.append(c);
        }
    }
    return QString::fromLatin1(bytes);
}

// Everything a parser reports, with references resolved: equal lists mean the same document.
QStringList parsed(const QString &xml)
{
    QStringList out;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        r.readNext();
        out << r.tokenString() + ":" + r.qualifiedName().toString() + ":" + r.text().toString();
        for (const auto &a : r.attributes())
            out << "@" + a.qualifiedName().toString() + "=" + a.value().toString();
    }
    if (r.hasError())
        out << "ERROR " + r.errorString();
    return out;
}

} // namespace

class TestFormEncoder : public QObject {
    Q_OBJECT
private slots:
    void plainTextExact_data();
    void plainTextExact();
    void plainTextOutsideLatin1Fails();
    void xmlSurvivesTheRoundTrip_data();
    void xmlSurvivesTheRoundTrip();
    void xmlWithoutReferenceFails_data();
    void xmlWithoutReferenceFails();
};

void TestFormEncoder::plainTextExact_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("delete path") << "Order[@osl:id=7]" << QByteArray("Order%5B%40osl%3Aid%3D7%5D");
    QTest::newRow("plus and blank") << "a+b c" << QByteArray("a%2Bb%20c");
    QTest::newRow("amp percent") << "&%" << QByteArray("%26%25");
    QTest::newRow("latin-1 byte") << QString::fromUtf8("Ä é ÿ") << QByteArray("%C4%20%E9%20%FF");
    QTest::newRow("line break") << "a\r\nb" << QByteArray("a%0D%0Ab");
    QTest::newRow("empty") << "" << QByteArray("");
}

void TestFormEncoder::plainTextExact()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, encoded);
    const QByteArray got = FormEncoder().Encode(text);
    QCOMPARE(got, encoded);
    QCOMPARE(formDecodeLatin1(got), text);
}

void TestFormEncoder::plainTextOutsideLatin1Fails()
{
    // An XPath literal cannot hold a character reference: refuse instead of sending "?".
    try {
        FormEncoder().Encode(QString::fromUtf8("Order[name='中€']"));
        QFAIL("a character outside ISO-8859-1 must not be sent");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("FormEncoder"));
        QVERIFY2(e.description().contains(QString::fromUtf8("中")), qPrintable(e.description()));
        QVERIFY(e.description().contains("ISO-8859-1"));
    }
}

void TestFormEncoder::xmlSurvivesTheRoundTrip_data()
{
    QTest::addColumn<QString>("xml");
    QTest::newRow("ascii") << "<Order><total>10</total></Order>";
    QTest::newRow("latin-1 text") << QString::fromUtf8("<Order><n>Müller &amp; Söhne + 1</n></Order>");
    QTest::newRow("euro in text") << QString::fromUtf8("<Order><price>12 €</price></Order>");
    QTest::newRow("cjk in attribute") << QString::fromUtf8("<Order city='北京' x=\"€\"/>");
    QTest::newRow("outside bmp") << QString::fromUtf8("<a>😀 ok</a>");
    QTest::newRow("gt inside attribute") << QString::fromUtf8("<a v='1 > 0 中'>中</a>");
    QTest::newRow("latin-1 in comment, pi, cdata")
        << QString::fromUtf8("<?xml version=\"1.0\"?><!-- é --><?x é?><a><![CDATA[é <b> ]]>中</a>");
    QTest::newRow("doctype then text")
        << QString::fromUtf8("<!DOCTYPE a [<!ENTITY e \"x\">]><a>€&e;</a>");
    QTest::newRow("id and namespace")
        << QString::fromUtf8("<Order xmlns:osl='http://namespaces.ostrel.org/ostrel/response2' "
                             "osl:id='3'>Ω</Order>");
}

void TestFormEncoder::xmlSurvivesTheRoundTrip()
{
    QFETCH(QString, xml);
    const QByteArray encoded = FormEncoder().EncodeXml(xml);
    for (const char c : encoded)
        QVERIFY2(QByteArrayView("-._~%").contains(c) || std::isalnum(static_cast<unsigned char>(c)),
                 encoded.constData());
    const QString onServer = formDecodeLatin1(encoded);
    QCOMPARE(parsed(onServer), parsed(xml));
    QVERIFY(!parsed(xml).last().startsWith("ERROR"));
}

void TestFormEncoder::xmlWithoutReferenceFails_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("place");
    QTest::newRow("comment") << QString::fromUtf8("<a><!-- 中 --></a>") << "a comment";
    QTest::newRow("pi") << QString::fromUtf8("<a><?x €?></a>") << "a processing instruction";
    QTest::newRow("cdata") << QString::fromUtf8("<a><![CDATA[€]]></a>") << "a CDATA section";
    QTest::newRow("element name") << QString::fromUtf8("<数据>x</数据>") << "an element or attribute name";
    QTest::newRow("attribute name") << QString::fromUtf8("<a 名='x'/>") << "an element or attribute name";
    QTest::newRow("doctype") << QString::fromUtf8("<!DOCTYPE a [<!ENTITY e \"€\">]><a/>")
                             << "a document type declaration";
}

void TestFormEncoder::xmlWithoutReferenceFails()
{
    QFETCH(QString, xml);
    QFETCH(QString, place);
    try {
        FormEncoder().EncodeXml(xml);
        QFAIL("no lossless form exists here");
    } catch (const OstrelError &e) {
        QCOMPARE(e.source(), QStringLiteral("FormEncoder"));
        QVERIFY2(e.description().contains(place), qPrintable(e.description()));
    }
}

QTEST_GUILESS_MAIN(TestFormEncoder)
#include "tst_formencoder.moc"
