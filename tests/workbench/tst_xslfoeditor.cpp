// The stylesheet editor's XSL-FO assistance, driven by typed keys.
#include "workbench/XslFoEditor.h"
#include "workbench/XslFoLexer.h"
#include "support/Fakes.h"
#include "xml/clsCodeInsight.h"
#include "xml/clsFileHandler.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <Qsci/qsciscintilla.h>

#include <memory>

using namespace owb;

namespace {

const QString kShipped = QStringLiteral(OWB_DATA_DIR "/FOLanguage");

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A shown stylesheet editor with the assistance read from folder.
struct Editor {
    owbtest::RecordingLog log;
    QsciScintilla ed;
    XslFoEditor *fo = nullptr;
    QString off;   // what load said for the status bar

    explicit Editor(const QString &folder = kShipped)
    {
        ed.setObjectName(QStringLiteral("CodeMax1"));
        fo = new XslFoEditor(&ed, &log);
        clsFileHandler files;
        off = fo->load(files, folder);
        ed.resize(600, 300);
        ed.show();
    }

    // The entries of the open completion list, in shown order.
    QStringList entries() const
    {
        for (QListWidget *list : ed.findChildren<QListWidget *>()) {
            if (!list->isVisible())
                continue;
            QStringList out;
            for (int i = 0; i < list->count(); ++i)
                out << list->item(i)->text();
            return out;
        }
        return {};
    }

    // Moves down the open list to entry and takes it, as a user would with the keyboard.
    bool choose(const QString &entry)
    {
        const qsizetype row = entries().indexOf(entry);
        if (row < 0)
            return false;
        for (qsizetype i = 0; i < row; ++i)
            QTest::keyClick(&ed, Qt::Key_Down);
        QTest::keyClick(&ed, Qt::Key_Return);
        return true;
    }

    // Lets queued list requests run; afterwards a list that was asked for is open.
    void settle() const
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
};

QStringList shippedAttributes(const QString &name)
{
    clsFileHandler files;
    const clsCodeInsight table(files, kShipped + QStringLiteral("/CodeInsight.dat"));
    return table.GetAttributes(name).value_or(QStringList());
}

} // namespace

class TestXslFoEditor : public QObject {
    Q_OBJECT
private slots:
    void prefixOffersElementNames();
    void choosing_data();
    void choosing();
    void closerClearsState();
    void noList_data();
    void noList();
    void tipAfterParenthesis();
    void unreadableFiles_data();
    void unreadableFiles();
    void colouring_data();
    void colouring();
};

void TestXslFoEditor::prefixOffersElementNames()
{
    Editor e;
    QVERIFY(QTest::qWaitForWindowExposed(&e.ed));
    QVERIFY(e.log.lines.isEmpty());
    QTest::keyClicks(&e.ed, "<fo:");
    QTRY_VERIFY(e.ed.isListActive());
    QVERIFY(e.fo->TagOpen());
    QVERIFY(!e.fo->PrefixOnly());
    QCOMPARE(e.fo->CurrentTagName(), QStringLiteral("fo:"));
    const QStringList offered = e.entries();
    QCOMPARE(offered, shippedAttributes(QStringLiteral("fo:")));
    QVERIFY(offered.contains(QStringLiteral("block")));
}

// Typed, then chosen from the list that opens: the text, the name tracked, and the next list.
void TestXslFoEditor::choosing_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("typedInList");   // typed while the list is open
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tagName");
    QTest::addColumn<QString>("nextList");      // whose attributes the next list offers; "" none

    QTest::newRow("element completes the prefix")
        << "<fo:" << "" << "block" << "<fo:block" << "fo:block" << "fo:block";
    QTest::newRow("typed start of the entry not repeated")
        << "<fo:" << "table-c" << "table-caption" << "<fo:table-caption" << "fo:table-caption" << "fo:table-caption";
    QTest::newRow("closing tag: name, no attributes")
        << "</fo:" << "" << "inline" << "</fo:inline" << "fo:inline" << "";
    QTest::newRow("attribute after a blank")
        << "<fo:block" << "" << "font-size" << "<fo:block font-size" << "fo:block" << "";
    QTest::newRow("later tag on the same line")
        << "<fo:block>text<fo:inline" << "" << "id" << "<fo:block>text<fo:inline id" << "fo:inline" << "";
}

