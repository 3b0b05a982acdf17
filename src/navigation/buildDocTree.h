#pragma once
#include <QString>
#include <QStringList>
#include <memory>

namespace owb {

class DomDocument;
class HttpClient;
class IDocTree;

// Fills a tree with the collections and doctypes that a database's schemas declare.
class buildDocTree {
public:
    // Loads AppPaths::dataFile("xsl/sortschema.xsl"); throws OstrelError (source
    // "buildDocTree") when it is missing or malformed.
    explicit buildDocTree(const HttpClient &http);
    ~buildDocTree();

    // Rebuilds tree from the schema information of databaseURI. Throws OstrelError (source
    // "buildDoc", number 0x80040001) when the answer cannot be loaded, holds no result or no
    // doctype ("Database is empty"; the root stays), and on a repeated node key; nodes added
    // before a failure stay.
    void buildTree(const QString &databaseURI, IDocTree &tree);

    // The URL of the schema-information query of databaseURI.
    static QString schemaInfoUrl(const QString &databaseURI);
    // The stylesheet's output for one answer: the entries' names, in order.
    QStringList sortedEntries(const DomDocument &answer) const;
    // Adds the root and, for each "collection/doctype" name, its collection (when new) and
    // doctype nodes. Empty names are skipped; a repeated key throws. Returns the number of
    // doctype nodes added.
    static int fillTree(const QStringList &names, IDocTree &tree);

private:
    struct Impl;
    const HttpClient &m_http;
    std::unique_ptr<Impl> d;
};

} // namespace owb
