#include "server/LookUp.h"

#include "common/HttpClient.h"
#include "xml/DocumentList.h"
#include "xml/ParseGuard.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <cstring>

namespace owb {

namespace {

const char *const kSource = "Lookup";

QString qName(const xmlChar *prefix, const xmlChar *localname)
{
    const QString local = QString::fromUtf8(reinterpret_cast<const char *>(localname));
    if (!prefix)
        return local;
    return QString::fromUtf8(reinterpret_cast<const char *>(prefix)) + u':' + local;
}

// SAX2 hands attributes as five pointers each; the value runs from [3] to [4], unterminated.
QByteArray attributeValue(const xmlChar **attributes, int index)
{
    const xmlChar *begin = attributes[index * 5 + 3];
    const xmlChar *end = attributes[index * 5 + 4];
    return QByteArray(reinterpret_cast<const char *>(begin), end - begin);
}

QByteArrayView view(const xmlChar *s)
{
    return s ? QByteArrayView(reinterpret_cast<const char *>(s)) : QByteArrayView();
}

// The attributes of one start tag, as SAX2 hands them over.
class SaxAttributes : public EnvelopeScanner::Attributes {
public:
    SaxAttributes(int count, const xmlChar **attributes) : m_count(count), m_attributes(attributes) {}
    std::optional<QByteArray> find(EnvelopeScanner::Attribute which) const override
    {
        for (int i = 0; i < m_count; ++i) {
            const xmlChar *const *a = m_attributes + i * 5;
            if (EnvelopeScanner::isAttribute({view(a[2]), view(a[1]), view(a[0])}, which))
                return attributeValue(m_attributes, i);
        }
        return std::nullopt;
    }

private:
    int m_count;
    const xmlChar **m_attributes;
};

// A whole number that fits the list's 32-bit item datum; blanks around it are tolerated.
std::optional<qint32> parseId(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    qsizetype i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
    if (i == t.size())
        return std::nullopt;
    for (qsizetype j = i; j < t.size(); ++j) {
        if (t[j] < '0' || t[j] > '9')
            return std::nullopt;
    }
    bool ok = false;
    const qint32 value = t.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

void ignoreErrors(void *, xmlErrorPtr) {}

// Only the five predefined entities: a hostile answer must not pull files or expand bombs.
xmlEntityPtr predefinedOnly(void *, const xmlChar *name)
{
    return xmlGetPredefinedEntity(name);
}

} // namespace

struct LookUp::Sax {
    static LookUp *self(void *ctx)
    {
        return static_cast<LookUp *>(xmlparse::Guard::user(ctx));
    }
    static void start(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri,
                      int, const xmlChar **, int nbAttributes, int, const xmlChar **attributes)
    {
        self(ctx)->onStart(localname, prefix, uri, nbAttributes, attributes);
    }
    static void end(void *ctx, const xmlChar *, const xmlChar *, const xmlChar *)
    {
        self(ctx)->onEnd();
    }
    // No envelope has a DTD; one that declares entities would have libxml2 expand them past
    // any handler of ours.
    static void dtd(void *ctx, const xmlChar *, const xmlChar *, const xmlChar *)
    {
        self(ctx)->fail(QStringLiteral("Query answer holds a DTD, which no server answer has"));
    }
    static void text(void *ctx, const xmlChar *ch, int len)
    {
        self(ctx)->m_envelope.text(reinterpret_cast<const char *>(ch), len);
    }
};

LookUp::LookUp(const HttpClient *http) : m_http(http) {}

LookUp::~LookUp()
{
    releaseParser();
}

void LookUp::releaseParser()
{
    if (m_ctxt) {
        auto *ctxt = static_cast<xmlParserCtxtPtr>(m_ctxt);
        m_guard.reset();
        xmlFreeParserCtxt(ctxt);
        m_ctxt = nullptr;
    }
}

void LookUp::fail(const QString &description)
{
    fail(OstrelError(OstrelError::Kind::Parse, QString::fromLatin1(kSource), description));
}

void LookUp::fail(const OstrelError &error)
{
    if (!m_error)
        m_error = error;
    if (m_ctxt)
        xmlStopParser(static_cast<xmlParserCtxtPtr>(m_ctxt));
}

void LookUp::throwIfFailed()
{
    if (m_error) {
        OstrelError e = *m_error;
        releaseParser();
        throw e;
    }
}

void LookUp::onStart(const xmlChar *localname, const xmlChar *prefix, const xmlChar *uri, int nbAttributes,
                     const xmlChar **attributes)
{
    if (m_error)
        return;
    const SaxAttributes found(nbAttributes, attributes);
    if (m_envelope.start({view(uri), view(prefix), view(localname)}, found) != EnvelopeScanner::Role::ResultRoot
        || !m_listing)
        return;

    const std::optional<QByteArray> idText = found.find(EnvelopeScanner::Attribute::Id);
    if (!idText) {
        fail(QStringLiteral("Result document %1 (%2) has no osl:id attribute")
                 .arg(m_hits + 1)
                 .arg(qName(prefix, localname)));
        return;
    }
    const std::optional<qint32> id = parseId(*idText);
    if (!id) {
        fail(QStringLiteral("Result document %1 (%2) has an osl:id that is not a whole number: \"%3\"")
                 .arg(m_hits + 1)
                 .arg(qName(prefix, localname), QString::fromUtf8(*idText)));
        return;
    }
    m_list->addEntry(QStringLiteral("osl:id=") + QString::fromUtf8(*idText), *id);
    ++m_hits;
}

void LookUp::onEnd()
{
    if (m_error || !m_envelope.end())
        return;
    const ServerFailure &failure = *m_envelope.failure();
    fail(OstrelError::serverFailure(QString::fromLatin1(kSource),
                                    QStringLiteral("Query failed, reason ") + failure.describe(), failure.code,
                                    failure.describe()));
}

void LookUp::begin(const QString &sourceName)
{
    if (!m_list)
        throw OstrelError(QString::fromLatin1(kSource), QStringLiteral("No document list to fill"));
    releaseParser();
    m_error.reset();
    m_envelope.reset();
    m_hits = 0;
    m_listing = true;
    m_source = sourceName;
    m_list->clear();

    xmlInitParser();
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof sax);
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = &Sax::start;
    sax.endElementNs = &Sax::end;
    sax.characters = &Sax::text;
    sax.internalSubset = &Sax::dtd;
    sax.getEntity = &predefinedOnly;
    sax.serror = &ignoreErrors;

