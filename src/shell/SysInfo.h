#pragma once
#include <QString>
#include <QStringList>

namespace owb::SysInfo {

// The usual desktop system-information tools, the preferred one first.
const QStringList &candidates();
// The full path of the first candidate found on the PATH; empty when there is none.
QString findProgram(const QStringList &names = candidates());
// Starts program as a process of its own; false when it could not be started.
bool start(const QString &program);

} // namespace owb::SysInfo
