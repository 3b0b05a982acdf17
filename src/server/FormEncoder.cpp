#include "server/FormEncoder.h"
#include "common/OstrelError.h"
#include "xml/Latin1Xml.h"

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
    Latin1Xml::Failure failure;
    const std::optional<QByteArray> latin1 = Latin1Xml::encode(xml, Latin1Xml::CDataMode::Fail, &failure);
    if (!latin1) {
        if (failure.brokenCharacter)
            throw OstrelError(kSource, QStringLiteral("The text holds a broken character (a lone UTF-16 "
                                                      "surrogate at position %1) and cannot be sent")
                                           .arg(failure.position));
        throw OstrelError(kSource,
                          QStringLiteral("The character %1 in %2 on line %3 lies outside "
                                         "ISO-8859-1 and cannot be sent there; the document was "
                                         "not sent")
                              .arg(QString::fromUcs4(&failure.character, 1), failure.place)
                              .arg(failure.line));
    }
    QByteArray out;
    out.reserve(latin1->size() * 3);
    for (const char c : *latin1)
        appendLatin1(out, static_cast<unsigned char>(c));
    return out;
}

} // namespace owb
