#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

#include "common/AppContext.h"
#include "common/UserInteraction.h"
#include "xml/DomDocument.h"
#include "xml/buildTV.h"
#include "xml/xmlutil.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QListWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QGroupBox;
class QToolBar;
class QAction;
class QsciScintilla;
class QWebEngineView;

namespace owb {

class clsOstrelAccess;
class clsConnection;
class FormEncoder;
class HttpClient;
class TreeWidgetAdapter;

// The document window of one doctype of one collection of one database.
class frmOstrelClient : public QWidget {
    Q_OBJECT
public:
    explicit frmOstrelClient(const AppContext &ctx, QWidget *parent = nullptr);
    ~frmOstrelClient() override;

    // The key the opener registered this window under (collection + "/" + doctype).
    QString doctype() const { return m_doctype; }
    void setDoctype(const QString &key) { m_doctype = key; }

    // qry: database URI + "/" + collection + "?_xql=" + doctype. Throws OstrelError on an
    // opening URI it cannot take apart.
    void Init(const QString &qry);
    // Only the first call with an empty target has an effect.
    void ParseOstrelURI(const QString &uri);

    // The import window's RefreshList event lands here.
    void impForm_RefreshList();

    QString DatabaseURI() const { return m_databaseURI; }
    QString CollectionURI() const { return m_collectionURI; }
    QString CollectionName() const { return m_collectionName; }
    QString DoctypeName() const { return m_doctypeName; }
    bool NonXML() const { return m_nonXML; }
    bool DeleteArmed() const { return m_deleteArmed; }
    // True while a document (fetched, parsed or edited) is held.
    bool hasCurrentElement() const;
    // Self-contained text of the current document element; empty when there is none.
    QString currentElementXml() const;

    // The query sent for the current filter, unencoded.
    QString BuildQueryURI() const;
    void RunQuery();
    // Parses the document editor's text; "" on success, else the message to show.
    QString ParseDocumentText();
    // Applies the stylesheet editor's text to the current document; "" on success.
    QString ApplyStylesheet();
    void RemoveCurrentDocument();

    // The file the last transformation wrote (empty before the first one).
    QString lastResultFile() const { return m_lastResultFile; }

signals:
    // Emitted once when the window closes; the opener unregisters doctypeKey.
    void closed(const QString &doctypeKey);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void LoadSchema();
    void ShowSelectedDocument();
    DomNode FetchSelectedDocument();
    void onCurrentRowChanged(int row);
    void onTabChanged(int index);
    void onNodeClicked(QTreeWidgetItem *item, int column);
    void onAccept();
    void onToolbar1(const QString &key);
    void rebuildTree();
    void ensureBrowser();
    void setStatus(const QString &text);
    void log(const QString &text);
    void message(const QString &text, const QString &title, UserInteraction::Icon icon);
    const HttpClient &http() const;

    AppContext m_ctx;
    QString m_doctype;
    QString m_databaseURI;
    QString m_collectionURI;
    QString m_collectionName;
    QString m_doctypeName;
    bool m_nonXML = false;
    bool m_deleteArmed = false;
    bool m_closedEmitted = false;
    int m_currentTab = 0;
    bool m_switchingBack = false;
    QString m_lastResultFile;

    DomNode m_currentElement;   // CurrentElement; keeps its document alive
    xmlutil m_formatter;
    buildTV m_treeBuilder;
    std::unique_ptr<TreeWidgetAdapter> m_tree;
    // Stand-ins for process-wide objects a context leaves out.
    std::unique_ptr<HttpClient> m_ownHttp;
    std::unique_ptr<FormEncoder> m_ownEncoder;
    std::unique_ptr<clsConnection> m_ownConnection;
    std::unique_ptr<clsOstrelAccess> m_access;
    int m_rowBeforePress = -1;

    QLabel *Label2 = nullptr;
    QLineEdit *txtQry = nullptr;
    QPushButton *Command3 = nullptr;
    QLabel *lblDocument = nullptr;
    QListWidget *lstDocuments = nullptr;
    QTabWidget *SSTab1 = nullptr;
    QsciScintilla *cmxXMLDoc = nullptr;
    QsciScintilla *CodeMax1 = nullptr;
    QsciScintilla *CodeMax2 = nullptr;
    QTreeWidget *tvDocument = nullptr;
    QGroupBox *frameValue = nullptr;
    QLabel *lblPath = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtValue = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QWidget *resultPage = nullptr;
    QLabel *resultPlaceholder = nullptr;
    QPointer<QWebEngineView> WebBrowser1;
    QToolBar *Toolbar1 = nullptr;
    QToolBar *Toolbar2 = nullptr;
};

} // namespace owb
