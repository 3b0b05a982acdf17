// The stylesheet page of the document window with the XSL-FO completion list open; under
// Xvfb the screenshot shows the list as a user sees it.
#include <QtTest>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QTabWidget>
#include <Qsci/qsciscintilla.h>

#include "support/Screenshot.h"
#include "support/TestContext.h"
#include "workbench/XslFoEditor.h"
#include "workbench/frmOstrelClient.h"

class TestStylesheetScreens : public QObject {
    Q_OBJECT
private slots:
    void completionListOnStylesheetPage();
};

void TestStylesheetScreens::completionListOnStylesheetPage()
{
    owbtest::IsolatedHome home;
    owbtest::Context ctx;
    owb::frmOstrelClient w(ctx.app());
    auto *editor = w.findChild<QsciScintilla *>(QStringLiteral("CodeMax1"));
    QVERIFY(editor);
    // The window sets the assistance up itself.
    auto *assist = editor->findChild<owb::XslFoEditor *>();
    QVERIFY(assist);
    QVERIFY2(ctx.log.lines.isEmpty(), qPrintable(ctx.log.lines.join('\n')));
    QVERIFY(assist->lexer());

    w.resize(1000, 640);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *tabs = w.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    QVERIFY(tabs);
    tabs->setCurrentWidget(editor);
    editor->setFocus();

    // A new line after the first template's start tag.
    const int line = 9;
    QVERIFY(editor->text(line).contains(QStringLiteral("<xsl:template match=\"/\">")));
    editor->setCursorPosition(line, editor->text(line).trimmed().size() + 2);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, QStringLiteral("<fo:block"));
    QTRY_VERIFY(editor->isListActive());
    QCOMPARE(assist->CurrentTagName(), QStringLiteral("fo:block"));
    QListWidget *list = nullptr;
    for (QListWidget *l : editor->findChildren<QListWidget *>())
        if (l->isVisible())
            list = l;
    QVERIFY(list);
    QVERIFY(list->count() > 100);
    QVERIFY(owbtest::paintedNow(&w));
    QVERIFY(owbtest::paintedNow(list));

    QVERIFY(QDir().mkpath(QStringLiteral(OWB_SCREENSHOT_DIR)));
    const bool onScreen = QGuiApplication::platformName() == QLatin1String("xcb");
    const QRect frame = w.frameGeometry();
    const QPixmap shot = onScreen
        ? w.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
        : w.grab();
    const QString path = QStringLiteral(OWB_SCREENSHOT_DIR "/stylesheet-completion")
        + qEnvironmentVariable("OWB_SCREENSHOT_SUFFIX") + QStringLiteral(".png");
    QVERIFY(!shot.isNull() && shot.save(path));
}

QTEST_MAIN(TestStylesheetScreens)
#include "tst_stylesheet_screens.moc"
