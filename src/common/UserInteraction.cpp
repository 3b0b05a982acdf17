#include "common/UserInteraction.h"

#include <QFileInfo>

namespace owb {

bool confirmOverwrite(UserInteraction &ui, const QString &path)
{
    const QFileInfo file(path);
    // A folder is no file to replace: the save itself then says why it fails.
    return !file.exists() || file.isDir()
           || ui.question(QStringLiteral("You are about to overwrite an existing file.\r\nWould you like to continue?"),
                          QStringLiteral("Warning"));
}

} // namespace owb
