#include <QtTest>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTreeView>
#include <QWheelEvent>

#include "support/ScriptedUserInteraction.h"
#include "xml/DomDocument.h"
#include "support/DocTree.h"
#include "xpath/frmXPathQryBuilder.h"

using namespace owb;

namespace {

const char *kOrder = "<order><item no=\"1\">Pen</item><item no=\"2\">Ink</item>"
                     "<ext:gift xmlns:ext=\"urn:x\">yes</ext:gift></order>";

// One builder window over the sample order, shown.
struct Builder {
    ScriptedUserInteraction ui;
    DomDocument doc = NewDOMDocument(false, true);
    QPointer<frmXPathQryBuilder> w;

    Builder()
    {
        if (!doc.loadXML(QString::fromLatin1(kOrder)))
            return;
        w = new frmXPathQryBuilder(ui);
        w->setXMLDocument(doc.documentElement());
        w->show();
        tree()->expandAll();
    }
    ~Builder() { delete w; }
    bool ok() const { return w && QTest::qWaitForWindowExposed(w); }

    QTreeView *tree() const { return w->findChild<QTreeView *>("tvDocument"); }
    QLineEdit *box() const { return w->findChild<QLineEdit *>("txtExpression"); }
    QComboBox *functions() const { return w->findChild<QComboBox *>("cboXPathFunc"); }
    QPushButton *button(const char *name) const { return w->findChild<QPushButton *>(name); }

    QModelIndex item(const QString &key) const { return owbtest::docTreeIndex(tree(), key); }
    // Picks an entry from the open list, with the keyboard, as a user does.
    bool choose(int index) const
    {
        QComboBox *list = functions();
        list->showPopup();
        QAbstractItemView *view = list->view();
        if (!view->isVisible())
            return false;
        view->setCurrentIndex(list->model()->index(index, 0));
        QTest::keyClick(view, Qt::Key_Return);
        return !view->isVisible();
    }
    bool click(const QString &key) const
    {
        const QModelIndex i = item(key);
        if (!i.isValid())
            return false;
        tree()->scrollTo(i);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualRect(i).center());
        return true;
    }
};

} // namespace

class TestQueryBuilder : public QObject {
    Q_OBJECT
private slots:
    void controls();
    void treeOfTheSampleDocument();
    void nodeClick_data();
    void nodeClick();
    void returnOnANodeActsAsAClick();
    void operators_data();
    void operators();
    void functions_data();
    void functions();
    void selectionSurvivesTheFocusMovingToTheList();
    void sameFunctionTwice();
    void closedListMovesWithoutInserting();
    void accept();
    void cancelLeavesTheControl();
    void closesItsFrameInsideTheMainWindow();
};

void TestQueryBuilder::controls()
{
    Builder b;
    QVERIFY(b.ok());
    QCOMPARE(b.w->windowTitle(), "XPath Query Builder");
    QStringList entries;
    for (int i = 0; i < b.functions()->count(); ++i)
        entries << b.functions()->itemText(i);
    QCOMPARE(entries, (QStringList{
        "---- Node set -----", "namespace-uri(...)", "position()", "last()", "local-name(...)",
        "name(...)", "---- String ------", "concat(..., \"string2\")", "substring(..., 0, n)",
        "substring-before(..., \"target\")", "substring-after(..., \"target\")",
        "normalize-space(...)", "translate(..., \"abc\", \"ABC\")", "contains(...,\"target\")",
        "starts-with(..., \"start\")", "----- XSLT ------", "format-number(..., \"##0,00\")",
        "generate-id(...)"}));
    auto *axis = b.w->findChild<QComboBox *>("cboAxis");
    QStringList axes;
    for (int i = 0; i < axis->count(); ++i)
        axes << axis->itemText(i);
    QCOMPARE(axes, (QStringList{"ancestor", "ancestor-or-self", "attribute", "child", "descendant",
                                "descendant-or-self", "following", "following-sibling", "parent",
                                "preceding", "preceding-sibling", "self"}));
    // Choosing an axis does nothing to the expression.
    b.box()->setText("order[a]");
    axis->setCurrentIndex(5);
    emit axis->activated(5);
    QCOMPARE(b.box()->text(), "order[a]");

    QVERIFY(b.w->findChild<QLabel *>("Label3"));
    QCOMPARE(b.w->findChild<QLabel *>("Label3")->text(), "Axis");
    QCOMPARE(b.button("Command1")->text(), "and");
    QCOMPARE(b.button("Command2")->text(), "or");
    QCOMPARE(b.button("Command8")->text(), "Accept");
    QCOMPARE(b.button("Command9")->text(), "Cancel");
    bool frame = false, label = false;
    for (auto *g : b.w->findChildren<QGroupBox *>())
        frame = frame || g->title() == "XPath functions";
    for (auto *l : b.w->findChildren<QLabel *>())
        label = label || l->text() == "XSLT Functions";
    QVERIFY(frame && label);
}

