#include "shell/Application.h"
#include <QApplication>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // The web view's sandbox refuses to run as root and takes the process down with it.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("OstrelClient"));

    owb::Application workbench;
    workbench.start();
    return app.exec();
}
