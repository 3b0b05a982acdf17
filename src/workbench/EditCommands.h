#pragma once
#include "workbench/CommandBars.h"

#include <QList>
#include <QString>

class QsciScintilla;

namespace owb {

class ErrorMarks;
class frmOstrelClient;
struct clsVerifyError;

// The commands of Toolbar2: clipboard, printing, the well-formedness check, validation against
// the doctype's schema, and leaving the window. The editing and printing commands act on the
// editor of the page shown (document text or stylesheet) and do nothing on the other pages.
// A failed check marks every error line of the editor it checked.
class EditCommands {
public:
    explicit EditCommands(frmOstrelClient &window);

    // The buttons of Toolbar2, in order.
    QList<Command> commands();

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

    frmOstrelClient &m_window;
    ErrorMarks *m_documentMarks;     // owned by their editors
    ErrorMarks *m_stylesheetMarks;
};

} // namespace owb
