#include "server/ServerClient.h"

#include "common/OstrelError.h"
#include "common/UrlEncoding.h"
#include "server/FormEncoder.h"
#include "server/LookUp.h"
#include "server/clsConnection.h"

#include <QStringList>

namespace owb {

namespace {

const QString kSource = QStringLiteral("ServerClient");
const QString kMarker = QStringLiteral("?_xql=");

} // namespace

ServerClient::ServerClient(const HttpClient &http, const clsConnection *connection, const FormEncoder *encoder)
    : m_http(http), m_connection(connection), m_encoder(encoder)
{
}

// ---------------------------------------------------------------- addresses

QString ServerClient::queryMarker()
{
    return kMarker;
}

QString ServerClient::queryUrl(const QString &collectionUri, const QString &xpath)
{
    return collectionUri + kMarker + QString::fromLatin1(UrlEncoding::encodeQueryValue(xpath));
}

QString ServerClient::queryText(const QString &collectionUri, const QString &xpath)
{
    return collectionUri + kMarker + xpath;
}

QString ServerClient::schemaCollectionUri(const QString &databaseUri)
{
    return databaseUri + QStringLiteral("/osl:collection");
}

QString ServerClient::schemaInformationQuery()
{
    return QStringLiteral("xs:schema/xs:annotation/xs:appinfo/osd:schemaInfo");
}

QString ServerClient::doctypeSchemaQuery(const QString &collection, const QString &doctype)
{
    return QStringLiteral("xs:schema[xs:annotation/xs:appinfo/osd:schemaInfo[osd:collection/@name=")
        + xpathLiteral(collection) + QStringLiteral(" and osd:doctype/@name=") + xpathLiteral(doctype)
        + QStringLiteral("]]");
}

QString ServerClient::namedSchemaQuery(const QString &name)
{
    return QStringLiteral("xs:schema[xs:annotation/xs:appinfo/osd:schemaInfo/@name=") + xpathLiteral(name)
        + QLatin1Char(']');
}

QString ServerClient::namespaceSchemaQuery(const QString &targetNamespace)
{
    return QStringLiteral("xs:schema[@targetNamespace=") + xpathLiteral(targetNamespace) + QLatin1Char(']');
}

QString ServerClient::documentQuery(const QString &doctype, qint32 id)
{
    return doctype + QStringLiteral("[@osl:id=") + QString::number(id) + QLatin1Char(']');
}

QString ServerClient::uploadUrl(const QString &collectionUri, const QString &doctype, const QString &fileName)
{
    return collectionUri + QLatin1Char('/') + QString::fromLatin1(UrlEncoding::encodePathSegment(doctype))
        + QLatin1Char('/') + QString::fromLatin1(UrlEncoding::encodePathSegment(fileName));
}

QString ServerClient::pingUrl(const QString &databaseUri)
{
    return databaseUri + QStringLiteral("?_diagnose=ping");
}

QString ServerClient::xpathLiteral(const QString &text)
{
    const QChar apos = QLatin1Char('\''), quot = QLatin1Char('"');
    if (!text.contains(apos))
        return apos + text + apos;
    if (!text.contains(quot))
        return quot + text + quot;
    // Both quote characters: XPath 1.0 has no escape, so glue the pieces together.
    QStringList parts;
    const QStringList pieces = text.split(apos);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            parts << QStringLiteral("\"'\"");
        if (!pieces[i].isEmpty())
            parts << apos + pieces[i] + apos;
    }
    return QStringLiteral("concat(") + parts.join(QLatin1Char(',')) + QLatin1Char(')');
}

// ---------------------------------------------------------------- reads

ServerAnswer ServerClient::read(const QString &url, const ReadOptions &options) const
{
    HttpRequest req;
    req.url = url;
    req.activity = options.activity.isEmpty() ? QStringLiteral("Fetching ") + url : options.activity;
    req.progress = options.progress;
    const HttpResponse res = m_http.send(req);
    ServerAnswer answer;
    const bool parsed = answer.load(res.body, url, options.keepBlanks);
    // An error page may well be XML; it is still no answer to the query, though it may say why.
    if (res.status < 200 || res.status >= 400) {
        OstrelError refused = OstrelError::httpStatus(
            kSource, QStringLiteral("HTTP %1 %2").arg(res.status).arg(res.statusText).trimmed(), res.status);
        if (parsed && answer.failure())
            refused.withServerReason(answer.failure()->code, answer.failure()->describe());
        throw refused;
    }
    if (!parsed)
        throw OstrelError(OstrelError::Kind::Parse, kSource, answer.parseError().reason);
    // A refusal is no empty answer: whatever was asked for may well exist.
    if (const auto &failure = answer.failure())
        throw OstrelError::serverFailure(kSource, failure->describe(), failure->code, failure->describe());
    return answer;
}

ServerAnswer ServerClient::schemaInformation(const QString &databaseUri) const
{
    return read(queryUrl(schemaCollectionUri(databaseUri), schemaInformationQuery()));
}

ServerClient::DoctypeSchema ServerClient::doctypeSchema(const DoctypeRef &doctype) const
{
    const ServerAnswer answer =
        read(queryUrl(schemaCollectionUri(doctype.databaseUri), doctypeSchemaQuery(doctype.collection, doctype.doctype)));
    DoctypeSchema found;
    found.schema = answer.firstResultRoot();
    // Only the asked doctype's own declaration counts: a schema may mix XML and non-XML
    // doctypes.
    if (found.schema)
        found.nonXML = !found.schema
                            .selectSingleNode(QStringLiteral("xs:annotation/xs:appinfo/osd:schemaInfo/osd:doctype[@name=")
                                              + xpathLiteral(doctype.doctype) + QStringLiteral("]/osd:nonXML"))
                            .isNull();
    return found;
}