void TestXslFoEditor::choosing()
{
    QFETCH(QString, typed);
    QFETCH(QString, typedInList);
    QFETCH(QString, chosen);
    QFETCH(QString, text);
    QFETCH(QString, tagName);
    QFETCH(QString, nextList);
    Editor e;
    QVERIFY(QTest::qWaitForWindowExposed(&e.ed));
    QTest::keyClicks(&e.ed, typed);
    QCOMPARE(e.fo->PrefixOnly(), typed.startsWith(QStringLiteral("</")));
    QCOMPARE(e.fo->TagOpen(), !e.fo->PrefixOnly());
    QTRY_VERIFY(e.ed.isListActive());
    if (typedInList.isEmpty()) {
        QVERIFY(e.choose(chosen));
    } else {
        QTest::keyClicks(&e.ed, typedInList);    // the list moves to the entry
        QVERIFY(e.ed.isListActive());
        QTest::keyClick(&e.ed, Qt::Key_Return);
    }
    QCOMPARE(e.ed.text(), text);
    QCOMPARE(e.fo->CurrentTagName(), tagName);
    e.settle();
    QCOMPARE(e.ed.isListActive(), !nextList.isEmpty());
    if (!nextList.isEmpty())
        QCOMPARE(e.entries(), shippedAttributes(nextList));
}

void TestXslFoEditor::closerClearsState()
{
    Editor e;
    QVERIFY(QTest::qWaitForWindowExposed(&e.ed));
    QTest::keyClicks(&e.ed, "<fo:block");
    QTRY_VERIFY(e.ed.isListActive());
    QTest::keyClicks(&e.ed, ">");
    QVERIFY(!e.fo->TagOpen());
    QVERIFY(!e.fo->PrefixOnly());
    QVERIFY(e.fo->CurrentTagName().isEmpty());
    e.settle();
    QVERIFY(!e.ed.isListActive());
    // Element names in text are no tag: nothing until the next opener, also on a line of its own.
    QTest::keyClicks(&e.ed, "see fo:block");
    e.settle();
    QVERIFY(!e.ed.isListActive());
    QTest::keyClick(&e.ed, Qt::Key_Return);
    QTest::keyClicks(&e.ed, "fo:block");
    e.settle();
    QVERIFY(!e.ed.isListActive());
    QVERIFY(e.fo->CurrentTagName().isEmpty());
}

void TestXslFoEditor::noList_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("name without entry") << "<fo:mystery";
    QTest::newRow("entry with an empty list") << "<fo:layout-master-set";
    QTest::newRow("case differs") << "<FO:BLOCK";
}

void TestXslFoEditor::noList()
{
    QFETCH(QString, typed);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("elements.dat"), "fo:|fo:block|fo:mystery|fo:layout-master-set|FO:BLOCK"));
    QVERIFY(writeFile(dir.filePath("attributes.dat"), "id|font-size"));
    QVERIFY(writeFile(dir.filePath("CodeInsight.dat"), "fo:^block\r\nfo:block^id~font-size\r\nfo:layout-master-set^\r\n"));
    Editor e(dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&e.ed));
    QVERIFY2(e.log.lines.isEmpty(), qPrintable(e.log.lines.join('\n')));
    QTest::keyClicks(&e.ed, typed);
    QCOMPARE(e.fo->CurrentTagName(), typed.mid(1));
    e.settle();
    QVERIFY(!e.ed.isListActive());
}

void TestXslFoEditor::tipAfterParenthesis()
{
    Editor e;
    QVERIFY(QTest::qWaitForWindowExposed(&e.ed));
    QTest::keyClicks(&e.ed, "<fo:block color=\"rgb(");
    QVERIFY(e.ed.SendScintilla(QsciScintillaBase::SCI_CALLTIPACTIVE) != 0);
}

void TestXslFoEditor::unreadableFiles_data()
{
    QTest::addColumn<QStringList>("spoil");    // files to remove, or "bad line"
    QTest::addColumn<QStringList>("logged");   // the start of each log line, one per file
    QTest::addColumn<bool>("coloured");
    QTest::addColumn<bool>("table");
    const QString both = QStringLiteral("XSL-FO colouring and completion are off: ");
    const QString completion = QStringLiteral("XSL-FO completion is off: ");
    // Completion follows the tags the colouring finds: without the word lists it is off too.
    QTest::newRow("no elements.dat") << QStringList{"elements.dat"} << QStringList{both} << false << true;
    QTest::newRow("no attributes.dat") << QStringList{"attributes.dat"} << QStringList{both} << false << true;
    QTest::newRow("no word lists") << QStringList{"elements.dat", "attributes.dat"} << QStringList{both, both}
                                   << false << true;
    QTest::newRow("no CodeInsight.dat") << QStringList{"CodeInsight.dat"} << QStringList{completion} << true << false;
    QTest::newRow("line without caret") << QStringList{"bad line"} << QStringList{completion} << true << false;
    QTest::newRow("nothing") << QStringList{"elements.dat", "CodeInsight.dat"} << QStringList{both, completion}
                             << false << false;
}

