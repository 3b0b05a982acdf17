#include "workbench/XslFoEditor.h"

#include "common/OstrelError.h"
#include "log/ILogMessage.h"
#include "workbench/XslFoLexer.h"
#include "xml/clsCodeInsight.h"
#include "xml/clsFileHandler.h"

#include <QDir>
#include <Qsci/qsciscintilla.h>

namespace owb {

XslFoEditor::XslFoEditor(QsciScintilla *editor, ILogMessage *log)
    : QObject(editor), m_editor(editor), m_log(log)
{
    connect(editor, &QsciScintilla::textChanged, this, &XslFoEditor::onTextChanged);
    connect(editor, &QsciScintillaBase::SCN_CHARADDED, this, &XslFoEditor::onCharAdded);
    connect(editor, &QsciScintilla::userListActivated, this, &XslFoEditor::onListChosen);
}

XslFoEditor::~XslFoEditor() = default;

QString XslFoEditor::load(const clsFileHandler &files, const QString &folder)
{
    const QDir dir(folder);
    // Completion follows the tags the language finds: without it there is neither.
    bool language = true;
    QStringList lists[2];
    const QString names[2] = {QStringLiteral("elements.dat"), QStringLiteral("attributes.dat")};
    for (int i = 0; i < 2; ++i) {
        try {
            lists[i] = clsCodeInsight::ReadWordList(files, dir.filePath(names[i]));
        } catch (const OstrelError &e) {
            language = false;
            log(QStringLiteral("XSL-FO colouring and completion are off: ") + e.description());
        }
    }
    if (language)
        setLanguage(lists[0], lists[1]);
    bool table = true;
    try {
        setCodeInsight(std::make_unique<clsCodeInsight>(files, dir.filePath(QStringLiteral("CodeInsight.dat"))));
    } catch (const OstrelError &e) {
        table = false;
        setCodeInsight(nullptr);
        log(QStringLiteral("XSL-FO completion is off: ") + e.description());
    }
    if (!language)
        return QStringLiteral("XSL-FO colouring and completion are off; the log says why");
    if (!table)
        return QStringLiteral("XSL-FO completion is off; the log says why");
    return QString();
}

void XslFoEditor::setLanguage(const QStringList &elements, const QStringList &attributes)
{
    if (!m_editor)
        return;
    auto *lexer = new XslFoLexer(elements, attributes, m_editor);
    const QFont font = m_editor->font();
    lexer->setDefaultFont(font);
    lexer->setFont(font, -1);
    QsciLexer *old = m_editor->lexer();
    m_editor->setLexer(lexer);
    if (old && old->parent() == m_editor)
        old->deleteLater();
    m_lexer = lexer;
    // The display option set once the language is selected.
    m_editor->setAutoIndent(true);
}

void XslFoEditor::setCodeInsight(std::unique_ptr<clsCodeInsight> table)
{
    m_table = std::move(table);
}

int XslFoEditor::caretPos() const
{
    return int(m_editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
}

QString XslFoEditor::lineBeforeCaret() const
{
    const int pos = caretPos();
    const int line = int(m_editor->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, pos));
    const int start = int(m_editor->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line));
    QByteArray bytes = m_editor->bytes(start, pos);
    bytes.truncate(pos - start);
    return QString::fromUtf8(bytes);
}

// A change arrives before the caret has moved past it; typed characters are tracked once the
// character is in (onCharAdded), every other change right after it.
void XslFoEditor::onTextChanged()
{
    if (m_trackPending)
        return;
    m_trackPending = true;
    QMetaObject::invokeMethod(this, [this] {
        if (m_trackPending && m_editor)
            trackTag();
    }, Qt::QueuedConnection);
}

void XslFoEditor::onCharAdded(int ch)
{
    trackTag();
    if (ch == '(') {
        const QByteArray tip = TipText().toUtf8();
        m_editor->SendScintilla(QsciScintillaBase::SCI_CALLTIPSHOW, caretPos(), tip.constData());
    }
}

