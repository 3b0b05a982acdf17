#pragma once
#include "common/UserInteraction.h"

#include <QString>
#include <QStringList>

namespace owb {

// A window that may hold text the user has neither stored nor saved. The main window asks
// once for all of them before it closes.
class UnsavedWork {
public:
    virtual ~UnsavedWork() = default;

    // What holds such changes, one name each ("Order osl:id=2"); empty when nothing does.
    virtual QStringList unsavedChanges() = 0;
    // The user has agreed to let them go: the window closes without asking again.
    virtual void discardUnsavedChanges() = 0;

    static QString discardTitle() { return QStringLiteral("Unsaved changes"); }
    static QString discardQuestion(const QStringList &names)
    {
        return QStringLiteral("Discard the changes to ") + names.join(QStringLiteral(", ")) + QLatin1Char('?');
    }
    // True when names is empty or the user answers Yes (No is the default answer).
    static bool confirmDiscard(UserInteraction *ui, const QStringList &names)
    {
        if (names.isEmpty())
            return true;
        return ui && ui->questionDefaultNo(discardQuestion(names), discardTitle());
    }
};

} // namespace owb
