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
#include "transfer/frmExport.h"
#include "transfer/frmImport.h"
#include "workbench/DocumentSession.h"
#include "workbench/DocumentTabs.h"
#include "workbench/UnsavedChanges.h"
#include "workbench/frmOstrelClient.h"
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

QList<Command> DocumentCommands::commands()
{
    return {
        {QStringLiteral("Query"), QStringLiteral("Query"), QStringLiteral("Query"), [this] { query(); }, {}},
        {QStringLiteral("Store"), QStringLiteral("Store"), QStringLiteral("Store current document"),
         [this] { store(); }, {}},
        {QStringLiteral("Remove"), QStringLiteral("Remove"), QStringLiteral("Remove selected document"),
         [this] { remove(); }, {}},
        {QStringLiteral("New"), QStringLiteral("New"), QStringLiteral("Create new (test) document"),
         [this] { NewDocument(); }, {}},
        {QStringLiteral("Open"), QStringLiteral("Open"), QStringLiteral("Open xml document"), [this] { open(); }, {}},
        {QStringLiteral("Save"), QStringLiteral("Save"), QStringLiteral("Save current document"), [this] { save(); }, {}},
        {QStringLiteral("import"), QStringLiteral("Import"), QStringLiteral("Import XML documents"),
         [this] { OpenImportDialog(); }, {}},
        {QStringLiteral("export"), QStringLiteral("Export"), QStringLiteral("export documents to file system"),
         [this] { OpenExportDialog(); }, {}},
    };
}

void DocumentCommands::query()
{
    m_window.RunQuery();
}

void DocumentCommands::store()
{
    if (m_window.documentEditor()->text().trimmed().isEmpty())
        return;
    if (m_window.NonXML()) {
        m_window.reporter().report(
            Outcome::message(QStringLiteral("Use import function to add new \"documents\""), QStringLiteral("Warning")));
        return;
    }
    StoreCurrentDocument();
}

