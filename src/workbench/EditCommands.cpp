#include "workbench/EditCommands.h"

#include "common/OstrelError.h"
#include "log/Outcome.h"
#include "schema/clsVerify.h"
#include "workbench/DocumentTabs.h"
#include "workbench/ErrorMarks.h"
#include "workbench/frmOstrelClient.h"

#include <QMdiSubWindow>
#include <QTabWidget>

#include <optional>

#include <Qsci/qsciprinter.h>
#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

using Icon = UserInteraction::Icon;

const QString kNotWellFormed = QStringLiteral("Document is not well-formed");

} // namespace

EditCommands::EditCommands(frmOstrelClient &window)
    : m_window(window),
      m_documentMarks(new ErrorMarks(window.documentEditor())),
      m_stylesheetMarks(new ErrorMarks(window.stylesheetEditor()))
{
}

QList<Command> EditCommands::commands()
{
    return {
        {QStringLiteral("Copy"), QStringLiteral("Copy"), QStringLiteral("Copy Selected text"), [this] { copy(); }, {}},
        {QStringLiteral("Cut"), QStringLiteral("Cut"), QStringLiteral("Cut selected text"), [this] { cut(); }, {}},
        // Delete is Cut: what it removes stays on the clipboard.
        {QStringLiteral("Delete"), QStringLiteral("Delete"), QStringLiteral("Delete selected text"), [this] { cut(); }, {}},
        {QStringLiteral("Paste"), QStringLiteral("Paste"), QStringLiteral("Paste copied text"), [this] { paste(); }, {}},
        {QStringLiteral("Print"), QStringLiteral("Print"), QStringLiteral("Print current document"), [this] { print(); }, {}},
        {QStringLiteral("Validate"), QStringLiteral("Validate"), QStringLiteral("Validate XML document"),
         [this] { CheckWellFormed(true); },
         {
             {QStringLiteral("WellFormed"), QStringLiteral("Well formedness"), {},
              [this] { validateEntry(QStringLiteral("WellFormed")); }, {}},
             {QStringLiteral("Schema"), QStringLiteral("Against schema"), {},
              [this] { validateEntry(QStringLiteral("Schema")); }, {}},
         }},
        {QStringLiteral("exit"), QStringLiteral("Exit"), QStringLiteral("Leave current form"), [this] { exit(); }, {}},
    };
}

QsciScintilla *EditCommands::activeEditor() const
{
    switch (m_window.currentTab()) {
    case TabText: return m_window.documentEditor();
    case TabStylesheet: return m_window.stylesheetEditor();
    default: return nullptr;
    }
}

ErrorMarks &EditCommands::marksOf(QsciScintilla *editor) const
{
    return editor == m_window.stylesheetEditor() ? *m_stylesheetMarks : *m_documentMarks;
}

void EditCommands::markAll(ErrorMarks &marks, const clsVerifyError &error)
{
    QList<ErrorMarks::Error> lines{{error.LineNumber, error.Reason}};
    for (const clsVerifyError &e : error.Further)
        lines.append({e.LineNumber, e.Reason});
    marks.mark(lines);
}

// ---------------------------------------------------------------- checks

void EditCommands::validateEntry(const QString &key)
{
    if (m_window.documentEditor()->text().trimmed().isEmpty())
        return;
    if (key == QLatin1String("WellFormed"))
        CheckWellFormed(true);
    else
        ValidateAgainstSchema();
}

