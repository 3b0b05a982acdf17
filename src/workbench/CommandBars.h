#pragma once
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QAction;
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
    // Whether the command can act now; empty: always. Where the command has something to tell
    // even with nothing to act on (a message for the case), it counts as able to act.
    std::function<bool()> canRun = {};
};

// Builds toolbars from command tables, in table order, and keeps each action enabled exactly
// while its command can act: update() asks every canRun again. Whoever owns the state the
// predicates read connects its change signals (editor texts, the page shown, the list, the
// session) to update(). A menu that shows the same QAction (action(key)) follows for free.
class CommandBars : public QObject {
    Q_OBJECT
public:
    explicit CommandBars(QObject *parent = nullptr) : QObject(parent) {}

    // Appends one action per command to bar; a command with menu entries becomes a button
    // with a drop-down arrow whose entries are actions named by their keys. Clicking a
    // button or choosing an entry runs its command. The states are set at once.
    void add(QToolBar *bar, const QList<Command> &commands);
    // The action of a button or menu entry added here; null for an unknown key.
    QAction *action(const QString &key) const;

    // add() without keeping states: every action stays enabled.
    static void fill(QToolBar *bar, const QList<Command> &commands);

public slots:
    void update();

private:
    struct State {
        QAction *action;
        std::function<bool()> canRun;
    };
    static void build(QToolBar *bar, const QList<Command> &commands, QList<State> *states);

    QList<State> m_states;
};

} // namespace owb
