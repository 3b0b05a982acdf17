#include "log/frmLog.h"
#include "common/FindBar.h"
#include "common/MainWindowApi.h"
#include "support/Fakes.h"
#include "common/Settings.h"
#include "support/NamedChildren.h"
#include "support/ScriptedUserInteraction.h"
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QtTest>
#include <memory>

using namespace owb;

namespace {

const QDateTime FixedNow(QDate(2026, 12, 6), QTime(14, 5, 9));

QString expectedDate()
{
    return QStringLiteral("06 ") + QLocale::system().monthName(12, QLocale::ShortFormat)
           + QStringLiteral(" 2026");
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

} // namespace

class TestFrmLog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void firstStartWritesHeaderAndCreatesLogDir();
    void widgetNamesAndCaptions_data();
    void widgetNamesAndCaptions();
    void entryAppendsLine_data();
    void entryAppendsLine();
    void entriesKeepOrderInTextAndWidget();
    void logEntryIsLog();
    void clearLogAdvancesSequence_data();
    void clearLogAdvancesSequence();
    void saveProposesNumberedFileAndNextStartLoadsIt();
    void savedLogIsReadAsText_data();
    void savedLogIsReadAsText();
    void entryAfterEmptySavedLog();
    void newEntryFollowsOnlyAViewAtTheEnd();
    void saveDoesNotChangeSequence();
    void cancelledSaveChangesNothing();
    void saveAsksBeforeReplacingAFile_data();
    void saveAsksBeforeReplacingAFile();
    void failedSaveIsReported_data();
    void failedSaveIsReported();
    void unreadableLastLogStartsFresh_data();
    void unreadableLastLogStartsFresh();
    void badSequenceIsReported_data();
    void badSequenceIsReported();
    void logDirThatCannotBeCreatedIsReported();
    void hideButtonAsksMainWindow();
    void buttonsStackAtTopRight();
    void findBarTakesTheBottomOfTheText();

private:
    std::unique_ptr<frmLog> makeLog();
    QString home() const { return m_tmp.path() + QStringLiteral("/home"); }
    QString logDir() const { return home() + QStringLiteral("/log"); }

    QTemporaryDir m_tmp;
    ScriptedUserInteraction m_ui;
    owbtest::FakeMainWindow m_main;
};

void TestFrmLog::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_tmp.path() + "/settings");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_tmp.path() + "/settings");
    qputenv("OSTREL_WORKBENCH_HOME", home().toLocal8Bit());
    const QString missing = owbtest::missingChildren(
        makeLog().get(), {owbtest::named<QPlainTextEdit>("rtfLog"), owbtest::named<QPushButton>("Command1"),
                          owbtest::named<QPushButton>("Command2"), owbtest::named<QPushButton>("Command3")});
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("the window lacks ") + missing));
}

void TestFrmLog::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "OstrelClient", "OstrelClient").clear();
    QDir(home()).removeRecursively();
    QVERIFY(QDir().mkpath(home()));
    m_ui = ScriptedUserInteraction();
    m_main.hideLogCalls = 0;
}

std::unique_ptr<frmLog> TestFrmLog::makeLog()
{
    return std::make_unique<frmLog>(&m_main, &m_ui, nullptr, [] { return FixedNow; });
}

void TestFrmLog::firstStartWritesHeaderAndCreatesLogDir()
{
    QVERIFY(!QFileInfo::exists(logDir()));
    auto log = makeLog();
    const QString header = QStringLiteral("14:05:09 Log started on ") + expectedDate();
    QCOMPARE(log->logText(), header);
    QCOMPARE(log->findChild<QPlainTextEdit *>("rtfLog")->toPlainText(), header);
    QVERIFY(QFileInfo(logDir()).isDir());
    QCOMPARE(log->sequence(), 1);
    QVERIFY(m_ui.shown.isEmpty());
    QCOMPARE(log->objectName(), QStringLiteral("frmLog"));
    QCOMPARE(log->windowTitle(), QStringLiteral("Log"));
}

