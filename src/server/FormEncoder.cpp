#include "server/FormEncoder.h"
#include "common/OstrelError.h"
#include "common/UrlEncoding.h"
#include "xml/Latin1Xml.h"

namespace owb {

namespace {

const QString kSource = QStringLiteral("FormEncoder");

// Reads one code point at i and advances i; a lone surrogate cannot be carried at all.
char32_t nextCodePoint(const QString &s, qsizetype &i)
{
    const QChar c = s.at(i++);
    if (c.isHighSurrogate() && i < s.size() && s.at(i).isLowSurrogate())
        return QChar::surrogateToUcs4(c, s.at(i++));
    if (c.isSurrogate())
        throw OstrelError(OstrelError::Kind::Parse, kSource,
                          QStringLiteral("The text holds a broken character (a lone UTF-16 "
                                         "surrogate at position %1) and cannot be sent")
                              .arg(i - 1));
    return c.unicode();
}

} // namespace

QByteArray FormEncoder::Encode(const QString &text) const
{
    QByteArray latin1;
    latin1.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype at = i;
        const char32_t c = nextCodePoint(text, i);
        if (c > 0xFF)
            throw OstrelError(OstrelError::Kind::Parse, kSource,
                              QStringLiteral("The character %1 at position %2 lies outside ISO-8859-1 "
                                             "and cannot be sent in \"%3\"")
                                  .arg(QString::fromUcs4(&c, 1))
                                  .arg(at + 1)
                                  .arg(text));
        latin1.append(static_cast<char>(c));
    }
    return UrlEncoding::percentEncode(latin1);
}

QByteArray FormEncoder::EncodeXml(const QString &xml) const
{
    Latin1Xml::Failure failure;
    const std::optional<QByteArray> latin1 = Latin1Xml::encode(xml, Latin1Xml::CDataMode::Fail, &failure);
    if (!latin1) {
        if (failure.brokenCharacter)
            throw OstrelError(OstrelError::Kind::Parse, kSource,
                              QStringLiteral("The text holds a broken character (a lone UTF-16 "
                                             "surrogate at position %1) and cannot be sent")
                                  .arg(failure.position));
        throw OstrelError(OstrelError::Kind::Parse, kSource,
                          QStringLiteral("The character %1 in %2 on line %3 lies outside "
                                         "ISO-8859-1 and cannot be sent there; the document was "
                                         "not sent")
                              .arg(QString::fromUcs4(&failure.character, 1), failure.place)
                              .arg(failure.line));
    }
    return UrlEncoding::percentEncode(*latin1);
}

} // namespace owb
