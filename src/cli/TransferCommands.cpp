// Import and export through the transfer engine, as the import and export windows run it.
#include "cli/Interrupt.h"
#include "cli/Tool.h"
#include "common/OstrelError.h"
#include "schema/clsSchema.h"
#include "transfer/clsImportAndExport.h"
#include "server/ServerClient.h"
#include "xml/MemoryDocumentList.h"

#include <QDir>
#include <QFileInfo>

namespace owb::cli {

namespace {

bool nonXmlDoctype(Tool &tool, const DocumentTarget &target)
{
    clsSchema loader(&tool.http);
    const DomNode schema = loader.GetSchema(target.DatabaseURI(), target.CollectionName(), target.DoctypeName());
    return !schema.isNull() && loader.NonXML();
}

// The files to import: each FILE as given, each DIR as its files in name order (for an XML
// doctype its *.xml files, as the import window offers them). Nothing missing or unreadable
// gets as far as the server.
QStringList importFiles(const QStringList &arguments, bool nonXML)
{
    QStringList files;
    for (const QString &arg : arguments) {
        const QFileInfo fi(arg);
        if (!fi.exists())
            fail(QStringLiteral("File not found: ") + arg);
        if (!fi.isDir()) {
            if (!fi.isReadable())
                fail(QStringLiteral("Cannot read ") + arg);
            files << arg;
            continue;
        }
        const QStringList patterns = nonXML ? QStringList() : QStringList{QStringLiteral("*.xml")};
        const QFileInfoList entries = QDir(arg).entryInfoList(patterns, QDir::Files | QDir::Readable,
                                                              QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo &entry : entries)
            files << entry.filePath();
    }
    return files;
}

struct Engine {
    explicit Engine(Tool &tool)
        : engine(tool.connection, tool.encoder, tool.http, tool.log), progress(tool.console)
    {
        engine.setLog(&tool.log);
        // A first Ctrl+C lets the current file end (a second one stops at once).
        engine.setProgress(&progress, false);
    }
    clsImportAndExport engine;
    ConsoleProgress progress;
    Interrupt interrupt;
};

void printIds(Tool &tool, const MemoryDocumentList &list)
{
    for (qint32 id : list.ids())
        tool.console.dataLine(QString::number(id));
}

} // namespace

int runImport(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv);
    const bool nonXML = nonXmlDoctype(tool, target);
    const QStringList files = importFiles(inv.arguments.mid(3), nonXML);
    if (files.isEmpty()) {
        tool.console.message(QStringLiteral("No files to import"));
        return Done;
    }
    login(tool, inv, target.DatabaseURI());

    Engine run(tool);
    int refused = 0;
    // Stops at the first refused upload, as an XML import stops at its first failing file.
    QObject::connect(&run.engine, &clsImportAndExport::UploadError, [&](bool, const QString &message, bool &goOn) {
        tool.console.error(message);
        ++refused;
        goOn = false;
    });
    MemoryDocumentList list;
    TransferResult result;
    try {
        result = nonXML ? run.engine.ImportNonXMLFiles(target.doctype(), files, list)
                        : run.engine.ImportXMLFiles(target.doctype(), files, list);
    } catch (const OstrelError &) {
        // What was stored before the failure stays; say which documents that are.
        tool.console.endProgress();
        printIds(tool, list);
        throw;
    }
    tool.console.endProgress();
    printIds(tool, list);
    const int imported = result.done - refused;
    if (result.cancelled || refused > 0) {
        tool.console.message(QStringLiteral("Import %1: %2 of %3 documents have been imported")
                                 .arg(result.cancelled ? QStringLiteral("cancelled") : QStringLiteral("stopped"))
                                 .arg(imported)
                                 .arg(result.total));
        return Failed;
    }
    tool.console.message(QStringLiteral("All documents have been imported"));
    return Done;
}

int runExport(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv);
    const QString dir = inv.arguments.value(3);
    const QFileInfo fi(dir);
    if (!fi.exists())
        fail(QStringLiteral("Directory ") + dir + QStringLiteral(" does not exist"));
    if (!fi.isDir())
        fail(dir + QStringLiteral(" is not a directory"));
    if (!fi.isWritable())
        fail(QStringLiteral("Directory ") + dir + QStringLiteral(" cannot be written"));
    if (nonXmlDoctype(tool, target))
        fail(QStringLiteral("This function is not yet implemented for non-xml documents"));

    MemoryDocumentList list;
    ServerClient(tool.http).query(target.CollectionURI(), target.query(inv.arguments.value(4)), list);
    if (list.count() == 0) {
        tool.console.message(QStringLiteral("Nothing found"));
        return Done;
    }

    Engine run(tool);
    const TransferResult result = run.engine.ExportXMLFiles(target.doctype(), dir, list,
                                                            inv.has(QStringLiteral("--without-id")));
    tool.console.endProgress();
    if (result.cancelled) {
        tool.console.message(QStringLiteral("Export cancelled: %1 of %2 documents have been exported to directory %3")
                                 .arg(result.done)
                                 .arg(result.total)
                                 .arg(dir));
        return Failed;
    }
    tool.console.message(QStringLiteral("All documents have been exported to directory ") + dir);
    return Done;
}

} // namespace owb::cli
