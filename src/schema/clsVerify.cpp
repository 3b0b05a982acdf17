#include "schema/clsVerify.h"

#include "common/AppPaths.h"
#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "common/UserInteraction.h"
#include "schema/VerifyText.h"
#include "schema/XsdModel.h"
#include "schema/XsdValidator.h"
#include "schema/clsSchema.h"
#include "xml/Namespaces.h"
#include "xml/clsFileHandler.h"

#include <QDir>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QLockFile>

namespace owb {

namespace {

// The lines of a text, found once, for the source text of many errors.
class Lines {
public:
    explicit Lines(const QString &text) : m_text(text) {}

    QString line(int number)
    {
        if (m_starts.isEmpty()) {
            m_starts << 0;
            for (qsizetype i = 0; i < m_text.size(); ++i)
                if (m_text[i] == QLatin1Char('\n'))
                    m_starts << i + 1;
        }
        if (number < 1 || number > m_starts.size())
            return {};
        const qsizetype from = m_starts[number - 1];
        qsizetype to = number < m_starts.size() ? m_starts[number] - 1 : m_text.size();
        if (to > from && m_text[to - 1] == QLatin1Char('\r'))
            --to;
        return m_text.mid(from, to - from);
    }

private:
    const QString &m_text;
    QList<qsizetype> m_starts;
};

// Work files need no atomic replace and no flush to disk: they are rewritten on every run.
void writeWorkFile(const QString &path, const QString &text)
{
    const QByteArray bytes = clsFileHandler::EncodeText(text);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw OstrelError(OstrelError::Kind::LocalFile, QStringLiteral("clsVerify"),
                          QStringLiteral("Cannot write %1: %2").arg(path, f.errorString()));
}

// Included and imported schemas beside the work schema, where the validator finds them by
// name; those of an earlier run are taken away first, so that none is found by mistake.
void writeReferenced(const QString &folder, const QList<ServerSchemaSource::Stored> &referenced, const QString &ns,
                     bool ownNamespace)
{
    QDir dir(folder);
    for (const QString &old : dir.entryList({QStringLiteral("*.xsd")}, QDir::Files))
        if (old != QLatin1String(clsVerify::SchemaFile))
            dir.remove(old);
    for (const ServerSchemaSource::Stored &s : referenced) {
        if (s.fileName == QLatin1String(clsVerify::SchemaFile) || s.fileName.contains(QLatin1Char('/')))
            continue;
        QString text = s.text;
        // An included schema without namespace follows the work schema into the one it was given.
        if (s.included && !ownNamespace) {
            const verifytext::StartTag root = verifytext::rootStartTag(text);
            if (!root.isNull() && !root.attribute(QStringLiteral("targetNamespace")))
                text = verifytext::prepareSchema(text, QString(), ns).text;
        }
        writeWorkFile(dir.filePath(s.fileName), text);
    }
}

// Takes the lock on the work files of folder: they have fixed names, so one validation at a
// time, in this process or another (the workbench and owb side by side), writes and reads
// them. A wait that lasts is shown through ui, where the user may cancel it.
void lockWorkFiles(QLockFile &lock, UserInteraction *ui)
{
    // A long validation holds the lock as long as it needs; only a holder that died frees it.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        return;
    const std::unique_ptr<Progress> shown =
        ui ? ui->beginProgress(QStringLiteral("Validation"), QStringLiteral("Waiting for another validation to end"), 0)
           : nullptr;
    const QDeadlineTimer deadline(clsVerify::LockWaitMs);
    const QElapsedTimer waited = [] { QElapsedTimer t; t.start(); return t; }();
    while (!deadline.hasExpired()) {
        if (lock.tryLock(25))
            return;
        if (!shown)
            continue;
        shown->setValue(waited.elapsed() / 1000);   // seconds waited so far
        if (shown->wasCancelled())
            throw OstrelError(OstrelError::Kind::Cancelled, QStringLiteral("clsVerify"), HttpClient::CancelledText,
                              HttpClient::CancelledNumber);
    }
    throw OstrelError(OstrelError::Kind::LocalFile, QStringLiteral("clsVerify"),
                      QStringLiteral("Another validation holds %1").arg(lock.fileName()));
}

clsVerifyError makeError(int line, const QString &reason, Lines &lines)
{
    clsVerifyError e;
    e.LineNumber = qMax(1, line);
    e.Reason = reason;
    e.SourceText = lines.line(e.LineNumber);
    return e;
}

} // namespace

QString clsVerify::workFolder()
{
    return AppPaths::writableDir(QStringLiteral("temp"));
}

std::optional<clsVerifyError> clsVerify::CheckWellFormedNess(const QString &text) const
{
    DomDocument doc = NewDOMDocument(false, false);
    if (doc.loadXML(text))
        return std::nullopt;
    const DomParseError &pe = doc.parseError();
    clsVerifyError e;
    e.LineNumber = qMax(1, pe.line);
    e.Reason = pe.reason;
    e.SourceText = pe.srcText;
    return e;
}

std::optional<clsVerifyError> clsVerify::ValidateDocument(const QString &text, const QString &databaseURI,
                                                          const QString &collection, const QString &doctype) const
{
    clsSchema schema(m_http);
    const DomNode element = schema.GetSchema(databaseURI, collection, doctype);
    return ValidateWithSchema(text, element, doctype, storedReferences(m_http, databaseURI, element));
}

QList<ServerSchemaSource::Stored> clsVerify::storedReferences(const HttpClient *http, const QString &databaseURI,
                                                              const DomNode &schema)
{
    if (schema.isNull())
        return {};
    ServerSchemaSource source(http, databaseURI);
    try {
        xsd::SchemaSet set;
        set.load(schema.xml(), QString(), &source);
    } catch (const OstrelError &) {
        // The validation tells what is wrong with the schema.
    }
    return source.found();
}

std::optional<clsVerifyError> clsVerify::ValidateWithSchema(const QString &text, const DomNode &schema,
                                                            const QString &doctype,
                                                            const QList<ServerSchemaSource::Stored> &referenced) const
{
    Lines lines(text);
    if (schema.isNull()) {
        clsVerifyError e;
        e.Reason = QStringLiteral("No schema found for document type ") + doctype;
        return e;
    }

    const verifytext::PreparedSchema xsd = verifytext::prepareSchema(
        schema.xml(), schema.getAttribute(QStringLiteral("targetNamespace")), QLatin1String(ns::VALIDATION));
    const QString folder = AppPaths::ensureWritableDir(QStringLiteral("temp"));
    QLockFile lock(folder + QLatin1Char('/') + QLatin1String(LockFile));
    lockWorkFiles(lock, m_http ? m_http->userInteraction() : nullptr);
    const QString schemaPath = folder + QLatin1Char('/') + QLatin1String(SchemaFile);
    const QString documentPath = folder + QLatin1Char('/') + QLatin1String(DocumentFile);
    writeWorkFile(schemaPath, xsd.text);
    writeReferenced(folder, referenced, xsd.ns, schema.hasAttribute(QStringLiteral("targetNamespace")));

    const verifytext::PreparedDocument doc =
        verifytext::prepareDocument(text, xsd.ns, doctype, QLatin1String(SchemaFile));
    if (doc.rootMissing)
        return makeError(doc.rootLine,
                         QStringLiteral("The root element of document type ") + doctype + QStringLiteral(" was not found"),
                         lines);
    writeWorkFile(documentPath, doc.text);

    const QList<XsdValidator::Issue> issues = XsdValidator::validateFile(documentPath, schemaPath, MaxErrors);
    if (issues.isEmpty())
        return std::nullopt;
    std::optional<clsVerifyError> first;
    for (const XsdValidator::Issue &i : issues) {
        const int line = i.inDocument && i.line > 0 ? doc.lines.toOriginal(i.line) : doc.rootLine;
        clsVerifyError e = makeError(line, i.message, lines);
        if (!first)
            first = std::move(e);
        else
            first->Further.push_back(std::move(e));
    }
    return first;
}

} // namespace owb
