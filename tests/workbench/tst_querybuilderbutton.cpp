// Command3 of the document window: the query builder over the document shown, its filter
// taken into the query box and run against ostreld.
#include "WorkbenchFixture.h"
#include "support/NamedChildren.h"

#include "workbench/frmOstrelClient.h"
#include "support/DocTree.h"
#include "xpath/frmXPathQryBuilder.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using owb::frmOstrelClient;
using owb::frmXPathQryBuilder;
using namespace wbtest;

namespace {

QStringList listTexts(QListWidget *list)
{
    QStringList t;
    for (int i = 0; i < list->count(); ++i)
        t << list->item(i)->text();
    return t;
}

bool clickNode(frmXPathQryBuilder *b, const QString &key)
{
    auto *tree = b->findChild<QTreeView *>("tvDocument");
    tree->expandAll();
    const QModelIndex i = owbtest::docTreeIndex(tree, key);
    if (!i.isValid())
        return false;
    tree->scrollTo(i);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(i).center());
    return true;
}

} // namespace

class TestQueryBuilderButton : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void withoutDocumentSaysSo();
    void acceptedFilterFindsItsDocuments();
    void cancelLeavesTheFilter();
    void startsFromTheFilterAndSaysWhatItCannotCarry();
    void oneBuilderPerWindow();
    void closingTheWindowClosesItsBuilder();

private:
    struct Opened {
        std::unique_ptr<Context> ctx;
        std::unique_ptr<frmOstrelClient> w;
        QLineEdit *filter() const { return w->findChild<QLineEdit *>("txtQry"); }
        QListWidget *list() const { return w->findChild<QListWidget *>("lstDocuments"); }
        void query(const QString &f) const
        {
            filter()->setText(f);
            w->findChild<QAction *>("Query")->trigger();
        }
        void pressCommand3() const
        {
            QTest::mouseClick(w->findChild<QPushButton *>("Command3"), Qt::LeftButton);
        }
        // The builder the window showed last; nullptr when none.
        frmXPathQryBuilder *builder() const
        {
            for (auto it = ctx->main.shown.crbegin(); it != ctx->main.shown.crend(); ++it)
                if (auto *b = qobject_cast<frmXPathQryBuilder *>(it->data()))
                    return b;
            return nullptr;
        }
    };
    Opened open()
    {
        Opened o;
        o.ctx = std::make_unique<Context>(m_server->databaseURI());
        o.w = std::make_unique<frmOstrelClient>(o.ctx->app());
        o.w->setDoctype("Shop/Order");
        o.w->Init(m_server->openingURI("Order"));
        o.w->show();
        return o;
    }

    std::unique_ptr<IsolatedHome> m_home;
    std::unique_ptr<Server> m_server;
};

void TestQueryBuilderButton::initTestCase()
{
    m_home = std::make_unique<IsolatedHome>();
    {
        Context ctx;
        frmOstrelClient probe(ctx.app());
        const QString missing = owbtest::missingChildren(
            &probe, {owbtest::named<QLineEdit>("txtQry"),
                     owbtest::named<QListWidget>("lstDocuments"),
                     owbtest::named<QAction>("Query"),
                     owbtest::named<QTreeView>("tvDocument"),
                     owbtest::named<QPushButton>("Command3")});
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("the window lacks ") + missing));
    }
    m_server = std::make_unique<Server>();
    if (!m_server->ok())
        QFAIL(qPrintable(m_server->error()));
}

void TestQueryBuilderButton::withoutDocumentSaysSo()
{
    Opened o = open();
    o.pressCommand3();
    QVERIFY(!o.builder());
    QCOMPARE(o.ctx->main.lastStatus(), "A document must be selected first to start the XPath Query Builder");
    QVERIFY(o.ctx->ui.shown.isEmpty());
}

