#pragma once
#include "server/DoctypeRef.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace owb {

class clsConnection;
class DomDocument;
class FormEncoder;
class HttpClient;
class IDocumentList;
class ILogMessage;
class Progress;
class ServerClient;

// How far a transfer got. done < total without cancelled: stopped by the user's answer to an
// upload error.
struct TransferResult {
    int done = 0;
    int total = 0;
    bool cancelled = false;
};

// Moves files into one doctype of a collection and stored documents out into a directory.
// Requests are synchronous; credentials are read from the connection registry for each one.
// Failures throw OstrelError (source "clsImportAndExport" unless passed on from below);
// whatever was stored or written before a failure stays.
class clsImportAndExport : public QObject {
    Q_OBJECT
public:
    // logWindow receives the line of each accepted non-XML upload.
    clsImportAndExport(const clsConnection &connection, const FormEncoder &encoder,
                       const HttpClient &http, ILogMessage &logWindow, QObject *parent = nullptr);
    ~clsImportAndExport() override;

    // Where progress lines go; must be set before a transfer.
    void setLog(ILogMessage *log) { m_log = log; }
    // Optional: stepped once per file; asked between files whether to stop, and, with
    // withinFile, also while a file's request waits for the server (a Cancel then ends it).
    void setProgress(Progress *progress, bool withinFile = true)
    {
        m_progress = progress;
        m_requestProgress = withinFile ? progress : nullptr;
    }

    // Each file parsed, checked against doctype and stored, in list order; stops at the first
    // failing file with "Failed to load " + its path. New documents are appended to list.
    TransferResult ImportXMLFiles(const DoctypeRef &doctype, const QStringList &files, IDocumentList &list);
    // Each file's bytes PUT under its name; a refused upload raises UploadError.
    TransferResult ImportNonXMLFiles(const DoctypeRef &doctype, const QStringList &files, IDocumentList &list);
    // Every entry of list fetched and written to directory as doctype_id.xml (iso-8859-1).
    TransferResult ExportXMLFiles(const DoctypeRef &doctype, const QString &directory, IDocumentList &list,
                                  bool withoutId);
    // The same with the doctype given as a collection URI (OstrelURI) and its name.
    TransferResult ImportXMLFiles(const QString &OstrelURI, const QString &doctype,
                                  const QStringList &files, IDocumentList &list);
    TransferResult ImportNonXMLFiles(const QString &OstrelURI, const QString &doctype,
                                     const QStringList &files, IDocumentList &list);
    TransferResult ExportXMLFiles(const QString &OstrelURI, const QString &doctype,
                                  const QString &directory, IDocumentList &list, bool withoutId);

    void UploadFile(const QString &url, const QString &fileName);
    void IEPostStringRequest(const QString &url, const QByteArray &body);
    // The file's bytes, all of them (none for an empty file).
    static QByteArray GetFile(const QString &fileName);

signals:
    // A non-XML upload was refused; a handler sets Continue to false to stop after this file.
    void UploadError(bool Silent, const QString &Message, bool &Continue);
    void Status(const QString &Message);

private:
    template <typename Step>
    TransferResult eachFile(const QString &what, const QStringList &names, const Step &step);
    bool StoreXMLFile(const QString &fileName, const QString &doctype, IDocumentList &list);
    bool sendXml(const QString &fileName, const DomDocument &doc, bool isNew, IDocumentList &list);
    void StoreNonXMLFile(const QString &fileName, const QString &doctype);
    void exportOne(const QString &doctype, const QString &directory, qint32 id, bool withoutId);
    static QString FileNameOnly(const QString &path);
    void log(const QString &line) const;
    void requireLog() const;

    std::unique_ptr<ServerClient> m_server;
    ILogMessage &m_logWindow;
    ILogMessage *m_log = nullptr;
    Progress *m_progress = nullptr;
    Progress *m_requestProgress = nullptr;
    QString m_ostrelURI;
    bool m_continue = true;
};

} // namespace owb
