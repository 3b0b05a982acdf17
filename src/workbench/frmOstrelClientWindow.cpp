// The document window as one of the main window's children: its commands in the menu bar.
#include "workbench/frmOstrelClient.h"

#include "workbench/CommandBars.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>

namespace owb {

void frmOstrelClient::fillCommandMenu(QMenu *menu)
{
    m_bars->fillMenu(menu);
}

void frmOstrelClient::releaseWindowKeys()
{
    // An editor takes every key it has a binding for before any shortcut sees it: its Ctrl+L
    // (cut the line) would keep View > Log from the user while typing.
    const int key = QKeyCombination(Qt::CTRL | Qt::Key_L).toCombined();
    for (QsciScintilla *editor : {m_documentEditor, m_stylesheetEditor, m_schemaEditor}) {
        QsciCommand *bound = editor->standardCommands()->boundTo(key);
        if (bound && bound->key() == key)
            bound->setKey(0);
        else if (bound)
            bound->setAlternateKey(0);
    }
}

QAction *frmOstrelClient::commandAction(const QString &key) const
{
    return m_bars->action(key);
}

} // namespace owb
