#include <QtTest>

#include "xml/DomDocument.h"
#include "xml/Latin1Xml.h"

using namespace owb;

namespace {

// What a reader of the document gets: every text and attribute value, in document order.
QStringList content(const DomDocument &doc)
{
    QStringList out;
    for (const DomNode &n : doc.selectNodes("//text() | //@*"))
        out << n.nodeName() + "=" + n.nodeValue();
    return out;
}

} // namespace

class TestLatin1Xml : public QObject {
    Q_OBJECT
private slots:
    void sameContentInLatin1_data();
    void sameContentInLatin1();
    void noPlaceForAReference_data();
    void noPlaceForAReference();
};

void TestLatin1Xml::sameContentInLatin1_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("keepsCData");
    QTest::newRow("latin-1 only") << QString::fromUtf8("<a x='é'>Müller &amp; Söhne</a>") << false;
    QTest::newRow("cjk text and attribute") << QString::fromUtf8("<a city=\"北京\">茶叶 – tea</a>") << false;
    QTest::newRow("outside the BMP") << QString::fromUtf8("<a>😀 ok</a>") << false;
    QTest::newRow("latin-1 cdata stays") << QString::fromUtf8("<a><![CDATA[<é> & ]]></a>") << true;
    QTest::newRow("cjk cdata as text") << QString::fromUtf8("<a><![CDATA[请 <b> & ]] > 周一]]></a>") << false;
    QTest::newRow("cjk cdata ending in ]] before >") << QString::fromUtf8("<a><![CDATA[周]]]]>></a>") << false;
    QTest::newRow("cdata beside text")
        << QString::fromUtf8("<a>x<![CDATA[€\r\n]]>y<![CDATA[plain]]></a>") << true;
    // Fuzzer finding: a CR before a wide section and the section's first LF read as one line end.
    QTest::newRow("wide cdata after a CR, with CRs inside")
        << QString::fromUtf8("<a>\r\r<![CDATA[\n€\r\r\n]]>\n</a>") << false;
    QTest::newRow("comment and pi in latin-1 beside cjk text")
        << QString::fromUtf8("<a><!-- é --><?p é?>中</a>") << false;
}

void TestLatin1Xml::sameContentInLatin1()
{
    QFETCH(QString, xml);
    QFETCH(bool, keepsCData);
    Latin1Xml::Failure failure;
    const std::optional<QByteArray> bytes = Latin1Xml::encode(xml, Latin1Xml::CDataMode::AsText, &failure);
    QVERIFY2(bytes.has_value(), qPrintable(failure.place));
    for (const char c : *bytes)
        QVERIFY(c != '\0');
    QCOMPARE(bytes->contains("<![CDATA["), keepsCData);

    DomDocument original, written;
    original.setPreserveWhiteSpace(true);
    written.setPreserveWhiteSpace(true);
    QVERIFY(original.loadXML(xml));
    QVERIFY2(written.loadBytes("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>" + *bytes),
             qPrintable(written.parseError().reason));
    // CDATA and text nodes read alike; only the joined text matters.
    QCOMPARE(written.documentElement().text(), original.documentElement().text());
    QCOMPARE(content(written).filter(QRegularExpression("^[^#]")), content(original).filter(QRegularExpression("^[^#]")));
}

void TestLatin1Xml::noPlaceForAReference_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("place");
    QTest::addColumn<int>("line");
    QTest::newRow("comment") << QString::fromUtf8("<a>\n<!-- 中 --></a>") << "a comment" << 2;
    QTest::newRow("pi") << QString::fromUtf8("<a><?x €?></a>") << "a processing instruction" << 1;
    QTest::newRow("element name") << QString::fromUtf8("<a>\n\n<数据/></a>") << "an element or attribute name" << 3;
    QTest::newRow("doctype") << QString::fromUtf8("<!DOCTYPE a [<!ENTITY e \"€\">]><a/>")
                             << "a document type declaration" << 1;
}

void TestLatin1Xml::noPlaceForAReference()
{
    QFETCH(QString, xml);
    QFETCH(QString, place);
    QFETCH(int, line);
    Latin1Xml::Failure failure;
    QVERIFY(!Latin1Xml::encode(xml, Latin1Xml::CDataMode::AsText, &failure).has_value());
    QCOMPARE(failure.place, place);
    QCOMPARE(failure.line, line);
    QVERIFY(failure.character > 0xFF);

    QString broken = "<a>x</a>";
    broken.insert(4, QChar(0xD800));
    QVERIFY(!Latin1Xml::encode(broken, Latin1Xml::CDataMode::AsText, &failure).has_value());
    QVERIFY(failure.brokenCharacter);
    QCOMPARE(failure.position, qsizetype(4));
}

QTEST_GUILESS_MAIN(TestLatin1Xml)
#include "tst_latin1xml.moc"
