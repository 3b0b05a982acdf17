#include "shell/Application.h"
#include "shell/StartOptions.h"
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    // Before QApplication, so that the help needs no display.
    if (owb::StartOptions::parse(raw).help) {
        std::fputs(owb::StartOptions::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }

    // The web view's sandbox refuses to run as root and takes the process down with it.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Qt's options are gone from the arguments by now.
    const owb::StartOptions options = owb::StartOptions::parse(QCoreApplication::arguments().mid(1));
    // A wrong argument is said, not fatal: whoever starts the workbench still gets a window.
    if (!options.error.isEmpty())
        std::fprintf(stderr, "OstrelClient: %s, ignored\nOstrelClient --help lists the options.\n",
                     options.error.toLocal8Bit().constData());
    QApplication::setApplicationName(QStringLiteral("OstrelClient"));
    // The desktop entry's name and icon, so the task bar shows the menu's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("ostrel-workbench"));
    QIcon icon;
    for (int size : {64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/ostrel-workbench-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    owb::Application workbench;
    workbench.setStartDatabaseURI(options.databaseURI);
    workbench.start();
    return app.exec();
}
