#pragma once
#include <QByteArray>

class QsciScintilla;

namespace owb {

// Whether the editor holds anything but blanks, as !text().trimmed().isEmpty() says, without
// copying the text: cheap enough to ask on every change of a large document.
bool hasText(QsciScintilla *editor);

// Replaces an editor's text with UTF-8 bytes that come in pieces, as setText does (no undo
// step, read-only kept), without a UTF-16 copy and without an undo copy. Told the size in
// advance, the editor sizes its buffer once. textChanged comes when the filling ends.
class EditorFill {
public:
    EditorFill(QsciScintilla *editor, qsizetype bytes);
    ~EditorFill();
    EditorFill(const EditorFill &) = delete;
    EditorFill &operator=(const EditorFill &) = delete;

    void append(const char *data, qsizetype size);

private:
    QsciScintilla *m_editor;
    bool m_readOnly;
    int m_linesBefore;
    long m_collecting;
    long m_events;
};

} // namespace owb
