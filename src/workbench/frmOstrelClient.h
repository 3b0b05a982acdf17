#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

#include "common/AppContext.h"
#include "common/CommandMenu.h"
#include "common/UnsavedWork.h"
#include "workbench/DocumentTarget.h"
#include "workbench/DocumentView.h"
#include "xml/DomDocument.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QListWidget;
class QTabWidget;
class QTreeView;
class QGroupBox;
class QToolBar;
class QsciScintilla;
class QWebEngineView;
class QMouseEvent;

namespace owb {

class CommandBars;
class DocumentCommands;
class DocumentListAdapter;
class DocumentSession;
class DocumentTabsBinder;
class EditCommands;
class EditorFind;
class FindBar;
class FindReplaceButton;
class OutcomeReporter;
class QueryBuilderButton;
class TreeValuePanel;
class UnsavedChanges;
struct RecoveryEntry;
class DomTreeModel;
class XslFoEditor;
enum class TabAction;

// The document window of one doctype of one collection of one database. It lays out the
// controls and wires them to its parts: the target (DocumentTarget), the document state and
// server traffic (DocumentSession), the toolbars (DocumentCommands, EditCommands through
// CommandBars, which see the window as a DocumentView), the page changes (DocumentTabs), the
// tree page's value frame (TreeValuePanel) and the stylesheet (StylesheetRunner). Every
// replacement of an edited text asks first (UnsavedChanges, one per editor).
// Widget members are named for their role; their object names are the ones users and tests
// know (m_queryEdit is "txtQry", m_documentEditor "cmxXMLDoc", ...).
class frmOstrelClient : public QWidget, public UnsavedWork, public DocumentView, public CommandMenu {
    Q_OBJECT
public:
    // The context must hold the HTTP client, the connection registry and the form encoder;
    // throws OstrelError otherwise.
    explicit frmOstrelClient(const AppContext &ctx, QWidget *parent = nullptr);
    ~frmOstrelClient() override;

    // The key the opener registered this window under (collection + "/" + doctype).
    QString doctype() const { return m_doctype; }
    void setDoctype(const QString &key) { m_doctype = key; }

    // Sets the target (once), fetches the doctype's schema and names the doctype.
    void Init(const DoctypeRef &doctype);
    // qry: the opening URI (DoctypeRef::openingUri). Throws OstrelError on one it cannot take
    // apart.
    void Init(const QString &qry);
    // Only the first call with an empty target has an effect.
    void ParseOstrelURI(const QString &uri);

    // The import window's RefreshList event lands here.
    void impForm_RefreshList();

    const DoctypeRef &doctypeRef() const { return m_target.doctype(); }
    QString DatabaseURI() const { return m_target.DatabaseURI(); }
    QString CollectionURI() const { return m_target.CollectionURI(); }
    QString CollectionName() const { return m_target.CollectionName(); }
    QString DoctypeName() const { return m_target.DoctypeName(); }
    bool NonXML() const;
    bool DeleteArmed() const;
    // True while a document (fetched, parsed or edited) is held.
    bool hasCurrentElement() const;
    // Self-contained text of the current document element; empty when there is none.
    QString currentElementXml() const;

    // The query sent for the current filter, unencoded.
    QString BuildQueryURI() const;
    // Lists the hits of the query and shows the first, or says "Nothing found".
    void RunQuery();
    // CurrentElement := the document editor's text parsed. Throws OstrelError with the
    // message to show when the text is not well-formed.
    void ParseDocumentText();
    // Removes the current document from the server and shows it again without its osl:id;
    // the outcome is reported (message box, log, status).
    void RemoveCurrentDocument();

    // The toolbars' actions by key ("Store", "Validate", "WellFormed", ...), enabled while
    // their command can act: what a menu of the same commands shows.
    CommandBars &commandBars() const { return *m_bars; }
    // What the "Replace" button opens.
    FindReplaceButton &findReplace() const { return *m_findReplace; }
    // Below the pages; Ctrl+F opens it on the editor of the current page.
    FindBar *findBar() const { return m_findBar; }

    // The file the last transformation wrote (empty before the first one).
    QString lastResultFile() const { return m_lastResultFile; }

    const AppContext &context() const { return m_ctx; }
    const DocumentTarget &target() const { return m_target; }
    DocumentSession &session() const { return *m_session; }
    const OutcomeReporter &reporter() const;
    QListWidget *documentList() const { return m_documentList; }
    QTabWidget *tabs() const { return m_pages; }
    int currentTab() const { return currentPage(); }

    // DocumentView
    QWidget *viewWidget() override { return this; }
    QsciScintilla *documentEditor() const override { return m_documentEditor; }
    QsciScintilla *stylesheetEditor() const override { return m_stylesheetEditor; }
    QsciScintilla *schemaEditor() const override { return m_schemaEditor; }
    int currentPage() const override;
    void runQuery() override { RunQuery(); }
    void showDocument(const DomNode &element) override;
    void refreshList() override { impForm_RefreshList(); }
    void editDocumentText(const QString &text) override;
    void reshowDocument() override { ShowSelectedDocument(); }
    bool mayRewriteDocument() override;
    // The file the stylesheet page's text came from (the template, or one opened or saved):
    // its relative includes, imports and document() calls resolve against it.
    QString stylesheetFile() const { return m_stylesheetFile; }
    void setStylesheetFile(const QString &path) override { m_stylesheetFile = path; }

