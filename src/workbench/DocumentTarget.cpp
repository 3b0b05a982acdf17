#include "workbench/DocumentTarget.h"

#include "common/OstrelError.h"
#include "server/ServerClient.h"

namespace owb {

void DocumentTarget::setDoctype(const DoctypeRef &doctype)
{
    if (!isSet())
        m_ref = doctype;
}

void DocumentTarget::ParseOstrelURI(const QString &uri)
{
    if (isSet())
        return;
    QString why;
    const std::optional<DoctypeRef> ref = DoctypeRef::fromOpeningUri(uri, &why);
    if (!ref)
        throw OstrelError(QStringLiteral("frmOstrelClient"), why);
    m_ref = *ref;
}

QString DocumentTarget::query(const QString &filter) const
{
    QString q = m_ref.doctype;
    const QString trimmed = filter.trimmed();
    if (!trimmed.isEmpty())
        q += QLatin1Char('[') + trimmed + QLatin1Char(']');
    return q;
}

QString DocumentTarget::BuildQueryURI(const QString &filter) const
{
    return ServerClient::queryText(CollectionURI(), query(filter));
}

QString DocumentTarget::queryUrl(const QString &filter) const
{
    return ServerClient::queryUrl(CollectionURI(), query(filter));
}

} // namespace owb
