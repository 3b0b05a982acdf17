// XPath find & replace over a doctype's documents, and the restore of their before-images.
#include "cli/Interrupt.h"
#include "cli/Tool.h"
#include "common/OstrelError.h"
#include "schema/clsSchema.h"
#include "server/ServerClient.h"
#include "xml/MemoryDocumentList.h"
#include "xpath/ReplaceRun.h"

#include <QDir>

namespace owb::cli {

namespace {

QString oneLine(QString text)
{
    return text.replace(u'\n', u' ').replace(u'\r', u' ').replace(u'\t', u' ');
}

struct Job {
    explicit Job(Tool &tool)
        : server(tool.http, &tool.connection, &tool.encoder), runner(server, tool.log), progress(tool.console)
    {
        runner.setProgress(&progress);
    }
    ServerClient server;
    ReplaceRun runner;
    ConsoleProgress progress;
    Interrupt interrupt;   // a first Ctrl+C lets the current document end
};

int verdict(Tool &tool, const RunSummary &summary)
{
    tool.console.endProgress();
    return summary.failed > 0 || summary.cancelled ? Failed : Done;
}

} // namespace

int runReplace(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv);
    clsSchema loader(&tool.http);
    const DomNode schema = loader.GetSchema(target.DatabaseURI(), target.CollectionName(), target.DoctypeName());
    if (!schema.isNull() && loader.NonXML())
        fail(QStringLiteral("The document type %1 holds non-XML documents: there is nothing to replace in them")
                 .arg(target.DoctypeName()));
    // The expression and the fragment are judged before anything is fetched or stored.
    const XPathReplace replace({inv.arguments.value(3), inv.arguments.value(4), inv.has(QStringLiteral("--fragment")),
                                inv.has(QStringLiteral("--first")), XPathReplace::schemaPrefixes(schema)});
    const bool dryRun = inv.has(QStringLiteral("--dry-run"));
    const QString images = dryRun ? QString() : inv.value(QStringLiteral("--before-images"));

    MemoryDocumentList list;
    ServerClient(tool.http).query(target.CollectionURI(), target.query(inv.arguments.value(5)), list);
    if (list.count() == 0) {
        tool.console.message(QStringLiteral("Nothing found"));
        return Done;
    }
    if (!dryRun)
        login(tool, inv, target.DatabaseURI());

    Job job(tool);
    job.runner.setOnDocument([&tool, dryRun](const DocumentOutcome &outcome) {
        if (dryRun) {
            for (const ReplaceMatch &m : outcome.matches)
                tool.console.dataLine(QStringLiteral("%1\t%2\t%3\t%4").arg(outcome.id).arg(m.path, oneLine(m.current),
                                                                            oneLine(m.replacement)));
        } else if (outcome.state == DocumentOutcome::State::Replaced) {
            tool.console.dataLine(QStringLiteral("%1\t%2").arg(outcome.id).arg(outcome.matches.size()));
        }
    });
    return verdict(tool, job.runner.run(target.doctype(), list.ids(), replace, dryRun, images));
}

int runRestore(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv, false);
    const QString dir = inv.arguments.value(2);
    if (!QFileInfo(dir).isDir())
        fail(QStringLiteral("Directory ") + dir + QStringLiteral(" does not exist"));
    login(tool, inv, target.DatabaseURI());
    Job job(tool);
    job.runner.setOnDocument([&tool](const DocumentOutcome &outcome) {
        if (outcome.state == DocumentOutcome::State::Restored)
            tool.console.dataLine(QString::number(outcome.id));
    });
    return verdict(tool, job.runner.restore(target.CollectionURI(), dir));
}

} // namespace owb::cli
