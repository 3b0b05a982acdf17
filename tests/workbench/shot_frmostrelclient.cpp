// Screenshots of the text, tree and result pages of a demo document, for a look by eye.
// Run under a real display (xvfb-run -a); writes <out>/frmOstrelClient_{text,tree,result}.png.
#include "WorkbenchFixture.h"
#include "support/Screenshot.h"

#include "workbench/frmOstrelClient.h"
#include "support/DocTree.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTreeView>
#include <QWebEngineView>

#include <cstdio>

using namespace wbtest;

namespace {

bool grab(QWidget *w, const QString &path)
{
    const bool ok = owbtest::paintedNow(w) && w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);

    IsolatedHome home;
    Server server(qEnvironmentVariable("OSTRELD_DEMO"));
    if (!server.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    Context ctx(server.databaseURI());
    owb::frmOstrelClient w(ctx.app());
    w.setDoctype(QStringLiteral("Sales/Customer"));
    w.Init(server.openingURI(QStringLiteral("Customer"), QStringLiteral("Sales")));
    w.resize(1100, 700);
    w.show();
    w.findChild<QLineEdit *>(QStringLiteral("txtQry"))->setText(QStringLiteral("address/country='FR'"));
    w.findChild<QAction *>(QStringLiteral("Query"))->trigger();
    if (w.findChild<QListWidget *>(QStringLiteral("lstDocuments"))->count() == 0) {
        std::fprintf(stderr, "no documents listed\n");
        return 1;
    }

    bool ok = grab(&w, out + QStringLiteral("/frmOstrelClient_text.png"));

    auto *tabs = w.findChild<QTabWidget *>(QStringLiteral("SSTab1"));
    tabs->setCurrentIndex(1);
    auto *tree = w.findChild<QTreeView *>(QStringLiteral("tvDocument"));
    tree->expandAll();
    const QModelIndex name = owbtest::docTreeIndex(tree, QStringLiteral("./name"));
    if (name.isValid()) {
        tree->setCurrentIndex(name);
        emit tree->clicked(name);
    }
    ok = grab(&w, out + QStringLiteral("/frmOstrelClient_tree.png")) && ok;

    tabs->setCurrentIndex(3);
    auto *browser = w.findChild<QWebEngineView *>(QStringLiteral("WebBrowser1"));
    if (!browser) {
        std::fprintf(stderr, "stylesheet not applied: %s\n", qPrintable(ctx.main.lastStatus()));
        return 1;
    }
    QSignalSpy loaded(browser, &QWebEngineView::loadFinished);
    if (!loaded.wait(30000) || !owbtest::showsContent(browser))
        std::fprintf(stderr, "the result page did not show\n");
    ok = grab(&w, out + QStringLiteral("/frmOstrelClient_result.png")) && ok;
    return ok ? 0 : 1;
}
