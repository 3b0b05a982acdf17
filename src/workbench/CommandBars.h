#pragma once
#include <QList>
#include <QString>
#include <functional>

class QToolBar;

namespace owb {

// One toolbar button, or one entry of a button's drop-down menu. key is the action's object
// name (what tests and the outside check find it by).
struct Command {
    QString key;
    QString caption;
    QString toolTip;
    std::function<void()> run;   // may be empty: the button does nothing
    QList<Command> menu;         // entries of the button's drop-down; empty: a plain button
};

// Builds toolbars from command tables, in table order.
class CommandBars {
public:
    // Appends one action per command to bar; a command with menu entries becomes a button
    // with a drop-down arrow whose entries are actions named by their keys. Clicking a
    // button or choosing an entry runs its command.
    static void fill(QToolBar *bar, const QList<Command> &commands);
};

} // namespace owb
