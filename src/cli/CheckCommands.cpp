// Validation, and the commands on local files only: transform and format.
#include "cli/Tool.h"
#include "common/OstrelError.h"
#include "schema/clsSchema.h"
#include "schema/clsVerify.h"
#include "workbench/StylesheetRunner.h"
#include "xml/xmlutil.h"

#include <QSaveFile>

namespace owb::cli {

namespace {

// A local file read into doc as its bytes stand, in their declared encoding; bytes that are
// not well-formed XML there fail with their place and reason.
void loadLocal(DomDocument &doc, const QString &file, const QString &what = {})
{
    if (doc.load(file))
        return;
    const DomParseError &e = doc.parseError();
    if (e.line <= 0)
        fail(e.reason);
    fail(located(file, e.line, what + e.reason));
}

} // namespace

int runValidate(Tool &tool, const Invocation &inv)
{
    applyTimeout(tool, inv);
    const DocumentTarget target = targetOf(inv);
    const QStringList files = inv.arguments.mid(3);
    clsSchema loader(&tool.http);
    const DomNode schema = loader.GetSchema(target.DatabaseURI(), target.CollectionName(), target.DoctypeName());
    if (loader.NonXML())
        fail(QStringLiteral("It is of no use to validate a non-xml document"));

    const clsVerify verify(&tool.http);
    const QList<ServerSchemaSource::Stored> referenced = clsVerify::storedReferences(&tool.http, target.DatabaseURI(), schema);
    return checkFiles(tool, files, [&](const QString &file, const QString &text) {
        std::optional<clsVerifyError> err = verify.CheckWellFormedNess(text);
        if (!err)
            err = verify.ValidateWithSchema(text, schema, target.DoctypeName(), referenced);
        QStringList lines;
        if (err) {
            lines << located(file, err->LineNumber, err->Reason);
            for (const clsVerifyError &further : err->Further)
                lines << located(file, further.LineNumber, further.Reason);
        }
        return lines;
    });
}

int checkFiles(Tool &tool, const QStringList &files,
               const std::function<QStringList(const QString &file, const QString &text)> &check)
{
    bool allValid = true;
    for (const QString &file : files) {
        QString text;
        try {
            text = tool.files.LoadXmlFile(file);
        } catch (const OstrelError &e) {
            tool.console.error(e.description());
            allValid = false;
            continue;
        }
        const QStringList errors = check(file, text);
        for (const QString &line : errors)
            tool.console.dataLine(line);
        allValid = allValid && errors.isEmpty();
    }
    return allValid ? Done : Failed;
}

int runTransform(Tool &tool, const Invocation &inv)
{
    const QString xsl = inv.arguments.value(0);
    const QString file = inv.arguments.value(1);
    // Both read as the processor reads files: the stylesheet from its own place, so that its
    // relative includes resolve, and the document with its blanks and entities' text.
    DomDocument style = StylesheetRunner::stylesheetDocument();
    loadLocal(style, xsl, QStringLiteral("Failed to load XSL content: "));
    StylesheetRunner runner;
    runner.load(style);
    DomDocument doc = NewDOMDocument(false, true);
    doc.setPreserveWhiteSpace(true);
    doc.setEntities(DomEntities::Substituted);
    loadLocal(doc, file);
    XsltTransform::Result result;
    try {
        result = runner.transform(doc.documentElement());
    } catch (const OstrelError &e) {
        fail(QStringLiteral("Failed to apply stylesheet: ") + e.description());
    }
    // As the processor's own tool says them, on standard error.
    for (const QString &m : result.messages)
        tool.console.message(m);
    if (!inv.has(QStringLiteral("--output"))) {
        tool.console.data(result.bytes);
        return Done;
    }
    const QString out = inv.value(QStringLiteral("--output"));
    QSaveFile f(out);
    if (!f.open(QIODevice::WriteOnly) || f.write(result.bytes) != result.bytes.size() || !f.commit())
        fail(QStringLiteral("Cannot write %1: %2").arg(out, f.errorString()));
    return Done;
}

int runFormat(Tool &tool, const Invocation &inv)
{
    DomDocument doc = NewDOMDocument(false, true);
    loadLocal(doc, inv.arguments.value(0));
    tool.console.data(asLine(xmlutil().FormatXML(doc)).toUtf8());
    return Done;
}

} // namespace owb::cli
