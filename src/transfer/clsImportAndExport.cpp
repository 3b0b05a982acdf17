#include "transfer/clsImportAndExport.h"

#include "common/OstrelError.h"
#include "common/Progress.h"
#include "log/ILogMessage.h"
#include "server/ServerClient.h"
#include "xml/ExportWriter.h"
#include "xml/DocumentList.h"
#include "xml/DomDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace owb {

namespace {

const QString kSource = QStringLiteral("clsImportAndExport");

[[noreturn]] void fail(const QString &description) { throw OstrelError(kSource, description); }

using Verdict = WriteAnswer::Verdict;

} // namespace

clsImportAndExport::clsImportAndExport(const clsConnection &connection, const FormEncoder &encoder,
                                       const HttpClient &http, ILogMessage &logWindow, QObject *parent)
    : QObject(parent), m_server(std::make_unique<ServerClient>(http, &connection, &encoder)), m_logWindow(logWindow)
{
}

clsImportAndExport::~clsImportAndExport() = default;

void clsImportAndExport::log(const QString &line) const { m_log->LogEntry(line); }

void clsImportAndExport::requireLog() const
{
    if (!m_log)
        fail(QStringLiteral("No log was given for the transfer"));
}

template <typename Step>
TransferResult clsImportAndExport::eachFile(const QString &what, const QStringList &names, const Step &step)
{
    TransferResult result;
    result.total = int(names.size());
    if (m_progress)
        m_progress->setMaximum(result.total);
    for (int i = 0; i < result.total; ++i) {
        // The current file always ends; the question comes before the next one starts.
        if (i > 0 && m_progress && m_progress->wasCancelled()) {
            result.cancelled = true;
            log(QStringLiteral("%1 cancelled after %2 of %3 files").arg(what).arg(i).arg(result.total));
            return result;
        }
        if (m_progress) {
            m_progress->setLabel(QStringLiteral("File %1 of %2: %3").arg(i + 1).arg(result.total).arg(names[i]));
            m_progress->setValue(i);
        }
        const bool goOn = step(i);
        result.done = i + 1;
        if (m_progress)
            m_progress->setValue(i + 1);
        if (!goOn)
            break;
    }
    return result;
}

TransferResult clsImportAndExport::ImportXMLFiles(const QString &OstrelURI, const QString &doctype,
                                                  const QStringList &files, IDocumentList &list)
{
    return ImportXMLFiles(DoctypeRef::fromCollectionUri(OstrelURI, doctype), files, list);
}

TransferResult clsImportAndExport::ImportXMLFiles(const DoctypeRef &doctype, const QStringList &files,
                                                  IDocumentList &list)
{
    requireLog();
    m_ostrelURI = doctype.collectionUri();
    return eachFile(QStringLiteral("Import"), files, [&](int i) {
        if (!StoreXMLFile(files[i], doctype.doctype, list))
            fail(QStringLiteral("Failed to load ") + files[i]);
        return true;
    });
}

bool clsImportAndExport::StoreXMLFile(const QString &fileName, const QString &doctype, IDocumentList &list)
{
    DomDocument doc = NewDOMDocument(false, true);
    // The server stores values, not the doctype that declares entities: they go as their text.
    doc.setEntities(DomEntities::Substituted);
    log(QStringLiteral("Store file ") + fileName);
    if (!doc.load(fileName)) {
        const DomParseError &e = doc.parseError();
        QString where;
        if (e.line > 0)
            where = QStringLiteral(" (line %1, column %2)").arg(e.line).arg(e.column);
        log(QStringLiteral("File %1 is not well-formed: %2%3").arg(fileName, e.reason, where));
        return false;
    }
    const DomNode root = doc.documentElement();
    if (root.nodeName() != doctype) {
        log(QStringLiteral("The root element %1 of %2 differs from the document type %3")
                .arg(root.nodeName(), fileName, doctype));
        return false;
    }
    const bool isNew = !root.hasAttribute(QStringLiteral("osl:id"));
    return sendXml(fileName, doc, isNew, list);
}

bool clsImportAndExport::sendXml(const QString &fileName, const DomDocument &doc, bool isNew,
                                 IDocumentList &list)
{
    WriteAnswer written;
    try {
        // The transfer's own display answers for Cancel, also in the middle of a file.
        written = m_server->store(m_ostrelURI, doc.xml(), {QStringLiteral("Storing ") + fileName, m_requestProgress});
    } catch (const OstrelError &e) {
        // A text the form cannot carry fails this file; no answer at all ends the import.
        if (e.kind() != OstrelError::Kind::Parse)
            throw;
        log(QStringLiteral("File %1 cannot be sent: %2").arg(fileName, e.description()));
        return false;
    }
    switch (const Verdict verdict = written.judge(200, true)) {
    case Verdict::Accepted:
        break;
    case Verdict::HttpStatus:
        log(QStringLiteral("The server refused %1: %2%3")
                .arg(fileName, QStringLiteral("HTTP %1 %2").arg(written.status).arg(written.statusText).trimmed(),
                     written.failure() ? QStringLiteral(", ") + written.failure()->describe() : QString()));
        return false;
    case Verdict::NotXml:
        log(QStringLiteral("The server's answer for %1 is not XML: %2").arg(fileName, written.answer.parseError().reason));
        return false;
    case Verdict::ServerFailure:
        log(QStringLiteral("The server refused %1: %2").arg(fileName, written.refusal()));
        return false;
    case Verdict::NoMessage:
    case Verdict::NoReturnValue:
        log(QStringLiteral("The server's answer for %1 holds no return value").arg(fileName));
        return false;
    case Verdict::NoObject:
        // Without the object the server has not said what it stored: nothing to list, no success.
        log(QStringLiteral("The server's answer for %1 names no stored document (no osl:object)").arg(fileName));
        return false;
    case Verdict::BadId:
        // An update keeps the entry it has; only a new document needs the id.
        if (!isNew)
            break;
        log(QStringLiteral("The server's answer for %1 names no valid document id (\"%2\")").arg(fileName, written.id()));
        return false;
    }
    if (isNew) {
        list.addEntry(QStringLiteral("+ osl:id=") + written.id(), written.number());
        list.setItemData(list.count() - 1, written.number());
    }
    log(QStringLiteral("Document (new=%1)  has been processed").arg(isNew ? QStringLiteral("True") : QStringLiteral("False")));
    return true;
}

