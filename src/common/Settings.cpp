#include "Settings.h"
#include <QSettings>

namespace owb::Settings {

static QString keyOf(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}

static QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QStringLiteral("OstrelClient"), QStringLiteral("OstrelClient"));
}

QString get(const QString &section, const QString &key, const QString &defaultValue)
{
    return store().value(keyOf(section, key), defaultValue).toString();
}

void save(const QString &section, const QString &key, const QString &value)
{
    QSettings s = store();
    s.setValue(keyOf(section, key), value);
    s.sync();
}

QStringList getList(const QString &section, const QString &key)
{
    return store().value(keyOf(section, key)).toStringList();
}

void saveList(const QString &section, const QString &key, const QStringList &values)
{
    QSettings s = store();
    s.setValue(keyOf(section, key), values);
    s.sync();
}

bool contains(const QString &section, const QString &key)
{
    return store().contains(keyOf(section, key));
}

} // namespace owb::Settings
