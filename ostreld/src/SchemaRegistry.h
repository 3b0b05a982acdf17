#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "Store.h"

namespace ostreld {

struct DoctypeInfo {
    bool nonXml = false;
};
using Doctypes = std::map<std::string, DoctypeInfo>;

// What a schema's osd:schemaInfo declares.
struct SchemaInfo {
    std::string collection;
    std::map<std::string, bool> doctypes; // name -> non-XML
};

// Reads xs:annotation/xs:appinfo/osd:schemaInfo below an xs:schema root; false, with why,
// when the document cannot define a collection.
bool readSchemaInfo(xmlNodePtr root, SchemaInfo &info, std::string &why);

// The doctypes of each collection as the stored schemas declare them. Readers take a view
// and keep it as long as they need; only writers, who take turns, change the registry.
class SchemaRegistry {
public:
    using Collections = std::map<std::string, std::map<std::string, Doctypes>>; // db -> collection -> doctypes

    SchemaRegistry();

    // nullptr for a collection no schema defines; the schema collection holds "schema".
    static const Doctypes *doctypes(const Collections &view, const std::string &db, const std::string &coll);
    std::shared_ptr<const Collections> view() const;
    // For writers only: the view cannot change under them.
    const Doctypes *doctypes(const std::string &db, const std::string &coll) const;

    // Rebuilds a database's collections from the rows of its schema collection; a schema
    // that does not read declares nothing.
    void reload(const std::string &db, const std::vector<DocRow> &schemaRows);

private:
    mutable std::mutex m_mutex; // held only to read or swap m_view
    std::shared_ptr<const Collections> m_view;
};

} // namespace ostreld
