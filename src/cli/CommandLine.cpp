#include "cli/CommandLine.h"

namespace owb::cli {

namespace {

const OptionForm *findOption(const QList<const OptionForm *> &known, const QString &name)
{
    for (const OptionForm *o : known)
        if (o->name == name || (!o->alias.isEmpty() && o->alias == name))
            return o;
    return nullptr;
}

bool ownsOption(const CommandForm &command, const QString &name)
{
    for (const OptionForm &o : command.options)
        if (o.name == name)
            return true;
    return false;
}

bool isOption(const QString &arg)
{
    // A lone "-" is an argument, as is a negative number.
    return arg.size() > 1 && arg.startsWith(QLatin1Char('-')) && !arg.at(1).isDigit();
}

QString optionLine(const OptionForm &o)
{
    QString left = o.alias.isEmpty() ? o.name : o.alias + QStringLiteral(", ") + o.name;
    if (!o.valueName.isEmpty())
        left += QLatin1Char(' ') + o.valueName;
    return QStringLiteral("  %1  %2\n").arg(left, -22).arg(o.help);
}

} // namespace

int CommandForm::minArguments(bool alt) const
{
    int n = 0;
    for (const QString &a : alt ? altArguments : arguments)
        if (!a.startsWith(QLatin1Char('[')))
            ++n;
    return n;
}

int CommandForm::maxArguments(bool alt) const
{
    const QStringList &list = alt ? altArguments : arguments;
    for (const QString &a : list)
        if (a.endsWith(QStringLiteral("...")) || a.endsWith(QStringLiteral("...]")))
            return -1;
    return int(list.size());
}

QString CommandForm::synopsis() const
{
    QString s = QStringLiteral("owb ") + name;
    for (const QString &a : arguments)
        s += QLatin1Char(' ') + a;
    for (const OptionForm &o : options)
        if (!o.altOnly && o.name != altOption)
            s += QStringLiteral(" [") + o.name + (o.valueName.isEmpty() ? QString() : QLatin1Char(' ') + o.valueName)
             + QLatin1Char(']');
    return s;
}

Invocation parseCommandLine(const QStringList &arguments, const QList<CommandForm> &commands)
{
    static const OptionForm help{QStringLiteral("--help"), QStringLiteral("-h"), {}, {}};
    static const OptionForm version{QStringLiteral("--version"), {}, {}, {}};
    QList<const OptionForm *> known{&help, &version};
    for (const CommandForm &c : commands)
        for (const OptionForm &o : c.options)
            if (!findOption(known, o.name))
                known << &o;

    Invocation inv;
    QStringList positional;
    QList<const OptionForm *> given;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (optionsEnded || !isOption(arg)) {
            positional << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype eq = arg.startsWith(QStringLiteral("--")) ? arg.indexOf(QLatin1Char('=')) : -1;
        const QString name = eq > 0 ? arg.left(eq) : arg;
        const QString context = positional.isEmpty() ? QString() : positional.first();
        const OptionForm *option = findOption(known, name);
        if (!option)
            throw UsageError(context, QStringLiteral("unknown option %1").arg(name));
        QString value;
        if (option->valueName.isEmpty()) {
            if (eq > 0)
                throw UsageError(context, QStringLiteral("%1 takes no value").arg(option->name));
        } else if (eq > 0) {
            value = arg.mid(eq + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            throw UsageError(context, QStringLiteral("%1 needs a value (%2)").arg(option->name, option->valueName));
        }
        if (option == &help)
            inv.help = true;
        else if (option == &version)
            inv.version = true;
        else {
            inv.options.insert(option->name, value);
            given << option;
        }
    }

    if (positional.isEmpty()) {
        if (!given.isEmpty())
            throw UsageError(QString(), QStringLiteral("%1 needs a command").arg(given.first()->name));
        return inv;
    }
    QString name = positional.takeFirst();
    if (name == QLatin1String("help")) {
        if (positional.isEmpty()) {
            inv.help = true;
            return inv;
        }
        name = positional.takeFirst();
        inv.help = true;
    }
    for (const CommandForm &c : commands)
        if (c.name == name)
            inv.command = &c;
    if (!inv.command)
        throw UsageError(QString(), QStringLiteral("unknown command \"%1\"").arg(name));
    if (inv.help)
        return inv;

    for (const OptionForm *o : given)
        if (!ownsOption(*inv.command, o->name))
            throw UsageError(name, QStringLiteral("%1 is not an option of %2").arg(o->name, name));

    const bool alt = !inv.command->altOption.isEmpty() && inv.has(inv.command->altOption);
    for (const OptionForm *o : given)
        if (o->altOnly && !alt)
            throw UsageError(name, QStringLiteral("%1 goes with %2").arg(o->name, inv.command->altOption));
    const int min = inv.command->minArguments(alt);
    const int max = inv.command->maxArguments(alt);
    if (positional.size() < min)
        throw UsageError(name, QStringLiteral("%1 is missing")
                                   .arg((alt ? inv.command->altArguments : inv.command->arguments)
                                            .value(int(positional.size()))));
    if (max >= 0 && positional.size() > max)
        throw UsageError(name, QStringLiteral("too many arguments (from \"%1\" on)").arg(positional.value(max)));
    inv.arguments = positional;
    return inv;
}

QString toolHelp(const QList<CommandForm> &commands)
{
    QString s = QStringLiteral(
        "Usage: owb COMMAND [options] [arguments]\n"
        "The Ostrel Workbench from the command line: what the workbench does, without a window.\n"
        "DBURI is a database URI such as http://localhost:8790/ostrel/mydb, or https://...\n\nCommands:\n");
    for (const CommandForm &c : commands) {
        s += QStringLiteral("  %1 %2\n").arg(c.name, c.arguments.join(QLatin1Char(' ')));
        if (!c.altSynopsis.isEmpty())
            s += QStringLiteral("  %1\n").arg(c.altSynopsis.mid(4));
        s += QStringLiteral("      %1\n").arg(c.summary);
    }
    s += QStringLiteral("\nOptions of every command:\n")
         + optionLine({QStringLiteral("--help"), QStringLiteral("-h"), {},
                       QStringLiteral("this help, or the command's (owb COMMAND --help)")})
         + optionLine({QStringLiteral("--version"), {}, {}, QStringLiteral("the version of owb")});
    QList<const OptionForm *> shown;
    QString more;
    for (const CommandForm &c : commands)
        for (const OptionForm &o : c.options)
            if (!findOption(shown, o.name)) {
                shown << &o;
                more += optionLine(o);
            }
    s += QStringLiteral("\nOptions of some commands (see their help):\n") + more;
    s += QStringLiteral(
        "\nThe password of --user comes from OSTREL_PASSWORD, or is asked for without echo on a\n"
        "terminal; it is never taken from an argument. Data goes to standard output, messages to\n"
        "standard error.\n"
        "An https:// server's certificate and host name are always checked; one from a private\n"
        "certificate authority is trusted with --cacert FILE, or OSTREL_CA_FILE, or the authority\n"
        "chosen for the URI at the workbench's login. Logging in over http:// to another machine\n"
        "warns that the password will be sent unencrypted.\n"
        "Exit status: 0 done, 1 the operation failed, 2 usage error.\n");
    return s;
}

QString commandHelp(const CommandForm &command)
{
    QString s = QStringLiteral("Usage: ") + command.synopsis() + QStringLiteral("\n");
    if (!command.altSynopsis.isEmpty())
        s += QStringLiteral("       ") + command.altSynopsis + QStringLiteral("\n");
    s += command.summary + QStringLiteral("\n");
    if (!command.details.isEmpty())
        s += QStringLiteral("\n") + command.details + QStringLiteral("\n");
    s += QStringLiteral("\nOptions:\n");
    for (const OptionForm &o : command.options)
        s += optionLine(o);
    s += optionLine({QStringLiteral("--help"), QStringLiteral("-h"), {}, QStringLiteral("this help")});
    if (ownsOption(command, QStringLiteral("--user")))
        s += QStringLiteral("\nThe password comes from OSTREL_PASSWORD, or is asked for without echo on a terminal.\n");
    return s;
}

} // namespace owb::cli
