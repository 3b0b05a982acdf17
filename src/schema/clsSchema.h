#pragma once
#include <QString>

#include "xml/DomDocument.h"

namespace owb {

class HttpClient;
class ServerClient;

// Fetches the schema the server keeps for one doctype of one collection (through ServerClient,
// in the words the document window shows).
class clsSchema {
public:
    // http: the client of the GET; without one the schema cannot be fetched.
    explicit clsSchema(const HttpClient *http) : m_http(http) {}

    // The xs:schema element, or a null node when the server has none for the names.
    // Throws OstrelError (source "clsChema") when the answer cannot be loaded.
    DomNode GetSchema(const QString &databaseURI, const QString &collection, const QString &doctype);
    // A schema stored for others to include or import: the one whose schema information is
    // named name, else (targetNamespace not null) the one with that target namespace; a null
    // node when there is none. Throws as GetSchema.
    DomNode FindStoredSchema(const QString &databaseURI, const QString &name, const QString &targetNamespace);
    // Whether the doctype asked for last is declared non-XML in its schema.
    bool NonXML() const { return m_nonXML; }

    // The query text (unencoded) GetSchema sends.
    static QString schemaQuery(const QString &collection, const QString &doctype);
    // An XPath string literal holding text exactly, whatever quotes it contains.
    static QString xpathLiteral(const QString &text);

private:
    ServerClient server() const;

    const HttpClient *m_http;
    bool m_nonXML = false;
};

} // namespace owb
