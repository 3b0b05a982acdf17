#include "transfer/clsImportAndExport.h"

#include "common/HttpClient.h"
#include "common/OstrelError.h"
#include "common/Progress.h"
#include "common/UrlEncoding.h"
#include "log/ILogMessage.h"
#include "server/FormEncoder.h"
#include "server/clsConnection.h"
#include "transfer/ExportWriter.h"
#include "xml/DocumentList.h"
#include "xml/DomDocument.h"
#include "xml/ParseGuard.h"
#include "xml/ServerFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace owb {

namespace {

const QString kSource = QStringLiteral("clsImportAndExport");

[[noreturn]] void fail(const QString &description) { throw OstrelError(kSource, description); }

QString statusLine(const HttpResponse &res)
{
    return QStringLiteral("HTTP %1 %2").arg(res.status).arg(res.statusText).trimmed();
}

// The server's own words in a failure envelope (osl:messagetext with osl:code), if any.
QString envelopeFailure(const DomDocument &answer)
{
    const auto failure = serverFailure(answer);
    return failure ? failure->describe() : QString();
}

} // namespace

clsImportAndExport::clsImportAndExport(const clsConnection &connection, const FormEncoder &encoder,
                                       const HttpClient &http, ILogMessage &logWindow, QObject *parent)
    : QObject(parent), m_connection(connection), m_encoder(encoder), m_http(http), m_logWindow(logWindow)
{
}

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
    requireLog();
    m_ostrelURI = OstrelURI;
    return eachFile(QStringLiteral("Import"), files, [&](int i) {
        if (!StoreXMLFile(files[i], doctype, list))
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
    HttpRequest req;
    req.method = "POST";
    req.url = m_ostrelURI;
    req.headers.append({QByteArray("Content-Type"), QByteArray(FormEncoder::ContentType)});
    req.authenticate = true;
    req.user = m_connection.UserID();
    req.password = m_connection.Password();
    try {
        req.body = "_process=" + m_encoder.EncodeXml(doc.xml());
    } catch (const OstrelError &e) {
        log(QStringLiteral("File %1 cannot be sent: %2").arg(fileName, e.description()));
        return false;
    }
    // The transfer's own display answers for Cancel, also in the middle of a file.
    req.progress = m_requestProgress;
    req.activity = QStringLiteral("Storing ") + fileName;

    const HttpResponse res = m_http.send(req);
    DomDocument answer = NewDOMDocument(false, true);
    answer.setEnvelopeLevels(xmlparse::AnswerEnvelope);
    const bool parsed = answer.loadBytes(res.body);
    if (res.status > 200) {
        const QString said = parsed ? envelopeFailure(answer) : QString();
        log(QStringLiteral("The server refused %1: %2%3")
                .arg(fileName, statusLine(res), said.isEmpty() ? QString() : QStringLiteral(", ") + said));
        return false;
    }
    if (!parsed) {
        log(QStringLiteral("The server's answer for %1 is not XML: %2").arg(fileName, answer.parseError().reason));
        return false;
    }
    const DomNode root = answer.documentElement();
    const DomNode message = root.lastChild();
    const QList<DomNode> attributes = message ? message.attributes() : QList<DomNode>();
    if (const QString said = envelopeFailure(answer); !said.isEmpty()) {
        log(QStringLiteral("The server refused %1: Ostrel error %2%3")
                .arg(fileName, attributes.isEmpty() ? QString() : QLatin1Char('(') + attributes.first().nodeValue() + QStringLiteral(") "), said));
        return false;
    }
    if (attributes.isEmpty()) {
        log(QStringLiteral("The server's answer for %1 holds no return value").arg(fileName));
        return false;
    }
    const QString code = attributes.first().nodeValue();
    if (code != QLatin1String("0")) {
        const DomNode last = message.lastChild();
        log(QStringLiteral("The server refused %1: Ostrel error (%2) %3")
                .arg(fileName, code, last ? last.text().trimmed() : QString()));
        return false;
    }
    // Without the object the server has not said what it stored: nothing to list, no success.
    const DomNode object = root.selectSingleNode(QStringLiteral("osl:object"));
    if (!object) {
        log(QStringLiteral("The server's answer for %1 names no stored document (no osl:object)").arg(fileName));
        return false;
    }
    if (isNew) {
        const QString id = object.getAttribute(QStringLiteral("osl:id"));
        bool ok = false;
        const qint32 number = id.toInt(&ok);
        if (!ok) {
            log(QStringLiteral("The server's answer for %1 names no valid document id (\"%2\")").arg(fileName, id));
            return false;
        }
        list.addEntry(QStringLiteral("+ osl:id=") + id, number);
        list.setItemData(list.count() - 1, number);
    }
    log(QStringLiteral("Document (new=%1)  has been processed").arg(isNew ? QStringLiteral("True") : QStringLiteral("False")));
    return true;
}

TransferResult clsImportAndExport::ImportNonXMLFiles(const QString &OstrelURI, const QString &doctype,
                                                     const QStringList &files, IDocumentList &)
{
    requireLog();
    m_ostrelURI = OstrelURI;
    m_continue = true;
    return eachFile(QStringLiteral("Import"), files, [&](int i) {
        StoreNonXMLFile(files[i], doctype);
        return m_continue;
    });
}

QString clsImportAndExport::FileNameOnly(const QString &path) { return QFileInfo(path).fileName(); }

void clsImportAndExport::StoreNonXMLFile(const QString &fileName, const QString &doctype)
{
    log(QStringLiteral("Store file ") + fileName);
    const QString url = m_ostrelURI + QLatin1Char('/')
        + QString::fromLatin1(UrlEncoding::encodePathSegment(doctype)) + QLatin1Char('/')
        + QString::fromLatin1(UrlEncoding::encodePathSegment(FileNameOnly(fileName)));
    UploadFile(url, fileName);
}

QByteArray clsImportAndExport::GetFile(const QString &fileName)
{
    QFile f(fileName);
    if (QFileInfo(fileName).isDir())
        fail(QStringLiteral("Cannot read %1: it is a folder").arg(fileName));
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read %1: %2").arg(fileName, f.errorString()));
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        fail(QStringLiteral("Cannot read %1: %2").arg(fileName, f.errorString()));
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
    HttpRequest req;
    req.method = "PUT";
    req.url = url;
    req.headers.append({QByteArray("Content-Type"), QByteArray("application/upload")});
    req.headers.append({QByteArray("Name"), QByteArray("_Process")});
    req.body = body;
    req.authenticate = true;
    req.user = m_connection.UserID();
    req.password = m_connection.Password();
    req.progress = m_requestProgress;
    req.activity = QStringLiteral("Uploading");
    const HttpResponse res = m_http.send(req);
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
    requireLog();
    if (!QFileInfo(directory).isDir())
        fail(QStringLiteral("Directory ") + directory + QStringLiteral(" does not exist"));
    m_ostrelURI = OstrelURI;
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
    const QString query = doctype + QStringLiteral("[@osl:id=") + idText + QLatin1Char(']');
    const QString url = m_ostrelURI + QStringLiteral("?_xql=") + query;
    const QString failed = QStringLiteral("Failed to load ") + url;

    HttpResponse res;
    try {
        HttpRequest req;
        req.url = m_ostrelURI + QStringLiteral("?_xql=") + QString::fromLatin1(UrlEncoding::encodeQueryValue(query));
        req.progress = m_requestProgress;
        req.activity = QStringLiteral("Exporting document ") + idText;
        res = m_http.send(req);
    } catch (const OstrelError &e) {
        fail(failed + QStringLiteral(" reason ") + e.description());
    }
    DomDocument answer = NewDOMDocument(false, true);
    answer.setEnvelopeLevels(xmlparse::AnswerEnvelope);
    const bool parsed = answer.loadBytes(res.body, url);
    // A refused query is the server's failure, not a missing document.
    QString said = parsed ? envelopeFailure(answer) : QString();
    if (said.isEmpty() && res.status >= 400)
        said = statusLine(res);
    if (!parsed)
        fail(failed + QStringLiteral(" reason ") + (said.isEmpty() ? answer.parseError().reason : said));
    const DomNode result = answer.selectSingleNode(QStringLiteral("//xql:result"));
    if (res.status >= 400 || !said.isEmpty())
        fail(failed + QStringLiteral(" reason ") + said);
    if (!result)
        fail(failed + QStringLiteral(". Probably the file is deleted in between"));
    DomNode document = result.firstChild();
    while (document && document.nodeType() != DomNodeType::Element)
        document = document.nextSibling();
    if (!document)
        fail(failed + QStringLiteral(". Probably the file is deleted in between"));
    if (withoutId)
        document.removeAttribute(QStringLiteral("osl:id"));

    ExportWriter::write(QDir(directory).filePath(doctype + QLatin1Char('_') + idText + QStringLiteral(".xml")),
                        document);
}

} // namespace owb
