#pragma once
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QToolBar;
class QWidget;

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
    // Acts while the focus is anywhere in the bars' window, never in another one.
    QKeySequence shortcut = {};
    // Why the command cannot act now; shown in its tip while it is disabled.
    std::function<QString()> whyNot = {};
};

// Builds toolbars from command tables, in table order, and keeps each action enabled exactly
// while its command can act: update() asks every canRun again. Whoever owns the state the
// predicates read connects its change signals (editor texts, the page shown, the list, the
// session) to update(). A menu that shows the same QAction (action(key)) follows for free.
class CommandBars : public QObject {
    Q_OBJECT
public:
    // window: where the shortcuts apply (the focus anywhere inside it); may be null.
    explicit CommandBars(QWidget *window = nullptr);

    // Appends one action per command to bar; a command with menu entries becomes a button
    // with a drop-down arrow whose entries are actions named by their keys. Clicking a
    // button or choosing an entry runs its command. The states are set at once.
    void add(QToolBar *bar, const QList<Command> &commands);
    // The action of a button or menu entry added here; null for an unknown key.
    QAction *action(const QString &key) const;
    // Appends every bar's actions to menu in bar order, a separator between two bars; a
    // button with a drop-down becomes a submenu. The entries' tips follow as the buttons' do.
    void fillMenu(QMenu *menu);
    // What a command's button shows on hovering: its tool tip, its shortcut, and while it is
    // disabled, why.
    QString tipOf(const QAction *action) const;

    // add() without keeping states: every action stays enabled.
    static void fill(QToolBar *bar, const QList<Command> &commands);

public slots:
    void update();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct State {
        QAction *action;
        std::function<bool()> canRun;
        std::function<QString()> whyNot;
    };
    static void build(QToolBar *bar, const QList<Command> &commands, QList<State> *states);
    const State *stateOf(const QAction *action) const;

    QPointer<QWidget> m_window;
    QList<QToolBar *> m_bars;
    QList<State> m_states;
};

} // namespace owb
