#pragma once
#include "common/AppContext.h"
#include "workbench/CommandBars.h"

#include <QList>
#include <QString>

class QsciScintilla;

namespace owb {

class DocumentSession;
class DocumentView;
class ErrorMarks;
struct clsVerifyError;

// The commands of Toolbar2: clipboard, printing, the well-formedness check, validation against
// the doctype's schema, and leaving the window. The editing and printing commands act on the
// editor of the page shown (document text or stylesheet) and do nothing on the other pages.
// A failed check marks every error line of the editor it checked.
class EditCommands {
public:
    EditCommands(DocumentView &view, DocumentSession &session, const AppContext &ctx);

    // The buttons of Toolbar2, in order. Each is enabled only while canAct(key).
    QList<Command> commands();
    // Whether the command of key can act now: the clipboard commands with a selection (Paste
    // with something to paste) and Print with a text, on the text or stylesheet page;
    // Validate and Well formedness on those pages with a text, Against schema on the text
    // page; on a non-XML doctype the checks, which say they are of no use; Exit always.
    bool canAct(const QString &key) const;
    // Why the command of key cannot act now; empty when it can.
    QString whyNot(const QString &key) const;

    // True when the text under test (the page shown) is well-formed; reports the outcome,
    // with message boxes when showMessages.
    bool CheckWellFormed(bool showMessages);
    // Validates the document page against the doctype's schema and reports the outcome.
    void ValidateAgainstSchema();

    // The error marks of the document and the stylesheet editor.
    ErrorMarks &documentMarks() const { return *m_documentMarks; }
    ErrorMarks &stylesheetMarks() const { return *m_stylesheetMarks; }

private:
    QsciScintilla *activeEditor() const;
    ErrorMarks &marksOf(QsciScintilla *editor) const;
    void validateEntry(const QString &key);
    void copy();
    void cut();
    void paste();
    void print();
    void exit();
    static void markAll(ErrorMarks &marks, const clsVerifyError &error);

    DocumentView &m_view;
    DocumentSession &m_session;
    AppContext m_ctx;
    ErrorMarks *m_documentMarks;     // owned by their editors
    ErrorMarks *m_stylesheetMarks;
};

} // namespace owb
