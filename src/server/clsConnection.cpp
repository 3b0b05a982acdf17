#include "server/clsConnection.h"
#include "common/OstrelError.h"

namespace owb {

void clsConnection::AddConString(const QString &uri, const QString &userId, const QString &password)
{
    if (!m_connections.contains(uri))
        m_connections.insert(uri, Entry{uri, userId, password});
}

bool clsConnection::ConnectionExists(const QString &uri) const
{
    return m_connections.contains(uri);
}

std::optional<QStringList> clsConnection::GetConnectionData(const QString &uri) const
{
    const auto it = m_connections.constFind(uri);
    if (it == m_connections.constEnd())
        return std::nullopt;
    return QStringList{it->uri, it->user, it->password};
}

QString clsConnection::ConnectionString(const QString &uri) const
{
    const auto it = m_connections.constFind(uri);
    if (it == m_connections.constEnd())
        return {};
    return it->uri + QLatin1Char(';') + it->user + QLatin1Char(';') + it->password;
}

void clsConnection::setContext(const QString &uri)
{
    const auto data = GetConnectionData(uri);
    if (!data)
        throw OstrelError(QStringLiteral("Connection Manager"), QStringLiteral("Context does not exist"));
    m_url = data->at(0);
    m_user = data->at(1);
    m_password = data->at(2);
}

} // namespace owb
