// The bounds of every parse: documents as deep as the server stores open and deeper ones are
// refused naming the limit; entity expansion stays bounded; big inputs open.
#include <QtTest>

#include "common/OstrelError.h"
#include "common/XmlLimits.h"
#include "schema/XsdValidator.h"
#include "xml/DomDocument.h"
#include "server/LookUp.h"
#include "xml/MemoryDocumentList.h"
#include "xml/Xslt.h"

#include <QTemporaryDir>

using namespace owb;

namespace {

const QByteArray kBombDtd =
    "<!DOCTYPE Order [<!ENTITY a \"lollollollollollollollollollol\">"
    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
    "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
    "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
    "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">"
    "<!ENTITY j \"&i;&i;&i;&i;&i;&i;&i;&i;&i;&i;\">]>\n";   // &j; stands for 3 * 10^9 characters

// Elements nested levels deep, the innermost holding a little text.
QByteArray nested(int levels, const QByteArray &root = "Order")
{
    QByteArray open, close;
    open.reserve(levels * 4);
    open += "<" + root + ">";
    for (int i = 1; i < levels; ++i)
        open += "<n>";
    for (int i = 1; i < levels; ++i)
        close += "</n>";
    return open + "deep" + close + "</" + root + ">";
}

// The document's own attributes go right after its name.
QByteArray withAttributes(QByteArray document, const QByteArray &attributes)
{
    return document.insert(document.indexOf("<Order") + 6, " " + attributes);
}

// A query answer holding the document; a DOCTYPE of the document heads the answer.
QByteArray answer(const QByteArray &document)
{
    const qsizetype root = document.indexOf("<Order");
    return document.left(root)
        + "<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
          "xmlns:xql=\"http://namespaces.ostrel.org/xql\"><xql:result>"
        + withAttributes(document.mid(root), "osl:id=\"1\"")
        + "</xql:result><osl:message osl:returnvalue=\"0\"><osl:messageline>1</osl:messageline></osl:message>"
          "</osl:response>";
}

const QString kDepthRefusal = QStringLiteral("deeper than %1 levels").arg(xmllimits::MaxDepth);
const QString kEntityRefusal = QStringLiteral("Entity references expand to more than");

// The parse paths; each returns the reason of a refusal, empty when the bytes were taken.
QString viaText(const QByteArray &bytes)
{
    DomDocument d;
    return d.loadXML(QString::fromUtf8(bytes)) ? QString() : d.parseError().reason;
}

QString viaFile(const QByteArray &bytes)
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("doc.xml")));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QStringLiteral("cannot write the file");
    f.close();
    DomDocument d;
    return d.load(f.fileName()) ? QString() : d.parseError().reason;
}

QString viaAnswer(const QByteArray &bytes)
{
    DomDocument d;
    d.setEnvelopeLevels(2);
    return d.loadBytes(answer(bytes)) ? QString() : d.parseError().reason;
}

QString viaLookUp(const QByteArray &bytes)
{
    MemoryDocumentList list;
    LookUp reader;
    reader.setDocumentList(&list);
    try {
        reader.parseAnswer(answer(bytes));
    } catch (const OstrelError &e) {
        return e.description();
    }
    return list.count() == 1 ? QString() : QStringLiteral("not listed");
}

QString viaStylesheet(const QByteArray &bytes)
{
    // The document becomes a literal result element: the stylesheet parse is what is tried.
    const QByteArray style =
        withAttributes(bytes, "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" xsl:version=\"1.0\"");
    try {
        XsltTransform().loadStylesheet(QString::fromUtf8(style));
    } catch (const OstrelError &e) {
        return e.description();
    }
    return {};
}

QString viaValidation(const QByteArray &bytes)
{
    QTemporaryDir dir;
    QFile doc(dir.filePath(QStringLiteral("doc.xml"))), xsd(dir.filePath(QStringLiteral("any.xsd")));
    if (!doc.open(QIODevice::WriteOnly) || doc.write(bytes) != bytes.size() || !xsd.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the files");
    xsd.write("<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:element name=\"Order\">"
              "<xs:complexType mixed=\"true\"><xs:sequence><xs:any processContents=\"skip\" minOccurs=\"0\" "
              "maxOccurs=\"unbounded\"/></xs:sequence><xs:anyAttribute processContents=\"skip\"/>"
              "</xs:complexType></xs:element></xs:schema>");
    doc.close();
    xsd.close();
    const QList<XsdValidator::Issue> issues = XsdValidator::validateFile(doc.fileName(), xsd.fileName(), 5);
    QStringList all;
    for (const XsdValidator::Issue &i : issues)
        all << i.message;
    return all.join(QLatin1Char('|'));
}

using Path = QString (*)(const QByteArray &);

} // namespace

Q_DECLARE_METATYPE(Path)

class TestParseLimits : public QObject {
    Q_OBJECT
private slots:
    void everyParse_data();
    void everyParse();
    void refusalTellsWhere();
    void schemaDocumentIsBounded();
    void externalEntitiesCountToo();
    void bigInputs_data();
    void bigInputs();
};