void TestFrmLog::widgetNamesAndCaptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("clear") << "Command1" << "Clear log";
    QTest::newRow("save") << "Command2" << "Save log";
    QTest::newRow("hide") << "Command3" << "Hide log";
}

void TestFrmLog::widgetNamesAndCaptions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    auto log = makeLog();
    auto *b = log->findChild<QPushButton *>(name);
    QVERIFY(b);
    QCOMPARE(b->text(), caption);
    QVERIFY(log->findChild<QPlainTextEdit *>("rtfLog")->isReadOnly());
}

void TestFrmLog::entryAppendsLine_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shownLine");
    QTest::newRow("plain") << "x" << "14:05:09 x";
    QTest::newRow("empty") << "" << "14:05:09 ";
    QTest::newRow("unicode") << QStringLiteral("Größe € ✓") << QStringLiteral("14:05:09 Größe € ✓");
    QTest::newRow("two lines crlf") << "a\r\nb" << "14:05:09 a\nb";
    QTest::newRow("two lines lf") << "a\nb" << "14:05:09 a\nb";
}

void TestFrmLog::entryAppendsLine()
{
    QFETCH(QString, message);
    QFETCH(QString, shownLine);
    auto log = makeLog();
    const QString header = log->logText();
    log->Log(message);
    QCOMPARE(log->logText(), header + QStringLiteral("\r\n14:05:09 ") + message);
    QVERIFY(!log->logText().endsWith(QLatin1Char('\n')) || message.endsWith(QLatin1Char('\n')));
    QCOMPARE(log->findChild<QPlainTextEdit *>("rtfLog")->toPlainText(), header + "\n" + shownLine);
}

void TestFrmLog::entriesKeepOrderInTextAndWidget()
{
    auto log = makeLog();
    QStringList lines{log->logText()};
    for (int i = 0; i < 500; ++i) {
        log->Log(QString::number(i));
        lines << QStringLiteral("14:05:09 ") + QString::number(i);
    }
    QCOMPARE(log->logText(), lines.join("\r\n"));
    QCOMPARE(log->findChild<QPlainTextEdit *>("rtfLog")->toPlainText(), lines.join("\n"));
}

void TestFrmLog::logEntryIsLog()
{
    auto log = makeLog();
    ILogMessage *sink = log.get();
    const QString header = log->logText();
    sink->LogEntry(QStringLiteral("via sink"));
    QCOMPARE(log->logText(), header + QStringLiteral("\r\n14:05:09 via sink"));
}

void TestFrmLog::clearLogAdvancesSequence_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("absent") << QString() << 2;
    QTest::newRow("41") << "41" << 42;
    QTest::newRow("wraps") << "9999999" << 1;
}

void TestFrmLog::clearLogAdvancesSequence()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    if (!stored.isNull())
        Settings::save("config", "logseq", stored);
    auto log = makeLog();
    log->Log(QStringLiteral("gone after clear"));
    QTest::mouseClick(log->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    const QString header = QStringLiteral("14:05:09 New log started on ") + expectedDate();
    QCOMPARE(log->logText(), header);
    QCOMPARE(log->findChild<QPlainTextEdit *>("rtfLog")->toPlainText(), header);
    QCOMPARE(log->sequence(), expected);
    QCOMPARE(Settings::get("config", "logseq"), QString::number(expected));
    QVERIFY(m_ui.shown.isEmpty());
}

