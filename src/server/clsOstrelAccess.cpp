#include "server/clsOstrelAccess.h"
#include "common/OstrelError.h"
#include "server/ServerClient.h"
#include "xml/DocumentList.h"

namespace owb {

namespace {

const QString kGetSource = QStringLiteral("Ostrel Access");
// Spelled so on purpose: callers and logs rely on this source.
const QString kRemoveSource = QStringLiteral("Ostrel Acccess");
const QString kStoreSource = QStringLiteral("OstrelAccess");

using Verdict = WriteAnswer::Verdict;

// The words of a write's verdict other than a refusal, shared by store and remove.
QString malformed(Verdict verdict, const WriteAnswer &written)
{
    switch (verdict) {
    case Verdict::HttpStatus: {
        // Without a reason phrase (HTTP/2) the number is all there is to say.
        QString said = QStringLiteral("HTTP Error ")
            + (written.statusText.isEmpty() ? QString::number(written.status) : written.statusText);
        // A refusal may still carry the server's own reason.
        if (written.failure())
            said += QStringLiteral(": ") + written.failure()->describe();
        return said;
    }
    case Verdict::NotXml:
        return QStringLiteral("The server's answer is not XML (HTTP %1): %2")
            .arg(written.status)
            .arg(written.answer.parseError().reason);
    case Verdict::NoMessage:
        return QStringLiteral("The server's answer holds no message element");
    case Verdict::NoReturnValue:
        return QStringLiteral("The server's message element holds no return value");
    case Verdict::NoObject:
        return QStringLiteral("The server's answer holds no osl:object");
    case Verdict::BadId:
        return QStringLiteral("The server's answer names no valid document id (\"%1\")").arg(written.id());
    default:
        return QString();
    }
}

} // namespace

clsOstrelAccess::clsOstrelAccess(const clsConnection &connection, const FormEncoder &encoder,
                                 const HttpClient &http)
    : m_server(http, &connection, &encoder)
{
}

DomNode clsOstrelAccess::getDocument(const QString &collectionUri, const QString &doctype, qint32 id,
                                     bool keepBlanks) const
{
    try {
        ServerClient::ReadOptions options;
        options.keepBlanks = keepBlanks;
        return m_server.fetch(collectionUri, doctype, id, options);
    } catch (const OstrelError &e) {
        const QString url = ServerClient::queryUrl(collectionUri, ServerClient::documentQuery(doctype, id));
        throw e.reworded(kGetSource, QStringLiteral("Failed to load document (") + url
                                         + QStringLiteral(")\r\nreason:") + e.description());
    }
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

    const WriteAnswer written = m_server.remove(collectionUri, path, {QStringLiteral("Removing the document"), nullptr});
    const Verdict verdict = written.judge(300, false);
    if (verdict == Verdict::ServerFailure)
        throw written.error(verdict, kRemoveSource,
                            written.failure() ? written.failure()->describe() : written.answer.messageText());
    if (verdict != Verdict::Accepted)
        throw written.error(verdict, kRemoveSource, malformed(verdict, written));
    element.removeAttribute(QStringLiteral("osl:id"));
}

QString clsOstrelAccess::ProcessRequest(const QString &collectionUri, const QString &xmlText,
                                        IDocumentList &list) const
{
    const bool isNew = !xmlText.contains(QStringLiteral("osl:id"));
    const WriteAnswer written = m_server.store(collectionUri, xmlText, {QStringLiteral("Storing the document"), nullptr});
    const Verdict verdict = written.judge(300, true);
    if (verdict == Verdict::ServerFailure)
        throw written.error(verdict, kStoreSource, written.refusal());
    if (verdict != Verdict::Accepted)
        throw written.error(verdict, kStoreSource, malformed(verdict, written));

    const QString id = written.id();
    if (isNew) {
        const qint32 number = written.number();
        list.addEntry(QStringLiteral("+ osl:id=") + id, number);
        list.setItemData(list.count() - 1, number);
        list.setCurrentIndex(list.count() - 1);
    }
    return id;
}

} // namespace owb
