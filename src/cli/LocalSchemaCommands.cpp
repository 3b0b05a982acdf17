// new and validate against a local schema: its includes and imports are read beside it,
// never over the network.
#include "cli/Tool.h"
#include "common/OstrelError.h"
#include "schema/BuildNewDoc.h"
#include "schema/SchemaSource.h"
#include "schema/VerifyText.h"
#include "schema/XsdValidator.h"
#include "schema/clsVerify.h"
#include "xml/xmlutil.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace owb::cli {

namespace {

QString schemaOf(const Invocation &inv)
{
    const QString path = inv.value(QStringLiteral("--schema"));
    if (!QFileInfo(path).isFile())
        fail(QStringLiteral("Cannot read the schema %1: file not found").arg(path));
    return QFileInfo(path).absoluteFilePath();
}

// Each issue as FILE:LINE: reason; an issue of the schema is told at the root's line.
QStringList locatedIssues(const QString &file, const QString &text, const QList<XsdValidator::Issue> &issues)
{
    const verifytext::StartTag root = verifytext::rootStartTag(text);
    const int rootLine = root.isNull() ? 1 : verifytext::lineAt(text, root.start);
    QStringList lines;
    for (const XsdValidator::Issue &i : issues)
        lines << located(file, i.inDocument && i.line > 0 ? i.line : rootLine, i.message);
    return lines;
}

} // namespace

int runNewLocal(Tool &tool, const Invocation &inv)
{
    const QString schemaPath = schemaOf(inv);
    const QString schemaText = tool.files.LoadFile(schemaPath);
    LocalSchemaSource beside(QFileInfo(schemaPath).absolutePath());
    QTemporaryDir work;
    if (!work.isValid())
        fail(QStringLiteral("Cannot make a folder for the sample's check: ") + work.errorString());

    BuildNewDoc builder;
    builder.setSchemaSource(&beside, schemaPath);
    builder.setChecker([&](const QString &text) -> std::optional<QString> {
        const QString samplePath = work.filePath(QStringLiteral("sample.xml"));
        QFile f(samplePath);
        const QByteArray bytes = text.toUtf8();
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return QStringLiteral("cannot write %1: %2").arg(samplePath, f.errorString());
        f.close();
        const auto issues = XsdValidator::validateFile(samplePath, schemaPath, 1, false);
        if (issues.isEmpty())
            return std::nullopt;
        return issues.first().line > 0 ? QStringLiteral("line %1: %2").arg(issues.first().line).arg(issues.first().message)
                                       : issues.first().message;
    });
    const DomDocument sample = builder.CreateNewDoc(schemaText, inv.value(QStringLiteral("--root")));
    tool.console.data(asLine(xmlutil().FormatXML(sample)).toUtf8());
    return Done;
}

int runValidateLocal(Tool &tool, const Invocation &inv)
{
    const QString schemaPath = schemaOf(inv);
    const clsVerify verify(nullptr);
    return checkFiles(tool, inv.arguments, [&](const QString &file, const QString &text) {
        if (const auto err = verify.CheckWellFormedNess(text))
            return QStringList{located(file, err->LineNumber, err->Reason)};
        return locatedIssues(file, text, XsdValidator::validateFile(file, schemaPath, clsVerify::MaxErrors, false));
    });
}

} // namespace owb::cli