void XslFoEditor::trackTag()
{
    m_trackPending = false;
    if (!m_lexer)
        return;
    const QString before = lineBeforeCaret();
    const XslFoLexer::Token token = m_lexer->classify(before);
    switch (token.kind) {
    case XslFoLexer::Token::ScopeOpener:
        m_tagOpen = token.word == QStringLiteral("<") || token.word == QStringLiteral("<?");
        m_prefixOnly = !m_tagOpen;
        break;
    case XslFoLexer::Token::ScopeCloser:
        m_tagOpen = false;
        m_prefixOnly = false;
        m_currentTagName.clear();
        if (m_editor->isListActive())
            m_editor->cancelList();
        break;
    case XslFoLexer::Token::KeywordWord: {
        // Outside a tag a keyword is just text.
        if (!m_tagOpen && !m_prefixOnly)
            return;
        if (m_prefixOnly && !token.word.endsWith(QLatin1Char(':')))
            return;
        // The tag is the one whose opener precedes the word, not the line's first.
        const qsizetype wordStart = before.size() - token.word.size();
        const qsizetype opener = wordStart > 0 ? before.lastIndexOf(QLatin1Char('<'), wordStart - 1) : -1;
        const qsizetype start = (opener < 0 ? 0 : opener + 1) + (m_prefixOnly ? 1 : 0);
        m_currentTagName = before.mid(start).trimmed();
        QMetaObject::invokeMethod(this, &XslFoEditor::showCompletion, Qt::QueuedConnection);
        break;
    }
    case XslFoLexer::Token::Other:
        break;
    }
}

void XslFoEditor::showCompletion()
{
    if (!m_editor || !m_table)
        return;
    const std::optional<QStringList> names = m_table->GetAttributes(m_currentTagName);
    if (!names)
        return;
    QStringList entries;
    for (const QString &name : *names)
        if (!name.trimmed().isEmpty())
            entries << name;
    if (entries.isEmpty())
        return;
    m_listPos = caretPos();
    m_listName = m_currentTagName;
    // Shown in table order, still searchable as the user types.
    m_editor->SendScintilla(QsciScintillaBase::SCI_AUTOCSETORDER, QsciScintillaBase::SC_ORDER_CUSTOM);
    m_editor->SendScintilla(QsciScintillaBase::SCI_AUTOCSETMAXHEIGHT, 12);
    m_editor->showUserList(kListId, entries);
}

void XslFoEditor::onListChosen(int id, const QString &text)
{
    if (id != kListId || !m_editor)
        return;
    const QString chosen = text.trimmed();
    // The list's own name counts: typing on while it was open may have moved CurrentTagName.
    const QString prior = m_listName;
    const bool completesName = prior.endsWith(QLatin1Char(':'));
    int from = caretPos();
    if (!m_editor->hasSelectedText()) {
        // What was typed while the list was open is the start of the entry, not text of its own.
        const int caret = from;
        if (m_listPos >= 0 && m_listPos < caret) {
            QByteArray typed = m_editor->bytes(m_listPos, caret);
            typed.truncate(caret - m_listPos);
            if (chosen.startsWith(QString::fromUtf8(typed))) {
                m_editor->SendScintilla(QsciScintillaBase::SCI_SETSEL, m_listPos, caret);
                from = m_listPos;
            }
        }
    } else {
        from = int(m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
    }
    QString insert = chosen;
    if (!completesName && from > 0) {
        // An attribute needs a blank between it and the element name.
        const QByteArray prev = m_editor->bytes(from - 1, from).left(1);
        if (!prev.isEmpty() && !QChar(prev[0]).isSpace())
            insert.prepend(QLatin1Char(' '));
    }
    m_editor->replaceSelectedText(insert);
    trackTag();
    if (completesName)
        m_currentTagName = prior + chosen;
}

void XslFoEditor::log(const QString &line)
{
    if (m_log)
        m_log->LogEntry(line);
}

} // namespace owb