void TestQueryBuilder::treeOfTheSampleDocument()
{
    Builder b;
    QVERIFY(b.ok());
    QCOMPARE(b.w->rootName(), "order");
    QCOMPARE(b.tree()->model()->rowCount(), 1);
    QCOMPARE(b.tree()->model()->index(0, 0).data().toString(), "Document");
    for (const char *key : {"/", ".", "./item", "./item/@no", "./item_1", "./item_1/@no", "./ext:gift"})
        QVERIFY2(b.item(key).isValid(), key);

    // A second document replaces the tree.
    DomDocument other = NewDOMDocument(false, true);
    QVERIFY(other.loadXML("<p:book xmlns:p='urn:p'><title/></p:book>"));
    b.w->setXMLDocument(other.documentElement());
    QCOMPARE(b.w->rootName(), "p:book");
    QVERIFY(b.item("./title").isValid());
    QVERIFY(!b.item("./item").isValid());
    QVERIFY(b.tree()->isExpanded(b.tree()->model()->index(0, 0)));
}

void TestQueryBuilder::nodeClick_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("question");   // empty: none asked
    QTest::addColumn<QString>("after");
    QTest::newRow("attribute, empty box") << "" << "./item/@no" << false << "" << "order[item/@no]";
    QTest::newRow("document element") << "" << "." << false << "" << "order[text()]";
    QTest::newRow("second namesake") << "" << "./item_1" << false << "" << "order[item[2]/text()]";
    QTest::newRow("prefixed") << "" << "./ext:gift" << false << ""
                              << "order[*[name()='ext:gift']/text()]";
    QTest::newRow("document node") << "order[a]" << "/" << true << "" << "order[a]";
    QTest::newRow("no bracket replaces") << "price>1" << "./item" << true << "" << "order[item/text()]";
    QTest::newRow("extend, yes") << "order[item/@no]" << "./item" << true
                                 << "Must item/text() be added to current expression?"
                                 << "order[item/@no item/text()]";
    QTest::newRow("extend, no") << "order[item/@no]" << "./item" << false
                                << "Must item/text() be added to current expression?"
                                << "order[item/@no]";
    QTest::newRow("extend trims") << "  order[a]  " << "./item/@no" << true
                                  << "Must item/@no be added to current expression?"
                                  << "order[a item/@no]";
}

void TestQueryBuilder::nodeClick()
{
    QFETCH(QString, before);
    QFETCH(QString, key);
    QFETCH(bool, answer);
    QFETCH(QString, question);
    Builder b;
    QVERIFY(b.ok());
    b.box()->setText(before);
    b.ui.questionAnswers << answer;
    QVERIFY2(b.click(key), qPrintable(key));
    QTEST(b.box()->text(), "after");
    if (question.isEmpty()) {
        QVERIFY(b.ui.shown.isEmpty());
    } else {
        QCOMPARE(b.ui.shown.size(), 1);
        QCOMPARE(b.ui.shown[0].kind, "question");
        QCOMPARE(b.ui.shown[0].title, "Extend XPath expression");
        QCOMPARE(b.ui.shown[0].text, question);
    }
}

