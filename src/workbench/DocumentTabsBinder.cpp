#include "workbench/DocumentTabsBinder.h"

#include <QTabWidget>

namespace owb {

DocumentTabsBinder::DocumentTabsBinder(QTabWidget *tabs, Perform perform)
    : QObject(tabs), m_tabs(tabs), m_perform(std::move(perform)), m_current(tabs->currentIndex())
{
    connect(tabs, &QTabWidget::currentChanged, this, &DocumentTabsBinder::onChanged);
}

void DocumentTabsBinder::switchBack(int tab)
{
    m_switchingBack = true;
    m_tabs->setCurrentIndex(tab);
    m_switchingBack = false;
}

void DocumentTabsBinder::onChanged(int index)
{
    const int previous = m_current;
    m_current = index;
    if (m_switchingBack)
        return;
    const TabAction action = tabChangeAction(previous, index);
    if (action != TabAction::None)
        m_perform(action, previous);
}

} // namespace owb
