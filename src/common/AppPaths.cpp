#include "AppPaths.h"
#include "OstrelError.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace owb::AppPaths {

static bool writableDirectory(const QString &dir)
{
    const QFileInfo fi(dir);
    return fi.isDir() && fi.isWritable();
}

Layout resolve(const QString &exeDir, const QString &home, const QString &userDataDir)
{
    Layout l;
    if (!home.isEmpty()) {
        l.dataDir = QDir::cleanPath(home);
        l.writableRoot = writableDirectory(l.dataDir) ? l.dataDir : userDataDir;
        return l;
    }
    const QString installedData = QDir::cleanPath(exeDir + QLatin1Char('/') + QLatin1String(InstalledDataDir));
    if (QFileInfo(installedData).isDir()) {
        l.dataDir = installedData;
        l.writableRoot = userDataDir;
        l.installed = true;
        return l;
    }
    l.dataDir = QDir::cleanPath(exeDir);
    l.writableRoot = writableDirectory(l.dataDir) ? l.dataDir : userDataDir;
    return l;
}

QString userDataDir()
{
    // Not the application's own location: owb and OstrelClient share one folder.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/OstrelClient");
}

Layout layout()
{
    return resolve(QCoreApplication::applicationDirPath(),
                   qEnvironmentVariable("OSTREL_WORKBENCH_HOME"), userDataDir());
}

QString appDir()
{
    return layout().dataDir;
}

QString dataFile(const QString &relative)
{
    return appDir() + QLatin1Char('/') + relative;
}

QString writableRoot()
{
    return layout().writableRoot;
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