void TestXslFoEditor::unreadableFiles()
{
    QFETCH(QStringList, spoil);
    QFETCH(QStringList, logged);
    QFETCH(bool, coloured);
    QFETCH(bool, table);
    QTemporaryDir dir;
    for (const char *name : {"elements.dat", "attributes.dat", "CodeInsight.dat"})
        QVERIFY(QFile::copy(kShipped + '/' + name, dir.filePath(name)));
    QStringList files = spoil;
    if (spoil == QStringList{"bad line"}) {
        files = QStringList{"CodeInsight.dat"};
        QVERIFY(writeFile(dir.filePath(files[0]), "fo:^block\r\nfo:block\r\n"));
    } else {
        for (const QString &file : spoil)
            QVERIFY(QFile::remove(dir.filePath(file)));
    }
    Editor e(dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(&e.ed));
    QCOMPARE(e.log.lines.size(), logged.size());
    for (qsizetype i = 0; i < logged.size(); ++i) {
        QVERIFY2(e.log.lines[i].startsWith(logged[i]), qPrintable(e.log.lines[i]));
        QVERIFY2(e.log.lines[i].contains(QDir(dir.path()).filePath(files[i])), qPrintable(e.log.lines[i]));
    }
    if (spoil == QStringList{"bad line"})
        QVERIFY2(e.log.lines[0].contains(QStringLiteral("line 2")), qPrintable(e.log.lines[0]));
    QCOMPARE(e.fo->lexer() != nullptr, coloured);
    QCOMPARE(e.fo->hasCodeInsight(), table);
    // The one line for the status bar says the same.
    QCOMPARE(e.off, !coloured ? QStringLiteral("XSL-FO colouring and completion are off; the log says why")
                              : QStringLiteral("XSL-FO completion is off; the log says why"));
    // Typing goes on as plain editing.
    QTest::keyClicks(&e.ed, "<fo:");
    e.settle();
    QVERIFY(!e.ed.isListActive());
    QCOMPARE(e.ed.text(), QStringLiteral("<fo:"));
}

void TestXslFoEditor::colouring_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("piece");   // styled as a whole, first occurrence
    QTest::addColumn<int>("style");

    const QString doc = QStringLiteral("<?xml version=\"1.0\"?>\n"
                                       "<!-- a fo:block\n  spanning lines -->\n"
                                       "<fo:block font-size='12pt' x:y=\"v\">fo:block font-size</fo:block>\n"
                                       "<FO:BLOCK FONT-SIZE=\"1\"/>\n");
    QTest::newRow("xml declaration keyword") << doc << "xml" << int(XslFoLexer::Keyword);
    QTest::newRow("declaration operator") << doc << "version" << int(XslFoLexer::Operator);
    QTest::newRow("opener") << doc << "<?" << int(XslFoLexer::Tag);
    QTest::newRow("comment first line") << doc << "<!-- a fo:block" << int(XslFoLexer::Comment);
    QTest::newRow("comment next line") << doc << "spanning lines -->" << int(XslFoLexer::Comment);
    QTest::newRow("element name") << doc << "fo:block font" << int(XslFoLexer::Keyword);
    QTest::newRow("attribute name") << doc << "font-size=" << int(XslFoLexer::Operator);
    QTest::newRow("single-quoted string") << doc << "'12pt'" << int(XslFoLexer::String);
    QTest::newRow("unknown attribute") << doc << "x:y" << int(XslFoLexer::Default);
    QTest::newRow("names in text are text") << doc << ">fo:block font-size<" << int(XslFoLexer::Default);
    QTest::newRow("closing opener") << doc << "</" << int(XslFoLexer::Tag);
    QTest::newRow("upper case is no keyword") << doc << "FO:BLOCK" << int(XslFoLexer::Default);
    QTest::newRow("empty-element closer") << doc << "/>" << int(XslFoLexer::Tag);
}

void TestXslFoEditor::colouring()
{
    QFETCH(QString, text);
    QFETCH(QString, piece);
    QFETCH(int, style);
    Editor e;
    QVERIFY(e.fo->lexer());
    QCOMPARE(QString::fromLatin1(e.fo->lexer()->language()), QStringLiteral("XSL-FO"));
    e.ed.setText(text);
    e.ed.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0, -1);
    qsizetype at = text.indexOf(piece);
    qsizetype len = piece.size();
    // Pieces quoted with their neighbours name the middle part.
    if (piece.startsWith('>') && piece.endsWith('<')) {
        ++at;
        len -= 2;
    } else if (piece.endsWith(QStringLiteral(" font")) || piece.endsWith('=')) {
        len = piece.indexOf(piece.endsWith('=') ? '=' : ' ');
    }
    QVERIFY(at >= 0);
    // The text is ASCII, so character and byte positions agree.
    auto styleAt = [&](qsizetype i) { return int(e.ed.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, ulong(i))); };
    for (qsizetype i = at; i < at + len; ++i)
        QVERIFY2(styleAt(i) == style, qPrintable(QStringLiteral("%1 at %2: style %3").arg(piece).arg(i).arg(styleAt(i))));
}

QTEST_MAIN(TestXslFoEditor)
#include "tst_xslfoeditor.moc"
