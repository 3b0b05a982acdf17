#pragma once
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Store.h"
#include "Xml.h"

namespace ostreld {

struct Outcome {
    int status = 200;
    std::string body;
    std::string contentType = "text/xml; charset=UTF-8";
};

// Databases, their schemas and documents; every public call is atomic and thread-safe.
class Repository {
public:
    Repository(const std::string &dataFile, const std::vector<std::string> &databases);
    ~Repository();

    bool hasDatabase(const std::string &db) const;

    Outcome query(const std::string &db, const std::string &coll, const std::string &xpath);
    Outcome process(const std::string &db, const std::string &coll, std::string_view xmlText);
    Outcome remove(const std::string &db, const std::string &coll, const std::string &xpath);
    Outcome put(const std::string &db, const std::string &coll, const std::string &doctype, const std::string &fileName,
                const std::string &bytes);
    Outcome file(const std::string &db, const std::string &coll, const std::string &doctype, const std::string &fileName);

    // Loads a seed folder (schemas/*.xsd, collections/<collection>/*.xml,
    // collections/<collection>/<doctype>/<file>) into a database that has never held
    // anything; returns the number of documents loaded (0 when the database was not
    // empty). Throws on a bad file; then nothing of the seed is stored.
    size_t seed(const std::string &db, const std::string &dir);

    // Stores many documents of one collection in a single transaction (bulk loading).
    void storeMany(const std::string &db, const std::string &coll, const std::vector<std::string> &texts);

private:
    struct DoctypeInfo {
        bool nonXml = false;
    };
    using Doctypes = std::map<std::string, DoctypeInfo>;
    using Key = std::pair<std::string, long long>; // doctype, id
    struct Entry {
        xmlNodePtr node = nullptr;
        std::string text; // as it goes into xql:result
    };
    struct Cache {
        xml::DocPtr doc;
        xmlNodePtr wrapper = nullptr;
        std::map<Key, Entry> entries;
        std::unordered_map<xmlNodePtr, Key> byNode;
    };
    struct Stored {
        int code = 0;
        std::string message;
        std::string doctype;
        long long id = 0;
        bool inserted = false;
        DocRow row;
    };
    struct Selection {
        int code = 0;
        std::string message;
        std::vector<Key> keys;
    };

    const Doctypes *doctypes(const std::string &db, const std::string &coll) const;
    Stored storeXml(const std::string &db, const std::string &coll, std::string_view text, bool fromFile);
    Stored storeFile(const std::string &db, const std::string &coll, const std::string &doctype,
                     const std::string &fileName, const std::string &bytes);
    Selection select(const std::string &db, const std::string &coll, const std::string &xpath);
    Cache &cache(const std::string &db, const std::string &coll);
    void cacheStore(const std::string &db, const std::string &coll, const DocRow &row);
    void cacheRemove(const std::string &db, const std::string &coll, const Key &key);
    void reloadSchemas(const std::string &db);

    mutable std::mutex m_mutex;
    Store m_store;
    std::set<std::string> m_databases;
    std::map<std::string, std::map<std::string, Doctypes>> m_schemas; // db -> collection -> doctypes
    std::map<std::pair<std::string, std::string>, Cache> m_caches;
};

} // namespace ostreld
