#include "schema/clsSchema.h"

#include "common/OstrelError.h"
#include "server/ServerClient.h"

namespace owb {

namespace {

// "clsChema" as spelled here: callers and logs rely on this source.
const QString kSource = QStringLiteral("clsChema");

} // namespace

QString clsSchema::xpathLiteral(const QString &text)
{
    return ServerClient::xpathLiteral(text);
}

QString clsSchema::schemaQuery(const QString &collection, const QString &doctype)
{
    return ServerClient::doctypeSchemaQuery(collection, doctype);
}

ServerClient clsSchema::server() const
{
    if (!m_http)
        throw OstrelError(kSource, QStringLiteral("Failed to load schema, reason\r\nNo HTTP client to fetch it"));
    return ServerClient(*m_http);
}

DomNode clsSchema::GetSchema(const QString &databaseURI, const QString &collection,
                             const QString &doctype)
{
    ServerClient::DoctypeSchema found;
    try {
        found = server().doctypeSchema({databaseURI, collection, doctype});
    } catch (const OstrelError &e) {
        throw e.reworded(kSource, QStringLiteral("Failed to load schema, reason\r\n") + e.description());
    }
    m_nonXML = found.nonXML;
    return found.schema;
}

DomNode clsSchema::FindStoredSchema(const QString &databaseURI, const QString &name, const QString &targetNamespace)
{
    try {
        return server().storedSchema(databaseURI, name, targetNamespace);
    } catch (const OstrelError &e) {
        throw e.reworded(kSource, QStringLiteral("Failed to load schema, reason\r\n") + e.description());
    }
}

} // namespace owb