void TestQueryBuilderButton::acceptedFilterFindsItsDocuments()
{
    Opened o = open();
    o.query("");
    QCOMPARE(o.list()->count(), 4);   // Ann, Bob, Cy, Dee; Ann shown
    o.pressCommand3();
    QPointer<frmXPathQryBuilder> b = o.builder();
    QVERIFY(b);
    QCOMPARE(b->rootName(), "Order");

    auto *box = b->findChild<QLineEdit *>("txtExpression");
    QVERIFY(clickNode(b, "./total"));
    QCOMPARE(box->text(), "Order[total/text()]");
    box->setFocus();
    box->setCursorPosition(int(box->text().size()) - 1);
    QTest::keyClicks(box, ">10");
    o.ctx->ui.questionAnswers << true;
    QVERIFY(clickNode(b, "./item/@no"));
    QCOMPARE(box->text(), "Order[total/text()>10 item/@no]");
    box->setCursorPosition(21);   // behind ">10"
    QTest::mouseClick(b->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    QCOMPARE(box->text(), "Order[total/text()>10 and  item/@no]");

    QTest::mouseClick(b->findChild<QPushButton *>("Command8"), Qt::LeftButton);
    QCOMPARE(o.filter()->text(), "total/text()>10 and  item/@no");
    QTRY_VERIFY_WITH_TIMEOUT(!b, 5000);

    // Only Ann has items and a total over 10 (Bob's total is 5, Cy and Dee have no items).
    o.w->findChild<QAction *>("Query")->trigger();
    QCOMPARE(listTexts(o.list()), QStringList{"osl:id=1"});
}

void TestQueryBuilderButton::cancelLeavesTheFilter()
{
    Opened o = open();
    o.query("customer='Bob'");
    QCOMPARE(listTexts(o.list()), QStringList{"osl:id=2"});
    o.pressCommand3();
    QPointer<frmXPathQryBuilder> b = o.builder();
    QVERIFY(b);
    QVERIFY(clickNode(b, "./item/@no"));
    QTest::mouseClick(b->findChild<QPushButton *>("Command9"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!b, 5000);
    QCOMPARE(o.filter()->text(), "customer='Bob'");
}

void TestQueryBuilderButton::startsFromTheFilterAndSaysWhatItCannotCarry()
{
    Opened o = open();
    o.query("customer='Bob'");
    o.pressCommand3();
    QPointer<frmXPathQryBuilder> b = o.builder();
    QVERIFY(b);
    auto *box = b->findChild<QLineEdit *>("txtExpression");
    QCOMPARE(box->text(), "Order[customer='Bob']");
    auto *accept = b->findChild<QPushButton *>("Command8");

    // A step after the filter would select items, not orders: it stays, and the box says why.
    box->setText("Order[customer='Bob']/item");
    QTest::mouseClick(accept, Qt::LeftButton);
    QCOMPARE(o.ctx->ui.shown.size(), 1);
    QCOMPARE(o.ctx->ui.shown[0].title, "Expression not accepted");
    QCOMPARE(o.ctx->ui.shown[0].icon, owb::UserInteraction::Icon::Exclamation);
    QVERIFY2(o.ctx->ui.shown[0].text.contains("\"/item\""), qPrintable(o.ctx->ui.shown[0].text));
    QCOMPARE(o.filter()->text(), "customer='Bob'");
    QCoreApplication::processEvents();
    QVERIFY(b);
    QCOMPARE(box->text(), "Order[customer='Bob']/item");

    // Two filters go over whole.
    box->setText("Order[item][total>10]");
    QTest::mouseClick(accept, Qt::LeftButton);
    QCOMPARE(o.filter()->text(), "item][total>10");
    QTRY_VERIFY_WITH_TIMEOUT(!b, 5000);
    o.w->findChild<QAction *>("Query")->trigger();
    QCOMPARE(listTexts(o.list()), QStringList{"osl:id=1"});
}

void TestQueryBuilderButton::oneBuilderPerWindow()
{
    Opened o = open();
    o.query("customer='Cy'");
    o.pressCommand3();
    frmXPathQryBuilder *first = o.builder();
    QVERIFY(first);
    o.pressCommand3();
    QCOMPARE(o.builder(), first);
    QCOMPARE(o.ctx->main.shown.size(), 1);
    QVERIFY(o.ctx->main.activated.contains(first));
    // The builder shows the document that was current: Cy's order has a note, no items.
    QVERIFY(owbtest::docTreeCount(first->findChild<QTreeView *>("tvDocument"), "note") == 1);
}

void TestQueryBuilderButton::closingTheWindowClosesItsBuilder()
{
    Opened o = open();
    o.query("");
    o.pressCommand3();
    QPointer<frmXPathQryBuilder> b = o.builder();
    QVERIFY(b);
    o.w->close();
    QTRY_VERIFY_WITH_TIMEOUT(!b, 5000);
}

QTEST_MAIN(TestQueryBuilderButton)
#include "tst_querybuilderbutton.moc"
