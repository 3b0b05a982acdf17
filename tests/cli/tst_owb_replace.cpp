#include <QtTest>

#include "cli/OwbRun.h"
#include "common/HttpClient.h"
#include "server/ServerClient.h"
#include "support/OstreldProcess.h"
#include "support/ReplaceExpect.h"

using owbtest::Owb;
using owbtest::OwbResult;

namespace {

using owbtest::applied;
using owbtest::Documents;

const QString kFilter = QStringLiteral("@key='A001' or @key='A003' or @key='A005'");
// The documents as stored, every blank between their elements included.
const owb::RequestOptions kBlanks{{}, nullptr, true};

} // namespace

// owb replace and owb restore against the demo library; each test has a server of its own.
class TestOwbReplace : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_server.reset(); }
    void dryRunReplaceRestore();
    void refusedBeforeAnything_data();
    void refusedBeforeAnything();
    void aFailingDocumentIsLeftAndTheRunGoesOn();

private:
    QStringList args(const QString &command, const QStringList &rest) const
    {
        return QStringList{command, m_server->databaseURI(), QStringLiteral("Library")} + rest;
    }
    // The stored Authors by id, each as its text; ids are 1.. in file order.
    Documents stored(QList<qint32> ids = {1, 3, 5}) const
    {
        const owb::HttpClient http;
        const owb::ServerClient server(http);
        Documents out;
        for (qint32 id : ids)
            out.insert(id, server.fetch(m_server->databaseURI() + QStringLiteral("/Library"), QStringLiteral("Author"), id, kBlanks).xml());
        return out;
    }
    std::unique_ptr<owbtest::OstreldProcess> m_server;
    Owb m_owb;
};

void TestOwbReplace::init()
{
    m_server = std::make_unique<owbtest::OstreldProcess>();
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
}

void TestOwbReplace::dryRunReplaceRestore()
{
    const Documents before = stored();
    const OwbResult dry = m_owb.run(args("replace", {"Author", "//born", "2000", kFilter, "--dry-run"}));
    QVERIFY2(dry.exitCode == 0, dry.describe());
    QCOMPARE(dry.outLines(), (QStringList{"1\t./born/text()\t1888\t2000", "3\t./born/text()\t1858\t2000",
                                          "5\t./born/text()\t1918\t2000"}));
    QCOMPARE(stored(), before);

    QTemporaryDir images;
    const OwbResult done = m_owb.run(args("replace", {"Author", "//born", "2000", kFilter, "--before-images", images.path()}));
    QVERIFY2(done.exitCode == 0, done.describe());
    QCOMPARE(done.outLines(), (QStringList{"1\t1", "3\t1", "5\t1"}));
    // Exactly the matches changed; every other part of every document as it was.
    QVERIFY(before.value(1).contains("\n  <born>"));
    QCOMPARE(stored(), applied(before, {"//born", "2000", false, false, {}}));
    QCOMPARE(QDir(images.path()).entryList(QDir::Files), (QStringList{"Author_1.xml", "Author_3.xml", "Author_5.xml"}));

    const OwbResult back = m_owb.run(args("restore", {images.path()}));
    QVERIFY2(back.exitCode == 0, back.describe());
    QCOMPARE(back.outLines(), (QStringList{"1", "3", "5"}));
    QCOMPARE(stored(), before);
}

void TestOwbReplace::refusedBeforeAnything_data()
{
    QTest::addColumn<QStringList>("rest");
    QTest::addColumn<QString>("error");
    QTest::newRow("xpath") << QStringList{"//born[", "1", kFilter} << "Invalid XPath expression \"//born[\" at position 8";
    QTest::newRow("prefix") << QStringList{"//nope:born", "1", kFilter} << "at position 3: Undefined namespace prefix";
    QTest::newRow("fragment") << QStringList{"//born", "<a>", kFilter, "--fragment"} << "The XML fragment is not well-formed";
}

void TestOwbReplace::refusedBeforeAnything()
{
    QFETCH(QStringList, rest);
    QFETCH(QString, error);
    const Documents before = stored();
    const OwbResult r = m_owb.run(args("replace", QStringList{"Author"} + rest));
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(QString::fromUtf8(r.err).contains(error), r.describe().constData());
    QVERIFY(r.out.isEmpty());
    QCOMPARE(stored(), before);
}

void TestOwbReplace::aFailingDocumentIsLeftAndTheRunGoesOn()
{
    const Documents before = stored();
    const OwbResult r = m_owb.run(args("replace", {"Author", "/Author[@key='A001'] | //born", "<year>1</year>", kFilter,
                                                   "--fragment"}));
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.outLines(), (QStringList{"3\t1", "5\t1"}));
    QVERIFY2(r.err.contains("Document Author_1 left as it was: An XML fragment cannot replace the document element"),
             r.describe().constData());
    const Documents after = stored();
    QCOMPARE(after.value(1), before.value(1));
    QVERIFY(after.value(3).contains("<year>1</year>") && !after.value(3).contains("<born>"));
}

QTEST_GUILESS_MAIN(TestOwbReplace)
#include "tst_owb_replace.moc"
