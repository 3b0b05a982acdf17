#include "workbench/frmOstrelClient.h"

#include "common/AppPaths.h"
#include "common/MainWindowApi.h"
#include "common/OstrelError.h"
#include "log/Outcome.h"
#include "workbench/CommandBars.h"
#include "workbench/DocumentCommands.h"
#include "workbench/DocumentListAdapter.h"
#include "workbench/DocumentSession.h"
#include "workbench/DocumentTabsBinder.h"
#include "workbench/EditCommands.h"
#include "workbench/EditorText.h"
#include "workbench/FindReplaceButton.h"
#include "workbench/QueryBuilderButton.h"
#include "workbench/StylesheetRunner.h"
#include "workbench/TreeValuePanel.h"
#include "workbench/UnsavedChanges.h"
#include "workbench/XslFoEditor.h"
#include "xml/DomTreeModel.h"
#include "xml/xmlutil.h"

#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

const QString kAppTitle = QStringLiteral("Ostrel Workbench");

// The failure of a step whose only report is the log and the status line.
Outcome logged(const OstrelError &e)
{
    return Outcome().withLog(e.description()).withStatus(e.description());
}

} // namespace

frmOstrelClient::frmOstrelClient(const AppContext &ctx, QWidget *parent)
    : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmOstrelClient"));
    // The marker shows while a text differs from what was shown, stored or saved.
    setWindowTitle(QStringLiteral("Ostrel Document"));

    buildUi();
    setUpUnsavedChanges();
    m_list = std::make_unique<DocumentListAdapter>(m_documentList);
    m_tree = new DomTreeModel(m_documentTree);
    m_documentTree->setModel(m_tree);
    m_session = std::make_unique<DocumentSession>(m_ctx, m_target, *m_list);
    m_valuePanel = new TreeValuePanel({m_documentTree, m_tree, m_pathLabel, m_valueEdit, m_acceptButton, m_cancelButton}, *m_session,
                                      [this] { showEditedDocument(); }, this);
    m_valuePanel->setRewriteGuard([this] { return textMatchesDocument() || mayReplace(m_documentEditor); });
    connect(m_documentEditor, &QsciScintilla::textChanged, this, [this] { m_textShowsDocument = false; });
    m_queryBuilder = new QueryBuilderButton(m_queryBuilderButton, m_queryEdit, *m_session, m_ctx, this);
    m_findReplace = new FindReplaceButton(*this, *m_session, m_ctx, this);
    buildToolbars();
    releaseWindowKeys();
    acceptFileDrops();
    connect(m_documentList, &QListWidget::currentRowChanged, this, [this] { ShowSelectedDocument(); });
    connect(m_documentList, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        // A click on the entry already selected changes no row, yet still shows it afresh.
        if (m_documentList->row(item) == m_rowBeforePress)
            ShowSelectedDocument();
    });

    if (m_ctx.mainWindow)
        m_ctx.mainWindow->EnableDocMenu();

    // The stylesheet editor's XSL-FO language and completion, read once here.
    m_xslFo = new XslFoEditor(m_stylesheetEditor, m_ctx.log);
    if (m_ctx.fileHandler) {
        const QString off = m_xslFo->load(*m_ctx.fileHandler, AppPaths::dataFile(QStringLiteral("FOLanguage")));
        if (!off.isEmpty())
            reporter().report(Outcome().withStatus(off));
    } else
        reporter().report(Outcome().withLog(QStringLiteral("XSL-FO colouring and completion are off: no file handler")));

    QFile xsl(AppPaths::dataFile(QStringLiteral("xsl/template.xsl")));
    if (xsl.open(QIODevice::ReadOnly)) {
        m_stylesheetEditor->setText(QString::fromUtf8(xsl.readAll()));
        m_xslChanges->markClean();
        m_stylesheetFile = xsl.fileName();
    }
    else
        reporter().report(Outcome().withLog(QStringLiteral("Failed to read ") + xsl.fileName()));

    m_pages->setCurrentIndex(TabText);
    m_tabs = new DocumentTabsBinder(m_pages, [this](TabAction a, int previous) { onTabAction(a, previous); });
}

// No closed() from here: a window torn down with the main window must not call back into
// objects that are being destroyed themselves.
frmOstrelClient::~frmOstrelClient()
{
    // The commands go before the widgets, whose last signals must not ask them any more.
    delete m_bars;
}

const OutcomeReporter &frmOstrelClient::reporter() const
{
    return m_session->reporter();
}

int frmOstrelClient::currentPage() const
{
    return m_pages->currentIndex();
}

