#pragma once
#include <QString>

namespace owb::AppPaths {

// Where one executable reads its data files and below which it writes.
struct Layout {
    QString dataDir;       // the application folder
    QString writableRoot;  // log, output, temp and export go below it
    bool installed = false;
};

// The data folder of an installed copy, relative to the executable's folder.
inline constexpr const char *InstalledDataDir = "../share/ostrel-workbench";

// home: the value of OSTREL_WORKBENCH_HOME (empty when unset). An installed copy (exeDir has
// InstalledDataDir beside it) never writes into its install tree; a build folder or a home
// writes below itself when it is writable.
Layout resolve(const QString &exeDir, const QString &home, const QString &userDataDir);

// The per-user data folder, shared by every executable of the workbench.
QString userDataDir();
// resolve() for this process.
Layout layout();

// The folder the data files are read from.
QString appDir();
// appDir() + "/" + relative.
QString dataFile(const QString &relative);
// The root below which the program writes (log, output, temp, export).
QString writableRoot();
// writableRoot() + "/" + name; not created.
QString writableDir(const QString &name);
// writableDir(name), created when missing; throws OstrelError when it cannot be created.
QString ensureWritableDir(const QString &name);

} // namespace owb::AppPaths
