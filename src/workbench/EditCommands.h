#pragma once
#include "workbench/CommandBars.h"

#include <QList>

namespace owb {

class frmOstrelClient;

// The commands of Toolbar2, the edit and check commands of the document window. None yet.
//
// A new command is one row in commands() and one handler here, as in DocumentCommands. A
// button with a drop-down lists its entries as the row's menu; each entry has its own key
// and handler:
//   {"Validate", "Validate", "Validate XML document", [this] { validate(); },
//    {{"WellFormed", "Well formedness", {}, [this] { wellFormed(); }, {}}, ...}}
class EditCommands {
public:
    explicit EditCommands(frmOstrelClient &window) : m_window(window) {}

    // The buttons of Toolbar2, in order.
    QList<Command> commands();

private:
    [[maybe_unused]] frmOstrelClient &m_window;
};

} // namespace owb
