#include "workbench/EditorText.h"

#include <Qsci/qsciscintilla.h>

namespace owb {

void setEditorUtf8(QsciScintilla *editor, const QByteArray &text)
{
    const bool readOnly = editor->isReadOnly();
    const int linesBefore = editor->lines();
    editor->setReadOnly(false);
    const long collecting = editor->SendScintilla(QsciScintillaBase::SCI_GETUNDOCOLLECTION);
    editor->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0UL);
    // Every modification notice carries the inserted bytes, which the editor's accessibility
    // support turns into UTF-16 and places by counting characters from the start: for a big
    // text that costs its size twice over, and sliced it grows quadratic. So the notices are
    // off while the text is replaced, and the signals they would give are emitted after.
    const long events = editor->SendScintilla(QsciScintillaBase::SCI_GETMODEVENTMASK);
    editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0UL);
    editor->SendScintilla(QsciScintillaBase::SCI_CLEARALL);
    // One insertion sizes the buffer once.
    editor->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()),
                          text.constData());
    editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, static_cast<unsigned long>(events));
    editor->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    editor->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, static_cast<unsigned long>(collecting));
    editor->setReadOnly(readOnly);
    emit editor->textChanged();
    if (editor->lines() != linesBefore)
        emit editor->linesChanged();
}

} // namespace owb
