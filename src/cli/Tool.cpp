#include "cli/Tool.h"
#include "cli/Credentials.h"
#include "common/OstrelError.h"
#include "server/LoginSecurity.h"
#include "server/ServerClient.h"

#include <QRegularExpression>

#include <algorithm>

namespace owb::cli {

namespace {

QString commandName(const Invocation &inv)
{
    return inv.command ? inv.command->name : QString();
}

void checkName(const Invocation &inv, const QString &what, const QString &name)
{
    static const QRegularExpression bad(QStringLiteral("[/?#\\s]"));
    if (name.isEmpty() || name.contains(bad))
        throw UsageError(commandName(inv), QStringLiteral("\"%1\" is not a %2 name").arg(name, what));
}

} // namespace

QString databaseUriOf(const Invocation &inv)
{
    QString uri = inv.arguments.value(0);
    if (!uri.startsWith(QStringLiteral("http://")) && !uri.startsWith(QStringLiteral("https://")))
        throw UsageError(commandName(inv),
                         QStringLiteral("\"%1\" is not a database URI (http://host:port/ostrel/db)").arg(uri));
    while (uri.endsWith(QLatin1Char('/')))
        uri.chop(1);
    if (uri.indexOf(QLatin1Char('/'), uri.indexOf(QStringLiteral("//")) + 2) < 0)
        throw UsageError(commandName(inv), QStringLiteral("\"%1\" names no database").arg(uri));
    return uri;
}

DocumentTarget targetOf(const Invocation &inv, bool withDoctype)
{
    const QString db = databaseUriOf(inv);
    const QString collection = inv.arguments.value(1);
    checkName(inv, QStringLiteral("collection"), collection);
    QString doctype;
    if (withDoctype) {
        doctype = inv.arguments.value(2);
        checkName(inv, QStringLiteral("document type"), doctype);
    }
    DocumentTarget target;
    target.setDoctype({db, collection, doctype});
    return target;
}

qint32 documentIdOf(const Invocation &inv, const QString &text)
{
    bool ok = false;
    const qint32 id = text.toInt(&ok);
    if (!ok || id < 0)
        throw UsageError(commandName(inv), QStringLiteral("\"%1\" is not a document id").arg(text));
    return id;
}

void applyTimeout(Tool &tool, const Invocation &inv)
{
    if (!inv.has(QStringLiteral("--timeout")))
        return;
    bool ok = false;
    const double seconds = inv.value(QStringLiteral("--timeout")).toDouble(&ok);
    if (!ok || seconds <= 0 || seconds > 86400)
        throw UsageError(commandName(inv), QStringLiteral("--timeout takes seconds, more than 0"));
    const int ms = qMax(1, int(seconds * 1000));
    tool.http.setTimeouts(ms, ms, 0);
}

void trustAuthority(Tool &tool, const Invocation &inv)
{
    const QString option = QStringLiteral("--cacert");
    const auto &options = inv.command->options;
    if (std::none_of(options.begin(), options.end(), [&](const OptionForm &o) { return o.name == option; }))
        return;
    // The local-schema forms talk to no server.
    if (inv.has(QStringLiteral("--schema")))
        return;
    const QString db = databaseUriOf(inv);
    QString file = inv.has(option) ? inv.value(option) : qEnvironmentVariable("OSTREL_CA_FILE");
    if (file.isEmpty())
        file = LoginSecurity::authorityFileOf(db);
    tool.http.setAuthorityFile(db, file);
}

void login(Tool &tool, const Invocation &inv, const QString &databaseURI)
{
    if (LoginSecurity::passwordSentInClear(databaseURI))
        tool.console.message(LoginSecurity::UnencryptedWarning);
    const Credentials c = credentialsFor(commandName(inv), inv.value(QStringLiteral("--user")), databaseURI);
    const PingResult ping = ServerClient(tool.http).ping(databaseURI, c.user, c.password);
    if (!ping.alive) {
        QString why = ping.transportError;
        if (why.isEmpty())
            why = ping.failureText;
        if (why.isEmpty())
            why = QStringLiteral("the server's answer does not say it is alive");
        fail(QStringLiteral("Failed to connect to server ") + databaseURI + QStringLiteral(": ") + why);
    }
    tool.connection.AddConString(databaseURI, c.user, c.password);
    tool.connection.setContext(databaseURI);
}

void fail(const QString &description)
{
    throw OstrelError(QStringLiteral("owb"), description);
}

QString located(const QString &file, int line, const QString &reason)
{
    return QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(Console::oneLine(reason));
}

QString asLine(const QString &text)
{
    QString s = text;
    while (s.endsWith(QLatin1Char('\n')) || s.endsWith(QLatin1Char('\r')))
        s.chop(1);
    return s + QLatin1Char('\n');
}

int runPing(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const QString db = databaseUriOf(inv);
    login(tool, inv, db);
    tool.console.dataLine(QStringLiteral("Connection to ") + db + QStringLiteral(" has been established"));
    return Done;
}

} // namespace owb::cli
