#pragma once
#include <QString>

namespace owb::Settings {

// Per-user settings of application "OstrelClient", read and written as section/key pairs.
QString get(const QString &section, const QString &key, const QString &defaultValue = QString());
void save(const QString &section, const QString &key, const QString &value);
bool contains(const QString &section, const QString &key);

} // namespace owb::Settings
