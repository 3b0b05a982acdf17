// The document window's state and server traffic, without widgets, against ostreld.
#include "WorkbenchFixture.h"

#include "common/OstrelError.h"
#include "common/LocalHttpServer.h"
#include "workbench/DocumentSession.h"
#include "workbench/DocumentTarget.h"
#include "xml/MemoryDocumentList.h"

#include <QtTest>

using namespace wbtest;
using owb::DocumentSession;
using owb::DocumentTarget;
using owb::MemoryDocumentList;

class TestDocumentSession : public QObject {
    Q_OBJECT

    std::unique_ptr<IsolatedHome> m_home;

    // A session on the shop's Order documents of server.
    struct Open {
        Context ctx;
        DocumentTarget target;
        MemoryDocumentList list;
        std::unique_ptr<DocumentSession> session;
        explicit Open(const Server &server) : ctx(server.databaseURI())
        {
            target.ParseOstrelURI(server.openingURI(QStringLiteral("Order")));
            session = std::make_unique<DocumentSession>(ctx.app(), target, list);
        }
    };

private slots:
    void initTestCase() { m_home = std::make_unique<IsolatedHome>(); }
    void contextMustBeComplete_data();
    void contextMustBeComplete();
    void queryAndFetch();
    void failedQueryThrows();
    void goneDocumentLeavesTheList();
    void unreachableServerIsReported();
    void parseDocumentText();
    void storeAndRemove();
};

void TestDocumentSession::contextMustBeComplete_data()
{
    QTest::addColumn<QString>("missing");
    QTest::newRow("http") << "http";
    QTest::newRow("connection") << "connection";
    QTest::newRow("encoder") << "encoder";
}

void TestDocumentSession::contextMustBeComplete()
{
    QFETCH(QString, missing);
    Context ctx;
    owb::AppContext app = ctx.app();
    if (missing == "http")
        app.http = nullptr;
    else if (missing == "connection")
        app.connection = nullptr;
    else
        app.formEncoder = nullptr;
    DocumentTarget target;
    MemoryDocumentList list;
    QVERIFY_THROWS_EXCEPTION(owb::OstrelError, DocumentSession{app, target, list});
}

void TestDocumentSession::queryAndFetch()
{
    Server server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    Open o(server);
    o.session->RunQuery(QStringLiteral(" total>10 "));
    QCOMPARE(o.list.texts(), (QStringList{"osl:id=1", "osl:id=3", "osl:id=4"}));
    QCOMPARE(o.list.ids(), (QList<qint32>{1, 3, 4}));

    // Nothing selected: nothing fetched.
    QVERIFY(o.session->FetchSelectedDocument().isNull());
    QVERIFY(!o.session->fetchSelected());

    o.list.setCurrentIndex(1);
    QVERIFY(o.session->fetchSelected());
    QCOMPARE(o.session->CurrentElement().selectSingleNode(QStringLiteral("customer")).text(), QStringLiteral("Cy"));
    QVERIFY(o.session->currentElementXml().contains(QStringLiteral("osl:id=\"3\"")));
    QVERIFY(o.ctx.ui.shown.isEmpty());
}

void TestDocumentSession::failedQueryThrows()
{
    Server server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    Open o(server);
    try {
        o.session->RunQuery(QStringLiteral("customer=="));
        QFAIL("a refused query must throw");
    } catch (const owb::OstrelError &e) {
        QVERIFY2(e.description().contains(QStringLiteral("Query failed, reason")), qPrintable(e.description()));
    }
    QVERIFY(o.ctx.ui.shown.isEmpty());
}

void TestDocumentSession::goneDocumentLeavesTheList()
{
    Server server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    Open o(server);
    o.list.addEntry(QStringLiteral("osl:id=2"), 2);
    o.list.addEntry(QStringLiteral("osl:id=999"), 999);
    o.list.setCurrentIndex(1);
    o.session->setDeleteArmed(true);
    QVERIFY(!o.session->fetchSelected());
    QCOMPARE(o.list.texts(), QStringList{"osl:id=2"});
    QCOMPARE(o.list.currentIndex(), -1);
    QVERIFY(!o.session->hasCurrentElement());
    // The armed Delete does not wait for the next document shown.
    QVERIFY(!o.session->DeleteArmed());
    QVERIFY(o.ctx.ui.shown.isEmpty());
}

void TestDocumentSession::unreachableServerIsReported()
{
    Context ctx;
    DocumentTarget target;
    target.ParseOstrelURI(QStringLiteral("http://127.0.0.1:%1/ostrel/mydb/Shop?_xql=Order").arg(owbtest::closedPort()));
    MemoryDocumentList list;
    DocumentSession session(ctx.app(), target, list);
    list.addEntry(QStringLiteral("osl:id=1"), 1);
    list.setCurrentIndex(0);
    QVERIFY(session.FetchSelectedDocument().isNull());
    QCOMPARE(list.count(), 1); // a failed fetch is no proof that the document is gone
    QCOMPARE(ctx.ui.shown.size(), 1);
    QCOMPARE(ctx.ui.shown.first().title, QStringLiteral("An error has been raised"));
    QCOMPARE(ctx.ui.shown.first().icon, owb::UserInteraction::Icon::Exclamation);
    QVERIFY(ctx.ui.shown.first().text.startsWith(QStringLiteral("Failed to load document (")));
}

void TestDocumentSession::parseDocumentText()
{
    Context ctx;
    DocumentTarget target;
    MemoryDocumentList list;
    DocumentSession session(ctx.app(), target, list);
    session.ParseDocumentText(QStringLiteral("<Order><customer>Z</customer></Order>"));
    QCOMPARE(session.CurrentElement().nodeName(), QStringLiteral("Order"));
    try {
        session.ParseDocumentText(QStringLiteral("<Order><customer>Z</Order>"));
        QFAIL("text that is not well-formed must throw");
    } catch (const owb::OstrelError &e) {
        QVERIFY(e.description().startsWith(QStringLiteral("Failed to load XML content\r\n")));
        QVERIFY(e.description().size() > QStringLiteral("Failed to load XML content\r\n").size());
    }
    QVERIFY(session.currentElementXml().contains(QStringLiteral("<customer>Z</customer>")));
}

void TestDocumentSession::storeAndRemove()
{
    Server server;
    QVERIFY2(server.ok(), qPrintable(server.error()));
    Open o(server);
    o.list.addEntry(QStringLiteral("osl:id=1"), 1);
    const QString id = o.session->ProcessDocument(QStringLiteral("<Order><customer>New</customer></Order>"));
    QVERIFY(id.toInt() > 4);
    QCOMPARE(o.list.texts(), (QStringList{"osl:id=1", "+ osl:id=" + id}));
    QCOMPARE(o.list.currentIndex(), 1);

    QVERIFY(o.session->fetchSelected());
    QCOMPARE(o.session->CurrentElement().getAttribute(QStringLiteral("osl:id")), id);
    o.session->RemoveCurrentDocument();
    QVERIFY(o.session->hasCurrentElement());
    QVERIFY(!o.session->CurrentElement().hasAttribute(QStringLiteral("osl:id")));
    QVERIFY(!o.session->fetchSelected()); // gone from the server now
    QCOMPARE(o.list.texts(), QStringList{"osl:id=1"});

    // Without an id there is nothing on the server to remove.
    o.session->ParseDocumentText(QStringLiteral("<Order/>"));
    QVERIFY_THROWS_EXCEPTION(owb::OstrelError, o.session->RemoveCurrentDocument());
}

QTEST_GUILESS_MAIN(TestDocumentSession)
#include "tst_documentsession.moc"
