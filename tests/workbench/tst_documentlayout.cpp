// The document window's layout as it is resized, and the stylesheet editor it sets up.
#include <QtTest>
#include <QGroupBox>
#include <QListWidget>
#include <QTabWidget>
#include <QTreeView>
#include <Qsci/qscilexer.h>
#include <Qsci/qsciscintilla.h>

#include "support/TestContext.h"
#include "workbench/frmOstrelClient.h"

namespace {

template <typename T>
T *child(QWidget *w, const char *name)
{
    return w->findChild<T *>(QString::fromLatin1(name));
}

// Where a widget sits in window coordinates.
QRect placed(QWidget *w, QWidget *window)
{
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

// A document window shown in a home of its own, at size.
struct Shown {
    owbtest::IsolatedHome home;
    owbtest::Context ctx;
    owb::frmOstrelClient w{ctx.app()};

    explicit Shown(QSize size = QSize())
    {
        if (size.isValid())
            w.resize(size);
        w.show();
    }
    bool exposed() { return QTest::qWaitForWindowExposed(&w); }
};

} // namespace

class TestDocumentLayout : public QObject {
    Q_OBJECT
private slots:
    void valueFrameBesideTree();
    void listAndPagesGrowWithWindow();
    void nothingShrinksBelowUsableSize();
    void stylesheetEditorSpeaksXslFo();
    void missingLanguageFilesLeaveWindowUsable();
};

void TestDocumentLayout::valueFrameBesideTree()
{
    Shown s(QSize(1000, 700));
    QVERIFY(s.exposed());
    owb::frmOstrelClient &w = s.w;
    child<QTabWidget>(&w, "SSTab1")->setCurrentIndex(1);
    QWidget *tree = child<QTreeView>(&w, "tvDocument");
    QWidget *frame = child<QGroupBox>(&w, "frameValue");
    QTRY_VERIFY(frame->isVisible());
    const QRect t = placed(tree, &w), f = placed(frame, &w);
    QVERIFY2(f.left() > t.right(), qPrintable(QStringLiteral("tree %1..%2, frame from %3").arg(t.left()).arg(t.right()).arg(f.left())));
    QCOMPARE(f.top(), t.top());
    QVERIFY(tree->width() > frame->width());
}

void TestDocumentLayout::listAndPagesGrowWithWindow()
{
    Shown s(QSize(800, 500));
    QVERIFY(s.exposed());
    owb::frmOstrelClient &w = s.w;
    auto *tabs = child<QTabWidget>(&w, "SSTab1");
    tabs->setCurrentIndex(1);
    QWidget *list = child<QListWidget>(&w, "lstDocuments");
    QWidget *tree = child<QTreeView>(&w, "tvDocument");
    QWidget *frame = child<QGroupBox>(&w, "frameValue");
    QWidget *stylesheet = child<QsciScintilla>(&w, "CodeMax1");
    QTRY_VERIFY(tree->isVisible());
    const QSize list0 = list->size(), tabs0 = tabs->size(), tree0 = tree->size(), frame0 = frame->size();

    w.resize(1200, 800);
    QTRY_VERIFY(tabs->width() > tabs0.width());
    QVERIFY(list->height() >= list0.height() + 250);
    QCOMPARE(list->width(), list0.width());
    QVERIFY(tabs->width() >= tabs0.width() + 350);
    QVERIFY(tabs->height() >= tabs0.height() + 250);
    QVERIFY(tree->width() >= tree0.width() + 350);
    QCOMPARE(frame->width(), frame0.width());
    tabs->setCurrentIndex(2);
    QTRY_VERIFY(stylesheet->isVisible());
    QCOMPARE(stylesheet->width(), tree->parentWidget()->width());
}

void TestDocumentLayout::nothingShrinksBelowUsableSize()
{
    Shown s;
    QVERIFY(s.exposed());
    owb::frmOstrelClient &w = s.w;
    auto *tabs = child<QTabWidget>(&w, "SSTab1");
    tabs->setCurrentIndex(1);
    w.resize(60, 40);
    QTRY_VERIFY(w.width() >= w.minimumSizeHint().width());
    QVERIFY(w.height() >= w.minimumSizeHint().height());
    QWidget *list = child<QListWidget>(&w, "lstDocuments");
    QWidget *tree = child<QTreeView>(&w, "tvDocument");
    QVERIFY(list->width() >= 100 && list->height() >= 100);
    QVERIFY(tabs->width() >= 300 && tabs->height() >= 200);
    QVERIFY(tree->width() >= 100);
    QVERIFY(placed(child<QGroupBox>(&w, "frameValue"), &w).left() > placed(tree, &w).right());
}

void TestDocumentLayout::stylesheetEditorSpeaksXslFo()
{
    Shown s;
    QVERIFY(s.exposed());
    owb::frmOstrelClient &w = s.w;
    auto *editor = child<QsciScintilla>(&w, "CodeMax1");
    QVERIFY(editor->lexer());
    QCOMPARE(QString::fromLatin1(editor->lexer()->language()), QStringLiteral("XSL-FO"));
    QVERIFY2(s.ctx.log.lines.isEmpty(), qPrintable(s.ctx.log.lines.join('\n')));
    child<QTabWidget>(&w, "SSTab1")->setCurrentWidget(editor);
    editor->setFocus();
    editor->setCursorPosition(0, 0);
    QTest::keyClicks(editor, QStringLiteral("<fo:"));
    QTRY_VERIFY(editor->isListActive());
}

void TestDocumentLayout::missingLanguageFilesLeaveWindowUsable()
{
    owbtest::IsolatedHome home;
    const QString folder = home.path() + QStringLiteral("/FOLanguage");
    QVERIFY(QFile::remove(folder + QStringLiteral("/elements.dat")));
    QVERIFY(QFile::remove(folder + QStringLiteral("/CodeInsight.dat")));
    owbtest::Context ctx;
    owb::frmOstrelClient w(ctx.app());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(ctx.log.lines.size(), 2);
    QVERIFY2(ctx.log.lines[0].contains(folder + QStringLiteral("/elements.dat")), qPrintable(ctx.log.lines[0]));
    QVERIFY2(ctx.log.lines[1].contains(folder + QStringLiteral("/CodeInsight.dat")), qPrintable(ctx.log.lines[1]));
    auto *editor = child<QsciScintilla>(&w, "CodeMax1");
    QVERIFY(editor->text().contains(QStringLiteral("xsl:stylesheet")));
    child<QTabWidget>(&w, "SSTab1")->setCurrentWidget(editor);
    editor->setFocus();
    editor->setCursorPosition(0, 0);
    QTest::keyClicks(editor, QStringLiteral("<fo:"));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QVERIFY(!editor->isListActive());
    QVERIFY(editor->text().startsWith(QStringLiteral("<fo:<?xml")));
}

QTEST_MAIN(TestDocumentLayout)
#include "tst_documentlayout.moc"
