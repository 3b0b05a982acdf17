#include "common/FindBar.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

namespace owb {

namespace {
const QString NotFound = QStringLiteral("Not found");
const QString BadExpression = QStringLiteral("Invalid regular expression");
const QString MissStyle = QStringLiteral("QLineEdit { background: #ffc8c8; }");
} // namespace

QRegularExpression findExpression(const FindQuery &query)
{
    QString pattern = query.regExp ? query.text : QRegularExpression::escape(query.text);
    if (query.wholeWord)
        pattern = QStringLiteral("\\b(?:%1)\\b").arg(pattern);
    return QRegularExpression(pattern, query.matchCase ? QRegularExpression::NoPatternOption
                                                       : QRegularExpression::CaseInsensitiveOption);
}

bool PlainTextFind::find(const FindQuery &query, bool forward)
{
    const QRegularExpression expression = findExpression(query);
    if (!expression.isValid())
        return false;
    QTextDocument *doc = m_edit->document();
    // The document sets the expression's case from these flags, whatever the expression says.
    QTextDocument::FindFlags flags;
    if (!forward)
        flags |= QTextDocument::FindBackward;
    if (query.matchCase)
        flags |= QTextDocument::FindCaseSensitively;
    QTextCursor from = m_edit->textCursor();
    from.setPosition(forward ? from.selectionEnd() : from.selectionStart());
    QTextCursor hit = doc->find(expression, from, flags);
    if (hit.isNull() || !hit.hasSelection()) {
        QTextCursor edge(doc);
        if (!forward)
            edge.movePosition(QTextCursor::End);
        hit = doc->find(expression, edge, flags);
    }
    // An empty match selects nothing and would hold the search in place.
    if (hit.isNull() || !hit.hasSelection())
        return false;
    m_edit->setTextCursor(hit);
    return true;
}

QWidget *PlainTextFind::textWidget() const
{
    return m_edit;
}

FindBar::FindBar(std::function<FindTarget *()> target, QWidget *parent)
    : QWidget(parent), m_target(std::move(target))
{
    setObjectName(QStringLiteral("findBar"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("txtFindText"));
    m_text->setPlaceholderText(QStringLiteral("Find"));
    m_text->setClearButtonEnabled(true);
    auto check = [this](const char *name, const QString &caption) {
        auto *c = new QCheckBox(caption, this);
        c->setObjectName(QLatin1String(name));
        connect(c, &QCheckBox::toggled, this, [this] { showStatus({}); });
        return c;
    };
    m_regExp = check("chkFindRegExp", QStringLiteral("Regular e&xpression"));
    m_case = check("chkFindCase", QStringLiteral("Match &case"));
    m_word = check("chkFindWord", QStringLiteral("&Whole word"));
    auto button = [this](const char *name, const QString &caption, const QString &tip) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };
    QPushButton *next = button("cmdFindNext", QStringLiteral("&Next"), QStringLiteral("Next hit (F3)"));
    QPushButton *previous = button("cmdFindPrevious", QStringLiteral("&Previous"), QStringLiteral("Previous hit (Shift+F3)"));
    QPushButton *close = button("cmdFindClose", QStringLiteral("Close"), QStringLiteral("Close the find bar (Esc)"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblFindStatus"));
    row->addWidget(m_text, 1);
    for (QWidget *w : std::initializer_list<QWidget *>{m_regExp, m_case, m_word, next, previous, m_status, close})
        row->addWidget(w);

    connect(m_text, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(m_text, &QLineEdit::textChanged, this, [this] { showStatus({}); });
    connect(next, &QPushButton::clicked, this, &FindBar::findNext);
    connect(previous, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(close, &QPushButton::clicked, this, &FindBar::close);
    // Escape from anywhere in the bar; the text below keeps its own Escape.
    connect(addKey(this, "actFindClose", QKeySequence(Qt::Key_Escape)), &QAction::triggered, this, &FindBar::close);
    hide();
}

QAction *FindBar::addKey(QWidget *owner, const char *name, const QKeySequence &key)
{
    auto *a = new QAction(owner);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(key);
    // Several windows hold the same keys: only the one with the focus may answer.
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    owner->addAction(a);
    return a;
}

void FindBar::attachKeys(QWidget *window)
{
    connect(addKey(window, "actFind", QKeySequence(Qt::CTRL | Qt::Key_F)), &QAction::triggered, this, &FindBar::open);
    connect(addKey(window, "actFindNext", QKeySequence(Qt::Key_F3)), &QAction::triggered, this, &FindBar::findNext);
    connect(addKey(window, "actFindPrevious", QKeySequence(Qt::SHIFT | Qt::Key_F3)), &QAction::triggered, this,
            &FindBar::findPrevious);
}

FindQuery FindBar::query() const
{
    return {m_text->text(), m_regExp->isChecked(), m_case->isChecked(), m_word->isChecked()};
}

QString FindBar::status() const
{
    return m_status->text();
}

void FindBar::open()
{
    if (!m_target())
        return;
    const bool wasShown = !isHidden();
    show();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
    if (!wasShown)
        emit shownChanged(true);
}

bool FindBar::findNext()
{
    return search(true);
}

bool FindBar::findPrevious()
{
    return search(false);
}

void FindBar::close()
{
    if (isHidden())
        return;
    hide();
    showStatus({});
    if (FindTarget *target = m_target())
        target->textWidget()->setFocus(Qt::OtherFocusReason);
    emit shownChanged(false);
}

bool FindBar::search(bool forward)
{
    FindTarget *target = m_target();
    if (!target)
        return false;
    // F3 before anything was typed asks for the text first.
    if (m_text->text().isEmpty()) {
        open();
        return false;
    }
    const FindQuery q = query();
    if (q.regExp && !findExpression(q).isValid()) {
        showStatus(BadExpression);
        return false;
    }
    const bool found = target->find(q, forward);
    showStatus(found ? QString() : NotFound);
    return found;
}

void FindBar::showStatus(const QString &text)
{
    m_status->setText(text);
    m_text->setStyleSheet(text.isEmpty() ? QString() : MissStyle);
}

} // namespace owb