bool frmOstrelClient::NonXML() const
{
    return m_session->NonXML();
}

bool frmOstrelClient::DeleteArmed() const
{
    return m_session->DeleteArmed();
}

bool frmOstrelClient::hasCurrentElement() const
{
    return m_session->hasCurrentElement();
}

QString frmOstrelClient::currentElementXml() const
{
    return m_session->currentElementXml();
}

// ---------------------------------------------------------------- opening and closing

void frmOstrelClient::Init(const DoctypeRef &doctype)
{
    m_target.setDoctype(doctype);
    LoadSchema();
    m_doctypeLabel->setText(m_target.DoctypeName());
}

void frmOstrelClient::Init(const QString &qry)
{
    ParseOstrelURI(qry);
    Init(m_target.doctype());
}

void frmOstrelClient::ParseOstrelURI(const QString &uri)
{
    m_target.ParseOstrelURI(uri);
}

void frmOstrelClient::LoadSchema()
{
    const DomNode schema = m_session->LoadSchema(m_doctype);
    if (schema.isNull())
        return;
    reporter().run([&] { m_schemaEditor->setText(xmlutil().FormatXML(schema)); }, logged);
    if (m_session->NonXML()) {
        m_documentEditor->setEnabled(false);
        m_stylesheetEditor->setEnabled(false);
        m_acceptButton->setEnabled(false);
        m_bars->update();
    }
}

void frmOstrelClient::closeEvent(QCloseEvent *event)
{
    if (!m_closedEmitted && m_documentCommands && !m_documentCommands->mayClose()) {
        event->ignore();
        return;
    }
    // A clean close: nothing is left to recover.
    m_docChanges->dropRecovery();
    m_xslChanges->dropRecovery();
    m_queryBuilder->closeBuilder();   // it works on this window's document
    m_findReplace->closeWindow();
    if (!m_closedEmitted) {
        m_closedEmitted = true;
        emit closed(m_doctype);
    }
    QWidget::closeEvent(event);
}

void frmOstrelClient::impForm_RefreshList()
{
    RunQuery();
    reporter().report(Outcome().withStatus(QStringLiteral("Documents have been loaded")));
}

// ---------------------------------------------------------------- query and list

QString frmOstrelClient::BuildQueryURI() const
{
    return m_target.BuildQueryURI(m_queryEdit->text());
}

void frmOstrelClient::RunQuery()
{
    if (!reporter().run([&] { m_session->RunQuery(m_queryEdit->text()); }, logged))
        return;
    if (m_documentList->count() == 0) {
        reporter().report(Outcome::message(QStringLiteral("Nothing found"), QStringLiteral("No result")));
        return;
    }
    if (m_documentList->currentRow() == 0)
        ShowSelectedDocument();
    else
        m_documentList->setCurrentRow(0);
}

void frmOstrelClient::ShowSelectedDocument()
{
    if (m_documentList->currentRow() >= 0 && !mayReplace(m_documentEditor)) {
        keepShownDocument();
        return;
    }
    if (!m_session->fetchSelected()) {
        if (m_session->lastFetchFailed()) {
            // Back to the entry whose document the pages still show, without fetching it again.
            const QSignalBlocker quiet(m_documentList);
            m_documentList->setCurrentRow(m_session->shownRow());
        }
        return;
    }
    reporter().run(
        [&] {
            showText(m_session->CurrentElement());
            markDocumentShown(m_session->CurrentElement(), true);
            rebuildTree();
        },
        logged);
    if (m_session->takeDeleteArmed())
        m_documentCommands->RemoveCurrentDocument();
}

void frmOstrelClient::rebuildTree()
{
    if (!m_session->hasCurrentElement())
        return;
    m_tree->setDocument(m_session->CurrentElement());
    m_documentTree->expand(m_tree->index(0, 0));
}

void frmOstrelClient::showText(const DomNode &node)
{
    // The editor takes the UTF-8 bytes as they are written, a piece at a time: neither a
    // UTF-16 copy nor the whole text apart from the editor's. Counting first lets the editor
    // size its buffer once.
    m_textShowsDocument = false;
    const xmlutil format;
    const qsizetype bytes = format.FormatXMLUtf8(node, [](const char *, qsizetype) {});
    {
        EditorFill fill(m_documentEditor, bytes);
        format.FormatXMLUtf8(node, [&fill](const char *data, qsizetype size) { fill.append(data, size); });
    }
    m_textShowsDocument = true;
}

