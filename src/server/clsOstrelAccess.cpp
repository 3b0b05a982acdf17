#include "server/clsOstrelAccess.h"
#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "common/UrlEncoding.h"
#include "server/FormEncoder.h"
#include "server/clsConnection.h"
#include "xml/DocumentList.h"
#include "xml/ParseGuard.h"
#include "xml/ServerFailure.h"

namespace owb {

namespace {

const QString kGetSource = QStringLiteral("Ostrel Access");
// Spelled so on purpose: callers and logs rely on this source.
const QString kRemoveSource = QStringLiteral("Ostrel Acccess");
const QString kStoreSource = QStringLiteral("OstrelAccess");

struct Envelope {
    DomDocument doc;
    DomNode root;
    QString code;
    QString messageText;
    std::optional<ServerFailure> failure;
};

HttpResponse post(const HttpClient &http, const clsConnection &connection, const QString &url,
                  const QByteArray &body, const QString &activity)
{
    HttpRequest req;
    req.method = "POST";
    req.url = url;
    req.headers.append({QByteArray("Content-Type"), QByteArray(FormEncoder::ContentType)});
    req.body = body;
    req.authenticate = true;
    req.user = connection.UserID();
    req.password = connection.Password();
    req.activity = activity;
    return http.send(req);
}

QString statusError(const HttpResponse &res)
{
    // Without a reason phrase (HTTP/2) the number is all there is to say.
    QString said = QStringLiteral("HTTP Error ")
        + (res.statusText.isEmpty() ? QString::number(res.status) : res.statusText);
    // A refusal may still carry the server's own reason.
    DomDocument answer = NewDOMDocument(false, true);
    answer.setEnvelopeLevels(xmlparse::AnswerEnvelope);
    if (answer.loadBytes(res.body))
        if (const auto failure = serverFailure(answer))
            said += QStringLiteral(": ") + failure->describe();
    return said;
}

// The answer must be an envelope whose last child is the message element, its first attribute
// the return value; anything else is a failure, never a success.
Envelope readEnvelope(const HttpResponse &res, const QString &source)
{
    Envelope env{NewDOMDocument(false, true), {}, {}, {}, {}};
    env.doc.setEnvelopeLevels(xmlparse::AnswerEnvelope);
    if (!env.doc.loadBytes(res.body))
        throw OstrelError(source, QStringLiteral("The server's answer is not XML (HTTP %1): %2")
                                      .arg(res.status)
                                      .arg(env.doc.parseError().reason));
    env.root = env.doc.documentElement();
    env.failure = serverFailure(env.doc);
    DomNode message = env.root ? env.root.lastChild() : DomNode();
    if (message && message.nodeType() != DomNodeType::Element)
        message = DomNode();
    const QList<DomNode> attributes = message ? message.attributes() : QList<DomNode>();
    if (env.failure) {
        env.code = attributes.isEmpty() ? QString() : attributes.first().nodeValue();
        return env;
    }
    if (!message)
        throw OstrelError(source, QStringLiteral("The server's answer holds no message element"));
    if (attributes.isEmpty())
        throw OstrelError(source, QStringLiteral("The server's message element holds no return value"));
    env.code = attributes.first().nodeValue();
    const DomNode last = message.lastChild();
    env.messageText = last ? last.text() : QString();
    return env;
}

} // namespace

clsOstrelAccess::clsOstrelAccess(const clsConnection &connection, const FormEncoder &encoder,
                                 const HttpClient &http)
    : m_connection(connection), m_encoder(encoder), m_http(http)
{
}

DomNode clsOstrelAccess::getDocument(const QString &collectionUri, const QString &doctype, qint32 id,
                                     bool keepBlanks) const
{
    const QString url = collectionUri + QStringLiteral("?_xql=")
        + QString::fromLatin1(UrlEncoding::encodeQueryValue(
            doctype + QStringLiteral("[@osl:id=") + QString::number(id) + QLatin1Char(']')));
    auto fail = [&url](const QString &reason) {
        return OstrelError(kGetSource,
                           QStringLiteral("Failed to load document (") + url
                               + QStringLiteral(")\r\nreason:") + reason);
    };

    HttpResponse res;
    try {
        HttpRequest req;
        req.url = url;
        req.activity = QStringLiteral("Fetching the document");
        res = m_http.send(req);
    } catch (const OstrelError &e) {
        throw fail(e.description());
    }
    // An error page may well be XML; it is still no answer to the query.
    if (res.status >= 400 || res.status < 200)
        throw fail(QStringLiteral("HTTP %1 %2").arg(res.status).arg(res.statusText));

    DomDocument doc = NewDOMDocument(false, true);
    doc.setPreserveWhiteSpace(keepBlanks);
    doc.setEnvelopeLevels(xmlparse::AnswerEnvelope);
    if (!doc.loadBytes(res.body, url))
        throw fail(doc.parseError().reason);
    // A refusal is no empty answer: the document may well still be stored.
    if (const auto refused = serverFailure(doc))
        throw fail(refused->describe());
    const DomNode result = doc.selectSingleNode(QStringLiteral("osl:response/xql:result"));
    if (!result)
        return {};
    // Only an element can be the stored document's root. It becomes the root of the answer's
    // document: the document as stored, without a second parse or a copy.
    for (DomNode child = result.firstChild(); child; child = child.nextSibling())
        if (child.nodeType() == DomNodeType::Element)
            return doc.setDocumentElement(child);
    return {};
}

void clsOstrelAccess::RemoveDocument(DomNode &element, const QString &collectionUri) const
{
    if (!element || element.nodeType() != DomNodeType::Element)
        throw OstrelError(kRemoveSource, QStringLiteral("There is no document to remove"));
    const QString id = element.getAttribute(QStringLiteral("osl:id"));
    // Without an id the path selects nothing the user means; refuse rather than report success.
    if (id.trimmed().isEmpty())
        throw OstrelError(kRemoveSource,
                          QStringLiteral("The document has no osl:id: it is not stored on the server"));
    const QString path = element.nodeName() + QStringLiteral("[@osl:id=") + id + QLatin1Char(']');

    const HttpResponse res = post(m_http, m_connection, collectionUri, "_delete=" + m_encoder.Encode(path),
                                 QStringLiteral("Removing the document"));
    if (res.status > 300)
        throw OstrelError(kRemoveSource, statusError(res));
    const Envelope env = readEnvelope(res, kRemoveSource);
    if (env.failure)
        throw OstrelError(kRemoveSource, env.failure->describe());
    if (env.code != QLatin1String("0"))
        throw OstrelError(kRemoveSource, env.messageText);
    element.removeAttribute(QStringLiteral("osl:id"));
}

QString clsOstrelAccess::ProcessRequest(const QString &collectionUri, const QString &xmlText,
                                        IDocumentList &list) const
{
    const bool isNew = !xmlText.contains(QStringLiteral("osl:id"));
    const QByteArray body = "_process=" + m_encoder.EncodeXml(xmlText);

    const HttpResponse res = post(m_http, m_connection, collectionUri, body, QStringLiteral("Storing the document"));
    if (res.status > 300)
        throw OstrelError(kStoreSource, statusError(res));
    const Envelope env = readEnvelope(res, kStoreSource);
    if (env.failure)
        throw OstrelError(kStoreSource, QStringLiteral("Ostrel error ")
                                            + (env.code.isEmpty() ? QString() : QLatin1Char('(') + env.code + QStringLiteral(") "))
                                            + env.failure->describe());
    if (env.code != QLatin1String("0"))
        throw OstrelError(kStoreSource,
                          QStringLiteral("Ostrel error (") + env.code + QStringLiteral(") ") + env.messageText);

    const DomNode object = env.root.selectSingleNode(QStringLiteral("osl:object"));
    if (!object)
        throw OstrelError(kStoreSource, QStringLiteral("The server's answer holds no osl:object"));
    const QString id = object.getAttribute(QStringLiteral("osl:id"));
    bool ok = false;
    const qint32 number = id.toInt(&ok);
    if (!ok)
        throw OstrelError(kStoreSource,
                          QStringLiteral("The server's answer names no valid document id (\"%1\")").arg(id));
    if (isNew) {
        list.addEntry(QStringLiteral("+ osl:id=") + id, number);
        list.setItemData(list.count() - 1, number);
        list.setCurrentIndex(list.count() - 1);
    }
    return id;
}

} // namespace owb
