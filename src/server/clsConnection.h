#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace owb {

// The credentials under which each database URI was reached during this run, and the current
// connection every request takes its credentials from. Memory only: passwords are never saved.
class clsConnection {
public:
    // The first registration of a URI stays; later ones change nothing.
    void AddConString(const QString &uri, const QString &userId, const QString &password);
    bool ConnectionExists(const QString &uri) const;
    // URI, user ID and password exactly as registered (a ";" inside any of them survives);
    // std::nullopt for a URI that is not registered.
    std::optional<QStringList> GetConnectionData(const QString &uri) const;
    // The display form: URI + ";" + user ID + ";" + password. Empty for an unknown URI.
    QString ConnectionString(const QString &uri) const;

    // Throws OstrelError ("Connection Manager", "Context does not exist") for an unknown URI;
    // the current connection then stays as it was.
    void setContext(const QString &uri);

    QString OstrelURL() const { return m_url; }
    QString UserID() const { return m_user; }
    QString Password() const { return m_password; }

private:
    struct Entry {
        QString uri;
        QString user;
        QString password;
    };
    QHash<QString, Entry> m_connections;
    QString m_url;
    QString m_user;
    QString m_password;
};

} // namespace owb
