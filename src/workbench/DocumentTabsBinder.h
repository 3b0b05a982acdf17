#pragma once
#include "workbench/DocumentTabs.h"

#include <QObject>
#include <functional>

class QTabWidget;

namespace owb {

// Applies tabChangeAction to a tab widget: every page change by the user runs the action of
// the move through perform; a page change made by switchBack runs nothing.
class DocumentTabsBinder : public QObject {
    Q_OBJECT
public:
    // perform(action, previous page) is called after the new page is shown.
    using Perform = std::function<void(TabAction action, int previous)>;

    DocumentTabsBinder(QTabWidget *tabs, Perform perform);

    int currentTab() const { return m_current; }
    // Shows tab again without running any action (an action that failed returns there).
    void switchBack(int tab);

private:
    void onChanged(int index);

    QTabWidget *m_tabs;
    Perform m_perform;
    int m_current;
    bool m_switchingBack = false;
};

} // namespace owb
