#pragma once
#include <QString>

class QPixmap;

namespace owb::AppInfo {

// The application title, as the About window shows it.
QString title();
// "Version " + major.minor.revision of the program's own version.
QString versionText();
// The product logo (the program's icon) at size x size pixels.
QPixmap logo(int size);

} // namespace owb::AppInfo
