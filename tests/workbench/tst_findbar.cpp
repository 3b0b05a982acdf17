// The find bar over both kinds of text: the log's plain text and the document editors.
#include "common/FindBar.h"
#include "workbench/EditorFind.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>
#include <Qsci/qsciscintilla.h>

using namespace owb;

namespace {
//                      0     6    11       20   25
const QString Sample = "alpha Beta alphabet beta betas";
} // namespace

class TestFindBar : public QObject {
    Q_OBJECT
private slots:
    void search_data();
    void search();
};

void TestFindBar::search_data()
{
    QTest::addColumn<bool>("editor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("options");   // r: regular expression, c: match case, w: whole word
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("times");         // searches in a row; negative: previous
    QTest::addColumn<int>("start");         // where the last hit starts; -1: not found
    QTest::addColumn<QString>("hit");

    for (const bool editor : {false, true}) {
        const char *kind = editor ? "editor" : "plain";
        auto row = [&](const char *name) { return &(QTest::addRow("%s: %s", kind, name) << editor); };
        *row("plain, any case") << "beta" << "" << 0 << 1 << 6 << "Beta";
        *row("match case") << "beta" << "c" << 0 << 1 << 20 << "beta";
        *row("next from the hit shown") << "beta" << "" << 0 << 3 << 25 << "beta";
        *row("next wraps to the start") << "beta" << "" << 0 << 4 << 6 << "Beta";
        *row("whole word skips alphabet, wraps") << "alpha" << "w" << 1 << 1 << 0 << "alpha";
        *row("without whole word") << "alpha" << "" << 1 << 1 << 11 << "alpha";
        *row("previous") << "beta" << "" << 30 << -1 << 25 << "beta";
        *row("previous from the hit shown") << "beta" << "" << 30 << -2 << 20 << "beta";
        *row("previous wraps to the end") << "alpha" << "" << 0 << -1 << 11 << "alpha";
        *row("regular expression") << "b[a-z]+s" << "r" << 0 << 1 << 25 << "betas";
        *row("regular expression, case") << "B\\w+" << "rc" << 0 << 1 << 6 << "Beta";
        *row("regular expression, whole word") << "bet\\w" << "rw" << 7 << 1 << 20 << "beta";
        *row("literal dot") << "a.p" << "" << 0 << 1 << -1 << "";
        *row("not found") << "gamma" << "" << 0 << 1 << -1 << "";
    }
}

void TestFindBar::search()
{
    QFETCH(bool, editor);
    QFETCH(QString, text);
    QFETCH(QString, options);
    QFETCH(int, caret);
    QFETCH(int, times);
    QFETCH(int, start);
    QFETCH(QString, hit);

    QPlainTextEdit plain(Sample);
    QsciScintilla scintilla;
    scintilla.setText(Sample);
    std::unique_ptr<FindTarget> target;
    if (editor) {
        scintilla.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, caret);
        target = std::make_unique<ScintillaFind>(&scintilla);
    } else {
        QTextCursor c = plain.textCursor();
        c.setPosition(caret);
        plain.setTextCursor(c);
        target = std::make_unique<PlainTextFind>(&plain);
    }
    FindBar bar([&] { return target.get(); });
    bar.open();
    bar.findChild<QLineEdit *>("txtFindText")->setText(text);
    bar.findChild<QCheckBox *>("chkFindRegExp")->setChecked(options.contains('r'));
    bar.findChild<QCheckBox *>("chkFindCase")->setChecked(options.contains('c'));
    bar.findChild<QCheckBox *>("chkFindWord")->setChecked(options.contains('w'));

    bool found = false;
    for (int i = 0; i < qAbs(times); ++i)
        found = times > 0 ? bar.findNext() : bar.findPrevious();

    QCOMPARE(found, start >= 0);
    QCOMPARE(bar.findChild<QLabel *>("lblFindStatus")->text(), found ? QString() : QStringLiteral("Not found"));
    if (!found)
        return;
    if (editor) {
        QCOMPARE(int(scintilla.SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART)), start);
        QCOMPARE(scintilla.selectedText(), hit);
    } else {
        QCOMPARE(plain.textCursor().selectionStart(), start);
        QCOMPARE(plain.textCursor().selectedText(), hit);
    }
}

QTEST_MAIN(TestFindBar)
#include "tst_findbar.moc"
