#pragma once
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "common/HttpClient.h"
#include "server/FormEncoder.h"
#include "server/clsConnection.h"
#include "workbench/DocumentTarget.h"
#include "xml/clsFileHandler.h"

#include <QString>


#include <functional>
#include <memory>

namespace owb::cli {

enum Exit { Done = 0, Failed = 1, Usage = 2 };

// The process-wide objects of one run, wired as the workbench's shell wires its own.
struct Tool {
    explicit Tool(Console &c) : console(c), log(c) {}

    Console &console;
    ConsoleLog log;
    HttpClient http;
    FormEncoder encoder;
    clsConnection connection;
    clsFileHandler files;
};

// The target of a command from its first arguments (DBURI, COLLECTION and, with doctype, the
// next one), as the Navigate window hands a doctype to a document window.
// Throws UsageError for a URI that is not http(s) or a name that would break the URL.
DocumentTarget targetOf(const Invocation &inv, bool withDoctype = true);
// The first argument as a database URI (without trailing "/").
QString databaseUriOf(const Invocation &inv);
// A document id argument; throws UsageError when it is no whole number.
qint32 documentIdOf(const Invocation &inv, const QString &text);
// Applies --timeout when given.
void applyTimeout(Tool &tool, const Invocation &inv);

// For a command that talks to a server: the certificate authority its https:// requests also
// trust, from --cacert, else OSTREL_CA_FILE, else the file the workbench's login stored for
// the database URI.
void trustAuthority(Tool &tool, const Invocation &inv);

// Asks for the credentials, checks the server with them as the login does, and makes the
// connection current. Warns on standard error first when the password would go out unencrypted. Throws OstrelError ("Failed to connect to server ...") when it is not
// alive.
void login(Tool &tool, const Invocation &inv, const QString &databaseURI);

// The failure of a command, told on one line; the exit status is 1.
[[noreturn]] void fail(const QString &description);

// "FILE:LINE: reason", on one line.
QString located(const QString &file, int line, const QString &reason);

// text with exactly one line break at its end.
QString asLine(const QString &text);

// What each command does; the exit code comes back.
int runPing(Tool &tool, const Invocation &inv);
int runDoctypes(Tool &tool, const Invocation &inv);
int runQuery(Tool &tool, const Invocation &inv);
int runGet(Tool &tool, const Invocation &inv);
int runStore(Tool &tool, const Invocation &inv);
int runRemove(Tool &tool, const Invocation &inv);
int runNew(Tool &tool, const Invocation &inv);
int runValidate(Tool &tool, const Invocation &inv);
int runImport(Tool &tool, const Invocation &inv);
int runExport(Tool &tool, const Invocation &inv);
int runReplace(Tool &tool, const Invocation &inv);
int runRestore(Tool &tool, const Invocation &inv);
int runTransform(Tool &tool, const Invocation &inv);
int runFormat(Tool &tool, const Invocation &inv);
// Checks each file in turn and prints the error lines check gives for its text; a file that
// cannot be read is told on standard error. Failed when any file fails.
int checkFiles(Tool &tool, const QStringList &files,
               const std::function<QStringList(const QString &file, const QString &text)> &check);
// The forms of new and validate with --schema: a local schema instead of the server's.
int runNewLocal(Tool &tool, const Invocation &inv);
int runValidateLocal(Tool &tool, const Invocation &inv);

} // namespace owb::cli
