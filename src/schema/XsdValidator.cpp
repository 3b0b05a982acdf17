#include "schema/XsdValidator.h"

#include "schema/SchemaSource.h"
#include "schema/XsdStream.h"
#include "xml/Namespaces.h"
#include "xml/ParseGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <libxml/parserInternals.h>
#include <libxml/uri.h>
#include <libxml/xmlschemas.h>

#include <memory>

namespace owb {

namespace {

using Issue = XsdValidator::Issue;

QString str(const xmlChar *s) { return s ? QString::fromUtf8(reinterpret_cast<const char *>(s)) : QString(); }
QString str(const char *s) { return s ? QString::fromUtf8(s) : QString(); }

// The local file a location names; null for a location with a scheme other than file:.
QString localPath(const QString &location)
{
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]+):"));
    const auto m = scheme.match(location);
    if (m.hasMatch()) {
        if (m.captured(1).compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
            return {};
        return QUrl(location).toLocalFile();
    }
    if (QFileInfo::exists(location))
        return location;
    // Locations come resolved as URIs: "my%20schemas/a.xsd" is a folder with a blank.
    return QUrl::fromPercentEncoding(location.toUtf8());
}

// Errors (not warnings) met while reading a schema, each naming the schema file and line.
struct Collector {
    QList<Issue> issues;

    static void onError(void *ctx, xmlErrorPtr err)
    {
        auto *self = static_cast<Collector *>(ctx);
        if (!err || err->level < XML_ERR_ERROR)
            return;
        QString message = str(err->message).trimmed();
        if (err->file)
            message = QFileInfo(str(err->file)).fileName() + QStringLiteral(", line %1: ").arg(err->line) + message;
        self->issues << Issue{0, message, false};
    }
};

// While it lives, the schema parser reads local schema files only; locations it may not or
// cannot read are noted. Entities and DTDs inside schema documents are never fetched.
class LoaderGuard {
public:
    LoaderGuard() : m_previous((xmlparse::RefuseLoads::install(), xmlGetExternalEntityLoader()))
    {
        s_current = this;
        xmlSetExternalEntityLoader(&LoaderGuard::load);
    }
    ~LoaderGuard()
    {
        xmlSetExternalEntityLoader(m_previous);
        s_current = nullptr;
    }
    LoaderGuard(const LoaderGuard &) = delete;
    LoaderGuard &operator=(const LoaderGuard &) = delete;

    QStringList refused;   // "location: why", in the order met
    QString besideFolder;  // the main schema's folder

private:
    static xmlParserInputPtr load(const char *url, const char *, xmlParserCtxtPtr ctxt)
    {
        LoaderGuard *self = s_current;
        // A parser that is already inside a document asks for an entity or a DTD.
        if (!self || !url || (ctxt && ctxt->inputNr > 0) || xmlparse::RefuseLoads::active())
            return nullptr;
        const QString location = str(url);
        QString path = localPath(location);
        // What is neither here nor to be fetched may lie beside the main schema, as a schema
        // kept with the others on the server is written there for validation.
        if ((path.isNull() || !QFileInfo(path).isFile()) && !self->besideFolder.isEmpty()) {
            const QString beside = QDir(self->besideFolder).filePath(SchemaSource::fileNameOf(location));
            if (QFileInfo(beside).isFile())
                path = beside;
        }
        if (path.isNull()) {
            self->refused << location + QStringLiteral(": network access is off");
            return nullptr;
        }
        if (!QFileInfo(path).isFile()) {
            self->refused << location + QStringLiteral(": file not found");
            return nullptr;
        }
        return xmlNewInputFromFile(ctxt, QFile::encodeName(path).constData());
    }

