// Filling an editor with UTF-8 bytes.
#include "workbench/EditorText.h"

#include <QtTest>

#include <Qsci/qsciscintilla.h>

using namespace owb;

class TestEditorText : public QObject {
    Q_OBJECT
private slots:
    void sameTextAsSetText_data();
    void sameTextAsSetText();
    void inPieces_data();
    void inPieces();
};

namespace {

// Lines of n bytes each (line break included) built from unit, which may be multi-byte.
QByteArray lines(const QByteArray &unit, qsizetype bytes, qsizetype lineBytes)
{
    QByteArray out;
    while (out.size() < bytes) {
        QByteArray line;
        while (line.size() + unit.size() < lineBytes)
            line += unit;
        out += line + '\n';
    }
    return out;
}

} // namespace

void TestEditorText::sameTextAsSetText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short") << QByteArray("<a>\n  <b>\xc3\xa9</b>\n</a>");
    QTest::newRow("many short lines") << lines("x", 3 << 20, 80);
    QTest::newRow("one long line of two-byte characters") << lines("\xc3\xa9", (2 << 20) + 7, 3 << 20);
    QTest::newRow("one long line of three-byte characters") << lines("\xe4\xb8\xad", (2 << 20) + 5, 3 << 20);
    QTest::newRow("four-byte characters in long lines") << lines("\xf0\x9f\x98\x80", 3 << 20, (1 << 19) + 3);
}

void TestEditorText::sameTextAsSetText()
{
    QFETCH(QByteArray, text);
    QsciScintilla editor;
    editor.setUtf8(true);
    editor.setText(QStringLiteral("old text"));
    editor.setReadOnly(true);
    QSignalSpy changed(&editor, &QsciScintilla::textChanged);
    QSignalSpy lines(&editor, &QsciScintilla::linesChanged);
    {
        EditorFill fill(&editor, text.size());
        fill.append(text.constData(), text.size());
    }
    // The window and the error marks learn of the new text from this signal.
    QCOMPARE(changed.count(), 1);
    QCOMPARE(lines.count(), editor.lines() == 1 ? 0 : 1);
    QCOMPARE(editor.length(), int(text.size()));
    QCOMPARE(editor.text(), QString::fromUtf8(text));
    QVERIFY(editor.isReadOnly());
    QVERIFY(!editor.isUndoAvailable());
    // Undo is collected again afterwards.
    editor.setReadOnly(false);
    editor.insertAt(QStringLiteral("z"), 0, 0);
    QVERIFY(editor.isUndoAvailable());
}

void TestEditorText::inPieces_data()
{
    QTest::addColumn<qsizetype>("slack");   // announced size minus the real one
    QTest::newRow("size told exactly") << qsizetype(0);
    QTest::newRow("size told too small") << qsizetype(-(1 << 20));
    QTest::newRow("size told too big") << qsizetype(1 << 20);
}

// The pieces make the text whatever size was announced; the signal comes once, at the end.
void TestEditorText::inPieces()
{
    QFETCH(qsizetype, slack);
    const QByteArray text = lines("\xc3\xa9x", 3 << 20, 100);
    QsciScintilla editor;
    editor.setUtf8(true);
    editor.setText(QStringLiteral("old"));
    QSignalSpy changed(&editor, &QsciScintilla::textChanged);
    {
        EditorFill fill(&editor, qMax<qsizetype>(0, text.size() + slack));
        for (qsizetype at = 0; at < text.size(); at += 100 * 1000)
            fill.append(text.constData() + at, qMin<qsizetype>(100 * 1000, text.size() - at));
        QCOMPARE(changed.count(), 0);
    }
    QCOMPARE(changed.count(), 1);
    QCOMPARE(editor.length(), int(text.size()));
    QCOMPARE(editor.text().toUtf8(), text);
    QVERIFY(!editor.isUndoAvailable());
}

QTEST_MAIN(TestEditorText)
#include "tst_editortext.moc"
