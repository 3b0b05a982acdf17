#pragma once
#include <QString>

namespace owb::AppPaths {

// The folder the data files are read from: $OSTREL_WORKBENCH_HOME, else the executable's folder.
QString appDir();
// appDir() + "/" + relative.
QString dataFile(const QString &relative);
// The root below which the program writes (log, output, temp, export): appDir() when writable,
// else the per-user data folder.
QString writableRoot();
// writableRoot() + "/" + name; not created.
QString writableDir(const QString &name);
// writableDir(name), created when missing; throws OstrelError when it cannot be created.
QString ensureWritableDir(const QString &name);

} // namespace owb::AppPaths