void TestFrmLog::saveProposesNumberedFileAndNextStartLoadsIt()
{
    const QString proposed = logDir() + "/owblog_1.log";
    QString saved;
    {
        auto log = makeLog();
        log->Log(QStringLiteral("first"));
        m_ui.fileAnswers << proposed;
        QTest::mouseClick(log->findChild<QPushButton *>("Command2"), Qt::LeftButton);
        QCOMPARE(m_ui.shown.size(), 1);
        QCOMPARE(m_ui.shown[0].kind, QStringLiteral("saveFile"));
        QCOMPARE(m_ui.shown[0].title, QStringLiteral("Save log to"));
        QCOMPARE(m_ui.shown[0].text, proposed);
        QCOMPARE(readAll(proposed), log->logText().toUtf8());
        QVERIFY(readAll(proposed).contains("\r\n14:05:09 first"));
        QCOMPARE(Settings::get("config", "lastlog"), proposed);
        saved = log->logText();
    }
    {
        // Next start: the saved log comes back instead of a header line.
        auto next = makeLog();
        QCOMPARE(next->logText(), saved);
    }
    // A saved log found at start leaves the log folder alone.
    const QString elsewhere = m_tmp.path() + "/kept.log";
    QFile::remove(elsewhere);
    QVERIFY(QFile::rename(proposed, elsewhere));
    QVERIFY(QDir(logDir()).removeRecursively());
    Settings::save("config", "lastlog", elsewhere);
    auto next = makeLog();
    QCOMPARE(next->logText(), saved);
    QVERIFY(!QFileInfo::exists(logDir()));
    next->Log(QStringLiteral("second"));
    QCOMPARE(next->logText(), saved + QStringLiteral("\r\n14:05:09 second"));
    QCOMPARE(next->findChild<QPlainTextEdit *>("rtfLog")->toPlainText().split('\n').size(), 3);
    QVERIFY(m_ui.messages().isEmpty());
}

void TestFrmLog::savedLogIsReadAsText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8") << QByteArray("10:00:00 Log started\r\n10:00:01 Gr\xC3\xB6\xC3\x9F" "e")
                           << QStringLiteral("10:00:00 Log started\r\n10:00:01 Größe");
    QTest::newRow("byte order mark dropped") << QByteArray("\xEF\xBB\xBFx") << QStringLiteral("x");
    QTest::newRow("latin-1 kept") << QByteArray("\xE9t\xE9") << QStringLiteral("été");
    QTest::newRow("latin-1 letter at the end") << QByteArray("caf\xE1") << QStringLiteral("caf\u00E1");
    QTest::newRow("trailing break kept") << QByteArray("a\r\n") << QStringLiteral("a\r\n");
}

void TestFrmLog::savedLogIsReadAsText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const QString path = m_tmp.path() + "/earlier.log";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    Settings::save("config", "lastlog", path);
    auto log = makeLog();
    QCOMPARE(log->logText(), text);
    QVERIFY(m_ui.shown.isEmpty());
    // What was loaded is saved back unchanged apart from the encoding.
    m_ui.fileAnswers << path;
    m_ui.questionAnswers << true;   // over itself
    log->saveLog();
    QCOMPARE(QString::fromUtf8(readAll(path)), text);
}

void TestFrmLog::entryAfterEmptySavedLog()
{
    const QString path = m_tmp.path() + "/empty.log";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.close();
    Settings::save("config", "lastlog", path);
    auto log = makeLog();
    QCOMPARE(log->logText(), QString());
    log->Log(QStringLiteral("x"));
    QCOMPARE(log->logText(), QStringLiteral("\r\n14:05:09 x"));
    QCOMPARE(log->findChild<QPlainTextEdit *>("rtfLog")->toPlainText(), QStringLiteral("\n14:05:09 x"));
}

void TestFrmLog::newEntryFollowsOnlyAViewAtTheEnd()
{
    auto log = makeLog();
    log->resize(400, 200);
    log->show();
    QVERIFY(QTest::qWaitForWindowExposed(log.get()));
    auto *bar = log->findChild<QPlainTextEdit *>("rtfLog")->verticalScrollBar();
    for (int i = 0; i < 200; ++i)
        log->Log(QString::number(i));
    QCoreApplication::processEvents();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    bar->setValue(0);
    log->Log(QStringLiteral("more"));
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), 0);
}

