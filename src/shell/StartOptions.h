#pragma once
#include <QString>
#include <QStringList>

namespace owb {

// The workbench's own command-line arguments (Qt's options are taken by QApplication).
struct StartOptions {
    QString databaseURI;   // shown first in the Navigate window for this run; empty: none
    bool help = false;
    QString error;         // why the arguments cannot be used; empty when they can

    // arguments: without the program's name.
    static StartOptions parse(const QStringList &arguments);
    static QString helpText();
};

} // namespace owb