    const QByteArray name = sourceName.toUtf8();
    xmlParserCtxtPtr ctxt =
        xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, name.isEmpty() ? nullptr : name.constData());
    if (!ctxt)
        throw OstrelError(QString::fromLatin1(kSource), QStringLiteral("Cannot create an XML parser"));
    // CDATA in the server's failure text arrives as plain text.
    xmlCtxtUseOptions(ctxt, xmlparse::Options | XML_PARSE_NOCDATA);
    ctxt->_private = this;
    m_ctxt = ctxt;
    m_guard = std::make_unique<xmlparse::Guard>(ctxt, xmlparse::AnswerEnvelope);
}

namespace {

QString parseFailure(xmlParserCtxtPtr ctxt)
{
    if (const auto *guard = static_cast<const xmlparse::Guard *>(ctxt->_private); guard && guard->refused())
        return QStringLiteral("Query answer refused: %1 (line %2)").arg(guard->reason()).arg(guard->line());
    const xmlError *err = xmlCtxtGetLastError(ctxt);
    QString reason = err && err->message ? QString::fromUtf8(err->message).trimmed()
                                         : QStringLiteral("unknown parse error");
    const int line = err ? err->line : 0;
    const int column = err ? err->int2 : 0;
    return QStringLiteral("Query answer is not well-formed XML: %1 (line %2, column %3)")
        .arg(reason)
        .arg(line)
        .arg(column);
}

bool pushChunk(xmlParserCtxtPtr ctxt, const char *data, size_t size, bool terminate,
               QString *failure)
{
    // xmlParseChunk takes an int length.
    constexpr size_t kMaxPiece = 1 << 30;
    do {
        const size_t piece = size > kMaxPiece ? kMaxPiece : size;
        const bool last = terminate && piece == size;
        const int rc = xmlParseChunk(ctxt, data, static_cast<int>(piece), last ? 1 : 0);
        if (rc != 0 || !ctxt->wellFormed) {
            *failure = parseFailure(ctxt);
            return false;
        }
        data += piece;
        size -= piece;
    } while (size > 0);
    return true;
}

} // namespace