void TestFrmLog::saveDoesNotChangeSequence()
{
    Settings::save("config", "logseq", "12");
    auto log = makeLog();
    m_ui.fileAnswers << m_tmp.path() + "/a.log" << m_tmp.path() + "/b.log" << m_tmp.path() + "/c.log";
    log->saveLog();
    log->saveLog();
    QCOMPARE(m_ui.shown[0].text, logDir() + "/owblog_12.log");
    QCOMPARE(m_ui.shown[1].text, logDir() + "/owblog_12.log");
    log->clearLog();
    log->saveLog();
    QCOMPARE(m_ui.shown[2].text, logDir() + "/owblog_13.log");
    QCOMPARE(Settings::get("config", "lastlog"), m_tmp.path() + "/c.log");
}

void TestFrmLog::cancelledSaveChangesNothing()
{
    Settings::save("config", "lastlog", "");
    auto log = makeLog();
    Settings::save("config", "lastlog", "keep-me");
    log->saveLog();   // empty answer queue: cancelled
    QCOMPARE(m_ui.shown.size(), 1);
    QCOMPARE(Settings::get("config", "lastlog"), QStringLiteral("keep-me"));
    QVERIFY(QDir(logDir()).entryList(QDir::Files).isEmpty());
}

void TestFrmLog::saveAsksBeforeReplacingAFile_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No keeps the file") << false;
    QTest::newRow("Yes replaces it") << true;
}

// After a restart without a saved log the numbers start again: the proposed file may hold an
// older log.
void TestFrmLog::saveAsksBeforeReplacingAFile()
{
    QFETCH(bool, yes);
    const QString proposed = logDir() + "/owblog_1.log";
    QVERIFY(QDir().mkpath(logDir()));
    {
        QFile older(proposed);
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write("an older log");
    }
    auto log = makeLog();
    log->Log(QStringLiteral("now"));
    m_ui.fileAnswers << proposed;
    m_ui.questionAnswers << yes;
    log->saveLog();
    QCOMPARE(m_ui.shown.size(), 2);
    QCOMPARE(m_ui.shown[0].text, proposed);
    QCOMPARE(m_ui.shown[1].kind, QStringLiteral("question"));
    QCOMPARE(m_ui.shown[1].title, QStringLiteral("Warning"));
    QCOMPARE(m_ui.shown[1].text, QStringLiteral("You are about to overwrite an existing file.\r\nWould you like to continue?"));
    QCOMPARE(readAll(proposed), yes ? log->logText().toUtf8() : QByteArray("an older log"));
    QCOMPARE(Settings::get("config", "lastlog"), yes ? proposed : QString());
}

void TestFrmLog::failedSaveIsReported_data()
{
    QTest::addColumn<QString>("target");   // relative to the temp dir
    QTest::newRow("missing folder") << "no/such/folder/x.log";
    QTest::newRow("a folder") << "home";
}

void TestFrmLog::failedSaveIsReported()
{
    QFETCH(QString, target);
    Settings::save("config", "lastlog", "");
    auto log = makeLog();
    m_ui.fileAnswers << m_tmp.path() + "/" + target;
    log->saveLog();
    QCOMPARE(m_ui.messages().size(), 1);
    QVERIFY(m_ui.messages()[0].startsWith("The log cannot be saved to "));
    QCOMPARE(m_ui.shown.last().icon, UserInteraction::Icon::Exclamation);
    QCOMPARE(Settings::get("config", "lastlog"), QString());
    // The window goes on working.
    log->Log(QStringLiteral("still here"));
    QVERIFY(log->logText().endsWith("still here"));
}

void TestFrmLog::unreadableLastLogStartsFresh_data()
{
    QTest::addColumn<QString>("lastLog");   // relative to the temp dir
    QTest::newRow("deleted") << "gone.log";
    QTest::newRow("a folder") << "home";
}

void TestFrmLog::unreadableLastLogStartsFresh()
{
    QFETCH(QString, lastLog);
    Settings::save("config", "lastlog", m_tmp.path() + "/" + lastLog);
    auto log = makeLog();
    QCOMPARE(log->logText(), QStringLiteral("14:05:09 Log started on ") + expectedDate());
    QVERIFY(QFileInfo(logDir()).isDir());
    QCOMPARE(m_ui.messages().size(), 1);
    QVERIFY(m_ui.messages()[0].contains(lastLog));
    QCOMPARE(m_ui.shown[0].icon, UserInteraction::Icon::Exclamation);
}