    static thread_local LoaderGuard *s_current;
    xmlExternalEntityLoader m_previous;
};

thread_local LoaderGuard *LoaderGuard::s_current = nullptr;

// The hint's location for the root's namespace, empty when the root carries none.
QString hintedLocation(const xsdstream::RootHint &root)
{
    if (root.ns.isEmpty())
        return root.noNamespaceSchemaLocation.trimmed();
    const QStringList pairs = root.schemaLocation.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
        if (pairs[i] == root.ns)
            return pairs[i + 1];
    return {};
}

QString resolve(const QString &location, const QString &basePath)
{
    const QByteArray loc = location.toUtf8(), base = QFile::encodeName(basePath);
    xmlChar *built = xmlBuildURI(BAD_CAST loc.constData(), BAD_CAST base.constData());
    const QString out = built ? str(built) : location;
    xmlFree(built);
    return out;
}

struct SchemaDeleter {
    void operator()(xmlSchemaPtr s) const { xmlSchemaFree(s); }
};

struct DocDeleter {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};

} // namespace

QList<Issue> XsdValidator::validateFile(const QString &path, const QString &fallbackSchema, int maxIssues,
                                        bool useHint)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Issue{0, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()), false}};
    const QByteArray bytes = file.readAll();
    file.close();

    LoaderGuard guard;
    const xsdstream::RootHint root = xsdstream::scanRoot(bytes, path);
    if (!root.found)
        return {root.issue};

    // A hint of the user's own that names no file here (a web address, a schema kept
    // elsewhere) gives way to the doctype's schema.
    QString schemaLocation = fallbackSchema;
    const QString hint = useHint ? hintedLocation(root) : QString();
    if (!hint.isEmpty()) {
        const QString resolved = resolve(hint, path);
        const QString local = localPath(resolved);
        if (!local.isNull() && QFileInfo(local).isFile())
            schemaLocation = resolved;
    }

    const QString failedSchema = QStringLiteral("Failed to load the schema ");
    // The schema document is parsed as every other document; libxml2 reads only what it
    // includes or imports, through the guard above. It outlives the schema built from it.
    const QString schemaPath = localPath(schemaLocation);
    if (schemaPath.isNull())
        return {Issue{0, failedSchema + schemaLocation + QStringLiteral(": network access is off"), false}};
    guard.besideFolder = QFileInfo(schemaPath).absolutePath();
    QFile schemaFile(schemaPath);
    if (!QFileInfo(schemaPath).isFile() || !schemaFile.open(QIODevice::ReadOnly))
        return {Issue{0, failedSchema + schemaLocation + QStringLiteral(": file not found"), false}};
    Collector schemaErrors;
    std::unique_ptr<xmlDoc, DocDeleter> schemaDoc;
    std::unique_ptr<xmlSchema, SchemaDeleter> schema;
    {
        xsdstream::ErrorRoute redirect(&schemaErrors, &Collector::onError);
        QString refused;
        schemaDoc.reset(xsdstream::parseDocument(schemaFile.readAll(), schemaLocation, &refused));
        if (!refused.isEmpty())
            return {Issue{0, failedSchema + schemaLocation + QStringLiteral(": ") + refused, false}};
        xmlSchemaParserCtxtPtr pc = schemaDoc ? xmlSchemaNewDocParserCtxt(schemaDoc.get()) : nullptr;
        if (pc) {
            xmlSchemaSetParserStructuredErrors(pc, &Collector::onError, &schemaErrors);
            schema.reset(xmlSchemaParse(pc));
            xmlSchemaFreeParserCtxt(pc);
        }
    }
    if (!guard.refused.isEmpty())
        return {Issue{0, failedSchema + guard.refused.first(), false}};
    if (!schema) {
        const QString why = schemaErrors.issues.isEmpty() ? QStringLiteral("it is not a valid schema")
                                                          : schemaErrors.issues.first().message;
        return {Issue{0, failedSchema + schemaLocation + QStringLiteral(": ") + why, false}};
    }
    return xsdstream::validate(bytes, path, schema.get(), maxIssues);
}

} // namespace owb