TransferResult clsImportAndExport::ImportNonXMLFiles(const QString &OstrelURI, const QString &doctype,
                                                     const QStringList &files, IDocumentList &list)
{
    return ImportNonXMLFiles(DoctypeRef::fromCollectionUri(OstrelURI, doctype), files, list);
}

TransferResult clsImportAndExport::ImportNonXMLFiles(const DoctypeRef &doctype, const QStringList &files,
                                                     IDocumentList &)
{
    requireLog();
    m_ostrelURI = doctype.collectionUri();
    m_continue = true;
    return eachFile(QStringLiteral("Import"), files, [&](int i) {
        StoreNonXMLFile(files[i], doctype.doctype);
        return m_continue;
    });
}

QString clsImportAndExport::FileNameOnly(const QString &path) { return QFileInfo(path).fileName(); }

void clsImportAndExport::StoreNonXMLFile(const QString &fileName, const QString &doctype)
{
    log(QStringLiteral("Store file ") + fileName);
    UploadFile(ServerClient::uploadUrl(m_ostrelURI, doctype, FileNameOnly(fileName)), fileName);
}

QByteArray clsImportAndExport::GetFile(const QString &fileName)
{
    QFile f(fileName);
    const auto cannotRead = [&fileName](const QString &why) {
        return OstrelError(OstrelError::Kind::LocalFile, kSource, QStringLiteral("Cannot read %1: %2").arg(fileName, why));
    };
    if (QFileInfo(fileName).isDir())
        throw cannotRead(QStringLiteral("it is a folder"));
    if (!f.open(QIODevice::ReadOnly))
        throw cannotRead(f.errorString());
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw cannotRead(f.errorString());
    return bytes;
}

void clsImportAndExport::UploadFile(const QString &url, const QString &fileName)
{
    const QByteArray content = GetFile(fileName);
    emit Status(QStringLiteral("Uploading file ") + fileName);
    IEPostStringRequest(url, content);
}

void clsImportAndExport::IEPostStringRequest(const QString &url, const QByteArray &body)
{
    const HttpResponse res = m_server->upload(url, body, {QString(), m_requestProgress});
    if (res.status < 300) {
        m_logWindow.LogEntry(QStringLiteral("Document has been processed"));
        return;
    }
    const QString reason = res.statusText.isEmpty() ? QString::number(res.status) : res.statusText;
    emit UploadError(false, QStringLiteral("Failed to load document: ") + reason, m_continue);
}

TransferResult clsImportAndExport::ExportXMLFiles(const QString &OstrelURI, const QString &doctype,
                                                  const QString &directory, IDocumentList &list,
                                                  bool withoutId)
{
    return ExportXMLFiles(DoctypeRef::fromCollectionUri(OstrelURI, doctype), directory, list, withoutId);
}

TransferResult clsImportAndExport::ExportXMLFiles(const DoctypeRef &target, const QString &directory,
                                                  IDocumentList &list, bool withoutId)
{
    requireLog();
    if (!QFileInfo(directory).isDir())
        fail(QStringLiteral("Directory ") + directory + QStringLiteral(" does not exist"));
    m_ostrelURI = target.collectionUri();
    const QString doctype = target.doctype;
    QList<qint32> ids;
    QStringList names;
    for (int i = 0; i < list.count(); ++i) {
        ids << list.itemData(i);
        names << doctype + QLatin1Char('_') + QString::number(ids.last());
    }
    return eachFile(QStringLiteral("Export"), names, [&](int i) {
        exportOne(doctype, directory, ids[i], withoutId);
        return true;
    });
}

void clsImportAndExport::exportOne(const QString &doctype, const QString &directory, qint32 id, bool withoutId)
{
    const QString idText = QString::number(id);
    log(QStringLiteral("Exporting document ") + doctype + QLatin1Char('_') + idText);
    const QString failed =
        QStringLiteral("Failed to load ") + ServerClient::queryText(m_ostrelURI, ServerClient::documentQuery(doctype, id));

    DomNode document;
    try {
        document = m_server->fetch(m_ostrelURI, doctype, id, {QStringLiteral("Exporting document ") + idText, m_requestProgress});
    } catch (const OstrelError &e) {
        // The server's own words, where it gave any, say more than its status.
        throw e.reworded(kSource, failed + QStringLiteral(" reason ")
                                      + (e.serverReason().isEmpty() ? e.description() : e.serverReason()));
    }
    if (!document)
        fail(failed + QStringLiteral(". Probably the file is deleted in between"));
    if (withoutId)
        document.removeAttribute(QStringLiteral("osl:id"));

    ExportWriter::write(QDir(directory).filePath(doctype + QLatin1Char('_') + idText + QStringLiteral(".xml")),
                        document);
}

} // namespace owb
