#pragma once
#include <QByteArray>

class QsciScintilla;

namespace owb {

// Replaces the editor's text with UTF-8 bytes, as setText does (no undo step, read-only kept),
// without a UTF-16 copy of the whole text and without an undo copy; textChanged is emitted.
void setEditorUtf8(QsciScintilla *editor, const QByteArray &text);

} // namespace owb
