#include "shell/AppInfo.h"

#include <QPixmap>

#ifndef OWB_VERSION_MAJOR
#error "the build passes the program's version"
#endif

namespace owb::AppInfo {

QString title()
{
    return QStringLiteral("Ostrel Workbench");
}

QString versionText()
{
    return QStringLiteral("Version %1.%2.%3")
        .arg(OWB_VERSION_MAJOR)
        .arg(OWB_VERSION_MINOR)
        .arg(OWB_VERSION_PATCH);
}

QPixmap logo(int size)
{
    // The nearest rendering at or above the size, so that scaling only ever shrinks.
    int source = 256;
    for (int candidate : {64, 128})
        if (size <= candidate) {
            source = candidate;
            break;
        }
    QPixmap pm(QStringLiteral(":/icons/ostrel-workbench-%1.png").arg(source));
    if (pm.isNull() || pm.width() == size)
        return pm;
    return pm.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace owb::AppInfo
