// The document list sink onto a QListWidget.
#include <QtTest>
#include <QListWidget>

#include "workbench/DocumentListAdapter.h"
#include "server/LookUp.h"

using namespace owb;

class TestDocumentListAdapter : public QObject {
    Q_OBJECT
private slots:
    void listWidget();
};

void TestDocumentListAdapter::listWidget()
{
    QListWidget widget;
    widget.addItem("stale");
    DocumentListAdapter list(&widget);
    LookUp reader;
    reader.setDocumentList(&list);
    reader.parseAnswer("<osl:response xmlns:osl=\"http://namespaces.ostrel.org/ostrel/response2\" "
                       "xmlns:xql=\"http://namespaces.ostrel.org/xql\"><xql:query>A</xql:query><xql:result>"
                       "<A osl:id=\"12\"/><A osl:id=\"0034\"/><A osl:id=\"5\"/></xql:result>"
                       "<osl:message osl:returnvalue=\"0\"><osl:messageline>done</osl:messageline></osl:message>"
                       "</osl:response>");
    QCOMPARE(widget.count(), 3);
    QCOMPARE(widget.item(1)->text(), QString("osl:id=0034"));
    QCOMPARE(widget.item(1)->data(Qt::UserRole).toInt(), 34);
    QCOMPARE(list.itemData(0), 12);

    QCOMPARE(list.currentIndex(), -1);
    list.setCurrentIndex(2);
    QCOMPARE(widget.currentRow(), 2);
    list.setItemData(2, 99);
    QCOMPARE(widget.item(2)->data(Qt::UserRole).toInt(), 99);
    list.removeAt(0);
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.text(0), QString("osl:id=0034"));
    QCOMPARE(list.itemData(1), 99);
    // Out of range reads give nothing rather than crash.
    QCOMPARE(list.text(7), QString());
    QCOMPARE(list.itemData(-1), 0);
}

QTEST_MAIN(TestDocumentListAdapter)
#include "tst_documentlistadapter.moc"
