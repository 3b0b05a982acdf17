#include "AppPaths.h"
#include "OstrelError.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace owb::AppPaths {

QString appDir()
{
    const QString home = qEnvironmentVariable("OSTREL_WORKBENCH_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(home);
    return QCoreApplication::applicationDirPath();
}

QString dataFile(const QString &relative)
{
    return appDir() + QLatin1Char('/') + relative;
}

QString writableRoot()
{
    const QString dir = appDir();
    const QFileInfo fi(dir);
    if (fi.isDir() && fi.isWritable())
        return dir;
    QString user = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (user.isEmpty())
        user = QDir::homePath() + QStringLiteral("/.local/share/OstrelClient");
    return user;
}

QString writableDir(const QString &name)
{
    return writableRoot() + QLatin1Char('/') + name;
}

QString ensureWritableDir(const QString &name)
{
    const QString path = writableDir(name);
    if (!QDir().mkpath(path))
        throw OstrelError(QStringLiteral("Application"),
                          QStringLiteral("Cannot create the folder ") + path);
    return path;
}

} // namespace owb::AppPaths
