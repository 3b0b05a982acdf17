#include "workbench/DocumentCommands.h"

#include "workbench/frmOstrelClient.h"

namespace owb {

QList<Command> DocumentCommands::commands()
{
    return {
        {QStringLiteral("Query"), QStringLiteral("Query"), QStringLiteral("Query"), [this] { query(); }, {}},
    };
}

void DocumentCommands::query()
{
    m_window.RunQuery();
}

} // namespace owb
