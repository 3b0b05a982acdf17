#include "workbench/DocumentCommands.h"
#include <optional>

#include "common/AppPaths.h"
#include "common/OstrelError.h"
#include "common/Settings.h"
#include "common/UserInteraction.h"
#include "log/Outcome.h"
#include "schema/BuildNewDoc.h"
#include "schema/SchemaSource.h"
#include "schema/clsVerify.h"
#include "transfer/ImportExportParm.h"
#include "transfer/TransferDialogs.h"
#include "workbench/DocumentSession.h"
#include "workbench/DocumentTabs.h"
#include "workbench/DocumentTarget.h"
#include "workbench/DocumentView.h"
#include "workbench/EditorText.h"
#include "workbench/UnsavedChanges.h"
#include "xml/DocumentList.h"
#include "xml/clsFileHandler.h"
#include "xml/xmlutil.h"

#include <QDir>
#include <QFileInfo>

#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

using Icon = UserInteraction::Icon;

// A failure these commands report only in the log and the status line.
Outcome logged(const OstrelError &e)
{
    return Outcome().withLog(e.description()).withStatus(e.description());
}

} // namespace

DocumentCommands::DocumentCommands(DocumentView &view, DocumentSession &session, const AppContext &ctx)
    : m_view(view), m_session(session), m_ctx(ctx)
{
}

QList<Command> DocumentCommands::commands()
{
    const auto row = [this](const char *key, const char *caption, const char *tip, QKeySequence keys,
                            std::function<void()> run) {
        const QString k = QString::fromLatin1(key);
        return Command{k, QString::fromLatin1(caption), QString::fromLatin1(tip), std::move(run), {},
                       [this, k] { return canAct(k); }, keys, [this, k] { return whyNot(k); }};
    };
    return {
        row("Query", "Query", "Query", Qt::Key_F5, [this] { query(); }),
        row("Store", "Store", "Store current document", Qt::CTRL | Qt::Key_S, [this] { store(); }),
        row("Remove", "Remove", "Remove selected document", {}, [this] { remove(); }),
        row("New", "New", "Create new (test) document", Qt::CTRL | Qt::Key_N, [this] { NewDocument(); }),
        row("Open", "Open", "Open xml document", Qt::CTRL | Qt::Key_O, [this] { open(); }),
        row("Save", "Save", "Save current document", Qt::CTRL | Qt::SHIFT | Qt::Key_S, [this] { save(); }),
        row("import", "Import", "Import XML documents", Qt::CTRL | Qt::Key_I, [this] { OpenImportDialog(); }),
        row("export", "Export", "export documents to file system", Qt::CTRL | Qt::Key_E,
            [this] { OpenExportDialog(); }),
    };
}

bool DocumentCommands::canAct(const QString &key) const
{
    return whyNot(key).isEmpty();
}

QString DocumentCommands::whyNot(const QString &key) const
{
    const bool nonXML = m_session.NonXML();
    const bool docText = hasText(m_view.documentEditor());
    if (key == QLatin1String("Store") && !docText)
        return QStringLiteral("The document page holds no text to store");
    if (key == QLatin1String("Remove")) {
        if (!docText)
            return QStringLiteral("No document is shown");
        if (!m_session.currentIsStored())
            return QStringLiteral("The document shown is not stored on the server");
    }
    if ((key == QLatin1String("Open") || key == QLatin1String("Save")) && !nonXML) {
        QsciScintilla *editor = fileEditor();
        if (!editor)
            return QStringLiteral("Works on the document text and the stylesheet pages");
        if (key == QLatin1String("Save") && !hasText(editor))
            return QStringLiteral("The page holds no text to save");
    }
    if (key == QLatin1String("export") && !nonXML && m_session.documentList().count() == 0)
        return QStringLiteral("The list holds no documents: run a query first");
    return QString();
}

void DocumentCommands::query()
{
    m_view.runQuery();
}

void DocumentCommands::store()
{
    if (m_view.documentEditor()->text().trimmed().isEmpty())
        return;
    if (m_session.NonXML()) {
        m_session.reporter().report(
            Outcome::message(QStringLiteral("Use import function to add new \"documents\""), QStringLiteral("Warning")));
        return;
    }
    StoreCurrentDocument();
}

