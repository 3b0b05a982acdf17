#pragma once
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "QueryBudget.h"
#include "SchemaRegistry.h"
#include "Selection.h"
#include "Snapshot.h"
#include "Store.h"

namespace ostreld {

struct Outcome {
    int status = 200;
    std::string body;
    std::string contentType = "text/xml; charset=UTF-8";
    bool challenge = false; // asks for Basic credentials
};

// Databases, their schemas and documents; every public call is atomic and thread-safe.
// Writes take turns; queries run beside them and beside each other on snapshots.
class Repository {
public:
    Repository(const std::string &dataFile, const std::vector<std::string> &databases,
               std::chrono::milliseconds queryLimit = std::chrono::seconds(5));
    ~Repository();

    bool hasDatabase(const std::string &db) const;

    Outcome query(const std::string &db, const std::string &coll, const std::string &xpath,
                  const ClientGone &clientGone = {});
    Outcome process(const std::string &db, const std::string &coll, std::string_view xmlText);
    Outcome remove(const std::string &db, const std::string &coll, const std::string &xpath,
                   const ClientGone &clientGone = {});
    Outcome put(const std::string &db, const std::string &coll, const std::string &doctype, const std::string &fileName,
                const std::string &bytes);
    Outcome file(const std::string &db, const std::string &coll, const std::string &doctype, const std::string &fileName);

    // Loads a seed folder (schemas/*.xsd, collections/<collection>/*.xml,
    // collections/<collection>/<doctype>/<file>) into a database that has never held
    // anything; returns the number of documents loaded (0 when the database was not
    // empty). Throws on a bad file; then nothing of the seed is stored.
    size_t seed(const std::string &db, const std::string &dir);

    // Stops every running query and every later one; writes go on.
    void stopQueries();

private:
    using CollKey = std::pair<std::string, std::string>;

    Selection select(const std::string &db, const std::string &coll, const std::string &xpath,
                     const ClientGone &clientGone, bool wantTexts);
    std::shared_ptr<Snapshot> snapshot(const std::string &db, const std::string &coll);
    // After a commit: brings the collection's snapshot up to date, or lets it go.
    void changed(const std::string &db, const std::string &coll, const std::function<bool(Snapshot &)> &apply);
    // After a write to the schema collection, under m_writeMutex.
    void reloadSchemas(const std::string &db);

    std::mutex m_writeMutex;
    Store m_store; // the writers' connection
    ReaderPool m_readers;
    const std::set<std::string> m_databases;
    QueryBudget m_budget;
    SchemaRegistry m_schemas; // changes only under m_writeMutex

    mutable std::mutex m_stateMutex; // held only to read or swap the members below
    std::map<CollKey, std::shared_ptr<Snapshot>> m_snapshots;
    std::map<CollKey, unsigned long long> m_generations; // commits per collection
};

} // namespace ostreld