    // Whether the editors' texts still are what was shown, stored or saved; the one question
    // before one of them is replaced.
    UnsavedChanges &documentChanges() const { return *m_docChanges; }
    UnsavedChanges &stylesheetChanges() const { return *m_xslChanges; }
    UnsavedChanges &changesOf(const QsciScintilla *editor) const override;
    // True when editor's text may be replaced: unchanged, or the user lets the changes go.
    bool mayReplace(const QsciScintilla *editor) override;
    // Changes in either editor that closing would lose (none once the user let them go).
    bool hasUnsavedChanges() const override;
    // What the questions call a document: doctype + " osl:id=" + its id, or "the new document".
    QString documentName(const DomNode &element) const;
    // Takes a recovered text into its editor, after the question when that editor holds
    // changes of its own. False: the user kept them.
    bool restoreText(const RecoveryEntry &entry);

    // CommandMenu: the toolbars' commands, for the main window's Document menu.
    void fillCommandMenu(QMenu *menu) override;
    QAction *commandAction(const QString &key) const override;

    QStringList unsavedChanges() override;
    void discardUnsavedChanges() override;

signals:
    // Emitted once when the window closes; the opener unregisters doctypeKey.
    void closed(const QString &doctypeKey);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void buildToolbars();
    // Frees the keys the main window's shortcuts use from the editors' own bindings.
    void releaseWindowKeys();
    // A file dropped on an editor opens there; files dropped on the list are imported.
    void acceptFileDrops();
    QWidget *buildTreePage();
    void LoadSchema();
    void ShowSelectedDocument();
    void rebuildTree();
    void showText(const DomNode &node);
    static DomNode wholeDocument(const DomNode &element);
    void onTabAction(TabAction action, int previous);
    bool leaveTextPage();
    bool applyStylesheet();
    void showResult(const QString &path);
    void setUpUnsavedChanges();
    // After No: the list shows the entry whose document the pages still show, unfetched.
    void keepShownDocument();
    // Whether the document text is the current document as the formatter writes it, so that
    // rewriting it from the document loses nothing typed.
    bool textMatchesDocument() const;
    // A press on another list entry while the text holds changes: asked about here, before
    // the list moves. True: the press is dealt with.
    bool pressedOtherEntry(QMouseEvent *press);
    // After Accept: the document, edited, is the text.
    void showEditedDocument();
    // The document editor shows element; clean: as fetched or stored.
    void markDocumentShown(const DomNode &element, bool clean);

    AppContext m_ctx;
    QString m_doctype;
    DocumentTarget m_target;
    bool m_closedEmitted = false;
    QString m_lastResultFile;
    QString m_stylesheetFile;
    int m_rowBeforePress = -1;
    bool m_textShowsDocument = false;   // m_documentEditor holds the current document as shown, unedited
    bool m_discardConfirmed = false;    // the user let this window's changes go
    UnsavedChanges *m_docChanges = nullptr;   // owned by this window
    UnsavedChanges *m_xslChanges = nullptr;

    std::unique_ptr<DocumentListAdapter> m_list;
    DomTreeModel *m_tree = nullptr;   // owned by m_documentTree
    std::unique_ptr<DocumentSession> m_session;
    std::unique_ptr<DocumentCommands> m_documentCommands;
    std::unique_ptr<EditCommands> m_editCommands;
    CommandBars *m_bars = nullptr;
    DocumentTabsBinder *m_tabs = nullptr;
    TreeValuePanel *m_valuePanel = nullptr;
    XslFoEditor *m_xslFo = nullptr;   // owned by m_stylesheetEditor
    QueryBuilderButton *m_queryBuilder = nullptr;
    FindReplaceButton *m_findReplace = nullptr;
    EditorFind *m_editorFind = nullptr;
    FindBar *m_findBar = nullptr;

    QLabel *m_filterLabel = nullptr;
    QLineEdit *m_queryEdit = nullptr;
    QPushButton *m_queryBuilderButton = nullptr;
    QLabel *m_doctypeLabel = nullptr;
    QListWidget *m_documentList = nullptr;
    QTabWidget *m_pages = nullptr;
    QsciScintilla *m_documentEditor = nullptr;
    QsciScintilla *m_stylesheetEditor = nullptr;
    QsciScintilla *m_schemaEditor = nullptr;
    QTreeView *m_documentTree = nullptr;
    QGroupBox *m_valueFrame = nullptr;
    QLabel *m_pathLabel = nullptr;
    QLabel *m_valueLabel = nullptr;
    QLineEdit *m_valueEdit = nullptr;
    QPushButton *m_acceptButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QWidget *m_resultPage = nullptr;
    QLabel *m_resultPlaceholder = nullptr;
    QPointer<QWebEngineView> m_resultView;
    QToolBar *m_documentBar = nullptr;
    QToolBar *m_editBar = nullptr;
};

} // namespace owb
