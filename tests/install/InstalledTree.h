#pragma once
// What the install tests share: running tools, a picture of a folder tree to prove nothing was
// written into it, and starting an installed workbench the way a desktop session would.
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace installtest {

// Runs a program to its end; an empty result means it succeeded. Its output goes to *output.
inline QString run(const QString &program, const QStringList &args, QString *output = nullptr,
                   int timeoutMs = 300000, const QString &workDir = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return program + QStringLiteral(" did not start: ") + p.errorString();
    const bool finished = p.waitForFinished(timeoutMs);
    const QString out = QString::fromLocal8Bit(p.readAll());
    if (output)
        *output = out;
    if (!finished) {
        p.kill();
        p.waitForFinished(5000);
        return program + QStringLiteral(" did not finish:\n") + out;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("%1 %2 failed (%3):\n%4")
            .arg(program, args.join(QLatin1Char(' ')))
            .arg(p.exitCode())
            .arg(out);
    return QString();
}

// Every file and folder below root with its size and time of change.
inline QMap<QString, QString> snapshot(const QString &root)
{
    QMap<QString, QString> out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo fi(it.next());
        out.insert(QDir(root).relativeFilePath(fi.filePath()),
                   QStringLiteral("%1 %2").arg(fi.isDir() ? -1 : fi.size())
                       .arg(fi.lastModified().toMSecsSinceEpoch()));
    }
    return out;
}

// What differs between two snapshots, one line per path; empty when nothing does.
inline QStringList changes(const QMap<QString, QString> &before, const QMap<QString, QString> &after)
{
    QStringList out;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            out << QStringLiteral("new: ") + it.key();
        else if (before.value(it.key()) != it.value())
            out << QStringLiteral("changed: ") + it.key();
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!after.contains(it.key()))
            out << QStringLiteral("gone: ") + it.key();
    return out;
}

// A desktop user's environment with home, settings and data below home, and no override of
// the application folder.
inline QProcessEnvironment userEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("OSTREL_WORKBENCH_HOME"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// The per-user data folder below a home set up by userEnvironment.
inline QString userDataDir(const QString &home)
{
    return home + QStringLiteral("/.local/share/OstrelClient");
}

// Starts an installed OstrelClient offscreen as the user of home and waits until its start-up
// has made the log folder below the user's data folder; then stops it. Empty result: it did.
inline QString startWorkbench(const QString &exe, const QString &home, int timeoutMs = 60000)
{
    QProcess p;
    p.setProcessEnvironment(userEnvironment(home));
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(exe, {});
    if (!p.waitForStarted(10000))
        return exe + QStringLiteral(" did not start: ") + p.errorString();
    const QString logDir = userDataDir(home) + QStringLiteral("/log");
    QElapsedTimer t;
    t.start();
    while (!QFileInfo(logDir).isDir() && t.elapsed() < timeoutMs && p.state() != QProcess::NotRunning)
        p.waitForFinished(100);
    QString error;
    if (p.state() == QProcess::NotRunning)
        error = QStringLiteral("OstrelClient ended during start-up (status %1):\n").arg(p.exitCode())
                + QString::fromLocal8Bit(p.readAll());
    else if (!QFileInfo(logDir).isDir())
        error = QStringLiteral("no log folder below the user's data folder: ") + logDir;
    if (p.state() != QProcess::NotRunning) {
        p.terminate();
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished(5000);
        }
    }
    return error;
}

// startWorkbench with a fresh home; also fails when anything below tree changed.
inline QString startWorkbenchLeavingUntouched(const QString &exe, const QString &tree)
{
    QTemporaryDir home;
    if (!home.isValid())
        return QStringLiteral("no temporary home");
    const auto before = snapshot(tree);
    const QString error = startWorkbench(exe, home.path());
    if (!error.isEmpty())
        return error;
    const QStringList changed = changes(before, snapshot(tree));
    return changed.isEmpty() ? QString()
                             : QStringLiteral("written below %1:\n").arg(tree) + changed.join(QLatin1Char('\n'));
}

} // namespace installtest