void DocumentCommands::StoreCurrentDocument()
{
    const QString doctype = m_window.DoctypeName();
    QsciScintilla *editor = m_window.documentEditor();
    m_window.reporter().run(
        [&] {
            const QString text = editor->text();
            // A new document's entry is selected below, which shows it again with its id:
            // the text it replaces is stored by then.
            const auto stored = m_window.documentChanges().trusted();
            const QString id = m_window.session().ProcessDocument(text);
            if (editor->text() == text)
                m_window.documentChanges().markClean();
            m_window.reporter().report(
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
    if (m_window.documentEditor()->text().trimmed().isEmpty())
        return;
    if (!m_window.context().ui->question(QStringLiteral("Are you sure you want to delete this document?"),
                                         QStringLiteral("Confirmation")))
        return;
    m_window.RemoveCurrentDocument();
}

void DocumentCommands::NewDocument()
{
    if (m_window.NonXML()) {
        OpenImportDialog();
        return;
    }
    BuildSampleDocument();
}

void DocumentCommands::BuildSampleDocument()
{
    const QString schema = m_window.schemaEditor()->text();
    if (schema.trimmed().isEmpty()) {
        m_window.reporter().report(Outcome::message(QStringLiteral("Can't create a new document since schema is missing"),
                                                    QStringLiteral("Creation failed")));
        return;
    }
    // The sample is made first, so that a New that cannot succeed asks nothing.
    std::optional<QString> sampleText;
    m_window.reporter().run(
        [&] {
            const QString doctype = m_window.DoctypeName();
            // Included and imported schemas come from the server, for the generator and for
            // the validation that checks its sample alike.
            ServerSchemaSource stored(m_window.context().http, m_window.target().DatabaseURI());
            DomDocument schemaDoc = NewDOMDocument(false, true);
            const DomNode schemaElement = schemaDoc.loadXML(schema) ? schemaDoc.documentElement() : DomNode();
            BuildNewDoc builder;
            builder.setSchemaSource(&stored);
            builder.setChecker([&](const QString &text) -> std::optional<QString> {
                const auto err = clsVerify(m_window.context().http)
                                     .ValidateWithSchema(text, schemaElement, doctype, stored.found());
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
    if (!sampleText || !m_window.mayReplace(m_window.documentEditor()))
        return;
    m_window.documentEditor()->setText(*sampleText);
    // A generated sample holds nothing of the user's yet.
    m_window.documentChanges().markClean(UnsavedChanges::newDocument());
}

QsciScintilla *DocumentCommands::fileEditor(QString *suffix, QString *filter, QString *what) const
{
    if (m_window.currentTab() == TabText) {
        *suffix = QStringLiteral("xml");
        *filter = QStringLiteral("XML document (*.xml);;All files (*)");
        *what = QStringLiteral("XML file");
        return m_window.documentEditor();
    }
    if (m_window.currentTab() == TabStylesheet) {
        *suffix = QStringLiteral("xsl");
        *filter = QStringLiteral("XSL document (*.xsl);;All files (*)");
        *what = QStringLiteral("Stylesheet");
        return m_window.stylesheetEditor();
    }
    return nullptr;
}

void DocumentCommands::open()
{
    if (m_window.NonXML()) {
        m_window.reporter().report(Outcome::message(QStringLiteral("Not implemented yet for non xml document"),
                                                    QStringLiteral("Not implemented")));
        return;
    }
    QString suffix, filter, what;
    QsciScintilla *editor = fileEditor(&suffix, &filter, &what);
    if (!editor || !m_window.mayReplace(editor))
        return;
    const QString path = m_window.context().ui->openFileName(
        QStringLiteral("Open ") + what, m_lastFile.isEmpty() ? QString() : QFileInfo(m_lastFile).absolutePath(), filter);
    if (path.isEmpty())
        return;
    m_window.reporter().run(
        [&] {
            editor->setText(clsFileHandler().LoadXmlFile(path));
            m_window.changesOf(editor).markClean(QFileInfo(path).fileName());
            m_lastFile = path;
            if (editor == m_window.stylesheetEditor())
                m_window.setStylesheetFile(path);
        },
        logged);
}

void DocumentCommands::save()
{
    if (m_window.NonXML()) {
        m_window.reporter().report(Outcome::message(QStringLiteral("Save function is not defined yet for non xml document"),
                                                    QStringLiteral("Not implemented")));
        return;
    }
    QString suffix, filter, what;
    QsciScintilla *editor = fileEditor(&suffix, &filter, &what);
    if (!editor || editor->text().trimmed().isEmpty())
        return;
    UserInteraction &ui = *m_window.context().ui;
    const QString chosen = ui.saveFileName(QStringLiteral("Save ") + what, m_lastFile, filter, suffix);
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    if (!confirmOverwrite(ui, path))
        return;
    m_window.reporter().run(
        [&] {
            const QString text = editor->text();
            clsFileHandler().SaveFile(text, path);
            if (editor->text() == text)
                m_window.changesOf(editor).markClean();
            m_lastFile = path;
            if (editor == m_window.stylesheetEditor())
                m_window.setStylesheetFile(path);
            m_window.reporter().report(Outcome::done(QStringLiteral("Document has been saved to ") + path));
        },
        logged);
}

ImportExportParm DocumentCommands::transferParm(const QString &settingKey)
{
    ImportExportParm parm;
    parm.OstrelURI = m_window.CollectionURI();
    parm.DirName = Settings::get(QStringLiteral("config"), settingKey);
    if (parm.DirName.trimmed().isEmpty())
        parm.DirName = AppPaths::writableDir(QStringLiteral("export"));
    if (!QFileInfo(parm.DirName).isDir() && !QDir().mkdir(parm.DirName))
        m_window.reporter().report(Outcome().withLog(QStringLiteral("Cannot create the directory ") + parm.DirName));
    parm.DatabaseList = &m_window.session().documentList();
    parm.doctypename = m_window.DoctypeName();
    return parm;
}

void DocumentCommands::OpenImportDialog()
{
    const ImportExportParm parm = transferParm(QStringLiteral("importdir"));
    auto *form = new frmImport(m_window.context(), &m_window);
    form->setImportParm(parm);
    form->setNonXML(m_window.NonXML());
    QObject::connect(form, &frmImport::RefreshList, &m_window, &frmOstrelClient::impForm_RefreshList);
    m_impForm = form;
    form->show();
    m_window.RunQuery();
}

void DocumentCommands::OpenExportDialog()
{
    if (m_window.NonXML()) {
        m_window.reporter().report(Outcome::message(QStringLiteral("This function is not yet implemented for non-xml documents"),
                                                    QStringLiteral("Not supported")));
        return;
    }
    if (m_window.session().documentList().count() == 0)
        return;
    auto *form = new frmExport(m_window.context(), &m_window);
    form->setExportParm(transferParm(QStringLiteral("exportdir")));
    form->show();
}

frmImport *DocumentCommands::impForm() const
{
    return m_impForm.data();
}

bool DocumentCommands::mayClose()
{
    if (!m_window.context().ui || !m_window.hasUnsavedChanges())
        return true;
    return m_window.context().ui->questionDefaultNo(
        QStringLiteral("The document or the stylesheet holds changes that were neither stored nor saved.\r\n"
                       "Close anyway?"),
        QStringLiteral("Close anyway?"));
}

} // namespace owb
