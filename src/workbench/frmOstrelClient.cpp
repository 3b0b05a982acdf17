#include "workbench/frmOstrelClient.h"

#include "common/AppPaths.h"
#include "common/HttpClient.h"
#include "common/MainWindowApi.h"
#include "common/OstrelError.h"
#include "common/UrlEncoding.h"
#include "log/ILogMessage.h"
#include "schema/clsSchema.h"
#include "server/FormEncoder.h"
#include "server/clsConnection.h"
#include "server/clsOstrelAccess.h"
#include "workbench/DocumentListAdapter.h"
#include "xml/LookUp.h"
#include "xml/TreeWidgetAdapter.h"
#include "xml/Xslt.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <Qsci/qscilexerxml.h>
#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

const QString kAppTitle = QStringLiteral("Ostrel Workbench");
const QString kXslNamespace = QStringLiteral("http://www.w3.org/1999/XSL/Transform");

enum Tab { TabText = 0, TabTree = 1, TabStylesheet = 2, TabResult = 3, TabSchema = 4 };

QFont editorFont()
{
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPointSize(10);
    return f;
}

QsciScintilla *makeEditor(QWidget *parent, const QString &name)
{
    auto *ed = new QsciScintilla(parent);
    ed->setObjectName(name);
    auto *lexer = new QsciLexerXML(ed);
    const QFont f = editorFont();
    lexer->setDefaultFont(f);
    lexer->setFont(f);
    ed->setLexer(lexer);
    ed->setFont(f);
    ed->setUtf8(true);
    ed->setMarginsFont(f);
    ed->setMarginWidth(0, QStringLiteral("000000"));
    ed->setMarginLineNumbers(0, true);
    return ed;
}

// The method libxslt falls back to when xsl:output names none: an <html> root in no
// namespace makes an HTML result.
bool looksLikeHtml(const QByteArray &bytes)
{
    static const QRegularExpression firstElement(
        QStringLiteral(R"(^\s*(?:<\?[^>]*\?>\s*|<!--.*?-->\s*|<![^>]*>\s*)*<([A-Za-z_][\w.:-]*)[\s/>])"),
        QRegularExpression::DotMatchesEverythingOption);
    const auto m = firstElement.match(QString::fromUtf8(bytes.left(4096)));
    return m.hasMatch() && m.captured(1).compare(QStringLiteral("html"), Qt::CaseInsensitive) == 0;
}

} // namespace

frmOstrelClient::frmOstrelClient(const AppContext &ctx, QWidget *parent)
    : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmOstrelClient"));
    setWindowTitle(QStringLiteral("Ostrel Document"));

    if (!m_ctx.http) {
        m_ownHttp = std::make_unique<HttpClient>();
    }
    if (!m_ctx.formEncoder)
        m_ownEncoder = std::make_unique<FormEncoder>();
    if (!m_ctx.connection)
        m_ownConnection = std::make_unique<clsConnection>();
    m_access = std::make_unique<clsOstrelAccess>(
        m_ctx.connection ? *m_ctx.connection : *m_ownConnection,
        m_ctx.formEncoder ? *m_ctx.formEncoder : *m_ownEncoder, http());

    buildUi();
    m_tree = std::make_unique<TreeWidgetAdapter>(tvDocument);

    if (m_ctx.mainWindow)
        m_ctx.mainWindow->EnableDocMenu();

    QFile xsl(AppPaths::dataFile(QStringLiteral("xsl/template.xsl")));
    if (xsl.open(QIODevice::ReadOnly))
        CodeMax1->setText(QString::fromUtf8(xsl.readAll()));
    else
        log(QStringLiteral("Failed to read ") + xsl.fileName());

    SSTab1->setCurrentIndex(TabText);
    m_currentTab = TabText;
}

// No closed() from here: a window torn down with the main window must not call back into
// objects that are being destroyed themselves.
frmOstrelClient::~frmOstrelClient() = default;