void LookUp::feed(const char *data, size_t size)
{
    if (!m_ctxt)
        throw OstrelError(QString::fromLatin1(kSource), QStringLiteral("Parse not begun"));
    if (size == 0)
        return;
    QString failure;
    if (!pushChunk(static_cast<xmlParserCtxtPtr>(m_ctxt), data, size, false, &failure))
        fail(failure);   // a failure raised by an event stays the one reported
    throwIfFailed();
}

void LookUp::finish()
{
    if (!m_ctxt)
        throw OstrelError(QString::fromLatin1(kSource), QStringLiteral("Parse not begun"));
    QString failure;
    if (!pushChunk(static_cast<xmlParserCtxtPtr>(m_ctxt), nullptr, 0, true, &failure))
        fail(failure);
    // An empty result is an empty xql:result; an answer without one is no query answer.
    if (!m_envelope.resultSeen())
        fail(QStringLiteral("Query answer holds no xql:result element"));
    throwIfFailed();
    releaseParser();
}

void LookUp::parseAnswer(const QByteArray &answer)
{
    begin();
    feed(answer.constData(), static_cast<size_t>(answer.size()));
    finish();
}

void LookUp::ParseQuery(const QString &url)
{
    if (!m_http)
        throw OstrelError(QString::fromLatin1(kSource), QStringLiteral("No HTTP client to fetch ") + url);
    begin(url);
    auto *ctxt = static_cast<xmlParserCtxtPtr>(m_ctxt);

    HttpRequest request;
    request.method = "GET";
    request.url = url;
    request.activity = QStringLiteral("Running the query");
    bool headSeen = false;
    bool bodyIgnored = false;
    const auto sink = [&](const char *data, size_t size, const HttpResponse &head) {
        if (!headSeen) {
            headSeen = true;
            // A refused request's body is read only for the failure code it may carry.
            m_listing = head.status >= 200 && head.status < 300;
        }
        if (bodyIgnored)
            return true;
        QString failure;
        if (!pushChunk(ctxt, data, size, false, &failure)) {
            if (!m_listing && !m_error) {
                bodyIgnored = true;   // not an envelope: the status says enough
                return true;
            }
            fail(failure);
        }
        return !m_error;
    };

    HttpResponse response;
    try {
        response = m_http->sendStreaming(request, sink);
    } catch (const OstrelError &) {
        m_listing = true;
        throwIfFailed();   // our own reason for stopping the transfer comes first
        releaseParser();
        throw;
    }
    const bool refused = response.status < 200 || response.status >= 300;
    m_listing = true;
    if (refused) {
        // Prefer the server's failure code; a body that is no envelope does not matter here.
        QString failure;
        if (!bodyIgnored)
            pushChunk(ctxt, nullptr, 0, true, &failure);
        if (m_error && m_error->kind() == OstrelError::Kind::ServerFailure)
            throwIfFailed();
        m_error.reset();
        releaseParser();
        throw OstrelError::httpStatus(QString::fromLatin1(kSource),
                                      QStringLiteral("Query failed, HTTP status %1 %2 for %3")
                                          .arg(response.status)
                                          .arg(response.statusText, url),
                                      response.status);
    }
    finish();
}

} // namespace owb
