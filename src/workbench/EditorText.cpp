#include "workbench/EditorText.h"

#include <Qsci/qsciscintilla.h>

namespace owb {

EditorFill::EditorFill(QsciScintilla *editor, qsizetype bytes)
    : m_editor(editor), m_readOnly(editor->isReadOnly()), m_linesBefore(editor->lines())
{
    editor->setReadOnly(false);
    m_collecting = editor->SendScintilla(QsciScintillaBase::SCI_GETUNDOCOLLECTION);
    editor->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0UL);
    // Every modification notice carries the inserted bytes, which the editor's accessibility
    // support turns into UTF-16 and places by counting characters from the start: for a big
    // text that costs its size twice over, and piece by piece it grows quadratic. So the
    // notices are off while the text is replaced, and the signals they would give come after.
    m_events = editor->SendScintilla(QsciScintillaBase::SCI_GETMODEVENTMASK);
    editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0UL);
    editor->SendScintilla(QsciScintillaBase::SCI_CLEARALL);
    // One byte more than the text: the buffer grows when an insertion fills its gap exactly.
    editor->SendScintilla(QsciScintillaBase::SCI_ALLOCATE, static_cast<unsigned long>(bytes + 1));
}

EditorFill::~EditorFill()
{
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, static_cast<unsigned long>(m_events));
    m_editor->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, static_cast<unsigned long>(m_collecting));
    m_editor->setReadOnly(m_readOnly);
    emit m_editor->textChanged();
    if (m_editor->lines() != m_linesBefore)
        emit m_editor->linesChanged();
}

void EditorFill::append(const char *data, qsizetype size)
{
    if (size > 0)
        m_editor->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(size), data);
}

bool hasText(QsciScintilla *editor)
{
    const long length = editor->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    for (long pos = 0; pos < length; ++pos) {
        const auto c = static_cast<unsigned char>(editor->SendScintilla(QsciScintillaBase::SCI_GETCHARAT, pos));
        if (c == ' ' || (c >= '\t' && c <= '\r'))
            continue;
        // Beyond ASCII a character may still be a blank (a no-break space): the text decides.
        return c < 0x80 || !editor->text().trimmed().isEmpty();
    }
    return false;
}

} // namespace owb
