#pragma once
#include "server/DoctypeRef.h"

#include <QString>

namespace owb {

// The database, collection and doctype a document window works on, set once, and the queries
// built from them.
class DocumentTarget {
public:
    // Acts only while no target is set.
    void setDoctype(const DoctypeRef &doctype);
    // uri: the window's opening URI (DoctypeRef::openingUri). Acts only while no target is set;
    // throws OstrelError on a URI without the query marker or without a collection.
    void ParseOstrelURI(const QString &uri);
    bool isSet() const { return !m_ref.isNull(); }

    const DoctypeRef &doctype() const { return m_ref; }
    QString DatabaseURI() const { return m_ref.databaseUri; }
    QString CollectionURI() const { return isSet() ? m_ref.collectionUri() : QString(); }
    QString CollectionName() const { return m_ref.collection; }
    QString DoctypeName() const { return m_ref.doctype; }

    // The doctype's XPath with the trimmed filter in brackets (none when it is blank).
    QString query(const QString &filter) const;
    // The query of the doctype, unencoded, as the user reads it.
    QString BuildQueryURI(const QString &filter) const;
    // The same query as it is sent: the query part percent-encoded, so that the server sees
    // exactly what was typed.
    QString queryUrl(const QString &filter) const;

private:
    DoctypeRef m_ref;
};

} // namespace owb
