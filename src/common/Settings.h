#pragma once
#include <QString>
#include <QStringList>

namespace owb::Settings {

// Per-user settings of application "OstrelClient", read and written as section/key pairs.
QString get(const QString &section, const QString &key, const QString &defaultValue = QString());
void save(const QString &section, const QString &key, const QString &value);
bool contains(const QString &section, const QString &key);
// A list of texts under one key; any text may hold commas.
QStringList getList(const QString &section, const QString &key);
void saveList(const QString &section, const QString &key, const QStringList &values);

} // namespace owb::Settings
