#pragma once
#include <QString>

namespace owb::cli {

class Console;

struct Credentials {
    QString user;
    QString password;
};

// user: the --user value, or empty for the name a login proposes. The password comes from
// OSTREL_PASSWORD, else from a prompt without echo when standard input is a terminal; it is
// never read from an argument and never written anywhere. Throws UsageError when there is
// no user name or no password to be had.
Credentials credentialsFor(const QString &command, const QString &user, const QString &databaseURI);

} // namespace owb::cli
