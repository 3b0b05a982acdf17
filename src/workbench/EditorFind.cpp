#include "workbench/EditorFind.h"

#include <QTabWidget>
#include <Qsci/qsciscintilla.h>

namespace owb {

bool ScintillaFind::find(const FindQuery &query, bool forward)
{
    // From the far side of the selection, so the hit shown now is not found again.
    int line = -1, index = -1, lineTo = -1, indexTo = -1;
    m_editor->getSelection(&line, &index, &lineTo, &indexTo);
    if (line < 0)
        m_editor->getCursorPosition(&line, &index);
    else if (forward) {
        line = lineTo;
        index = indexTo;
    }
    // Regular expressions as the find bar checks them (ECMAScript-like), not the editor's
    // older dialect.
    return m_editor->findFirst(query.text, query.regExp, query.matchCase, query.wholeWord, true, forward, line,
                               index, true, false, query.regExp);
}

QWidget *ScintillaFind::textWidget() const
{
    return m_editor;
}

EditorFind::EditorFind(QTabWidget *pages, const QList<QsciScintilla *> &editors, QObject *parent)
    : QObject(parent), m_pages(pages)
{
    for (QsciScintilla *editor : editors)
        m_editors.emplace_back(editor, std::make_unique<ScintillaFind>(editor));
}

EditorFind::~EditorFind() = default;

FindTarget *EditorFind::current() const
{
    for (const auto &[editor, find] : m_editors)
        if (m_pages->currentWidget() == editor)
            return find.get();
    return nullptr;
}

} // namespace owb
