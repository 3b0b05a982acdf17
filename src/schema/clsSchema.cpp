#include "schema/clsSchema.h"

#include "common/OstrelError.h"
#include "common/UrlEncoding.h"
#include "xml/ServerFailure.h"

namespace owb {

QString clsSchema::xpathLiteral(const QString &text)
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

QString clsSchema::schemaQuery(const QString &collection, const QString &doctype)
{
    return QStringLiteral("xs:schema[xs:annotation/xs:appinfo/osd:schemaInfo[osd:collection/@name=")
        + xpathLiteral(collection) + QStringLiteral(" and osd:doctype/@name=") + xpathLiteral(doctype)
        + QStringLiteral("]]");
}

QString clsSchema::schemaUrl(const QString &databaseURI, const QString &collection,
                             const QString &doctype)
{
    return databaseURI + QStringLiteral("/osl:collection?_xql=")
        + QString::fromLatin1(UrlEncoding::encodeQueryValue(schemaQuery(collection, doctype)));
}

DomNode clsSchema::GetSchema(const QString &databaseURI, const QString &collection,
                             const QString &doctype)
{
    const DomNode schema = firstSchema(schemaUrl(databaseURI, collection, doctype));
    m_nonXML = false;
    if (schema.isNull())
        return {};
    // Only the asked doctype's own declaration counts: a schema may mix XML and non-XML
    // doctypes.
    m_nonXML = !schema
                    .selectSingleNode(
                        QStringLiteral("xs:annotation/xs:appinfo/osd:schemaInfo/osd:doctype[@name=")
                        + xpathLiteral(doctype) + QStringLiteral("]/osd:nonXML"))
                    .isNull();
    return schema;
}

DomNode clsSchema::FindStoredSchema(const QString &databaseURI, const QString &name, const QString &targetNamespace)
{
    const QString collection = databaseURI + QStringLiteral("/osl:collection?_xql=");
    if (!name.isEmpty()) {
        const QString byName = QStringLiteral("xs:schema[xs:annotation/xs:appinfo/osd:schemaInfo/@name=")
                               + xpathLiteral(name) + QLatin1Char(']');
        const DomNode found =
            firstSchema(collection + QString::fromLatin1(UrlEncoding::encodeQueryValue(byName)));
        if (!found.isNull() || targetNamespace.isNull())
            return found;
    }
    if (targetNamespace.isNull())
        return {};
    const QString byNamespace =
        QStringLiteral("xs:schema[@targetNamespace=") + xpathLiteral(targetNamespace) + QLatin1Char(']');
    return firstSchema(collection + QString::fromLatin1(UrlEncoding::encodeQueryValue(byNamespace)));
}

DomNode clsSchema::firstSchema(const QString &url)
{
    DomDocument doc = NewDOMDocument(false, true);
    doc.setHttpClient(m_http);

    bool loaded = false;
    QString reason;
    try {
        loaded = doc.load(url);
        if (!loaded)
            reason = doc.parseError().reason;
        // A refused query says nothing about whether the doctype has a schema.
        else if (const auto refused = serverFailure(doc)) {
            loaded = false;
            reason = refused->describe();
        }
    } catch (const OstrelError &e) {
        reason = e.description();
    }
    // "clsChema" as spelled here: callers and logs rely on this source.
    if (!loaded)
        throw OstrelError(QStringLiteral("clsChema"),
                          QStringLiteral("Failed to load schema, reason\r\n") + reason);

    const DomNode result = doc.selectSingleNode(QStringLiteral("//xql:result"));
    if (result.isNull())
        return {};
    DomNode schema = result.firstChild();
    while (!schema.isNull() && schema.nodeType() != DomNodeType::Element)
        schema = schema.nextSibling();
    return schema;
}

} // namespace owb
