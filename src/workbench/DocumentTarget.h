#pragma once
#include <QString>

namespace owb {

// The database, collection and doctype a document window works on, taken once from its
// opening URI, and the queries built from them.
class DocumentTarget {
public:
    // uri: database URI + "/" + collection + "?_xql=" + doctype. Acts only while no target is
    // set; throws OstrelError on a URI without "?_xql=" or without a collection.
    void ParseOstrelURI(const QString &uri);
    bool isSet() const { return !m_databaseURI.isEmpty(); }

    QString DatabaseURI() const { return m_databaseURI; }
    QString CollectionURI() const { return m_collectionURI; }
    QString CollectionName() const { return m_collectionName; }
    QString DoctypeName() const { return m_doctypeName; }

    // The query of the doctype with the trimmed filter in brackets (none when it is blank),
    // unencoded, as the user reads it.
    QString BuildQueryURI(const QString &filter) const;
    // The same query as it is sent: the query part percent-encoded, so that the server sees
    // exactly what was typed.
    QString queryUrl(const QString &filter) const;

private:
    QString query(const QString &filter) const;

    QString m_databaseURI;
    QString m_collectionURI;
    QString m_collectionName;
    QString m_doctypeName;
};

} // namespace owb
