#include "xml/Latin1Xml.h"

#include <QStringView>

namespace owb::Latin1Xml {

namespace {

enum class State { Text, Tag, AttrValue, Comment, CData, PI, Doctype };

QString placeOf(State s)
{
    switch (s) {
    case State::Comment: return QStringLiteral("a comment");
    case State::CData: return QStringLiteral("a CDATA section");
    case State::PI: return QStringLiteral("a processing instruction");
    case State::Doctype: return QStringLiteral("a document type declaration");
    default: return QStringLiteral("an element or attribute name");
    }
}

void appendReference(QByteArray &out, char32_t c)
{
    out += "&#";
    out += QByteArray::number(static_cast<uint>(c));
    out += ';';
}

class Encoder {
public:
    Encoder(const QString &xml, CDataMode mode, Failure *failure)
        : m_xml(xml), m_mode(mode), m_failure(failure)
    {
        m_out.reserve(xml.size() + xml.size() / 8);
    }

    bool run()
    {
        while (m_i < m_xml.size()) {
            if (!step())
                return false;
        }
        return true;
    }

    QByteArray take() { return std::move(m_out); }

private:
    bool startsAt(qsizetype i, QLatin1StringView what) const { return QStringView(m_xml).mid(i).startsWith(what); }

    // Reads one code point at i and advances i; a lone surrogate cannot be carried at all.
    bool next(qsizetype &i, char32_t &c)
    {
        const QChar u = m_xml.at(i++);
        if (u.isHighSurrogate() && i < m_xml.size() && m_xml.at(i).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(u, m_xml.at(i++));
            return true;
        }
        if (u.isSurrogate()) {
            m_failure->brokenCharacter = true;
            m_failure->position = i - 1;
            return false;
        }
        c = u.unicode();
        if (c == '\n')
            ++m_line;
        return true;
    }

    bool fail(char32_t c, State where)
    {
        m_failure->character = c;
        m_failure->place = placeOf(where);
        m_failure->line = m_line;
        return false;
    }

    // A CDATA section starting at m_i, written whole.
    bool cdata()
    {
        const qsizetype start = m_i + 9;
        qsizetype end = m_xml.indexOf(QLatin1StringView("]]>"), start);
        if (end < 0)
            end = m_xml.size();
        const QStringView content = QStringView(m_xml).mid(start, end - start);
        bool wide = false;
        for (const QChar u : content)
            wide = wide || u.unicode() > 0xFF;
        if (!wide || m_mode == CDataMode::Fail) {
            m_out += "<![CDATA[";
            for (qsizetype i = start; i < end;) {
                char32_t c;
                if (!next(i, c))
                    return false;
                if (c > 0xFF)
                    return fail(c, State::CData);
                m_out += char(c);
            }
        } else {
            // Line ends are written as the parser reads them inside the section, one LF each; a
            // LF right after a CR written outside it is a reference, or the two would read as one.
            for (qsizetype i = start; i < end;) {
                char32_t c;
                if (!next(i, c))
                    return false;
                if (c == '\r' && i < end && m_xml.at(i) == u'\n' && !next(i, c))
                    return false;
                switch (c) {
                case '\r':
                case '\n': m_out += m_out.endsWith('\r') ? "&#10;" : "\n"; break;
                case '&': m_out += "&amp;"; break;
                case '<': m_out += "&lt;"; break;
                case '>': m_out += "&gt;"; break;
                case ']':
                    // A last "]" beside a ">" that follows the section would read as "]]>".
                    if (i == end)
                        m_out += "&#93;";
                    else
                        m_out += ']';
                    break;
                default:
                    if (c > 0xFF)
                        appendReference(m_out, c);
                    else
                        m_out += char(c);
                }
            }
        }
        if (end < m_xml.size() && (!wide || m_mode == CDataMode::Fail))
            m_out += "]]>";
        m_i = qMin(end + 3, m_xml.size());
        return true;
    }

    // Copies the closing markup of, and leaves, the current state.
    bool closes(QLatin1StringView end)
    {
        if (!startsAt(m_i, end))
            return false;
        m_out += QByteArrayView(end.data(), end.size());
        m_i += end.size();
        m_state = State::Text;
        return true;
    }

    bool step()
    {
        // Markup boundaries are all ASCII, so deciding the state on UTF-16 units is safe.
        const QChar u = m_xml.at(m_i);
        switch (m_state) {
        case State::Text:
            if (u == QLatin1Char('<')) {
                if (startsAt(m_i, QLatin1StringView("<!--")))
                    m_state = State::Comment;
                else if (startsAt(m_i, QLatin1StringView("<![CDATA[")))
                    return cdata();
                else if (startsAt(m_i, QLatin1StringView("<?")))
                    m_state = State::PI;
                else if (startsAt(m_i, QLatin1StringView("<!"))) {
                    m_state = State::Doctype;
                    m_doctypeDepth = 0;
                    m_doctypeQuote = QChar();
                } else
                    m_state = State::Tag;
            }
            break;
        case State::Tag:
            if (u == QLatin1Char('"') || u == QLatin1Char('\'')) {
                m_state = State::AttrValue;
                m_quote = u;
            } else if (u == QLatin1Char('>'))
                m_state = State::Text;
            break;
        case State::AttrValue:
            if (u == m_quote)
                m_state = State::Tag;
            break;
        case State::Comment:
            if (closes(QLatin1StringView("-->")))
                return true;
            break;
        case State::CData:
            break;
        case State::PI:
            if (closes(QLatin1StringView("?>")))
                return true;
            break;
        case State::Doctype:
            if (!m_doctypeQuote.isNull()) {
                if (u == m_doctypeQuote)
                    m_doctypeQuote = QChar();
            } else if (u == QLatin1Char('"') || u == QLatin1Char('\'')) {
                m_doctypeQuote = u;
            } else if (u == QLatin1Char('[')) {
                ++m_doctypeDepth;
            } else if (u == QLatin1Char(']')) {
                --m_doctypeDepth;
            } else if (u == QLatin1Char('>') && m_doctypeDepth <= 0) {
                m_out += '>';
                ++m_i;
                m_state = State::Text;
                return true;
            }
            break;
        }

        char32_t c;
        if (!next(m_i, c))
            return false;
        if (c <= 0xFF)
            m_out += char(c);
        else if (m_state == State::Text || m_state == State::AttrValue)
            appendReference(m_out, c);
        else
            return fail(c, m_state);
        return true;
    }

    const QString &m_xml;
    CDataMode m_mode;
    Failure *m_failure;
    QByteArray m_out;
    qsizetype m_i = 0;
    State m_state = State::Text;
    QChar m_quote;
    int m_doctypeDepth = 0;
    QChar m_doctypeQuote;
    int m_line = 1;
};

} // namespace

std::optional<QByteArray> encode(const QString &xml, CDataMode mode, Failure *failure)
{
    Failure ignored;
    Encoder encoder(xml, mode, failure ? failure : &ignored);
    if (!encoder.run())
        return std::nullopt;
    return encoder.take();
}

} // namespace owb::Latin1Xml
