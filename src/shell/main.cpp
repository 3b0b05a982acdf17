#include "shell/Application.h"
#include <QApplication>
#include <QIcon>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // The web view's sandbox refuses to run as root and takes the process down with it.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OstrelClient"));
    // The desktop entry's name and icon, so the task bar shows the menu's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("ostrel-workbench"));
    QIcon icon;
    for (int size : {64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/ostrel-workbench-%1.png").arg(size));
    QApplication::setWindowIcon(icon);

    owb::Application workbench;
    workbench.start();
    return app.exec();
}
