#include "workbench/EditCommands.h"

#include "common/OstrelError.h"
#include "log/Outcome.h"
#include "schema/clsVerify.h"
#include "workbench/DocumentSession.h"
#include "workbench/DocumentTabs.h"
#include "workbench/DocumentTarget.h"
#include "workbench/DocumentView.h"
#include "workbench/EditorText.h"
#include "workbench/ErrorMarks.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QWidget>

#include <optional>

#include <Qsci/qsciprinter.h>
#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

using Icon = UserInteraction::Icon;

const QString kNotWellFormed = QStringLiteral("Document is not well-formed");

} // namespace

EditCommands::EditCommands(DocumentView &view, DocumentSession &session, const AppContext &ctx)
    : m_view(view), m_session(session), m_ctx(ctx),
      m_documentMarks(new ErrorMarks(view.documentEditor())),
      m_stylesheetMarks(new ErrorMarks(view.stylesheetEditor()))
{
}

QList<Command> EditCommands::commands()
{
    const auto row = [this](const char *key, const char *caption, const char *tip, QKeySequence keys,
                            std::function<void()> run, QList<Command> menu = {}) {
        const QString k = QString::fromLatin1(key);
        return Command{k, QString::fromLatin1(caption), tip ? QString::fromLatin1(tip) : QString(), std::move(run),
                       std::move(menu), [this, k] { return canAct(k); }, keys, [this, k] { return whyNot(k); }};
    };
    // The clipboard commands keep the editors' own keys: a second binding would be ambiguous.
    return {
        row("Copy", "Copy", "Copy Selected text", {}, [this] { copy(); }),
        row("Cut", "Cut", "Cut selected text", {}, [this] { cut(); }),
        // Delete is Cut: what it removes stays on the clipboard.
        row("Delete", "Delete", "Delete selected text", {}, [this] { cut(); }),
        row("Paste", "Paste", "Paste copied text", {}, [this] { paste(); }),
        row("Print", "Print", "Print current document", Qt::CTRL | Qt::Key_P, [this] { print(); }),
        row("Validate", "Validate", "Validate XML document", {}, [this] { CheckWellFormed(true); },
            {
                row("WellFormed", "Well formedness", nullptr, Qt::Key_F7,
                    [this] { validateEntry(QStringLiteral("WellFormed")); }),
                row("Schema", "Against schema", nullptr, Qt::SHIFT | Qt::Key_F7,
                    [this] { validateEntry(QStringLiteral("Schema")); }),
            }),
        row("exit", "Exit", "Leave current form", Qt::CTRL | Qt::Key_W, [this] { exit(); }),
    };
}

bool EditCommands::canAct(const QString &key) const
{
    return whyNot(key).isEmpty();
}

QString EditCommands::whyNot(const QString &key) const
{
    QsciScintilla *editor = activeEditor();
    const QString noPage = QStringLiteral("Works on the document text and the stylesheet pages");
    const QString noSelection = QStringLiteral("No text is selected");
    const bool editable = editor && editor->isEnabled() && !editor->isReadOnly();
    if (key == QLatin1String("Copy"))
        return !editor ? noPage : !editor->hasSelectedText() ? noSelection : QString();
    if (key == QLatin1String("Cut") || key == QLatin1String("Delete")) {
        if (!editor)
            return noPage;
        if (!editable)
            return QStringLiteral("The text cannot be edited");
        return editor->hasSelectedText() ? QString() : noSelection;
    }
    if (key == QLatin1String("Paste")) {
        if (!editor)
            return noPage;
        if (!editable)
            return QStringLiteral("The text cannot be edited");
        const QClipboard *clipboard = QGuiApplication::clipboard();
        const bool something = editor->SendScintilla(QsciScintillaBase::SCI_CANPASTE) && clipboard
            && !clipboard->text().isEmpty();
        return something ? QString() : QStringLiteral("The clipboard holds no text");
    }
    if (key == QLatin1String("Print")) {
        if (!editor)
            return noPage;
        if (!m_ctx.ui)
            return QStringLiteral("No printer can be chosen here");
        return hasText(editor) ? QString() : QStringLiteral("The page holds no text to print");
    }
    // The checks: on a non-XML doctype they say why they are of no use.
    const QString noCheck = !editor ? noPage : QStringLiteral("The page holds no text to check");
    const bool checkable = m_session.NonXML() || (editor && hasText(editor));
    const bool docText = hasText(m_view.documentEditor());
    if (key == QLatin1String("Validate"))
        return checkable ? QString() : noCheck;
    if (key == QLatin1String("WellFormed")) {
        if (!docText)
            return QStringLiteral("The document page holds no text to check");
        return checkable ? QString() : noCheck;
    }
    if (key == QLatin1String("Schema")) {
        if (m_view.currentPage() != TabText)
            return QStringLiteral("Validates the document text page only");
        return docText ? QString() : QStringLiteral("The document page holds no text to check");
    }
    return QString();
}

QsciScintilla *EditCommands::activeEditor() const
{
    switch (m_view.currentPage()) {
    case TabText: return m_view.documentEditor();
    case TabStylesheet: return m_view.stylesheetEditor();
    default: return nullptr;
    }
}

ErrorMarks &EditCommands::marksOf(QsciScintilla *editor) const
{
    return editor == m_view.stylesheetEditor() ? *m_stylesheetMarks : *m_documentMarks;
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
    if (m_view.documentEditor()->text().trimmed().isEmpty())
        return;
    if (key == QLatin1String("WellFormed"))
        CheckWellFormed(true);
    else
        ValidateAgainstSchema();
}

bool EditCommands::CheckWellFormed(bool showMessages)
{
    const OutcomeReporter &report = m_session.reporter();
    if (m_session.NonXML()) {
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

    const auto err = clsVerify(m_ctx.http).CheckWellFormedNess(text);
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
    if (m_view.currentPage() != TabText)
        return;
    const OutcomeReporter &report = m_session.reporter();
    const QString failed = QStringLiteral("Validation failed");
    if (m_session.NonXML()) {
        report.report(Outcome::message(QStringLiteral("It is of no use to validate a non-xml document"),
                                       QStringLiteral("Warning")));
        return;
    }
    if (!CheckWellFormed(false)) {
        report.report(Outcome::message(QStringLiteral("Document is not well formed"), failed));
        return;
    }
    const DocumentTarget &target = m_session.target();
    std::optional<clsVerifyError> err;
    // A schema that cannot be fetched, or a work file that cannot be written, is a failure
    // of the validation like any other, not something to pass over in silence.
    const bool ran = report.run(
        [&] {
            err = clsVerify(m_ctx.http)
                      .ValidateDocument(m_view.documentEditor()->text(), target.DatabaseURI(),
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
    if (canAct(QStringLiteral("Paste")))
        activeEditor()->paste();
}

void EditCommands::print()
{
    QsciScintilla *editor = activeEditor();
    UserInteraction *ui = m_ctx.ui;
    if (!editor || !ui || editor->text().trimmed().isEmpty())
        return;
    QsciPrinter printer;
    if (!ui->choosePrinter(printer))
        return;
    if (!printer.printRange(editor))
        m_session.reporter().report(Outcome::done(QStringLiteral("Printing failed")));
}

void EditCommands::exit()
{
    // Inside the main window the frame goes too, and takes the window with it.
    QWidget *window = m_view.viewWidget();
    if (auto *frame = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
        frame->close();
    else
        window->close();
}

} // namespace owb
