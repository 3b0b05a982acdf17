#pragma once
#include "common/HttpClient.h"
#include "server/DoctypeRef.h"
#include "server/ServerAnswer.h"
#include "server/ServerPing.h"

#include <QString>

namespace owb {

class clsConnection;
class FormEncoder;
class IDocumentList;
class Progress;

// How one request is shown while it is awaited, and how its answer is loaded.
struct RequestOptions {
    QString activity;              // what the user is told; reads default to "Fetching " + url
    Progress *progress = nullptr;  // a display the caller already shows, asked for Cancel
    bool keepBlanks = false;       // reads: keep the whitespace between elements
};

// The answer to a write (store, remove), read but not yet judged. judge() applies the rules
// every write is judged by, in their order; callers put the verdict in their own words.
struct WriteAnswer {
    enum class Verdict {
        Accepted,        // return value "0" (and, for a store, an object with a valid id)
        HttpStatus,      // a status above the caller's highest delivered one
        NotXml,          // the body is not well-formed XML
        ServerFailure,   // a failure text, or a return value other than "0"
        NoMessage,       // the root's last child is no element
        NoReturnValue,   // the message element has no attribute
        NoObject,        // a store answer without the stored object
        BadId,           // a store answer whose object's id is no 32-bit whole number
    };

    int status = 0;
    QString statusText;
    ServerAnswer answer;
    bool parsed = false;

    // highestDelivered: the highest status judged by its envelope; store: an object with an
    // id must be named.
    Verdict judge(int highestDelivered, bool store) const;

    std::optional<QString> returnValue() const { return answer.returnValue(); }
    const std::optional<ServerFailure> &failure() const { return answer.failure(); }
    // The stored document's id, as sent and as a number (valid after Accepted of a store).
    QString id() const { return answer.objectId(); }
    qint32 number() const;
    // "Ostrel error (" + return value + ") " + the failure's "code: text", else the message
    // text: the words of a refusal (ServerFailure).
    QString refusal() const;
    // The verdict as an error of its kind, with source and description given.
    OstrelError error(Verdict verdict, const QString &source, const QString &description) const;
};

// The server's protocol in one place: how every request is addressed (the query, process,
// delete and upload forms, percent encoding), how it is sent (credentials, headers, bodies)
// and how the answer's envelope is read. Holds no state of its own; the credentials of a
// write are those of the connection registry's current connection, read afresh each time.
//
// Reads (schema information, a doctype's schema, a query, a fetch) go without credentials.
// Their failures throw OstrelError with source "ServerClient" whose description is the
// reason alone, for the caller to word (OstrelError::reworded keeps the kind):
//   Transport, Cancelled   the HTTP client's text
//   HttpStatus             "HTTP " + status + " " + status text (a status outside 200..399);
//                          serverReason() holds the failure the body reports, if any
//   Parse                  the parser's reason
//   ServerFailure          "code: text" of the failure the answer reports
class ServerClient {
public:
    // connection and encoder serve the writes; reads and the ping need neither.
    explicit ServerClient(const HttpClient &http, const clsConnection *connection = nullptr,
                          const FormEncoder *encoder = nullptr);

    // ---------------------------------------------------------------- addresses
    // The query string's marker, "?" + the query parameter + "=".
    static QString queryMarker();
    // An XPath over a collection as it is sent: the expression percent-encoded, so that the
    // server sees exactly the text.
    static QString queryUrl(const QString &collectionUri, const QString &xpath);
    // The same as the user reads it, the expression as written.
    static QString queryText(const QString &collectionUri, const QString &xpath);
    // The system collection that holds a database's schemas.
    static QString schemaCollectionUri(const QString &databaseUri);
    static QString schemaInformationQuery();
    // The schema of one doctype; names go in as XPath literals, whatever quotes they hold.
    static QString doctypeSchemaQuery(const QString &collection, const QString &doctype);
    // A stored schema by the name of its schema information, or by its target namespace.
    static QString namedSchemaQuery(const QString &name);
    static QString namespaceSchemaQuery(const QString &targetNamespace);
    // The document of a doctype with the id: doctype + "[@osl:id=" + id + "]".
    static QString documentQuery(const QString &doctype, qint32 id);
    // Where a non-XML file of a doctype is put; both names percent-encoded.
    static QString uploadUrl(const QString &collectionUri, const QString &doctype, const QString &fileName);
    static QString pingUrl(const QString &databaseUri);
    // An XPath string literal holding text exactly, whatever quotes it contains.
    static QString xpathLiteral(const QString &text);

    // ---------------------------------------------------------------- reads
    using ReadOptions = RequestOptions;
    // A GET of url, its answer loaded and checked for a failure.
    ServerAnswer read(const QString &url, const ReadOptions &options = {}) const;
    // The schema information of every schema of a database.
    ServerAnswer schemaInformation(const QString &databaseUri) const;
    struct DoctypeSchema {
        DomNode schema;        // the schema element; null when the server keeps none
        bool nonXML = false;   // the doctype's own declaration says it holds non-XML documents
    };
    DoctypeSchema doctypeSchema(const DoctypeRef &doctype) const;
    // A schema stored for others to include or import: the one whose schema information is
    // named name (when given), else (targetNamespace not null) the one with that target
    // namespace; null when there is none.
    DomNode storedSchema(const QString &databaseUri, const QString &name, const QString &targetNamespace) const;
    // The stored document's root element (the root of its own document), or null when the
    // answer lists none.
    DomNode fetch(const QString &collectionUri, const QString &doctype, qint32 id,
                  const ReadOptions &options = {}) const;
    // Clears list and lists one entry per document the XPath selects while the answer
    // arrives (LookUp: its errors, its source "Lookup").
    void query(const QString &collectionUri, const QString &xpath, IDocumentList &list) const;

    // ---------------------------------------------------------------- writes
    // Throw OstrelError when nothing could be sent or received (the transport's), or when
    // the form encoder cannot carry the text; the answer itself comes back unjudged.
    using WriteOptions = RequestOptions;
    // POST "_process=" + the text (insert, or replace when its root names an osl:id).
    WriteAnswer store(const QString &collectionUri, const QString &xmlText, const WriteOptions &options) const;
    // POST "_delete=" + an XPath selecting the documents to remove.
    WriteAnswer remove(const QString &collectionUri, const QString &xpath, const WriteOptions &options) const;
    // PUT of a non-XML file's bytes to url (uploadUrl); judged by its status alone.
    HttpResponse upload(const QString &url, const QByteArray &bytes, const WriteOptions &options) const;

    // The liveness check with the credentials given. Never throws for transport failures (a
    // time-out or a cancel included): those come back as answered == false.
    PingResult ping(const QString &databaseUri, const QString &userId, const QString &password,
                    int totalTimeoutMs = PingTimeoutMs) const;

private:
    WriteAnswer post(const QString &url, const QByteArray &body, const WriteOptions &options) const;
    const clsConnection &connection() const;
    const FormEncoder &encoder() const;

    const HttpClient &m_http;
    const clsConnection *m_connection;
    const FormEncoder *m_encoder;
};

} // namespace owb
