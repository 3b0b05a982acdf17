#include "cli/Cli.h"
#include "cli/CommandLine.h"
#include "cli/Tool.h"
#include "common/OstrelError.h"

#include <QHash>
#include <functional>
#include <unistd.h>

namespace owb::cli {

namespace {

using Runner = std::function<int(Tool &, const Invocation &)>;

OptionForm option(const char *name, const char *alias, const char *valueName, const char *help, bool altOnly = false)
{
    return {QString::fromLatin1(name), QString::fromLatin1(alias), QString::fromLatin1(valueName),
            QString::fromLatin1(help), altOnly};
}

// The command's second form, on a local schema named by --schema.
CommandForm withLocalSchema(CommandForm form, const QStringList &arguments, const char *synopsis)
{
    form.altOption = QStringLiteral("--schema");
    form.altArguments = arguments;
    form.altSynopsis = QString::fromLatin1(synopsis);
    return form;
}

// arguments: the synopsis's arguments, separated by blanks.
CommandForm command(const char *name, const char *arguments, const char *summary, const char *details,
                    const QList<OptionForm> &options)
{
    return {QString::fromLatin1(name), QString::fromLatin1(arguments).split(QLatin1Char(' ')),
            QString::fromLatin1(summary), QString::fromLatin1(details), options};
}

struct Entry {
    CommandForm form;
    Runner run;
};

const QList<Entry> &entries()
{
    const OptionForm user = option("--user", "", "NAME",
                                   "user name (default: the last one confirmed at a login, else the login name)");
    const OptionForm timeout = option("--timeout", "", "SECONDS",
                                      "give up on a server silent for this long (default: 10 to connect, 60 after)");
    const OptionForm cacert = option("--cacert", "", "FILE",
                                     "also trust https:// servers certified by the authority in FILE (PEM)");
    const OptionForm schemaFile = option("--schema", "", "FILE.xsd",
                                         "a local schema instead of the server's; what it includes or imports is "
                                         "read beside it, never over the network");
    static const QList<Entry> table = {
        {command("ping", "DBURI", "the liveness check; exit 0 when alive",
                 "Asks the server with the user's credentials whether it is alive.", {user, timeout, cacert}),
         runPing},
        {command("doctypes", "DBURI", "the collections and document types, one collection/doctype a line",
                 "The list of the Navigate window's tree, in its order.", {timeout, cacert}),
         runDoctypes},
        {command("query", "DBURI COLLECTION DOCTYPE [FILTER]", "the ids of the documents found, one a line",
                 "FILTER is an XPath predicate without brackets, e.g. \"@status='open'\".\n"
                 "No hit prints \"Nothing found\" on standard error and exits with 0.",
                 {option("--xml", "", "", "print the documents, formatted, instead of their ids"), timeout, cacert}),
         runQuery},
        {command("get", "DBURI COLLECTION DOCTYPE ID", "one document, formatted", "",
                 {option("--raw", "", "", "the document as the server sent it, not indented anew"), timeout, cacert}),
         runGet},
        {command("store", "DBURI COLLECTION FILE...", "insert or replace each file; prints each id",
                 "A file whose root element carries an osl:id replaces that document; any other is\n"
                 "inserted. Every file is checked for well-formedness before the first is stored.",
                 {user, timeout, cacert}),
         runStore},
        {command("remove", "DBURI COLLECTION DOCTYPE ID...", "remove documents",
                 "Stops at the first id that names no document.", {user, timeout, cacert}),
         runRemove},
        {withLocalSchema(command("new", "DBURI COLLECTION DOCTYPE",
                                 "the sample document made from the document type's schema",
                                 "The sample is validated against the schema before it is printed. When no valid\n"
                                 "sample can be made, nothing is printed: standard error tells why and the exit\n"
                                 "status is 1. With --schema the schema is a local file and the sample starts from\n"
                                 "its global element NAME (default: the first); the sample declares the schema's\n"
                                 "target namespace.",
                                 {timeout, cacert, schemaFile,
                                  option("--root", "", "NAME", "(with --schema) the global element the sample starts from",
                                         true)}),
                         {}, "owb new --schema FILE.xsd [--root NAME]"),
         [](Tool &tool, const Invocation &inv) {
             return inv.has(QStringLiteral("--schema")) ? runNewLocal(tool, inv) : runNew(tool, inv);
         }},
        {withLocalSchema(command("validate", "DBURI COLLECTION DOCTYPE FILE...",
                                 "well-formedness, then the schema; every error as FILE:LINE: reason",
                                 "The errors go to standard output; the exit status is 1 when any file fails.\n"
                                 "With --schema each FILE is validated against a local schema, whatever schema its\n"
                                 "own xsi:schemaLocation names.",
                                 {timeout, cacert, schemaFile}),
                         {QStringLiteral("FILE...")}, "owb validate --schema FILE.xsd FILE..."),
         [](Tool &tool, const Invocation &inv) {
             return inv.has(QStringLiteral("--schema")) ? runValidateLocal(tool, inv) : runValidate(tool, inv);
         }},
        {command("import", "DBURI COLLECTION DOCTYPE FILE|DIR...",
                 "the transfer engine's import; prints the ids of new documents",
                 "XML files for an XML document type, any files for a non-XML one; a DIR stands for\n"
                 "its files (for XML its *.xml files) in name order. Stops at the first file that\n"
                 "fails. Ctrl+C stops after the current file.",
                 {user, timeout, cacert}),
         runImport},
        {command("export", "DBURI COLLECTION DOCTYPE DIR [FILTER]",
                 "the transfer engine's export of every hit into DIR",
                 "Each document found goes to DIR/DOCTYPE_ID.xml, in iso-8859-1, replacing a file of\n"
                 "that name. Ctrl+C stops after the current file.",
                 {option("--without-id", "", "", "write the documents without their osl:id"), timeout,
                  cacert}),
         runExport},
        {command("replace", "DBURI COLLECTION DOCTYPE XPATH VALUE [FILTER]",
                 "XPath find & replace in every document found; prints each changed id",
                 "Every node XPATH selects in a document (evaluated with the document as context,\n"
                 "the prefixes osd, xs, osl, xql and those of the doctype's schema bound) gets VALUE:\n"
                 "an element as its only text, an attribute or text node as its value. Each changed\n"
                 "document is stored back under its osl:id and printed as ID<TAB>MATCHES; a document\n"
                 "that fails is told on standard error and left as it was, and the run goes on.\n"
                 "The expression and a fragment are checked before anything is fetched. The exit\n"
                 "status is 1 when any document failed. Ctrl+C stops after the current document.",
                 {option("--fragment", "", "", "VALUE is an XML fragment that replaces the matched nodes"),
                  option("--first", "", "", "only the first match in each document"),
                  option("--dry-run", "", "", "print each match as ID<TAB>PATH<TAB>VALUE<TAB>NEW; store nothing"),
                  option("--before-images", "", "DIR",
                         "write each original, as stored, to DIR/DOCTYPE_ID.xml (iso-8859-1) before it is changed"),
                  user, timeout, cacert}),
         runReplace},
        {command("restore", "DBURI COLLECTION DIR", "store the before-images in DIR back; prints each id",
                 "Every DIR/*.xml file is stored under the osl:id it carries, in name order.",
                 {user, timeout, cacert}),
         runRestore},
        {command("transform", "XSL FILE", "the stylesheet applied to a local document",
                 "The result goes to standard output as the stylesheet's xsl:output asks.",
                 {option("--output", "-o", "OUT", "write the result to OUT instead")}),
         runTransform},
        {command("format", "FILE", "the indented text of a local document", "", {}), runFormat},
    };
    return table;
}

QList<CommandForm> commandForms()
{
    QList<CommandForm> list;
    for (const Entry &e : entries())
        list << e.form;
    return list;
}

int dispatch(Tool &tool, const QList<CommandForm> &commands, const QStringList &arguments)
{
    const Invocation inv = parseCommandLine(arguments, commands);
    if (inv.version) {
        tool.console.dataLine(QStringLiteral("owb ") + QStringLiteral(OWB_VERSION));
        return Done;
    }
    if (!inv.command) {
        if (!inv.help)
            throw UsageError(QString(), QStringLiteral("no command given"));
        tool.console.data(toolHelp(commands).toUtf8());
        return Done;
    }
    if (inv.help) {
        tool.console.data(commandHelp(*inv.command).toUtf8());
        return Done;
    }
    for (const Entry &e : entries())
        if (e.form.name == inv.command->name) {
            trustAuthority(tool, inv);
            return e.run(tool, inv);
        }
    return Usage;
}

} // namespace

int run(const QStringList &arguments)
{
    Console console(stdout, stderr, isatty(STDERR_FILENO));
    Tool tool(console);
    // The parser keeps pointers into this list.
    const QList<CommandForm> commands = commandForms();
    int code = Failed;
    try {
        code = dispatch(tool, commands, arguments);
    } catch (const UsageError &e) {
        const QString who = e.command().isEmpty() ? QStringLiteral("owb") : QStringLiteral("owb ") + e.command();
        console.message(QStringLiteral("%1: %2 (see %1 --help)").arg(who, e.text()));
        code = Usage;
    } catch (const OstrelError &e) {
        console.error(e.description());
        code = Failed;
    } catch (const std::exception &e) {
        console.error(QString::fromLocal8Bit(e.what()));
        code = Failed;
    }
    if (!console.finishData()) {
        console.error(QStringLiteral("cannot write to standard output"));
        return Failed;
    }
    return code;
}

} // namespace owb::cli
