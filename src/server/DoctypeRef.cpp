#include "server/DoctypeRef.h"
#include "server/ServerClient.h"

namespace owb {

QString DoctypeRef::collectionUri() const
{
    // A collection URI taken without a "/" in it comes back as it was.
    return databaseUri.isEmpty() ? collection : databaseUri + QLatin1Char('/') + collection;
}

QString DoctypeRef::key() const
{
    return collection + QLatin1Char('/') + doctype;
}

QString DoctypeRef::openingUri() const
{
    return ServerClient::queryText(collectionUri(), doctype);
}

std::optional<DoctypeRef> DoctypeRef::fromOpeningUri(const QString &uri, QString *why)
{
    const QString marker = ServerClient::queryMarker();
    const qsizetype p = uri.indexOf(marker);
    if (p < 0) {
        if (why)
            *why = QStringLiteral("Invalid argument: no \"%1\" in %2").arg(marker, uri);
        return std::nullopt;
    }
    const QString collectionURI = uri.left(p);
    if (collectionURI.lastIndexOf(QLatin1Char('/')) < 0) {
        if (why)
            *why = QStringLiteral("Invalid argument: no collection in ") + uri;
        return std::nullopt;
    }
    return fromCollectionUri(collectionURI, uri.mid(p + marker.size()));
}

DoctypeRef DoctypeRef::fromCollectionUri(const QString &collectionUri, const QString &doctype)
{
    const qsizetype slash = collectionUri.lastIndexOf(QLatin1Char('/'));
    return {collectionUri.left(qMax<qsizetype>(slash, 0)), collectionUri.mid(slash + 1), doctype};
}

size_t qHash(const DoctypeRef &ref, size_t seed) noexcept
{
    return qHashMulti(seed, ref.databaseUri, ref.collection, ref.doctype);
}

} // namespace owb
