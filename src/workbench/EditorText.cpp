#include "workbench/EditorText.h"

#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

constexpr qsizetype kSlice = qsizetype(1) << 20;

// Where a slice from start may end: after a line break near the limit, else not inside a
// character.
qsizetype sliceEnd(const QByteArray &text, qsizetype start)
{
    qsizetype end = start + kSlice;
    if (end >= text.size())
        return text.size();
    const qsizetype lineEnd = text.lastIndexOf('\n', end - 1);
    if (lineEnd >= start + kSlice / 2)
        return lineEnd + 1;
    while (end > start + 1 && (uchar(text.at(end)) & 0xC0) == 0x80)
        --end;
    return end;
}

} // namespace

void setEditorUtf8(QsciScintilla *editor, const QByteArray &text)
{
    const bool readOnly = editor->isReadOnly();
    editor->setReadOnly(false);
    const long collecting = editor->SendScintilla(QsciScintillaBase::SCI_GETUNDOCOLLECTION);
    editor->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0UL);
    editor->SendScintilla(QsciScintillaBase::SCI_CLEARALL);
    editor->SendScintilla(QsciScintillaBase::SCI_ALLOCATE, static_cast<unsigned long>(text.size()));
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype end = sliceEnd(text, start);
        editor->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(end - start),
                              text.constData() + start);
        start = end;
    }
    editor->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    editor->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, static_cast<unsigned long>(collecting));
    editor->setReadOnly(readOnly);
}

} // namespace owb
