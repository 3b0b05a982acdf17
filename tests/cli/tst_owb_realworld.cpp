#include <QtTest>

#include "cli/OwbRun.h"
#include "realworld/RealWorld.h"

using owbtest::Owb;
using owbtest::OwbResult;

// owb on files of public Debian packages, against xsltproc and xmllint on the same files.
class TestOwbRealWorld : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void transform_data();
    void transform();
    void format_data();
    void format();

private:
    Owb m_owb;
};

void TestOwbRealWorld::initTestCase()
{
    const QString gone = realworld::missing({realworld::docbookXsl(QStringLiteral("html/docbook.xsl")),
                                             realworld::upgradeStylesheet(), realworld::docbookBook(),
                                             realworld::manpageExample()});
    if (!gone.isEmpty())
        QFAIL(qPrintable(gone));
}

void TestOwbRealWorld::transform_data()
{
    QTest::addColumn<QString>("stylesheet");
    QTest::addColumn<QString>("document");
    using namespace realworld;
    QTest::newRow("entities in attribute values, EXSLT")
        << docbookXsl(QStringLiteral("template/titlepage.xsl")) << docbookXsl(QStringLiteral("fo/titlepage.templates.xml"));
    QTest::newRow("html of many files, ISO-8859-1") << docbookXsl(QStringLiteral("html/docbook.xsl")) << docbookBook();
    QTest::newRow("xhtml with a doctype") << docbookXsl(QStringLiteral("xhtml/docbook.xsl")) << docbookBook();
    QTest::newRow("fo of many files, entities in text")
        << docbookXsl(QStringLiteral("fo/docbook.xsl")) << manpageExample();
    QTest::newRow("exsl:node-set") << upgradeStylesheet() << docbookBook();
}

void TestOwbRealWorld::transform()
{
    QFETCH(QString, stylesheet);
    QFETCH(QString, document);
    const realworld::Run ref = realworld::run(QStringLiteral("xsltproc"),
                                              {QStringLiteral("--nonet"), QStringLiteral("--novalid"), stylesheet, document});
    QVERIFY2(ref.finished && ref.exitCode == 0 && !ref.out.isEmpty(), ref.err.constData());
    const OwbResult r = m_owb.run({"transform", stylesheet, document});
    QVERIFY2(r.exitCode == 0, r.describe().left(2000));
    QVERIFY2(r.out == ref.out, "owb's result differs from xsltproc's");
}

void TestOwbRealWorld::format_data()
{
    QTest::addColumn<QString>("document");
    using namespace realworld;
    QTest::newRow("entities, comments, processing instruction") << manpageExample();
    QTest::newRow("entities in attribute values") << docbookXsl(QStringLiteral("fo/titlepage.templates.xml"));
    QTest::newRow("CDATA sections") << docbookXsl(QStringLiteral("highlighting/c-hl.xml"));
    QTest::newRow("a stylesheet") << docbookXsl(QStringLiteral("html/docbook.xsl"));
}

void TestOwbRealWorld::format()
{
    QFETCH(QString, document);
    const OwbResult r = m_owb.run({"format", document});
    QVERIFY2(r.exitCode == 0, r.describe().left(2000));
    const QString formatted = m_owb.path(QStringLiteral("formatted.xml"));
    QVERIFY(owbtest::writeFile(formatted, r.out));
    const QByteArray expected = realworld::canonical(document);
    QVERIFY(!expected.isEmpty());
    QVERIFY2(realworld::canonical(formatted) == expected, "the formatted text is not the same document");
}

QTEST_GUILESS_MAIN(TestOwbRealWorld)
#include "tst_owb_realworld.moc"
