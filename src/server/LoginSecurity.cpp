#include "server/LoginSecurity.h"
#include "common/HttpClient.h"
#include "common/Settings.h"

#include <QUrl>

namespace owb::LoginSecurity {

namespace {
const QString kSection = QStringLiteral("ostreldatabase");
const QString kKey = QStringLiteral("cafile");

bool isLoopback(const QString &host)
{
    const QString h = host.toLower();
    if (h == QLatin1String("localhost") || h.endsWith(QLatin1String(".localhost")) || h == QLatin1String("::1"))
        return true;
    const QStringList parts = h.split(QLatin1Char('.'));
    if (parts.size() != 4 || parts.first() != QLatin1String("127"))
        return false;
    for (const QString &p : parts) {
        bool ok = false;
        const int n = p.toInt(&ok);
        if (!ok || n < 0 || n > 255)
            return false;
    }
    return true;
}

void store(const QHash<QString, QString> &files)
{
    QStringList flat;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        flat << it.key() << it.value();
    Settings::saveList(kSection, kKey, flat);
}
} // namespace

bool passwordSentInClear(const QString &databaseUri)
{
    const QUrl url(databaseUri.trimmed());
    return url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 && !isLoopback(url.host());
}

QHash<QString, QString> authorityFiles()
{
    const QStringList flat = Settings::getList(kSection, kKey);
    QHash<QString, QString> files;
    for (qsizetype i = 0; i + 1 < flat.size(); i += 2)
        if (!flat[i].isEmpty() && !flat[i + 1].isEmpty())
            files.insert(flat[i], flat[i + 1]);
    return files;
}

QString authorityFileOf(const QString &databaseUri)
{
    return authorityFiles().value(databaseUri);
}

void saveAuthorityFile(const QString &databaseUri, const QString &caFile)
{
    QHash<QString, QString> files = authorityFiles();
    if (files.value(databaseUri) == caFile)
        return;
    if (caFile.isEmpty())
        files.remove(databaseUri);
    else
        files.insert(databaseUri, caFile);
    store(files);
}

void trustStoredAuthorities(HttpClient &http)
{
    const QHash<QString, QString> files = authorityFiles();
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        http.setAuthorityFile(it.key(), it.value());
}

} // namespace owb::LoginSecurity
