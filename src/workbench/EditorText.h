#pragma once
#include <QByteArray>

class QsciScintilla;

namespace owb {

// Replaces the editor's text with UTF-8 bytes, as setText does (no undo step, read-only kept),
// without a UTF-16 copy of the whole text: the editor's buffer is sized once and filled in
// slices, so its change notices convert one slice at a time, and no undo copy is kept.
void setEditorUtf8(QsciScintilla *editor, const QByteArray &text);

} // namespace owb
