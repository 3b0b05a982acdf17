// The document window's controls: their object names, captions and layout.
#include "workbench/frmOstrelClient.h"

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
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
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
    lstDocuments->setMinimumSize(kMinListWidth, kMinListHeight);
    leftLayout->addWidget(lblDocument);
    leftLayout->addWidget(lstDocuments, 1);

    SSTab1 = new QTabWidget(splitter);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setMinimumSize(kMinPagesWidth, kMinPagesHeight);
    SSTab1->tabBar()->installEventFilter(this);

    cmxXMLDoc = makeEditor(SSTab1, QStringLiteral("cmxXMLDoc"));
    cmxXMLDoc->setAutoIndent(true);
    cmxXMLDoc->setIndentationWidth(1);
    SSTab1->addTab(cmxXMLDoc, QStringLiteral("Document (text)"));
    SSTab1->addTab(buildTreePage(), QStringLiteral("&Document (TreeView)"));

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

    splitter->addWidget(left);
    splitter->addWidget(SSTab1);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({180, 620});
    outer->addWidget(splitter, 1);
    resize(900, 600);
}

QWidget *frmOstrelClient::buildTreePage()
{
    auto *treePage = new QWidget(SSTab1);
    auto *treeLayout = new QHBoxLayout(treePage);
    tvDocument = new QTreeView(treePage);
    tvDocument->setObjectName(QStringLiteral("tvDocument"));
    tvDocument->setHeaderHidden(true);
    tvDocument->setMinimumSize(kMinTreeWidth, kMinListHeight);
    frameValue = new QGroupBox(QStringLiteral("Current value "), treePage);
    frameValue->setObjectName(QStringLiteral("frameValue"));
    // The frame keeps its width beside the tree; the tree takes what the page gains.
    frameValue->setFixedWidth(kValueFrameWidth);
    auto *frameLayout = new QVBoxLayout(frameValue);
    lblPath = new QLabel(QStringLiteral("Path: "), frameValue);
    lblPath->setObjectName(QStringLiteral("lblPath"));
    lblPath->setTextFormat(Qt::PlainText);
    lblPath->setWordWrap(true);
    Label1 = new QLabel(QStringLiteral("Value:"), frameValue);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtValue = new QLineEdit(frameValue);
    txtValue->setObjectName(QStringLiteral("txtValue"));
    Command1 = new QPushButton(QStringLiteral("&Accept"), frameValue);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("&Cancel"), frameValue);
    Command2->setObjectName(QStringLiteral("Command2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    frameLayout->addWidget(lblPath);
    frameLayout->addWidget(Label1);
    frameLayout->addWidget(txtValue);
    frameLayout->addLayout(buttons);
    frameLayout->addStretch(1);
    treeLayout->addWidget(tvDocument, 1);
    treeLayout->addWidget(frameValue, 0, Qt::AlignTop);
    return treePage;
}

} // namespace owb
