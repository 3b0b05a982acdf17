#pragma once
#include "xml/DomDocument.h"

class QsciScintilla;
class QWidget;

namespace owb {

class UnsavedChanges;

// What the commands of the document window (DocumentCommands, EditCommands) see of it: its
// three editors, the page shown, and the few steps only the window takes. The document, the
// list, the status line and the log are the session's (DocumentSession and its reporter).
class DocumentView {
public:
    virtual ~DocumentView() = default;

    // The window itself: the parent of the dialogs a command opens, and what Exit closes.
    virtual QWidget *viewWidget() = 0;
    virtual QsciScintilla *documentEditor() const = 0;     // the document page's text
    virtual QsciScintilla *stylesheetEditor() const = 0;
    virtual QsciScintilla *schemaEditor() const = 0;
    // The file the stylesheet page's text now comes from: its relative references resolve there.
    virtual void setStylesheetFile(const QString &path) = 0;
    // The page shown (DocumentTab).
    virtual int currentPage() const = 0;

    // The doctype's query with the filter box's text: the list refilled and its first entry
    // shown, or "Nothing found".
    virtual void runQuery() = 0;
    // The document page shows element formatted, as a fetched document is shown (unmodified).
    virtual void showDocument(const DomNode &element) = 0;
    // What the import window's RefreshList asks for: the query again, and the status line.
    virtual void refreshList() = 0;
    // The document page takes text as one edit that the editor's undo takes back; the tree
    // shows it. Nothing is stored.
    virtual void editDocumentText(const QString &text) = 0;
    // The selected entry's document fetched and shown again (after asking about changes).
    virtual void reshowDocument() = 0;

    // Whether an editor's text still is what was shown, stored or saved.
    virtual UnsavedChanges &changesOf(const QsciScintilla *editor) const = 0;
    // True when editor's text may be replaced: unchanged, or the user lets the changes go.
    virtual bool mayReplace(const QsciScintilla *editor) = 0;
    // True when the document page may be written anew from the current document: its text is
    // that document's own, or the user lets the changes go.
    virtual bool mayRewriteDocument() = 0;
    // Changes in either editor that closing would lose.
    virtual bool hasUnsavedChanges() const = 0;
};

} // namespace owb
