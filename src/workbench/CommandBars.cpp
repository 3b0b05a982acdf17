#include "workbench/CommandBars.h"

#include <QAction>
#include <QHelpEvent>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

namespace owb {

namespace {

QAction *makeAction(QObject *owner, const Command &c)
{
    auto *a = new QAction(c.caption, owner);
    a->setObjectName(c.key);
    a->setToolTip(c.toolTip);
    if (!c.shortcut.isEmpty()) {
        a->setShortcut(c.shortcut);
        // Two document windows hold the same keys: only the one with the focus may answer.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    }
    if (c.run)
        QObject::connect(a, &QAction::triggered, owner, [run = c.run] { run(); });
    return a;
}

} // namespace

CommandBars::CommandBars(QWidget *window) : QObject(window), m_window(window) {}

void CommandBars::build(QToolBar *bar, const QList<Command> &commands, QList<State> *states)
{
    for (const Command &c : commands) {
        QAction *action = makeAction(bar, c);
        states->append({action, c.canRun, c.whyNot});
        if (!c.menu.isEmpty()) {
            auto *menu = new QMenu(bar);
            menu->setObjectName(c.key + QStringLiteral("Menu"));
            for (const Command &entry : c.menu) {
                QAction *item = makeAction(menu, entry);
                states->append({item, entry.canRun, entry.whyNot});
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
    const qsizetype first = m_states.size();
    build(bar, commands, &m_states);
    m_bars << bar;
    for (qsizetype i = first; i < m_states.size(); ++i) {
        QAction *a = m_states[i].action;
        if (m_window && !a->shortcut().isEmpty())
            m_window->addAction(a);
        if (QMenu *menu = a->menu())
            menu->installEventFilter(this);
    }
    update();
}

QAction *CommandBars::action(const QString &key) const
{
    for (const State &s : m_states)
        if (s.action->objectName() == key)
            return s.action;
    return nullptr;
}

const CommandBars::State *CommandBars::stateOf(const QAction *action) const
{
    for (const State &s : m_states)
        if (s.action == action)
            return &s;
    return nullptr;
}

void CommandBars::fillMenu(QMenu *menu)
{
    for (QToolBar *bar : std::as_const(m_bars)) {
        if (bar != m_bars.first())
            menu->addSeparator();
        menu->addActions(bar->actions());
    }
    menu->installEventFilter(this);
}

QString CommandBars::tipOf(const QAction *action) const
{
    QString tip = action->toolTip();
    if (!action->shortcut().isEmpty())
        tip += QStringLiteral(" (") + action->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')');
    const State *s = stateOf(action);
    if (s && !action->isEnabled() && s->whyNot) {
        const QString why = s->whyNot();
        if (!why.isEmpty())
            tip += QLatin1Char('\n') + why;
    }
    return tip;
}

void CommandBars::update()
{
    for (const State &s : std::as_const(m_states))
        s.action->setEnabled(!s.canRun || s.canRun());
    // The buttons take the action's own tip back on every change of it: set theirs after.
    for (QToolBar *bar : std::as_const(m_bars))
        for (QAction *a : bar->actions())
            if (QWidget *button = bar->widgetForAction(a))
                button->setToolTip(tipOf(a));
}

bool CommandBars::eventFilter(QObject *watched, QEvent *event)
{
    // A menu shows no tips of its own by default, and never one with the reason.
    auto *menu = qobject_cast<QMenu *>(watched);
    if (menu && event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        QAction *a = menu->actionAt(help->pos());
        if (a && stateOf(a)) {
            QToolTip::showText(help->globalPos(), tipOf(a), menu, menu->actionGeometry(a));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace owb