bool EditCommands::CheckWellFormed(bool showMessages)
{
    const OutcomeReporter &report = m_window.reporter();
    if (m_window.NonXML()) {
        report.report(Outcome::message(QStringLiteral("It is of no use to check a non-xml document for wellformedness"),
                                       QStringLiteral("Warning")));
        return false;
    }
    QsciScintilla *editor = activeEditor();
    if (!editor)
        return true;
    const QString text = editor->text();
    if (text.trimmed().isEmpty())
        return false;
    ErrorMarks &marks = marksOf(editor);
    marks.clear();

    const auto err = clsVerify(m_window.context().http).CheckWellFormedNess(text);
    if (err) {
        markAll(marks, *err);
        Outcome o;
        o.withLog(kNotWellFormed).withLog(err->Reason).withStatus(err->Reason);
        if (showMessages)
            o.withBox(kNotWellFormed + QStringLiteral("\r\n") + err->Reason, QStringLiteral("Check failed"),
                      Icon::Exclamation);
        report.report(o);
        return false;
    }
    Outcome o;
    o.withLog(QStringLiteral("Document is well-formed")).withStatus(QStringLiteral("Document is well formed"));
    if (showMessages)
        o.withBox(QStringLiteral("Document is well-formed"), QStringLiteral("Check succeeded"));
    report.report(o);
    return true;
}

void EditCommands::ValidateAgainstSchema()
{
    if (m_window.currentTab() != TabText)
        return;
    const OutcomeReporter &report = m_window.reporter();
    const QString failed = QStringLiteral("Validation failed");
    if (m_window.NonXML()) {
        report.report(Outcome::message(QStringLiteral("It is of no use to validate a non-xml document"),
                                       QStringLiteral("Warning")));
        return;
    }
    if (!CheckWellFormed(false)) {
        report.report(Outcome::message(QStringLiteral("Document is not well formed"), failed));
        return;
    }
    const DocumentTarget &target = m_window.target();
    std::optional<clsVerifyError> err;
    // A schema that cannot be fetched, or a work file that cannot be written, is a failure
    // of the validation like any other, not something to pass over in silence.
    const bool ran = report.run(
        [&] {
            err = clsVerify(m_window.context().http)
                      .ValidateDocument(m_window.documentEditor()->text(), target.DatabaseURI(),
                                        target.CollectionName(), target.DoctypeName());
        },
        [&](const OstrelError &e) {
            return Outcome()
                .withBox(e.description(), failed, Icon::Exclamation)
                .withLog(e.description())
                .withStatus(failed + QLatin1Char(' ') + e.description());
        });
    documentMarks().clear();
    if (!ran)
        return;
    if (!err) {
        report.report(Outcome::done(QStringLiteral("Document ") + target.DoctypeName() + QStringLiteral(" is valid"))
                          .withBox(QStringLiteral("Document is valid"), QStringLiteral("Validation succeeded")));
        return;
    }
    markAll(documentMarks(), *err);
    Outcome o;
    o.withBox(err->Reason, failed).withLog(err->Reason).withStatus(failed + QLatin1Char(' ') + err->Reason);
    if (!err->Further.empty()) {
        o.withLog(QStringLiteral("Line %1: %2").arg(err->LineNumber).arg(err->Reason));
        for (const clsVerifyError &e : err->Further)
            o.withLog(QStringLiteral("Line %1: %2").arg(e.LineNumber).arg(e.Reason));
    }
    report.report(o);
}

// ---------------------------------------------------------------- editing, printing, leaving

void EditCommands::copy()
{
    if (QsciScintilla *editor = activeEditor(); editor && editor->hasSelectedText())
        editor->copy();
}

void EditCommands::cut()
{
    if (QsciScintilla *editor = activeEditor(); editor && editor->isEnabled() && !editor->isReadOnly()
                                                && editor->hasSelectedText())
        editor->cut();
}

void EditCommands::paste()
{
    QsciScintilla *editor = activeEditor();
    if (editor && editor->isEnabled() && editor->SendScintilla(QsciScintillaBase::SCI_CANPASTE))
        editor->paste();
}

void EditCommands::print()
{
    QsciScintilla *editor = activeEditor();
    UserInteraction *ui = m_window.context().ui;
    if (!editor || !ui || editor->text().trimmed().isEmpty())
        return;
    QsciPrinter printer;
    if (!ui->choosePrinter(printer))
        return;
    if (!printer.printRange(editor))
        m_window.reporter().report(Outcome::done(QStringLiteral("Printing failed")));
}

void EditCommands::exit()
{
    // Inside the main window the frame goes too, and takes the window with it.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(m_window.parentWidget()))
        frame->close();
    else
        m_window.close();
}

} // namespace owb
