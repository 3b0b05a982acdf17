#include "xml/NodeEdit.h"
#include "common/OstrelError.h"

#include <QtTest>

using namespace owb;

class TestNodeEdit : public QObject {
    Q_OBJECT
private slots:
    void setValue_data();
    void setValue();
    void valueOfPath();
    void throughEntityReferences();
};

void TestNodeEdit::setValue_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("xml");
    const QString v = QStringLiteral("V");
    QTest::newRow("text of an element") << "./a/text()" << true << "<r><a>V</a><b><c/>tail</b><d><!--n-->x</d><e/><f k=\"1\"/></r>";
    QTest::newRow("first child element replaced") << "./b/text()" << true
                                                   << "<r><a>old</a><b>Vtail</b><d><!--n-->x</d><e/><f k=\"1\"/></r>";
    QTest::newRow("first child comment replaced") << "./d/text()" << true
                                                   << "<r><a>old</a><b><c/>tail</b><d>Vx</d><e/><f k=\"1\"/></r>";
    QTest::newRow("empty element gets text") << "./e/text()" << true
                                              << "<r><a>old</a><b><c/>tail</b><d><!--n-->x</d><e>V</e><f k=\"1\"/></r>";
    QTest::newRow("attribute") << "./f/@k" << true << "<r><a>old</a><b><c/>tail</b><d><!--n-->x</d><e/><f k=\"V\"/></r>";
    QTest::newRow("selects nothing") << "./g/text()" << false << "<r><a>old</a><b><c/>tail</b><d><!--n-->x</d><e/><f k=\"1\"/></r>";
    QTest::newRow("empty path") << "/text()" << false << "<r><a>old</a><b><c/>tail</b><d><!--n-->x</d><e/><f k=\"1\"/></r>";
}

void TestNodeEdit::setValue()
{
    QFETCH(QString, path);
    QFETCH(bool, changed);
    QFETCH(QString, xml);
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<r><a>old</a><b><c/>tail</b><d><!--n-->x</d><e/><f k=\"1\"/></r>")));
    QCOMPARE(setNodeValueAt(doc.documentElement(), path, QStringLiteral("V")), changed);
    QCOMPARE(doc.documentElement().xml(), xml);
}

void TestNodeEdit::valueOfPath()
{
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<r><a>x &amp; y</a><b/><f k=\"1\"/></r>")));
    const DomNode r = doc.documentElement();
    QCOMPARE(nodeValueAt(r, QStringLiteral("./a/text()")), QStringLiteral("x & y"));
    QCOMPARE(nodeValueAt(r, QStringLiteral("./f/@k")), QStringLiteral("1"));
    QCOMPARE(nodeValueAt(r, QStringLiteral("./b/text()")), QString());
    QVERIFY_THROWS_EXCEPTION(OstrelError, nodeValueAt(r, QStringLiteral("./a[")));
}

void TestNodeEdit::throughEntityReferences()
{
    // The tree shows an entity's text; an edit replaces the text it was read from, whole.
    DomDocument doc;
    QVERIFY(doc.loadXML(QStringLiteral("<!DOCTYPE r [<!ENTITY e \"E\">]><r><a>x &e; y<c/>z</a><b>&e;</b></r>")));
    const DomNode r = doc.documentElement();
    QCOMPARE(nodeValueAt(r, QStringLiteral("./a/text()")), QStringLiteral("x E y"));
    QCOMPARE(nodeValueAt(r, QStringLiteral("./b/text()")), QStringLiteral("E"));
    QVERIFY(setNodeValueAt(r, QStringLiteral("./a/text()"), QStringLiteral("V")));
    QCOMPARE(r.xml(), QStringLiteral("<r><a>V<c/>z</a><b>&e;</b></r>"));
}

QTEST_GUILESS_MAIN(TestNodeEdit)
#include "tst_nodeedit.moc"
