// The document window's controls: their object names, captions and layout.
#include "workbench/frmOstrelClient.h"
#include "common/FindBar.h"
#include "workbench/EditorFind.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <Qsci/qscilexerxml.h>
#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

QFont editorFont()
{
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    f.setPointSize(10);
    return f;
}

// Sizes below which the controls stop shrinking with the window (pixels).
constexpr int kMinListWidth = 120;
constexpr int kMinListHeight = 120;
constexpr int kMinPagesWidth = 360;
constexpr int kMinPagesHeight = 240;
constexpr int kMinTreeWidth = 140;
constexpr int kValueFrameWidth = 260;

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

} // namespace

void frmOstrelClient::buildUi()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);

    auto *bars = new QHBoxLayout;
    m_documentBar = new QToolBar(this);
    m_documentBar->setObjectName(QStringLiteral("Toolbar1"));
    m_documentBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_editBar = new QToolBar(this);
    m_editBar->setObjectName(QStringLiteral("Toolbar2"));
    m_editBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bars->addWidget(m_documentBar);
    bars->addWidget(m_editBar);
    bars->addStretch(1);
    outer->addLayout(bars);

    auto *filterRow = new QHBoxLayout;
    m_filterLabel = new QLabel(QStringLiteral("Filter:"), this);
    m_filterLabel->setObjectName(QStringLiteral("Label2"));
    m_queryEdit = new QLineEdit(this);
    m_queryEdit->setObjectName(QStringLiteral("txtQry"));
    m_queryEdit->setToolTip(QStringLiteral("Filter Expression for constraining the selection (without [])"));
    m_queryEdit->installEventFilter(this);
    m_queryBuilderButton = new QPushButton(QStringLiteral("Start XPath Query Builder"), this);
    m_queryBuilderButton->setObjectName(QStringLiteral("Command3"));
    filterRow->addWidget(m_filterLabel);
    filterRow->addWidget(m_queryEdit, 1);
    filterRow->addWidget(m_queryBuilderButton);
    outer->addLayout(filterRow);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    auto *left = new QWidget(splitter);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    m_doctypeLabel = new QLabel(QStringLiteral("Document"), left);
    m_doctypeLabel->setObjectName(QStringLiteral("lblDocument"));
    m_documentList = new QListWidget(left);
    m_documentList->setObjectName(QStringLiteral("lstDocuments"));
    m_documentList->setToolTip(QStringLiteral("Select document"));
    m_documentList->installEventFilter(this);
    m_documentList->viewport()->installEventFilter(this);
    m_documentList->setMinimumSize(kMinListWidth, kMinListHeight);
    leftLayout->addWidget(m_doctypeLabel);
    leftLayout->addWidget(m_documentList, 1);

    m_pages = new QTabWidget(splitter);
    m_pages->setObjectName(QStringLiteral("SSTab1"));
    m_pages->setMinimumSize(kMinPagesWidth, kMinPagesHeight);
    m_pages->tabBar()->installEventFilter(this);

    m_documentEditor = makeEditor(m_pages, QStringLiteral("cmxXMLDoc"));
    m_documentEditor->setAutoIndent(true);
    m_documentEditor->setIndentationWidth(1);
    m_pages->addTab(m_documentEditor, QStringLiteral("Document (text)"));
    m_pages->addTab(buildTreePage(), QStringLiteral("&Document (TreeView)"));

    m_stylesheetEditor = makeEditor(m_pages, QStringLiteral("CodeMax1"));
    m_pages->addTab(m_stylesheetEditor, QStringLiteral("Stylesheet"));

    m_resultPage = new QWidget(m_pages);
    m_resultPage->setObjectName(QStringLiteral("resultPage"));
    auto *resultLayout = new QVBoxLayout(m_resultPage);
    resultLayout->setContentsMargins(0, 0, 0, 0);
    m_resultPlaceholder = new QLabel(QStringLiteral("No stylesheet applied yet"), m_resultPage);
    m_resultPlaceholder->setAlignment(Qt::AlignCenter);
    resultLayout->addWidget(m_resultPlaceholder);
    m_pages->addTab(m_resultPage, QStringLiteral("Result"));

    m_schemaEditor = makeEditor(m_pages, QStringLiteral("CodeMax2"));
    m_pages->addTab(m_schemaEditor, QStringLiteral("Ostrel schema"));

    splitter->addWidget(left);
    splitter->addWidget(m_pages);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({180, 620});
    outer->addWidget(splitter, 1);
    m_findBar = new FindBar([this] { return m_editorFind ? m_editorFind->current() : nullptr; }, this);
    outer->addWidget(m_findBar);
    resize(900, 600);
}

QWidget *frmOstrelClient::buildTreePage()
{
    auto *treePage = new QWidget(m_pages);
    auto *treeLayout = new QHBoxLayout(treePage);
    m_documentTree = new QTreeView(treePage);
    m_documentTree->setObjectName(QStringLiteral("tvDocument"));
    m_documentTree->setHeaderHidden(true);
    m_documentTree->setMinimumSize(kMinTreeWidth, kMinListHeight);
    m_valueFrame = new QGroupBox(QStringLiteral("Current value "), treePage);
    m_valueFrame->setObjectName(QStringLiteral("frameValue"));
    // The frame keeps its width beside the tree; the tree takes what the page gains.
    m_valueFrame->setFixedWidth(kValueFrameWidth);
    auto *frameLayout = new QVBoxLayout(m_valueFrame);
    m_pathLabel = new QLabel(QStringLiteral("Path: "), m_valueFrame);
    m_pathLabel->setObjectName(QStringLiteral("lblPath"));
    m_pathLabel->setTextFormat(Qt::PlainText);
    m_pathLabel->setWordWrap(true);
    m_valueLabel = new QLabel(QStringLiteral("Value:"), m_valueFrame);
    m_valueLabel->setObjectName(QStringLiteral("Label1"));
    m_valueEdit = new QLineEdit(m_valueFrame);
    m_valueEdit->setObjectName(QStringLiteral("txtValue"));
    m_acceptButton = new QPushButton(QStringLiteral("&Accept"), m_valueFrame);
    m_acceptButton->setObjectName(QStringLiteral("Command1"));
    m_cancelButton = new QPushButton(QStringLiteral("&Cancel"), m_valueFrame);
    m_cancelButton->setObjectName(QStringLiteral("Command2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_acceptButton);
    buttons->addWidget(m_cancelButton);
    frameLayout->addWidget(m_pathLabel);
    frameLayout->addWidget(m_valueLabel);
    frameLayout->addWidget(m_valueEdit);
    frameLayout->addLayout(buttons);
    frameLayout->addStretch(1);
    treeLayout->addWidget(m_documentTree, 1);
    treeLayout->addWidget(m_valueFrame, 0, Qt::AlignTop);
    return treePage;
}

} // namespace owb