void DocumentCommands::StoreCurrentDocument()
{
    const QString doctype = m_session.target().DoctypeName();
    QsciScintilla *editor = m_view.documentEditor();
    m_session.reporter().run(
        [&] {
            const QString text = editor->text();
            // A new document's entry is selected below, which shows it again with its id:
            // the text it replaces is stored by then.
            const auto stored = m_view.changesOf(editor).trusted();
            const QString id = m_session.ProcessDocument(text);
            if (editor->text() == text)
                m_view.changesOf(editor).markClean();
            m_session.reporter().report(
                Outcome()
                    .withLog(QStringLiteral("Document  ") + doctype + QStringLiteral(", osl:id=") + id
                             + QStringLiteral(", processed"))
                    .withStatus(QStringLiteral("Document ") + doctype + QStringLiteral(", osl:id=") + id
                                + QStringLiteral(", processed")));
        },
        [&](const OstrelError &e) {
            return Outcome::failure(e, QStringLiteral("Error has been raised"),
                                    QStringLiteral("Processing of document ") + doctype + QStringLiteral(" failed"));
        });
}

void DocumentCommands::remove()
{
    if (m_view.documentEditor()->text().trimmed().isEmpty())
        return;
    if (!m_ctx.ui->question(QStringLiteral("Are you sure you want to delete this document?"),
                            QStringLiteral("Confirmation")))
        return;
    RemoveCurrentDocument();
}

void DocumentCommands::RemoveCurrentDocument()
{
    // The document is shown again without its id: typing it does not hold would go.
    if (!m_view.mayRewriteDocument())
        return;
    m_session.reporter().run(
        [&] {
            // Without a current document the request layer says so; nothing is sent.
            m_session.RemoveCurrentDocument();
            m_session.reporter().report(Outcome::done(QStringLiteral("Document has been deleted successfully")));
            m_view.showDocument(m_session.CurrentElement());
        },
        [](const OstrelError &e) {
            return Outcome::failure(e, QStringLiteral("Error has been raised"),
                                    QStringLiteral("Deletion failed: ") + e.description());
        });
}

void DocumentCommands::NewDocument()
{
    if (m_session.NonXML()) {
        OpenImportDialog();
        return;
    }
    BuildSampleDocument();
}

void DocumentCommands::BuildSampleDocument()
{
    const QString schema = m_view.schemaEditor()->text();
    if (schema.trimmed().isEmpty()) {
        m_session.reporter().report(Outcome::message(QStringLiteral("Can't create a new document since schema is missing"),
                                                     QStringLiteral("Creation failed")));
        return;
    }
    // The sample is made first, so that a New that cannot succeed asks nothing.
    std::optional<QString> sampleText;
    m_session.reporter().run(
        [&] {
            const QString doctype = m_session.target().DoctypeName();
            // Included and imported schemas come from the server, for the generator and for
            // the validation that checks its sample alike.
            ServerSchemaSource stored(m_ctx.http, m_session.target().DatabaseURI());
            DomDocument schemaDoc = NewDOMDocument(false, true);
            const DomNode schemaElement = schemaDoc.loadXML(schema) ? schemaDoc.documentElement() : DomNode();
            BuildNewDoc builder;
            builder.setSchemaSource(&stored);
            builder.setChecker([&](const QString &text) -> std::optional<QString> {
                const auto err =
                    clsVerify(m_ctx.http).ValidateWithSchema(text, schemaElement, doctype, stored.found());
                if (!err)
                    return std::nullopt;
                return QStringLiteral("line %1: %2").arg(err->LineNumber).arg(err->Reason);
            });
            sampleText = xmlutil().FormatXML(builder.CreateNewDoc(schema, doctype));
        },
        [](const OstrelError &e) {
            // The editor keeps its text: nothing has been replaced.
            return Outcome()
                .withBox(e.description(), QStringLiteral("Creation failed"), Icon::Exclamation)
                .withLog(e.description())
                .withStatus(e.description());
        });
    if (!sampleText || !m_view.mayReplace(m_view.documentEditor()))
        return;
    m_view.documentEditor()->setText(*sampleText);
    // A generated sample holds nothing of the user's yet.
    m_view.changesOf(m_view.documentEditor()).markClean(UnsavedChanges::newDocument());
}

QsciScintilla *DocumentCommands::fileEditor(QString *suffix, QString *filter, QString *what) const
{
    const auto tell = [&](const char *s, const char *f, const char *w) {
        if (suffix)
            *suffix = QString::fromLatin1(s);
        if (filter)
            *filter = QString::fromLatin1(f);
        if (what)
            *what = QString::fromLatin1(w);
    };
    if (m_view.currentPage() == TabText) {
        tell("xml", "XML document (*.xml);;All files (*)", "XML file");
        return m_view.documentEditor();
    }
    if (m_view.currentPage() == TabStylesheet) {
        tell("xsl", "XSL document (*.xsl);;All files (*)", "Stylesheet");
        return m_view.stylesheetEditor();
    }
    return nullptr;
}

