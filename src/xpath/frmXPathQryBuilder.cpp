#include "xpath/frmXPathQryBuilder.h"

#include "common/OstrelError.h"
#include "common/UserInteraction.h"
#include "xml/DomTreeModel.h"
#include "xpath/StringClass.h"
#include "xpath/XPathAnalyse.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMetaProperty>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace owb {

namespace {

const QString kEllipsis = QStringLiteral("...");

// A line edit drops its selection when a button or the function list takes the focus; the
// functions need it afterwards, so it survives here.
class ExpressionEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusOutEvent(QFocusEvent *event) override
    {
        const int start = selectionStart();
        const int length = selectedText().size();
        const bool caretAtStart = cursorPosition() == start;
        QLineEdit::focusOutEvent(event);
        if (start >= 0 && length > 0 && !hasSelectedText()) {
            if (caretAtStart)
                setSelection(start + length, -length);
            else
                setSelection(start, length);
        }
    }
};

qsizetype leadingSpaces(const QString &s)
{
    qsizetype n = 0;
    while (n < s.size() && s.at(n) == u' ')
        ++n;
    return n;
}

} // namespace

// A closed list moves its entry on arrow keys, typed letters and the wheel and reports that as
// activated, though nothing was chosen; only a pick from the open list, or Return, inserts.
class FunctionList : public QComboBox {
public:
    using QComboBox::QComboBox;
    bool browsing() const { return m_browsing; }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            event->accept();
            emit activated(currentIndex());
            return;
        }
        const QScopedValueRollback<bool> moving(m_browsing, true);
        QComboBox::keyPressEvent(event);
    }
    void wheelEvent(QWheelEvent *event) override
    {
        const QScopedValueRollback<bool> moving(m_browsing, true);
        QComboBox::wheelEvent(event);
    }

private:
    bool m_browsing = false;
};

const QStringList &frmXPathQryBuilder::functionEntries()
{
    static const QStringList entries = {
        QStringLiteral("---- Node set -----"),
        QStringLiteral("namespace-uri(...)"),
        QStringLiteral("position()"),
        QStringLiteral("last()"),
        QStringLiteral("local-name(...)"),
        QStringLiteral("name(...)"),
        QStringLiteral("---- String ------"),
        QStringLiteral("concat(..., \"string2\")"),
        QStringLiteral("substring(..., 0, n)"),
        QStringLiteral("substring-before(..., \"target\")"),
        QStringLiteral("substring-after(..., \"target\")"),
        QStringLiteral("normalize-space(...)"),
        QStringLiteral("translate(..., \"abc\", \"ABC\")"),
        QStringLiteral("contains(...,\"target\")"),
        QStringLiteral("starts-with(..., \"start\")"),
        QStringLiteral("----- XSLT ------"),
        QStringLiteral("format-number(..., \"##0,00\")"),
        QStringLiteral("generate-id(...)"),
    };
    return entries;
}

const QStringList &frmXPathQryBuilder::axisNames()
{
    static const QStringList names = {
        QStringLiteral("ancestor"), QStringLiteral("ancestor-or-self"),
        QStringLiteral("attribute"), QStringLiteral("child"),
        QStringLiteral("descendant"), QStringLiteral("descendant-or-self"),
        QStringLiteral("following"), QStringLiteral("following-sibling"),
        QStringLiteral("parent"), QStringLiteral("preceding"),
        QStringLiteral("preceding-sibling"), QStringLiteral("self"),
    };
    return names;
}