void TestQueryBuilder::returnOnANodeActsAsAClick()
{
    Builder b;
    QVERIFY(b.ok());
    b.tree()->setCurrentIndex(b.item("./item/@no"));
    QTest::keyClick(b.tree(), Qt::Key_Return);
    QCOMPARE(b.box()->text(), "order[item/@no]");
}

void TestQueryBuilder::operators_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("after");     // empty: "Insertion failed"
    QTest::newRow("and after @no") << "order[item/@no item/text()]" << 14 << "Command1"
                                   << "order[item/@no and  item/text()]";
    QTest::newRow("or inside") << "a[x]" << 3 << "Command2" << "a[x or ]";
    QTest::newRow("directly behind [") << "a[x]" << 2 << "Command2" << "";
    QTest::newRow("after ]") << "a[x]" << 4 << "Command1" << "";
    QTest::newRow("in the context") << "order[a]" << 3 << "Command1" << "";
    QTest::newRow("no filter") << "order" << 2 << "Command2" << "";
    // The caret counts leading spaces the analysis does not see.
    QTest::newRow("leading spaces") << "   a[x]" << 6 << "Command1" << "a[x and ]";
    QTest::newRow("caret in leading spaces") << "   a[x]" << 1 << "Command1" << "";
}

void TestQueryBuilder::operators()
{
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(QString, button);
    QFETCH(QString, after);
    Builder b;
    QVERIFY(b.ok());
    b.box()->setText(text);
    b.box()->setCursorPosition(caret);
    QTest::mouseClick(b.button(qPrintable(button)), Qt::LeftButton);
    if (after.isEmpty()) {
        QCOMPARE(b.box()->text(), text);
        QCOMPARE(b.ui.shown.size(), 1);
        QCOMPARE(b.ui.shown[0].title, "Insertion failed");
        QCOMPARE(b.ui.shown[0].text, "Cursor location must be within the filter expression");
        QCOMPARE(b.ui.shown[0].icon, UserInteraction::Icon::Information);
    } else {
        QCOMPARE(b.box()->text(), after);
        QVERIFY(b.ui.shown.isEmpty());
    }
}

void TestQueryBuilder::functions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");   // 0: caret at selStart
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("after");   // empty: "Function aborted"
    QTest::newRow("name of selection") << "order[value]" << 6 << 5 << "name(...)" << "order[name(value)]";
    QTest::newRow("every ellipsis") << "a[v]" << 2 << 1 << "concat(..., \"string2\")"
                                    << "a[concat(v, \"string2\")]";
    QTest::newRow("position at caret") << "order[]" << 6 << 0 << "position()" << "order[position()]";
    QTest::newRow("last over selection") << "a[x=1]" << 4 << 1 << "last()" << "a[x=last()]";
    QTest::newRow("no selection") << "order[value]" << 8 << 0 << "name(...)" << "";
    QTest::newRow("no selection, xslt") << "a[b]" << 3 << 0 << "generate-id(...)" << "";
    for (const char *heading : {"---- Node set -----", "---- String ------", "----- XSLT ------"})
        QTest::newRow(heading) << "order[value]" << 6 << 5 << heading << "order[value]";
}

void TestQueryBuilder::functions()
{
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, entry);
    QFETCH(QString, after);
    Builder b;
    QVERIFY(b.ok());
    b.box()->setText(text);
    if (selLength > 0)
        b.box()->setSelection(selStart, selLength);
    else
        b.box()->setCursorPosition(selStart);
    const int index = b.functions()->findText(entry);
    QVERIFY(index >= 0);
    QVERIFY(b.choose(index));
    if (after.isEmpty()) {
        QCOMPARE(b.box()->text(), text);
        QCOMPARE(b.ui.shown.size(), 1);
        QCOMPARE(b.ui.shown[0].title, "Function aborted");
        QCOMPARE(b.ui.shown[0].text, "No value selected to substitute");
    } else {
        QCOMPARE(b.box()->text(), after);
        QVERIFY(b.ui.shown.isEmpty());
    }
}

