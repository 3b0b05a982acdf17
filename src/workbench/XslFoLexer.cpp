#include "workbench/XslFoLexer.h"

#include <QColor>
#include <Qsci/qsciscintilla.h>

namespace owb {

namespace {

// Where a line ends up; kept per line so that styling can restart at any line.
enum LineState { InText = 0, InTag, InComment, InDoubleQuoted, InSingleQuoted };

bool isWordByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
        || c == '-' || c == ':' || c == '.';
}

} // namespace

XslFoLexer::XslFoLexer(const QStringList &elements, const QStringList &attributes, QObject *parent)
    : QsciLexerCustom(parent)
{
    for (const QString &e : elements)
        m_keywords.insert(e);
    m_keywords.insert(QStringLiteral("xml"));
    for (const QString &a : attributes)
        m_operators.insert(a);
    for (const char *a : {"version", "encoding", "stand-alone"})
        m_operators.insert(QString::fromLatin1(a));
}

QString XslFoLexer::description(int style) const
{
    switch (style) {
    case Default: return QStringLiteral("Default");
    case Comment: return QStringLiteral("Comment");
    case String: return QStringLiteral("String");
    case Tag: return QStringLiteral("Tag");
    case Keyword: return QStringLiteral("Element name");
    case Operator: return QStringLiteral("Attribute name");
    default: return QString();
    }
}

const char *XslFoLexer::wordCharacters() const
{
    return "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-:.";
}

QColor XslFoLexer::defaultColor(int style) const
{
    switch (style) {
    case Comment: return QColor(0x00, 0x80, 0x00);
    case String: return QColor(0x80, 0x00, 0x80);
    case Tag: return QColor(0x00, 0x00, 0xff);
    case Keyword: return QColor(0x80, 0x00, 0x00);
    case Operator: return QColor(0xff, 0x00, 0x00);
    default: return QColor(0x00, 0x00, 0x00);
    }
}

bool XslFoLexer::isWordChar(QChar c)
{
    return c.unicode() >= 0x80 ? c.isLetterOrNumber() : isWordByte(char(c.unicode()));
}

XslFoLexer::Token XslFoLexer::classify(const QString &beforeCaret) const
{
    Token t;
    if (beforeCaret.endsWith(QLatin1Char('>'))) {
        t.kind = Token::ScopeCloser;
        t.word = beforeCaret.endsWith(QStringLiteral("/>")) ? QStringLiteral("/>")
               : beforeCaret.endsWith(QStringLiteral("?>")) ? QStringLiteral("?>")
                                                            : QStringLiteral(">");
        return t;
    }
    for (const char *opener : {"</", "<?", "<"}) {
        if (beforeCaret.endsWith(QLatin1String(opener))) {
            t.kind = Token::ScopeOpener;
            t.word = QString::fromLatin1(opener);
            return t;
        }
    }
    qsizetype start = beforeCaret.size();
    while (start > 0 && isWordChar(beforeCaret[start - 1]))
        --start;
    const QString word = beforeCaret.mid(start);
    if (!word.isEmpty() && isKeyword(word)) {
        t.kind = Token::KeywordWord;
        t.word = word;
    }
    return t;
}

void XslFoLexer::styleText(int start, int end)
{
    QsciScintilla *ed = editor();
    if (!ed || end <= start)
        return;
    const int firstLine = int(ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, start));
    const int lineStart = int(ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, firstLine));
    int state = firstLine > 0 ? int(ed->SendScintilla(QsciScintillaBase::SCI_GETLINESTATE, firstLine - 1)) : InText;
    const QByteArray text = ed->bytes(lineStart, end);
    const qsizetype n = qMin<qsizetype>(text.size(), end - lineStart);

    startStyling(lineStart);
    int line = firstLine;
    qsizetype i = 0;
    auto put = [&](qsizetype len, int style) {
        setStyling(int(len), style);
        i += len;
    };
    while (i < n) {
        const char c = text[i];
        if (c == '\n') {
            put(1, state == InComment ? Comment : state >= InDoubleQuoted ? String : Default);
            ed->SendScintilla(QsciScintillaBase::SCI_SETLINESTATE, line++, state);
            continue;
        }
        switch (state) {
        case InComment: {
            qsizetype stop = text.indexOf("-->", i);
            const qsizetype lf = text.indexOf('\n', i);
            if (stop >= 0 && (lf < 0 || stop < lf)) {
                put(stop + 3 - i, Comment);
                state = InText;
            } else {
                put((lf < 0 ? n : lf) - i, Comment);
            }
            break;
        }
        case InDoubleQuoted:
        case InSingleQuoted: {
            const char quote = state == InDoubleQuoted ? '"' : '\'';
            qsizetype j = i;
            while (j < n && text[j] != quote && text[j] != '\n')
                ++j;
            if (j < n && text[j] == quote) {
                put(j + 1 - i, String);
                state = InTag;
            } else {
                put(j - i, String);
            }
            break;
        }
        case InTag:
            if (c == '>') {
                put(1, Tag);
                state = InText;
            } else if ((c == '/' || c == '?') && i + 1 < n && text[i + 1] == '>') {
                put(2, Tag);
                state = InText;
            } else if (c == '"' || c == '\'') {
                put(1, String);
                state = c == '"' ? InDoubleQuoted : InSingleQuoted;
            } else if (isWordByte(c)) {
                qsizetype j = i;
                while (j < n && isWordByte(text[j]))
                    ++j;
                const QString word = QString::fromUtf8(text.mid(i, j - i));
                put(j - i, isKeyword(word) ? Keyword : isOperator(word) ? Operator : Default);
            } else {
                put(1, Default);
            }
            break;
        default:
            if (text.mid(i, 4) == "<!--") {
                put(4, Comment);
                state = InComment;
            } else if (c == '<') {
                put(i + 1 < n && (text[i + 1] == '/' || text[i + 1] == '?') ? 2 : 1, Tag);
                state = InTag;
            } else {
                qsizetype j = i;
                while (j < n && text[j] != '<' && text[j] != '\n')
                    ++j;
                put(j - i, Default);
            }
            break;
        }
    }
    ed->SendScintilla(QsciScintillaBase::SCI_SETLINESTATE, line, state);
}

} // namespace owb
