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

void CommandBars::fill(QToolBar *bar, const QList<Command> &commands)
{
    for (const Command &c : commands) {
        QAction *action = makeAction(bar, c);
        if (!c.menu.isEmpty()) {
            auto *menu = new QMenu(bar);
            menu->setObjectName(c.key + QStringLiteral("Menu"));
            for (const Command &entry : c.menu)
                menu->addAction(makeAction(menu, entry));
            action->setMenu(menu);
        }
        bar->addAction(action);
        if (!c.menu.isEmpty())
            if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action)))
                button->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

} // namespace owb
