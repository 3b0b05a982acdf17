#pragma once
#include "workbench/CommandBars.h"

#include <QList>

namespace owb {

class frmOstrelClient;

// The commands of Toolbar1, the document commands of the document window.
//
// A new command is one row in commands() (key, caption, tool tip, handler) and one handler
// here. Handlers work through the window's parts (window.session(), window.reporter(), the
// editors) and report every outcome through the window's OutcomeReporter.
class DocumentCommands {
public:
    explicit DocumentCommands(frmOstrelClient &window) : m_window(window) {}

    // The buttons of Toolbar1, in order.
    QList<Command> commands();

private:
    void query();

    frmOstrelClient &m_window;
};

} // namespace owb