frmXPathQryBuilder::frmXPathQryBuilder(UserInteraction &ui, QWidget *parent)
    : QWidget(parent), m_ui(ui)
{
    setObjectName(QStringLiteral("frmXPathQryBuilder"));
    setWindowTitle(QStringLiteral("XPath Query Builder"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    resize(720, 460);
}

frmXPathQryBuilder::~frmXPathQryBuilder() = default;

void frmXPathQryBuilder::buildControls()
{
    tvDocument = new QTreeView(this);
    tvDocument->setObjectName(QStringLiteral("tvDocument"));
    tvDocument->setHeaderHidden(true);
    tvDocument->installEventFilter(this);
    m_tree = new DomTreeModel(tvDocument);
    tvDocument->setModel(m_tree);
    connect(tvDocument, &QTreeView::clicked, this, [this](const QModelIndex &index) { nodeClicked(index); });

    txtExpression = new ExpressionEdit(this);
    txtExpression->setObjectName(QStringLiteral("txtExpression"));

    Command1 = new QPushButton(QStringLiteral("and"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("or"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    connect(Command1, &QPushButton::clicked, this, [this] { insertOperator(QStringLiteral(" and ")); });
    connect(Command2, &QPushButton::clicked, this, [this] { insertOperator(QStringLiteral(" or ")); });

    auto *functions = new QGroupBox(QStringLiteral("XPath functions"), this);
    functions->setObjectName(QStringLiteral("fraFunctions"));
    cboXPathFunc = new FunctionList(functions);
    cboXPathFunc->setObjectName(QStringLiteral("cboXPathFunc"));
    cboXPathFunc->addItems(functionEntries());
    cboXPathFunc->setMaxVisibleItems(int(functionEntries().size()));
    connect(cboXPathFunc, &QComboBox::activated, this, [this](int index) {
        if (!cboXPathFunc->browsing())
            functionChosen(index);
    });
    auto *xsltLabel = new QLabel(QStringLiteral("XSLT Functions"), functions);
    xsltLabel->setObjectName(QStringLiteral("lblXSLTFunctions"));
    auto *Label3 = new QLabel(QStringLiteral("Axis"), functions);
    Label3->setObjectName(QStringLiteral("Label3"));
    cboAxis = new QComboBox(functions);
    cboAxis->setObjectName(QStringLiteral("cboAxis"));
    cboAxis->addItems(axisNames());
    Label3->setBuddy(cboAxis);

    auto *grid = new QGridLayout(functions);
    grid->addWidget(xsltLabel, 0, 0, 1, 2);
    grid->addWidget(cboXPathFunc, 1, 0, 1, 2);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(cboAxis, 2, 1);
    grid->setColumnStretch(1, 1);

    Command8 = new QPushButton(QStringLiteral("Accept"), this);
    Command8->setObjectName(QStringLiteral("Command8"));
    Command9 = new QPushButton(QStringLiteral("Cancel"), this);
    Command9->setObjectName(QStringLiteral("Command9"));
    connect(Command8, &QPushButton::clicked, this, &frmXPathQryBuilder::accept);
    connect(Command9, &QPushButton::clicked, this, &frmXPathQryBuilder::closeWindow);

    auto *operators = new QHBoxLayout;
    operators->addWidget(Command1);
    operators->addWidget(Command2);
    operators->addStretch(1);

    auto *right = new QVBoxLayout;
    right->addLayout(operators);
    right->addWidget(functions);
    right->addStretch(1);
    auto *rightPane = new QWidget(this);
    rightPane->setLayout(right);
    right->setContentsMargins(0, 0, 0, 0);

    auto *split = new QSplitter(this);
    split->addWidget(tvDocument);
    split->addWidget(rightPane);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command8);
    buttons->addWidget(Command9);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(txtExpression);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
}

void frmXPathQryBuilder::setXMLDocument(const DomNode &element)
{
    m_element = element;
    m_root = element ? element.nodeName() : QString();
    if (!element) {
        m_tree->clear();
        return;
    }
    try {
        m_tree->setDocument(element);
        tvDocument->expand(m_tree->index(0, 0));
    } catch (const OstrelError &) {
        // No element, no tree: nothing else to show.
    }
}

void frmXPathQryBuilder::setTextControl(QObject *control)
{
    m_textControl = control;
}

QString frmXPathQryBuilder::expression() const
{
    StringClass s;
    s.setStringValue(txtExpression->text());
    return s.StringValue();
}

void frmXPathQryBuilder::setExpression(const QString &text)
{
    txtExpression->setText(text);
}

bool frmXPathQryBuilder::eventFilter(QObject *watched, QEvent *event)
{
    // Return on a node does what a click does.
    if (watched == tvDocument && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && tvDocument->currentIndex().isValid()) {
            nodeClicked(tvDocument->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmXPathQryBuilder::nodeClicked(const QModelIndex &index)
{
    const QString path = m_tree->NodeXPath(index);
    if (path.isEmpty())
        return;
    const QString step = path.mid(2);   // without the leading "./"
    const QString current = expression();
    if (!current.isEmpty() && current.contains(u'[')) {
        if (!m_ui.question(QStringLiteral("Must ") + step + QStringLiteral(" be added to current expression?"),
                           QStringLiteral("Extend XPath expression")))
            return;
        txtExpression->setText(current.chopped(1) + u' ' + step + u']');
    } else {
        txtExpression->setText(m_root + u'[' + step + u']');
    }
}

void frmXPathQryBuilder::insertOperator(const QString &op)
{
    const QString shown = txtExpression->text();
    StringClass value;
    value.setStringValue(shown);
    if (value.StringValue().isEmpty())
        return;
    // The caret counts the characters as shown; the analysis sees them without the
    // leading spaces.
    const qsizetype caret = txtExpression->cursorPosition() - leadingSpaces(shown);
    XPathAnalyse analyse;
    analyse.Analyse(value.StringValue());
    if (analyse.PositionWithinFilter(caret)) {
        try {
            value.InsertString(caret, op);
            txtExpression->setText(value.StringValue());
            txtExpression->setCursorPosition(int(caret + op.size()));
            txtExpression->setFocus();
            return;
        } catch (const OstrelError &) {
            // Inside the filter is always inside the value; fall through to the message.
        }
    }
    m_ui.message(QStringLiteral("Cursor location must be within the filter expression"),
                 QStringLiteral("Insertion failed"), UserInteraction::Icon::Information);
}

void frmXPathQryBuilder::functionChosen(int index)
{
    if (index < 0 || index >= cboXPathFunc->count())
        return;
    const QString entry = cboXPathFunc->itemText(index);
    if (entry.startsWith(QStringLiteral("---")))
        return;
    if (entry.contains(kEllipsis)) {
        if (!txtExpression->hasSelectedText()) {
            m_ui.message(QStringLiteral("No value selected to substitute"),
                         QStringLiteral("Function aborted"), UserInteraction::Icon::Information);
            return;
        }
        QString call = entry;
        txtExpression->insert(call.replace(kEllipsis, txtExpression->selectedText()));
    } else {
        txtExpression->insert(entry);
    }
    txtExpression->setFocus();
}

void frmXPathQryBuilder::accept()
{
    const QString text = txtExpression->text();
    if (m_acceptCheck) {
        const QString reason = m_acceptCheck(text);
        if (!reason.isEmpty()) {
            m_ui.message(reason, QStringLiteral("Expression not accepted"), UserInteraction::Icon::Exclamation);
            return;
        }
    }
    if (m_textControl) {
        const QMetaProperty user = m_textControl->metaObject()->userProperty();
        if (user.isValid())
            user.write(m_textControl, text);
        else
            m_textControl->setProperty("text", text);
    }
    emit accepted(text);
    closeWindow();
}

void frmXPathQryBuilder::closeWindow()
{
    // Inside the main window the frame goes too.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->close();
    else
        close();
}

} // namespace owb