DomNode ServerClient::storedSchema(const QString &databaseUri, const QString &name,
                                  const QString &targetNamespace) const
{
    const QString schemas = schemaCollectionUri(databaseUri);
    if (!name.isEmpty()) {
        const DomNode found = read(queryUrl(schemas, namedSchemaQuery(name))).firstResultRoot();
        if (!found.isNull() || targetNamespace.isNull())
            return found;
    }
    if (targetNamespace.isNull())
        return {};
    return read(queryUrl(schemas, namespaceSchemaQuery(targetNamespace))).firstResultRoot();
}

DomNode ServerClient::fetch(const QString &collectionUri, const QString &doctype, qint32 id,
                            const ReadOptions &options) const
{
    ReadOptions fetching = options;
    if (fetching.activity.isEmpty())
        fetching.activity = QStringLiteral("Fetching the document");
    const ServerAnswer answer = read(queryUrl(collectionUri, documentQuery(doctype, id)), fetching);
    // The stored document becomes the root of the answer's document: the document as stored,
    // without a second parse or a copy.
    const DomNode root = answer.firstResultRoot();
    return root ? answer.document().setDocumentElement(root) : DomNode();
}

void ServerClient::query(const QString &collectionUri, const QString &xpath, IDocumentList &list) const
{
    LookUp reader(&m_http);
    reader.setDocumentList(&list);
    reader.ParseQuery(queryUrl(collectionUri, xpath));
}

// ---------------------------------------------------------------- writes

const clsConnection &ServerClient::connection() const
{
    if (!m_connection)
        throw OstrelError(kSource, QStringLiteral("No connection registry to take the credentials of a write from"));
    return *m_connection;
}

const FormEncoder &ServerClient::encoder() const
{
    if (!m_encoder)
        throw OstrelError(kSource, QStringLiteral("No form encoder for the body of a write"));
    return *m_encoder;
}

WriteAnswer ServerClient::post(const QString &url, const QByteArray &body, const WriteOptions &options) const
{
    HttpRequest req;
    req.method = "POST";
    req.url = url;
    req.headers.append({QByteArray("Content-Type"), QByteArray(FormEncoder::ContentType)});
    req.body = body;
    req.authenticate = true;
    req.user = connection().UserID();
    req.password = connection().Password();
    req.activity = options.activity;
    req.progress = options.progress;
    const HttpResponse res = m_http.send(req);
    WriteAnswer written;
    written.status = res.status;
    written.statusText = res.statusText;
    written.parsed = written.answer.load(res.body);
    return written;
}

WriteAnswer ServerClient::store(const QString &collectionUri, const QString &xmlText, const WriteOptions &options) const
{
    return post(collectionUri, "_process=" + encoder().EncodeXml(xmlText), options);
}

WriteAnswer ServerClient::remove(const QString &collectionUri, const QString &xpath, const WriteOptions &options) const
{
    return post(collectionUri, "_delete=" + encoder().Encode(xpath), options);
}

HttpResponse ServerClient::upload(const QString &url, const QByteArray &bytes, const WriteOptions &options) const
{
    HttpRequest req;
    req.method = "PUT";
    req.url = url;
    req.headers.append({QByteArray("Content-Type"), QByteArray("application/upload")});
    req.headers.append({QByteArray("Name"), QByteArray("_Process")});
    req.body = bytes;
    req.authenticate = true;
    req.user = connection().UserID();
    req.password = connection().Password();
    req.progress = options.progress;
    req.activity = options.activity.isEmpty() ? QStringLiteral("Uploading") : options.activity;
    return m_http.send(req);
}

// ---------------------------------------------------------------- judging a write

WriteAnswer::Verdict WriteAnswer::judge(int highestDelivered, bool store) const
{
    if (status > highestDelivered)
        return Verdict::HttpStatus;
    if (!parsed)
        return Verdict::NotXml;
    if (failure())
        return Verdict::ServerFailure;
    if (!answer.message())
        return Verdict::NoMessage;
    const std::optional<QString> value = returnValue();
    if (!value)
        return Verdict::NoReturnValue;
    if (*value != QLatin1String("0"))
        return Verdict::ServerFailure;
    if (store && !answer.object())
        return Verdict::NoObject;
    bool ok = false;
    if (store)
        id().toInt(&ok);
    return store && !ok ? Verdict::BadId : Verdict::Accepted;
}

qint32 WriteAnswer::number() const
{
    return id().toInt();
}

QString WriteAnswer::refusal() const
{
    const QString value = returnValue().value_or(QString());
    if (const auto &f = failure())
        return QStringLiteral("Ostrel error ") + (value.isEmpty() ? QString() : QLatin1Char('(') + value + QStringLiteral(") "))
            + f->describe();
    return QStringLiteral("Ostrel error (") + value + QStringLiteral(") ") + answer.messageText().trimmed();
}

OstrelError WriteAnswer::error(Verdict verdict, const QString &source, const QString &description) const
{
    switch (verdict) {
    case Verdict::HttpStatus:
        return OstrelError::httpStatus(source, description, status);
    case Verdict::ServerFailure:
        return OstrelError::serverFailure(source, description,
                                          failure() ? failure()->code : returnValue().value_or(QString()),
                                          failure() ? failure()->describe() : QString());
    case Verdict::Accepted:
        return OstrelError(source, description);
    default:
        return OstrelError(OstrelError::Kind::Parse, source, description);
    }
}

} // namespace owb