void DocumentCommands::open()
{
    if (m_session.NonXML()) {
        m_session.reporter().report(Outcome::message(QStringLiteral("Not implemented yet for non xml document"),
                                                     QStringLiteral("Not implemented")));
        return;
    }
    QString suffix, filter, what;
    QsciScintilla *editor = fileEditor(&suffix, &filter, &what);
    if (!editor || !m_view.mayReplace(editor))
        return;
    const QString path = m_ctx.ui->openFileName(
        QStringLiteral("Open ") + what, m_lastFile.isEmpty() ? QString() : QFileInfo(m_lastFile).absolutePath(), filter);
    if (path.isEmpty())
        return;
    load(editor, path);
}

void DocumentCommands::openDropped(QsciScintilla *editor, const QString &path)
{
    if (!m_session.NonXML() && m_view.mayReplace(editor))
        load(editor, path);
}

void DocumentCommands::load(QsciScintilla *editor, const QString &path)
{
    m_session.reporter().run(
        [&] {
            editor->setText(clsFileHandler().LoadXmlFile(path));
            m_view.changesOf(editor).markClean(QFileInfo(path).fileName());
            m_lastFile = path;
            if (editor == m_view.stylesheetEditor())
                m_view.setStylesheetFile(path);
        },
        logged);
}

void DocumentCommands::save()
{
    if (m_session.NonXML()) {
        m_session.reporter().report(Outcome::message(QStringLiteral("Save function is not defined yet for non xml document"),
                                                     QStringLiteral("Not implemented")));
        return;
    }
    QString suffix, filter, what;
    QsciScintilla *editor = fileEditor(&suffix, &filter, &what);
    if (!editor || editor->text().trimmed().isEmpty())
        return;
    UserInteraction &ui = *m_ctx.ui;
    const QString chosen = ui.saveFileName(QStringLiteral("Save ") + what, m_lastFile, filter, suffix);
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    if (!confirmOverwrite(ui, path))
        return;
    m_session.reporter().run(
        [&] {
            const QString text = editor->text();
            clsFileHandler().SaveFile(text, path);
            if (editor->text() == text)
                m_view.changesOf(editor).markClean();
            m_lastFile = path;
            if (editor == m_view.stylesheetEditor())
                m_view.setStylesheetFile(path);
            m_session.reporter().report(Outcome::done(QStringLiteral("Document has been saved to ") + path));
        },
        logged);
}

ImportExportParm DocumentCommands::transferParm(const QString &settingKey)
{
    ImportExportParm parm;
    parm.OstrelURI = m_session.target().CollectionURI();
    parm.DirName = Settings::get(QStringLiteral("config"), settingKey);
    if (parm.DirName.trimmed().isEmpty())
        parm.DirName = AppPaths::writableDir(QStringLiteral("export"));
    if (!QFileInfo(parm.DirName).isDir() && !QDir().mkdir(parm.DirName))
        m_session.reporter().report(Outcome().withLog(QStringLiteral("Cannot create the directory ") + parm.DirName));
    parm.DatabaseList = &m_session.documentList();
    parm.doctypename = m_session.target().DoctypeName();
    return parm;
}

void DocumentCommands::OpenImportDialog()
{
    const ImportExportParm parm = transferParm(QStringLiteral("importdir"));
    m_impForm = TransferDialogs::openImport(m_ctx, m_view.viewWidget(), parm, m_session.NonXML(),
                                            [this] { m_view.refreshList(); });
    m_view.runQuery();
}

void DocumentCommands::OpenExportDialog()
{
    if (m_session.NonXML()) {
        m_session.reporter().report(Outcome::message(QStringLiteral("This function is not yet implemented for non-xml documents"),
                                                     QStringLiteral("Not supported")));
        return;
    }
    if (m_session.documentList().count() == 0)
        return;
    TransferDialogs::openExport(m_ctx, m_view.viewWidget(), transferParm(QStringLiteral("exportdir")));
}

void DocumentCommands::importDropped(const QStringList &files)
{
    OpenImportDialog();
    TransferDialogs::importFiles(m_impForm, files);
}

QWidget *DocumentCommands::impForm() const
{
    return m_impForm.data();
}

bool DocumentCommands::mayClose()
{
    if (!m_ctx.ui || !m_view.hasUnsavedChanges())
        return true;
    return m_ctx.ui->questionDefaultNo(
        QStringLiteral("The document or the stylesheet holds changes that were neither stored nor saved.\r\n"
                       "Close anyway?"),
        QStringLiteral("Close anyway?"));
}

} // namespace owb