void TestFrmLog::badSequenceIsReported_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("text") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("zero") << "0";
    QTest::newRow("too large") << "10000000";
}

void TestFrmLog::badSequenceIsReported()
{
    QFETCH(QString, stored);
    Settings::save("config", "logseq", stored);
    auto log = makeLog();
    QCOMPARE(m_ui.messages().size(), 1);
    QVERIFY(m_ui.messages()[0].contains('"' + stored + '"'));
    QCOMPARE(log->sequence(), 1);
    QCOMPARE(Settings::get("config", "logseq"), QStringLiteral("1"));
    QVERIFY(log->logText().contains("Log started on"));
    log->clearLog();
    QCOMPARE(log->sequence(), 2);
}

void TestFrmLog::logDirThatCannotBeCreatedIsReported()
{
    QFile blocker(logDir());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto log = makeLog();
    QCOMPARE(m_ui.messages().size(), 1);
    QVERIFY(m_ui.messages()[0].startsWith("The log folder cannot be created"));
    QCOMPARE(log->logText(), QStringLiteral("14:05:09 Log started on ") + expectedDate());
    log->Log(QStringLiteral("goes on"));
    QVERIFY(log->logText().endsWith("goes on"));
}

void TestFrmLog::hideButtonAsksMainWindow()
{
    auto log = makeLog();
    QTest::mouseClick(log->findChild<QPushButton *>("Command3"), Qt::LeftButton);
    QCOMPARE(m_main.hideLogCalls, 1);
    log->setMainWindow(nullptr);
    log->hideLog();   // no main window: nothing to ask
    QCOMPARE(m_main.hideLogCalls, 1);
}

void TestFrmLog::buttonsStackAtTopRight()
{
    auto log = makeLog();
    log->resize(800, 500);
    log->show();
    QVERIFY(QTest::qWaitForWindowExposed(log.get()));
    auto *text = log->findChild<QPlainTextEdit *>("rtfLog");
    QCOMPARE(text->geometry(), QRect(0, 0, 800, 500));
    QWidget *previous = nullptr;
    for (const char *name : {"Command1", "Command2", "Command3"}) {
        auto *b = log->findChild<QPushButton *>(name);
        QCOMPARE(b->geometry().right() + 1, 800 - 16);
        if (previous) {
            QCOMPARE(b->x(), previous->x());
            QVERIFY(b->y() >= previous->geometry().bottom());
        }
        previous = b;
    }
}

void TestFrmLog::findBarTakesTheBottomOfTheText()
{
    auto log = makeLog();
    log->Log(QStringLiteral("first entry"));
    log->show();
    log->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(log.get()));
    auto *text = log->findChild<QPlainTextEdit *>(QStringLiteral("rtfLog"));
    text->setFocus();
    QTRY_VERIFY(text->hasFocus());
    const int fullHeight = text->height();

    QTest::keySequence(text, QKeySequence(Qt::CTRL | Qt::Key_F));
    FindBar *bar = log->findBar();
    QVERIFY(!bar->isHidden());
    QCOMPARE(text->height() + bar->height(), fullHeight);
    QCOMPARE(bar->y(), text->height());
    auto *find = bar->findChild<QLineEdit *>(QStringLiteral("txtFindText"));
    QTRY_VERIFY(find->hasFocus());
    QTest::keyClicks(find, QStringLiteral("FIRST"));
    QTest::keyClick(find, Qt::Key_Return);
    QCOMPARE(text->textCursor().selectedText(), QStringLiteral("first"));

    QTest::keyClick(find, Qt::Key_Escape);
    QVERIFY(bar->isHidden());
    QCOMPARE(text->height(), fullHeight);
    QTRY_VERIFY(text->hasFocus());
}

QTEST_MAIN(TestFrmLog)
#include "tst_frmlog.moc"
