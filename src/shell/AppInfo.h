#pragma once
#include <QString>

class QPixmap;

namespace owb::AppInfo {

// The application title, as the About window shows it.
QString title();
// "Version " + major.minor.revision of the program's own version.
QString versionText();
// The product logo, drawn so that no image file must be found at start-up.
QPixmap logo(int size);

} // namespace owb::AppInfo
