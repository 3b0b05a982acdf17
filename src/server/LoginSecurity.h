#pragma once
#include <QHash>
#include <QString>

namespace owb {

class HttpClient;

namespace LoginSecurity {

// Shown at a login that would send the password readable by anyone on the way.
inline const QString UnencryptedWarning = QStringLiteral("The password will be sent unencrypted");

// Whether logging in to databaseUri sends the password in the open: http:// to a host other
// than this machine's loopback (127.0.0.0/8, localhost, ::1).
bool passwordSentInClear(const QString &databaseUri);

// The certificate-authority file chosen for each database URI, kept in the settings beside the
// URI list ("ostreldatabase"/"cafile": URI and file, alternately). Never a password.
QString authorityFileOf(const QString &databaseUri);
// An empty file forgets the URI's choice.
void saveAuthorityFile(const QString &databaseUri, const QString &caFile);
QHash<QString, QString> authorityFiles();
// Every stored choice, made known to the client.
void trustStoredAuthorities(HttpClient &http);

} // namespace LoginSecurity
} // namespace owb
