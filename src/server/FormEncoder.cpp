#include "server/FormEncoder.h"
#include "common/OstrelError.h"

namespace owb {

namespace {

const QString kSource = QStringLiteral("FormEncoder");

bool unreserved(char32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
        || c == '.' || c == '_' || c == '~';
}

void appendLatin1(QByteArray &out, char32_t c)
{
    static const char hex[] = "0123456789ABCDEF";
    if (unreserved(c)) {
        out.append(static_cast<char>(c));
    } else {
        out.append('%');
        out.append(hex[(c >> 4) & 0xF]);
        out.append(hex[c & 0xF]);
    }
}

// Reads one code point at i and advances i; a lone surrogate cannot be carried at all.
char32_t nextCodePoint(const QString &s, qsizetype &i)
{
    const QChar c = s.at(i++);
    if (c.isHighSurrogate() && i < s.size() && s.at(i).isLowSurrogate())
        return QChar::surrogateToUcs4(c, s.at(i++));
    if (c.isSurrogate())
        throw OstrelError(kSource, QStringLiteral("The text holds a broken character (a lone UTF-16 "
                                                  "surrogate at position %1) and cannot be sent")
                                       .arg(i - 1));
    return c.unicode();
}

} // namespace

QByteArray FormEncoder::Encode(const QString &text) const
{
    QByteArray out;
    out.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype at = i;
        const char32_t c = nextCodePoint(text, i);
        if (c > 0xFF)
            throw OstrelError(kSource,
                              QStringLiteral("The character %1 at position %2 lies outside ISO-8859-1 "
                                             "and cannot be sent in \"%3\"")
                                  .arg(QString::fromUcs4(&c, 1))
                                  .arg(at + 1)
                                  .arg(text));
        appendLatin1(out, c);
    }
    return out;
}

QByteArray FormEncoder::EncodeXml(const QString &xml) const
{
    enum class State { Text, Tag, AttrValue, Comment, CData, PI, Doctype };
    State state = State::Text;
    QChar quote;
    int doctypeDepth = 0;
    QChar doctypeQuote;
    int line = 1;

    auto startsAt = [&xml](qsizetype i, QLatin1StringView what) {
        return QStringView(xml).mid(i).startsWith(what);
    };
    auto where = [](State s) {
        switch (s) {
        case State::Comment: return QStringLiteral("a comment");
        case State::CData: return QStringLiteral("a CDATA section");
        case State::PI: return QStringLiteral("a processing instruction");
        case State::Doctype: return QStringLiteral("a document type declaration");
        default: return QStringLiteral("an element or attribute name");
        }
    };

    QByteArray out;
    out.reserve(xml.size() * 3);
    for (qsizetype i = 0; i < xml.size();) {
        // Markup boundaries are all ASCII, so deciding the state on UTF-16 units is safe.
        const QChar u = xml.at(i);
        switch (state) {
        case State::Text:
            if (u == QLatin1Char('<')) {
                if (startsAt(i, QLatin1StringView("<!--")))
                    state = State::Comment;
                else if (startsAt(i, QLatin1StringView("<![CDATA[")))
                    state = State::CData;
                else if (startsAt(i, QLatin1StringView("<?")))
                    state = State::PI;
                else if (startsAt(i, QLatin1StringView("<!"))) {
                    state = State::Doctype;
                    doctypeDepth = 0;
                    doctypeQuote = QChar();
                } else
                    state = State::Tag;
            }
            break;
        case State::Tag:
            if (u == QLatin1Char('"') || u == QLatin1Char('\'')) {
                state = State::AttrValue;
                quote = u;
            } else if (u == QLatin1Char('>'))
                state = State::Text;
            break;
        case State::AttrValue:
            if (u == quote)
                state = State::Tag;
            break;
        case State::Comment:
            if (startsAt(i, QLatin1StringView("-->"))) {
                out.append("--%3E");
                i += 3;
                state = State::Text;
                continue;
            }
            break;
        case State::CData:
            if (startsAt(i, QLatin1StringView("]]>"))) {
                out.append("%5D%5D%3E");
                i += 3;
                state = State::Text;
                continue;
            }
            break;
        case State::PI:
            if (startsAt(i, QLatin1StringView("?>"))) {
                out.append("%3F%3E");
                i += 2;
                state = State::Text;
                continue;
            }
            break;
        case State::Doctype:
            if (!doctypeQuote.isNull()) {
                if (u == doctypeQuote)
                    doctypeQuote = QChar();
            } else if (u == QLatin1Char('"') || u == QLatin1Char('\'')) {
                doctypeQuote = u;
            } else if (u == QLatin1Char('[')) {
                ++doctypeDepth;
            } else if (u == QLatin1Char(']')) {
                --doctypeDepth;
            } else if (u == QLatin1Char('>') && doctypeDepth <= 0) {
                out.append("%3E");
                ++i;
                state = State::Text;
                continue;
            }
            break;
        }

        const char32_t c = nextCodePoint(xml, i);
        if (c == '\n')
            ++line;
        if (c <= 0xFF) {
            appendLatin1(out, c);
        } else if (state == State::Text || state == State::AttrValue) {
            out.append("%26%23");
            out.append(QByteArray::number(static_cast<uint>(c)));
            out.append("%3B");
        } else {
            throw OstrelError(kSource,
                              QStringLiteral("The character %1 in %2 on line %3 lies outside "
                                             "ISO-8859-1 and cannot be sent there; the document was "
                                             "not sent")
                                  .arg(QString::fromUcs4(&c, 1), where(state))
                                  .arg(line));
        }
    }
    return out;
}

} // namespace owb
