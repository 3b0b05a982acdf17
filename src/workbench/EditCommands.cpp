#include "workbench/EditCommands.h"

#include "workbench/frmOstrelClient.h"

namespace owb {

QList<Command> EditCommands::commands()
{
    return {};
}

} // namespace owb