void frmOstrelClient::buildUi()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);

    auto *bars = new QHBoxLayout;
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto *query = Toolbar1->addAction(QStringLiteral("Query"));
    query->setObjectName(QStringLiteral("Query"));
    query->setToolTip(QStringLiteral("Query"));
    connect(Toolbar1, &QToolBar::actionTriggered, this,
            [this](QAction *a) { onToolbar1(a->objectName()); });
    Toolbar2 = new QToolBar(this);
    Toolbar2->setObjectName(QStringLiteral("Toolbar2"));
    Toolbar2->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bars->addWidget(Toolbar1);
    bars->addWidget(Toolbar2);
    bars->addStretch(1);
    outer->addLayout(bars);

    auto *filterRow = new QHBoxLayout;
    Label2 = new QLabel(QStringLiteral("Filter:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    txtQry = new QLineEdit(this);
    txtQry->setObjectName(QStringLiteral("txtQry"));
    txtQry->setToolTip(QStringLiteral("Filter Expression for constraining the selection (without [])"));
    txtQry->installEventFilter(this);
    Command3 = new QPushButton(QStringLiteral("Start XPath Query Builder"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    filterRow->addWidget(Label2);
    filterRow->addWidget(txtQry, 1);
    filterRow->addWidget(Command3);
    outer->addLayout(filterRow);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    auto *left = new QWidget(splitter);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    lblDocument = new QLabel(QStringLiteral("Document"), left);
    lblDocument->setObjectName(QStringLiteral("lblDocument"));
    lstDocuments = new QListWidget(left);
    lstDocuments->setObjectName(QStringLiteral("lstDocuments"));
    lstDocuments->setToolTip(QStringLiteral("Select document"));
    lstDocuments->installEventFilter(this);
    lstDocuments->viewport()->installEventFilter(this);
    leftLayout->addWidget(lblDocument);
    leftLayout->addWidget(lstDocuments, 1);
    connect(lstDocuments, &QListWidget::currentRowChanged, this, &frmOstrelClient::onCurrentRowChanged);
    connect(lstDocuments, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        // A click on the entry already selected changes no row, yet still shows it afresh.
        if (lstDocuments->row(item) == m_rowBeforePress)
            ShowSelectedDocument();
    });

    SSTab1 = new QTabWidget(splitter);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->tabBar()->installEventFilter(this);

    cmxXMLDoc = makeEditor(SSTab1, QStringLiteral("cmxXMLDoc"));
    cmxXMLDoc->setAutoIndent(true);
    cmxXMLDoc->setIndentationWidth(1);
    SSTab1->addTab(cmxXMLDoc, QStringLiteral("Document (text)"));

    auto *treePage = new QWidget(SSTab1);
    auto *treeLayout = new QVBoxLayout(treePage);
    tvDocument = new QTreeWidget(treePage);
    tvDocument->setObjectName(QStringLiteral("tvDocument"));
    tvDocument->setHeaderHidden(true);
    connect(tvDocument, &QTreeWidget::itemClicked, this, &frmOstrelClient::onNodeClicked);
    frameValue = new QGroupBox(QStringLiteral("Current value "), treePage);
    frameValue->setObjectName(QStringLiteral("frameValue"));
    auto *frameLayout = new QVBoxLayout(frameValue);
    lblPath = new QLabel(QStringLiteral("Path: "), frameValue);
    lblPath->setObjectName(QStringLiteral("lblPath"));
    lblPath->setTextFormat(Qt::PlainText);
    auto *valueRow = new QHBoxLayout;
    Label1 = new QLabel(QStringLiteral("Value:"), frameValue);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtValue = new QLineEdit(frameValue);
    txtValue->setObjectName(QStringLiteral("txtValue"));
    Command1 = new QPushButton(QStringLiteral("&Accept"), frameValue);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("&Cancel"), frameValue);
    Command2->setObjectName(QStringLiteral("Command2"));
    connect(Command1, &QPushButton::clicked, this, &frmOstrelClient::onAccept);
    valueRow->addWidget(Label1);
    valueRow->addWidget(txtValue, 1);
    valueRow->addWidget(Command1);
    valueRow->addWidget(Command2);
    frameLayout->addWidget(lblPath);
    frameLayout->addLayout(valueRow);
    treeLayout->addWidget(tvDocument, 1);
    treeLayout->addWidget(frameValue);
    SSTab1->addTab(treePage, QStringLiteral("&Document (TreeView)"));

    CodeMax1 = makeEditor(SSTab1, QStringLiteral("CodeMax1"));
    SSTab1->addTab(CodeMax1, QStringLiteral("Stylesheet"));

    resultPage = new QWidget(SSTab1);
    resultPage->setObjectName(QStringLiteral("resultPage"));
    auto *resultLayout = new QVBoxLayout(resultPage);
    resultLayout->setContentsMargins(0, 0, 0, 0);
    resultPlaceholder = new QLabel(QStringLiteral("No stylesheet applied yet"), resultPage);
    resultPlaceholder->setAlignment(Qt::AlignCenter);
    resultLayout->addWidget(resultPlaceholder);
    SSTab1->addTab(resultPage, QStringLiteral("Result"));

    CodeMax2 = makeEditor(SSTab1, QStringLiteral("CodeMax2"));
    SSTab1->addTab(CodeMax2, QStringLiteral("Ostrel schema"));

    connect(SSTab1, &QTabWidget::currentChanged, this, &frmOstrelClient::onTabChanged);

    splitter->addWidget(left);
    splitter->addWidget(SSTab1);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({180, 620});
    outer->addWidget(splitter, 1);
    resize(900, 600);
}

const HttpClient &frmOstrelClient::http() const
{
    return m_ctx.http ? *m_ctx.http : *m_ownHttp;
}

void frmOstrelClient::setStatus(const QString &text)
{
    if (m_ctx.mainWindow)
        m_ctx.mainWindow->setStatus(text);
}

void frmOstrelClient::log(const QString &text)
{
    if (m_ctx.log)
        m_ctx.log->LogEntry(text);
}

void frmOstrelClient::message(const QString &text, const QString &title, UserInteraction::Icon icon)
{
    if (m_ctx.ui)
        m_ctx.ui->message(text, title, icon);
}

bool frmOstrelClient::hasCurrentElement() const
{
    return !m_currentElement.isNull();
}

QString frmOstrelClient::currentElementXml() const
{
    return m_currentElement.isNull() ? QString() : m_currentElement.xml();
}

// ---------------------------------------------------------------- opening and closing

void frmOstrelClient::Init(const QString &qry)
{
    ParseOstrelURI(qry);
    LoadSchema();
    lblDocument->setText(m_doctypeName);
}

void frmOstrelClient::ParseOstrelURI(const QString &uri)
{
    if (!m_databaseURI.isEmpty())
        return;
    const QString marker = QStringLiteral("?_xql=");
    const qsizetype p = uri.indexOf(marker);
    if (p < 0)
        throw OstrelError(QStringLiteral("frmOstrelClient"),
                          QStringLiteral("Invalid argument: no \"?_xql=\" in ") + uri);
    const QString collectionURI = uri.left(p);
    const qsizetype slash = collectionURI.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        throw OstrelError(QStringLiteral("frmOstrelClient"),
                          QStringLiteral("Invalid argument: no collection in ") + uri);
    m_collectionURI = collectionURI;
    m_collectionName = collectionURI.mid(slash + 1);
    m_databaseURI = collectionURI.left(slash);
    m_doctypeName = uri.mid(p + marker.size());
}

void frmOstrelClient::LoadSchema()
{
    DomNode schema;
    try {
        clsSchema loader(&http());
        schema = loader.GetSchema(m_databaseURI, m_collectionName, m_doctypeName);
        if (!schema.isNull()) {
            m_nonXML = loader.NonXML();
            CodeMax2->setText(m_formatter.FormatXML(schema));
        }
    } catch (const OstrelError &e) {
        // An unreachable server must not keep the window from opening; say why in the log.
        log(e.description());
        schema = DomNode();
    }
    if (schema.isNull()) {
        message(QStringLiteral("Failed to load schema for document type ") + m_doctype
                    + QStringLiteral("\r\n") + QStringLiteral("Just continue. ")
                    + QStringLiteral("You can not generate New documents. This will be dealt with at a later stage"),
                QStringLiteral("Error occured"), UserInteraction::Icon::Information);
        return;
    }
    if (m_nonXML) {
        cmxXMLDoc->setEnabled(false);
        CodeMax1->setEnabled(false);
        Command1->setEnabled(false);
    }
}

void frmOstrelClient::closeEvent(QCloseEvent *event)
{
    if (!m_closedEmitted) {
        m_closedEmitted = true;
        emit closed(m_doctype);
    }
    QWidget::closeEvent(event);
}

void frmOstrelClient::impForm_RefreshList()
{
    RunQuery();
    setStatus(QStringLiteral("Documents have been loaded"));
}

// ---------------------------------------------------------------- query and list

QString frmOstrelClient::BuildQueryURI() const
{
    QString uri = m_collectionURI + QStringLiteral("?_xql=") + m_doctypeName;
    const QString filter = txtQry->text().trimmed();
    if (!filter.isEmpty())
        uri += QLatin1Char('[') + filter + QLatin1Char(']');
    return uri;
}

void frmOstrelClient::RunQuery()
{
    // Sent percent-encoded so that the server sees exactly what was typed.
    QString query = m_doctypeName;
    const QString filter = txtQry->text().trimmed();
    if (!filter.isEmpty())
        query += QLatin1Char('[') + filter + QLatin1Char(']');
    const QString url = m_collectionURI + QStringLiteral("?_xql=")
                        + QString::fromLatin1(UrlEncoding::encodeQueryValue(query));

    DocumentListAdapter list(lstDocuments);
    try {
        // Refilling the list is no selection by the user.
        const QSignalBlocker block(lstDocuments);
        LookUp reader(&http());
        reader.setDocumentList(&list);
        reader.ParseQuery(url);
    } catch (const OstrelError &e) {
        log(e.description());
        setStatus(e.description());
        return;
    }
    if (lstDocuments->count() > 0) {
        if (lstDocuments->currentRow() == 0)
            ShowSelectedDocument();
        else
            lstDocuments->setCurrentRow(0);
    } else {
        message(QStringLiteral("Nothing found"), QStringLiteral("No result"),
                UserInteraction::Icon::Information);
    }
}

void frmOstrelClient::onCurrentRowChanged(int)
{
    ShowSelectedDocument();
}

DomNode frmOstrelClient::FetchSelectedDocument()
{
    const int row = lstDocuments->currentRow();
    if (row < 0)
        return {};
    try {
        const qint32 id = lstDocuments->item(row)->data(Qt::UserRole).toInt();
        DomNode element = m_access->getDocument(m_collectionURI, m_doctypeName, id);
        if (element.isNull()) {
            const QSignalBlocker block(lstDocuments);
            delete lstDocuments->takeItem(row);
            lstDocuments->setCurrentRow(-1);
        }
        return element;
    } catch (const OstrelError &e) {
        message(e.description(), QStringLiteral("An error has been raised"),
                UserInteraction::Icon::Exclamation);
        return {};
    }
}

void frmOstrelClient::ShowSelectedDocument()
{
    m_currentElement = FetchSelectedDocument();
    if (m_currentElement.isNull()) {
        // Nothing shown means nothing to delete; an armed Delete must not carry over to
        // whichever document is shown next.
        m_deleteArmed = false;
        return;
    }
    try {
        cmxXMLDoc->setText(m_formatter.FormatXML(m_currentElement));
        rebuildTree();
    } catch (const OstrelError &e) {
        log(e.description());
        setStatus(e.description());
    }
    if (m_deleteArmed) {
        m_deleteArmed = false;
        RemoveCurrentDocument();
    }
}

void frmOstrelClient::rebuildTree()
{
    if (m_currentElement.isNull())
        return;
    m_treeBuilder.BuildTree(*m_tree, m_currentElement);
}

QString frmOstrelClient::ParseDocumentText()
{
    DomDocument doc = NewDOMDocument(false, true);
    if (!doc.loadXML(cmxXMLDoc->text()))
        return QStringLiteral("Failed to load XML content") + QStringLiteral("\r\n") + doc.parseError().reason;
    m_currentElement = doc.documentElement();
    return QString();
}

bool frmOstrelClient::eventFilter(QObject *watched, QEvent *event)
{
    // Filters are installed while the window is still being built.
    if (watched == txtQry && event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        // The query runs with the filter typed so far; the "+" still goes into the box.
        if (ke->text() == QStringLiteral("+"))
            RunQuery();
        return false;
    }
    if (watched == lstDocuments && event->type() == QEvent::KeyRelease) {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (!ke->isAutoRepeat()) {
            m_deleteArmed = ke->key() == Qt::Key_Delete;
            ShowSelectedDocument();
        }
        return false;
    }
    if (lstDocuments && watched == lstDocuments->viewport() && event->type() == QEvent::MouseButtonPress) {
        m_rowBeforePress = lstDocuments->currentRow();
        return false;
    }
    if (SSTab1 && watched == SSTab1->tabBar() && event->type() == QEvent::KeyPress) {
        // A Delete on the tab strip never arms removal: the next document shown (maybe by a
        // later click in the list) would be deleted without the user asking for it.
        m_deleteArmed = false;
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- commands

void frmOstrelClient::onToolbar1(const QString &key)
{
    if (key == QStringLiteral("Query"))
        RunQuery();
}

void frmOstrelClient::RemoveCurrentDocument()
{
    if (m_currentElement.isNull())
        return;
    try {
        m_access->RemoveDocument(m_currentElement, m_collectionURI);
        const QString done = QStringLiteral("Document has been deleted successfully");
        log(done);
        setStatus(done);
        cmxXMLDoc->setText(m_formatter.FormatXML(m_currentElement));
    } catch (const OstrelError &e) {
        message(e.description(), QStringLiteral("Error has been raised"), UserInteraction::Icon::Exclamation);
        log(e.description());
        setStatus(QStringLiteral("Deletion failed: ") + e.description());
    }
}

// ---------------------------------------------------------------- tab views

void frmOstrelClient::onTabChanged(int index)
{
    const int previous = m_currentTab;
    m_currentTab = index;
    if (m_switchingBack)
        return;

    auto switchBack = [this](int tab) {
        m_switchingBack = true;
        SSTab1->setCurrentIndex(tab);
        m_switchingBack = false;
    };

    if (index == TabSchema)
        return;
    if (previous != TabText && previous != TabSchema) {
        if (index == TabResult) {
            const QString m = ApplyStylesheet();
            if (!m.isEmpty())
                switchBack(previous);
        }
        return;
    }
    if (index == TabText)
        return;
    if (cmxXMLDoc->text().trimmed().isEmpty()) {
        // An empty page is no document, not a malformed one: nothing to report, nothing shown.
        m_currentElement = DomNode();
        m_tree->clear();
        return;
    }
    const QString m = ParseDocumentText();
    if (!m.isEmpty()) {
        switchBack(TabText);
        message(m, kAppTitle, UserInteraction::Icon::Information);
        return;
    }
    try {
        rebuildTree();
    } catch (const OstrelError &e) {
        log(e.description());
        setStatus(e.description());
    }
}

void frmOstrelClient::ensureBrowser()
{
    if (WebBrowser1)
        return;
    delete resultPlaceholder;
    resultPlaceholder = nullptr;
    WebBrowser1 = new QWebEngineView(resultPage);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    resultPage->layout()->addWidget(WebBrowser1);
}

QString frmOstrelClient::ApplyStylesheet()
{
    if (m_currentElement.isNull()) {
        const QString m = QStringLiteral("There is no document to apply the stylesheet to");
        setStatus(m);
        return m;
    }

    DomDocument style = NewDOMDocument(false, true);
    style.setSelectionNamespaces(QStringLiteral("xmlns:xsl='") + kXslNamespace + QStringLiteral("'"));
    if (!style.loadXML(CodeMax1->text())) {
        const QString reason = style.parseError().reason;
        log(QStringLiteral("Failed to load XSL content: ") + reason);
        setStatus(reason);
        return reason;
    }

    try {
        QString method;
        const DomNode output = style.documentElement().selectSingleNode(QStringLiteral("xsl:output"));
        bool methodStated = false;
        if (!output.isNull() && output.hasAttribute(QStringLiteral("method"))) {
            method = output.getAttribute(QStringLiteral("method"));
            methodStated = true;
        }

        XsltTransform xslt;
        xslt.loadStylesheet(style);
        const XsltTransform::Result result = xslt.transform(m_currentElement.ownerDocument());

        QString ext = QStringLiteral("xml");
        if (methodStated) {
            if (method == QStringLiteral("xml"))
                ext = QStringLiteral("xml");
            else if (method == QStringLiteral("html"))
                ext = QStringLiteral("html");
            else
                ext = QStringLiteral("txt");
        } else if (!output.isNull() && looksLikeHtml(result.bytes)) {
            ext = QStringLiteral("html");
        }

        const QString path = AppPaths::ensureWritableDir(QStringLiteral("output"))
                             + QStringLiteral("/result.") + ext;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(result.bytes) != result.bytes.size())
            throw OstrelError(QStringLiteral("frmOstrelClient"),
                              QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + file.errorString());
        file.close();
        m_lastResultFile = path;

        ensureBrowser();
        WebBrowser1->load(QUrl::fromLocalFile(path));
    } catch (const OstrelError &e) {
        log(QStringLiteral("Failed to apply stylesheet: ") + e.description());
        setStatus(e.description());
        return e.description();
    }
    setStatus(QStringLiteral("Stylesheet applied"));
    return QString();
}

void frmOstrelClient::onNodeClicked(QTreeWidgetItem *item, int)
{
    if (!item || m_currentElement.isNull())
        return;
    const QString path = TreeWidgetAdapter::NodeXPath(item);
    if (path.isEmpty())
        return;
    try {
        const DomNode n = m_currentElement.selectSingleNode(path);
        lblPath->setText(path);
        txtValue->setText(n.isNull() ? QString() : n.nodeValue());
    } catch (const OstrelError &e) {
        log(e.description());
    }
}

void frmOstrelClient::onAccept()
{
    if (m_currentElement.isNull())
        return;
    QString path = lblPath->text();
    path.remove(QStringLiteral("/text()"));
    if (path.isEmpty() || path == QStringLiteral("Path: "))
        return;
    try {
        DomNode n = m_currentElement.selectSingleNode(path);
        if (n.isNull())
            return;
        if (n.nodeType() == DomNodeType::Element) {
            DomDocument doc = n.ownerDocument();
            const DomNode text = doc.createTextNode(txtValue->text());
            const DomNode first = n.firstChild();
            if (!first.isNull())
                n.replaceChild(text, first);
            else
                n.appendChild(text);
        } else {
            n.setNodeValue(txtValue->text());
        }
        cmxXMLDoc->setText(m_formatter.FormatXML(m_currentElement));
    } catch (const OstrelError &e) {
        log(e.description());
        setStatus(e.description());
    }
}

} // namespace owb
