#pragma once
#include "common/FindBar.h"
#include <QObject>
#include <memory>
#include <vector>

class QsciScintilla;
class QTabWidget;

namespace owb {

// Searching an editor's text through its own search, which selects and scrolls to the hit.
class ScintillaFind : public FindTarget {
public:
    explicit ScintillaFind(QsciScintilla *editor) : m_editor(editor) {}
    bool find(const FindQuery &query, bool forward) override;
    QWidget *textWidget() const override;

private:
    QsciScintilla *m_editor;
};

// The editors of a window's pages: the find bar searches the one on the current page.
class EditorFind : public QObject {
public:
    EditorFind(QTabWidget *pages, const QList<QsciScintilla *> &editors, QObject *parent);
    ~EditorFind() override;
    // Null while the current page is no editor.
    FindTarget *current() const;

private:
    QTabWidget *m_pages;
    std::vector<std::pair<QsciScintilla *, std::unique_ptr<ScintillaFind>>> m_editors;
};

} // namespace owb
