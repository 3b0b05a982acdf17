#include <QtTest>

#include "workbench/ErrorMarks.h"

#include <QHelpEvent>
#include <QToolTip>

#include <Qsci/qsciscintilla.h>

using owb::ErrorMarks;

namespace {

QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("line %1 <a/>").arg(i);
    return lines.join(QLatin1Char('\n'));
}

// Rests the mouse on 0-based line (x: in the margin or on the text) and returns what shows.
QString hover(QsciScintilla &editor, int line, int x)
{
    QToolTip::hideText();
    const long pos = editor.positionFromLineIndex(line, 0);
    const int y = int(editor.SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0ul, pos))
                  + editor.SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0ul) / 2;
    QHelpEvent ev(QEvent::ToolTip, QPoint(x, y), editor.viewport()->mapToGlobal(QPoint(x, y)));
    QApplication::sendEvent(editor.viewport(), &ev);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

class TestErrorMarks : public QObject {
    Q_OBJECT
private slots:
    void marksEveryErrorLine();
    void firstErrorSelectedAndInView();
    void hoverShowsThatLinesReason();
    void reasonsMoveWithTheirLines();
    void clearRemovesEverything();
};

void TestErrorMarks::marksEveryErrorLine()
{
    QsciScintilla editor;
    editor.setText(numberedLines(30));
    ErrorMarks marks(&editor);
    marks.mark({{12, "first"}, {20, "second"}, {20, "third"}, {99, "past the end"}});
    QCOMPARE(marks.markedLines(), (QList<int>{11, 19, 29}));
    QCOMPARE(marks.reasonAt(19), QStringLiteral("second\nthird"));
    QCOMPARE(marks.reasonAt(29), QStringLiteral("past the end"));
    QCOMPARE(marks.reasonAt(5), QString());
    QCOMPARE(editor.toolTip(), QStringLiteral("first"));

    // A new check replaces the marks of the last one.
    marks.mark({{3, "again"}});
    QCOMPARE(marks.markedLines(), QList<int>{2});
    QCOMPARE(editor.toolTip(), QStringLiteral("again"));
}

void TestErrorMarks::firstErrorSelectedAndInView()
{
    QsciScintilla editor;
    editor.resize(400, 150);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setText(numberedLines(500));
    ErrorMarks marks(&editor);
    marks.mark({{400, "deep down"}, {12, "later error"}});

    QCOMPARE(editor.selectedText(), QStringLiteral("line 400 <a/>"));
    const int first = editor.firstVisibleLine();
    const int shown = int(editor.SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN));
    QVERIFY2(first <= 399 && 399 < first + qMax(1, shown), qPrintable(QString::number(first)));
}

void TestErrorMarks::hoverShowsThatLinesReason()
{
    QsciScintilla editor;
    editor.resize(500, 400);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.setText(numberedLines(10));
    ErrorMarks marks(&editor);
    marks.mark({{2, "reason of two"}, {5, "reason of five"}});

    const int onText = editor.marginWidth(0) + editor.marginWidth(1) + 20;
    QCOMPARE(hover(editor, 4, onText), QStringLiteral("reason of five"));
    QCOMPARE(hover(editor, 1, 2), QStringLiteral("reason of two"));   // on the margin's marker
    // An unmarked line shows the editor's own tooltip, the first reason.
    QCOMPARE(hover(editor, 7, onText), QStringLiteral("reason of two"));
}

void TestErrorMarks::reasonsMoveWithTheirLines()
{
    QsciScintilla editor;
    editor.setText(numberedLines(10));
    ErrorMarks marks(&editor);
    marks.mark({{4, "four"}, {8, "eight"}});
    editor.insertAt(QStringLiteral("new\nnew\n"), 0, 0);
    QCOMPARE(marks.markedLines(), (QList<int>{5, 9}));
    QCOMPARE(marks.reasonAt(5), QStringLiteral("four"));
    QCOMPARE(marks.reasonAt(9), QStringLiteral("eight"));
    QCOMPARE(marks.reasonAt(3), QString());
    // A new text takes the marked lines with it.
    editor.setText(numberedLines(10));
    QVERIFY(marks.markedLines().isEmpty());
    QCOMPARE(marks.reasonAt(5), QString());
}

void TestErrorMarks::clearRemovesEverything()
{
    QsciScintilla editor;
    editor.setText(numberedLines(10));
    ErrorMarks marks(&editor);
    marks.mark({{4, "x"}});
    marks.clear();
    QVERIFY(marks.markedLines().isEmpty());
    QCOMPARE(marks.reasonAt(3), QString());
    QCOMPARE(editor.toolTip(), QString());
    QCOMPARE(editor.text(), numberedLines(10));
}

QTEST_MAIN(TestErrorMarks)
#include "tst_errormarks.moc"
