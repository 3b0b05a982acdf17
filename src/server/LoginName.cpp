#include "server/LoginName.h"
#include "common/Settings.h"

#include <pwd.h>
#include <unistd.h>

namespace owb::LoginName {

QString currentUserName()
{
    if (const passwd *pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString proposedUserName()
{
    return Settings::get(QStringLiteral("config"), QStringLiteral("userid"), currentUserName());
}

} // namespace owb::LoginName