void TestQueryBuilder::selectionSurvivesTheFocusMovingToTheList()
{
    Builder b;
    QVERIFY(b.ok());
    b.w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(b.w));
    b.box()->setFocus();
    QTRY_VERIFY(b.box()->hasFocus());
    b.box()->setText("order[price]");
    b.box()->setSelection(11, -5);   // "price", selected leftwards
    b.functions()->setFocus();
    QTRY_VERIFY(b.functions()->hasFocus());
    QVERIFY(b.choose(b.functions()->findText("normalize-space(...)")));
    QCOMPARE(b.box()->text(), "order[normalize-space(price)]");
    QVERIFY(b.ui.shown.isEmpty());
}

void TestQueryBuilder::sameFunctionTwice()
{
    // A user's pick emits activated; picking the entry already shown must still act, and a
    // pick that also changed the index must act once.
    Builder b;
    QVERIFY(b.ok());
    const int index = b.functions()->findText("last()");
    b.box()->setText("a[]");
    b.box()->setCursorPosition(2);
    b.functions()->setCurrentIndex(index);
    emit b.functions()->activated(index);
    QCOMPARE(b.box()->text(), "a[last()]");
    QTest::qWait(0);
    b.box()->setCursorPosition(8);
    emit b.functions()->activated(index);
    QCOMPARE(b.box()->text(), "a[last()last()]");
}

void TestQueryBuilder::closedListMovesWithoutInserting()
{
    Builder b;
    QVERIFY(b.ok());
    b.w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(b.w));
    b.box()->setText("order[value]");
    b.box()->setSelection(6, 5);
    QComboBox *list = b.functions();
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_L);   // "last()", by its first letter
    QWheelEvent wheel(QPointF(5, 5), list->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(list, &wheel);
    QCOMPARE(list->currentText(), "local-name(...)");   // the keys and the wheel did move it
    QCOMPARE(b.box()->text(), "order[value]");
    QVERIFY(b.ui.shown.isEmpty());
    // Return takes the entry shown.
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(b.box()->text(), "order[local-name(value)]");
}

void TestQueryBuilder::accept()
{
    Builder b;
    QVERIFY(b.ok());
    QLineEdit target;
    target.setText("old");
    b.w->setTextControl(&target);
    QSignalSpy accepted(b.w.data(), &frmXPathQryBuilder::accepted);
    b.box()->setText(" order[item/@no and x] ");
    QTest::mouseClick(b.button("Command8"), Qt::LeftButton);
    QCOMPARE(target.text(), " order[item/@no and x] ");   // untrimmed
    QCOMPARE(accepted.size(), 1);
    QCOMPARE(accepted[0][0].toString(), " order[item/@no and x] ");
    QTRY_VERIFY_WITH_TIMEOUT(!b.w, 5000);
}

void TestQueryBuilder::cancelLeavesTheControl()
{
    Builder b;
    QVERIFY(b.ok());
    QLineEdit target;
    target.setText("old");
    b.w->setTextControl(&target);
    QSignalSpy accepted(b.w.data(), &frmXPathQryBuilder::accepted);
    QVERIFY(b.click("./item/@no"));
    QTest::mouseClick(b.button("Command9"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!b.w, 5000);
    QCOMPARE(target.text(), "old");
    QCOMPARE(accepted.size(), 0);
}

void TestQueryBuilder::closesItsFrameInsideTheMainWindow()
{
    QMdiArea area;
    ScriptedUserInteraction ui;
    auto *w = new frmXPathQryBuilder(ui);
    QPointer<QMdiSubWindow> frame = area.addSubWindow(w);
    area.show();
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QTest::mouseClick(w->findChild<QPushButton *>("Command9"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!frame, 5000);
    QVERIFY(area.subWindowList().isEmpty());
}

QTEST_MAIN(TestQueryBuilder)
#include "tst_frmxpathqrybuilder.moc"