void frmOstrelClient::ParseDocumentText()
{
    m_session->ParseDocumentText(m_documentEditor->text());
}

void frmOstrelClient::RemoveCurrentDocument()
{
    m_documentCommands->RemoveCurrentDocument();
}

void frmOstrelClient::showDocument(const DomNode &element)
{
    showText(element);
    markDocumentShown(element, true);
}

bool frmOstrelClient::mayRewriteDocument()
{
    return textMatchesDocument() || mayReplace(m_documentEditor);
}

bool frmOstrelClient::eventFilter(QObject *watched, QEvent *event)
{
    // Filters are installed while the window is still being built.
    if (watched == m_queryEdit && event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        // The query runs with the filter typed so far; the "+" still goes into the box.
        if (ke->text() == QStringLiteral("+"))
            RunQuery();
        return false;
    }
    if (m_session && watched == m_documentList && event->type() == QEvent::KeyRelease) {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (!ke->isAutoRepeat()) {
            m_session->setDeleteArmed(ke->key() == Qt::Key_Delete);
            // Fetching the entry already shown again would only ask about the changes.
            if (ke->key() == Qt::Key_Delete || m_documentList->currentRow() != m_session->shownRow()
                || !m_docChanges->isChanged())
                ShowSelectedDocument();
        }
        return false;
    }
    if (m_documentList && watched == m_documentList->viewport() && event->type() == QEvent::MouseButtonPress) {
        m_rowBeforePress = m_documentList->currentRow();
        return m_docChanges && pressedOtherEntry(static_cast<QMouseEvent *>(event));
    }
    if (m_session && m_pages && watched == m_pages->tabBar() && event->type() == QEvent::KeyPress) {
        // A Delete on the tab strip never arms removal: the next document shown (maybe by a
        // later click in the list) would be deleted without the user asking for it.
        m_session->setDeleteArmed(false);
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- tab views

void frmOstrelClient::onTabAction(TabAction action, int previous)
{
    if (action == TabAction::ParseText)
        leaveTextPage();
    else if (action == TabAction::ApplyStylesheet && !applyStylesheet())
        m_tabs->switchBack(previous);
}

bool frmOstrelClient::leaveTextPage()
{
    if (m_textShowsDocument && m_session->hasCurrentElement()) {
        // The text is the current document's own, untouched: parsing it would only give the
        // same document again (and hold a large one twice).
        reporter().run([&] { rebuildTree(); }, logged);
        return true;
    }
    if (m_documentEditor->text().trimmed().isEmpty()) {
        // An empty page is no document, not a malformed one: nothing to report, nothing shown.
        m_session->setCurrentElement(DomNode());
        m_tree->clear();
        return true;
    }
    const bool parsed = reporter().run([&] { ParseDocumentText(); }, [this](const OstrelError &e) {
        // Back on the text page before the message, so the user sees the text it is about.
        m_tabs->switchBack(TabText);
        return Outcome::message(e.description(), kAppTitle);
    });
    if (parsed)
        reporter().run([&] { rebuildTree(); }, logged);
    return parsed;
}

bool frmOstrelClient::applyStylesheet()
{
    if (!m_session->hasCurrentElement()) {
        reporter().report(Outcome().withStatus(QStringLiteral("There is no document to apply the stylesheet to")));
        return false;
    }
    StylesheetRunner runner;
    return reporter().run([&] { runner.load(m_stylesheetEditor->text(), m_stylesheetFile); },
                          [](const OstrelError &e) {
                              return Outcome()
                                  .withLog(QStringLiteral("Failed to load XSL content: ") + e.description())
                                  .withStatus(e.description());
                          })
        && reporter().run(
            [&] {
                showResult(runner.run(m_session->CurrentElement()));
                reporter().report(Outcome().withStatus(QStringLiteral("Stylesheet applied")));
            },
            [](const OstrelError &e) {
                return Outcome()
                    .withLog(QStringLiteral("Failed to apply stylesheet: ") + e.description())
                    .withStatus(e.description());
            });
}

void frmOstrelClient::showResult(const QString &path)
{
    m_lastResultFile = path;
    if (!m_resultView) {
        // Made on first use: a web view costs a browser process.
        delete m_resultPlaceholder;
        m_resultPlaceholder = nullptr;
        m_resultView = new QWebEngineView(m_resultPage);
        m_resultView->setObjectName(QStringLiteral("WebBrowser1"));
        m_resultPage->layout()->addWidget(m_resultView);
    }
    m_resultView->load(QUrl::fromLocalFile(path));
}

} // namespace owb
