#pragma once
#include "server/ServerClient.h"
#include "xml/DomDocument.h"

#include <QString>

namespace owb {

class clsConnection;
class FormEncoder;
class HttpClient;
class IDocumentList;

// Fetches, stores and removes one document on the server, through ServerClient, in the words
// the document window shows. Holds no state of its own; the credentials are read from the
// connection registry afresh for every request.
// Every failure is an OstrelError of its kind; nothing is shown or logged here.
class clsOstrelAccess {
public:
    clsOstrelAccess(const clsConnection &connection, const FormEncoder &encoder, const HttpClient &http);

    // The stored document's root element, or a null node when the answer lists no document.
    // Source of errors: "Ostrel Access". keepBlanks keeps the text between elements as the
    // server sent it.
    DomNode getDocument(const QString &collectionUri, const QString &doctype, qint32 id,
                        bool keepBlanks = false) const;

    // Removes the document whose root element is given; on success the element loses its
    // osl:id. Source of errors: "Ostrel Acccess".
    void RemoveDocument(DomNode &element, const QString &collectionUri) const;

    // Stores the text (insert, or replace when it names an osl:id) and returns the id the
    // server reports. A new document is appended to list as "+ osl:id=" + id and selected.
    // Source of errors: "OstrelAccess".
    QString ProcessRequest(const QString &collectionUri, const QString &xmlText, IDocumentList &list) const;

private:
    ServerClient m_server;
};

} // namespace owb
