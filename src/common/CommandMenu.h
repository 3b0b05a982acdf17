#pragma once
#include <QString>

class QAction;
class QMenu;

namespace owb {

// A child window whose commands the main window offers in its menu bar while that window is
// the active one.
class CommandMenu {
public:
    virtual ~CommandMenu() = default;
    // Appends the window's commands to menu, in the order its toolbars show them.
    virtual void fillCommandMenu(QMenu *menu) = 0;
    // The action of one command ("Query", "Store", "Print"); null when the window has none.
    virtual QAction *commandAction(const QString &key) const = 0;
};

} // namespace owb