void TestParseLimits::everyParse_data()
{
    QTest::addColumn<Path>("path");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("refusal");   // empty: taken

    struct Kind {
        const char *name;
        Path path;
        QString entities;   // why entities are refused; empty: a few are taken
        QByteArray few = "<Order note=\"&c;&d;\">&amp;&#65;</Order>";
    };
    // A query answer is read as a stream with handlers of its own: no answer has a DTD, so
    // none is taken.
    const QString noDtd = QStringLiteral("Query answer holds a DTD");
    const QList<Kind> kinds = {
        {"editor text", &viaText, {}},       {"file", &viaFile, {}},
        {"server answer", &viaAnswer, {}},   {"query answer", &viaLookUp, noDtd},
        // A literal result element takes no entity reference in an attribute value template.
        {"stylesheet", &viaStylesheet, {}, "<Order>&c;&d;&amp;&#65;</Order>"},
        {"validation", &viaValidation, {}},
    };
    for (const Kind &k : kinds) {
        const QString bomb = k.entities.isEmpty() ? kEntityRefusal : k.entities;
        QTest::addRow("%s: as deep as stored", k.name) << k.path << nested(xmllimits::MaxDepth) << QString();
        QTest::addRow("%s: one level deeper", k.name) << k.path << nested(xmllimits::MaxDepth + 1) << kDepthRefusal;
        QTest::addRow("%s: bomb in text", k.name) << k.path << kBombDtd + "<Order>&j;</Order>" << bomb;
        QTest::addRow("%s: bomb in an attribute", k.name) << k.path << kBombDtd + "<Order note=\"&j;\"/>" << bomb;
        QTest::addRow("%s: bomb in an attribute default", k.name)
            << k.path << QByteArray(kBombDtd).replace("]>", "<!ATTLIST Order note CDATA \"&j;\">]>") + "<Order/>"
            << bomb;
        // Entities within reason still work where they did (validation cannot see into
        // references in text, so they stay in attributes by default).
        QTest::addRow("%s: a few entities", k.name) << k.path << kBombDtd + k.few << k.entities;
    }
}

void TestParseLimits::everyParse()
{
    QFETCH(Path, path);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, refusal);
    const QString got = path(bytes);
    if (refusal.isEmpty())
        QVERIFY2(got.isEmpty(), qPrintable(got));
    else
        QVERIFY2(got.contains(refusal), qPrintable(got));
}

void TestParseLimits::refusalTellsWhere()
{
    // The line of the element past the limit, and no stale text of the parser's own.
    DomDocument d;
    QVERIFY(!d.loadXML(QStringLiteral("<?xml version=\"1.0\"?>\n\n") + QString::fromUtf8(nested(xmllimits::MaxDepth + 1))));
    QCOMPARE(d.parseError().reason,
             QStringLiteral("The document nests elements deeper than 2048 levels, the most that is accepted"));
    QCOMPARE(d.parseError().line, 3);
    // A failed load keeps what was loaded before.
    QVERIFY(d.loadXML(QStringLiteral("<a/>")));
    QVERIFY(!d.loadXML(QString::fromUtf8(kBombDtd + "<Order>&j;</Order>")));
    QCOMPARE(d.documentElement().nodeName(), QStringLiteral("a"));
}

void TestParseLimits::schemaDocumentIsBounded()
{
    QTemporaryDir dir;
    QFile doc(dir.filePath(QStringLiteral("doc.xml"))), xsd(dir.filePath(QStringLiteral("bomb.xsd")));
    QVERIFY(doc.open(QIODevice::WriteOnly) && xsd.open(QIODevice::WriteOnly));
    doc.write("<Order/>");
    xsd.write(QByteArray(kBombDtd).replace("Order", "xs:schema")
              + "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:annotation><xs:documentation>&j;"
                "</xs:documentation></xs:annotation><xs:element name=\"Order\"/></xs:schema>");
    doc.close();
    xsd.close();
    const QList<XsdValidator::Issue> issues = XsdValidator::validateFile(doc.fileName(), xsd.fileName(), 5);
    QCOMPARE(issues.size(), 1);
    QVERIFY2(issues[0].message.contains(kEntityRefusal), qPrintable(issues[0].message));
    QVERIFY(!issues[0].inDocument);
}

void TestParseLimits::externalEntitiesCountToo()
{
    // A stylesheet's modules may read external entities from local files: their text counts.
    QTemporaryDir dir;
    QFile ent(dir.filePath(QStringLiteral("big.ent"))), doc(dir.filePath(QStringLiteral("doc.xsl")));
    QVERIFY(ent.open(QIODevice::WriteOnly) && doc.open(QIODevice::WriteOnly));
    ent.write(QByteArray(1'100'000, 'x'));
    doc.write("<!DOCTYPE a [<!ENTITY e SYSTEM \"big.ent\">]><a>" + QByteArray("&e;").repeated(10) + "</a>");
    ent.close();
    doc.close();
    DomDocument d;
    d.setEntities(DomEntities::WithLocalFiles);
    QVERIFY(!d.load(doc.fileName()));
    QVERIFY2(d.parseError().reason.contains(kEntityRefusal), qPrintable(d.parseError().reason));
}

void TestParseLimits::bigInputs_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // Text nodes and a line past libxml2's own 10 MB bounds.
    QByteArray text;
    const QByteArray line(99, 'x');
    text.reserve(12'000'000);
    while (text.size() < 11'000'000)
        text += line + '\n';
    QTest::newRow("text-heavy, 33 MB")
        << "<Order><p>" + text + "</p><p>" + text + "</p><p>" + text + "</p></Order>";
    QTest::newRow("one line of 12 MB") << "<Order><p a=\"" + QByteArray(1000, 'v') + "\">" + QByteArray(12'000'000, 'y')
                                               + "</p></Order>";
}

void TestParseLimits::bigInputs()
{
    QFETCH(QByteArray, bytes);
    QCOMPARE(viaText(bytes), QString());
    QCOMPARE(viaAnswer(bytes), QString());
    QCOMPARE(viaLookUp(bytes), QString());
}

QTEST_GUILESS_MAIN(TestParseLimits)
#include "tst_parselimits.moc"
