#include "cli/Cli.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return owb::cli::run(app.arguments().mid(1));
}
