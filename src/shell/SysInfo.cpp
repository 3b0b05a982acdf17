#include "shell/SysInfo.h"

#include <QProcess>
#include <QStandardPaths>

namespace owb::SysInfo {

const QStringList &candidates()
{
    static const QStringList names = {
        QStringLiteral("kinfocenter"),   QStringLiteral("hardinfo2"),
        QStringLiteral("hardinfo"),      QStringLiteral("cpu-x"),
        QStringLiteral("lshw-gtk"),      QStringLiteral("xfce4-about"),
        QStringLiteral("gnome-system-monitor"), QStringLiteral("mate-system-monitor"),
    };
    return names;
}

QString findProgram(const QStringList &names)
{
    for (const QString &name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

bool start(const QString &program)
{
    return !program.isEmpty() && QProcess::startDetached(program, {});
}

} // namespace owb::SysInfo
