#include "workbench/CommandBars.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace owb {

namespace {

QAction *makeAction(QObject *owner, const Command &c)
{
    auto *a = new QAction(c.caption, owner);
    a->setObjectName(c.key);
    a->setToolTip(c.toolTip);
    if (c.run)
        QObject::connect(a, &QAction::triggered, owner, [run = c.run] { run(); });
    return a;
}

} // namespace

void CommandBars::build(QToolBar *bar, const QList<Command> &commands, QList<State> *states)
{
    for (const Command &c : commands) {
        QAction *action = makeAction(bar, c);
        states->append({action, c.canRun});
        if (!c.menu.isEmpty()) {
            auto *menu = new QMenu(bar);
            menu->setObjectName(c.key + QStringLiteral("Menu"));
            for (const Command &entry : c.menu) {
                QAction *item = makeAction(menu, entry);
                states->append({item, entry.canRun});
                menu->addAction(item);
            }
            action->setMenu(menu);
        }
        bar->addAction(action);
        if (!c.menu.isEmpty())
            if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action)))
                button->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

void CommandBars::fill(QToolBar *bar, const QList<Command> &commands)
{
    QList<State> ignored;
    build(bar, commands, &ignored);
}

void CommandBars::add(QToolBar *bar, const QList<Command> &commands)
{
    build(bar, commands, &m_states);
    update();
}

QAction *CommandBars::action(const QString &key) const
{
    for (const State &s : m_states)
        if (s.action->objectName() == key)
            return s.action;
    return nullptr;
}

void CommandBars::update()
{
    for (const State &s : std::as_const(m_states))
        s.action->setEnabled(!s.canRun || s.canRun());
}

} // namespace owb
