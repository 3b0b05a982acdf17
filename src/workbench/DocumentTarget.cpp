#include "workbench/DocumentTarget.h"

#include "common/OstrelError.h"
#include "common/UrlEncoding.h"

namespace owb {

namespace {
const QString kMarker = QStringLiteral("?_xql=");
}

void DocumentTarget::ParseOstrelURI(const QString &uri)
{
    if (isSet())
        return;
    const qsizetype p = uri.indexOf(kMarker);
    if (p < 0)
        throw OstrelError(QStringLiteral("frmOstrelClient"),
                          QStringLiteral("Invalid argument: no \"?_xql=\" in ") + uri);
    const QString collectionURI = uri.left(p);
    const qsizetype slash = collectionURI.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        throw OstrelError(QStringLiteral("frmOstrelClient"),
                          QStringLiteral("Invalid argument: no collection in ") + uri);
    m_collectionURI = collectionURI;
    m_collectionName = collectionURI.mid(slash + 1);
    m_databaseURI = collectionURI.left(slash);
    m_doctypeName = uri.mid(p + kMarker.size());
}

QString DocumentTarget::query(const QString &filter) const
{
    QString q = m_doctypeName;
    const QString trimmed = filter.trimmed();
    if (!trimmed.isEmpty())
        q += QLatin1Char('[') + trimmed + QLatin1Char(']');
    return q;
}

QString DocumentTarget::BuildQueryURI(const QString &filter) const
{
    return m_collectionURI + kMarker + query(filter);
}

QString DocumentTarget::queryUrl(const QString &filter) const
{
    return m_collectionURI + kMarker + QString::fromLatin1(UrlEncoding::encodeQueryValue(query(filter)));
}

} // namespace owb
