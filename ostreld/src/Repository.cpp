#include "Repository.h"

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "Envelope.h"
#include "Names.h"
#include "RepositoryAnswers.h"

namespace ostreld {

namespace fs = std::filesystem;
using namespace answers;

Repository::Repository(const std::string &dataFile, const std::vector<std::string> &databases,
                       std::chrono::milliseconds queryLimit)
    : m_store(dataFile), m_readers(dataFile), m_databases(databases.begin(), databases.end()), m_budget(queryLimit)
{
    xml::initialise();
    for (auto &db : m_databases) reloadSchemas(db);
}

Repository::~Repository() = default;

bool Repository::hasDatabase(const std::string &db) const
{
    return m_databases.count(db) != 0;
}

void Repository::stopQueries()
{
    m_budget.stopAll();
}

void Repository::reloadSchemas(const std::string &db)
{
    m_schemas.reload(db, m_store.collection(db, kSchemaCollection));
}

// ---- snapshots ----

std::shared_ptr<Snapshot> Repository::snapshot(const std::string &db, const std::string &coll)
{
    const CollKey key{db, coll};
    unsigned long long generation = 0;
    {
        std::lock_guard lock(m_stateMutex);
        auto it = m_snapshots.find(key);
        if (it != m_snapshots.end()) return it->second;
        generation = m_generations[key];
    }
    std::shared_ptr<Snapshot> built = Snapshot::build(m_readers.take()->collection(db, coll), coll);
    std::lock_guard lock(m_stateMutex);
    // A commit since the read may be missing from it: then it serves this query only.
    if (m_generations[key] == generation) m_snapshots.emplace(key, built);
    return built;
}

void Repository::changed(const std::string &db, const std::string &coll, const std::function<bool(Snapshot &)> &apply)
{
    const CollKey key{db, coll};
    std::lock_guard lock(m_stateMutex);
    ++m_generations[key];
    auto it = m_snapshots.find(key);
    if (it == m_snapshots.end()) return;
    // New holders come only through m_stateMutex; the fence pairs with the release of the
    // last other holder, whose reads of the tree then come before these changes.
    if (it->second.use_count() == 1) {
        std::atomic_thread_fence(std::memory_order_acquire);
        if (apply(*it->second)) return;
    }
    m_snapshots.erase(it); // a query still reads it: the next one builds a fresh one
}

// ---- selection ----

Selection Repository::select(const std::string &db, const std::string &coll, const std::string &xpath,
                             const ClientGone &clientGone, bool wantTexts)
{
    if (auto refused = refuseUnreadable(xpath)) return std::move(*refused);
    if (auto fromRows = selectFromRows(m_readers, db, coll, xpath, wantTexts)) return std::move(*fromRows);
    return selectInSnapshot(*snapshot(db, coll), xpath, m_budget, clientGone, wantTexts);
}

// ---- reads ----

Outcome Repository::query(const std::string &db, const std::string &coll, const std::string &xpath,
                          const ClientGone &clientGone)
{
    xml::initialise();
    if (!SchemaRegistry::doctypes(*m_schemas.view(), db, coll)) return noCollection(db, coll);
    Selection sel = select(db, coll, xpath, clientGone, true);
    if (sel.code) return answer(envelope::query(xpath) + envelope::failure(sel.code, sel.message));

    // Built in one buffer: an answer may hold documents of hundreds of megabytes.
    const std::string before = envelope::query(xpath) + "<xql:result>";
    const std::string after = "</xql:result>" + envelope::ok(envelope::count(sel.keys.size(), "document"));
    Outcome o;
    o.body = envelope::head();
    size_t size = o.body.size() + before.size() + after.size() + envelope::tail().size();
    for (const std::string &t : sel.texts) size += t.size();
    o.body.reserve(size);
    o.body += before;
    for (std::string &t : sel.texts) {
        o.body += t;
        std::string().swap(t);
    }
    o.body += after;
    o.body += envelope::tail();
    return o;
}

Outcome Repository::file(const std::string &db, const std::string &coll, const std::string &doctype,
                         const std::string &fileName)
{
    if (!SchemaRegistry::doctypes(*m_schemas.view(), db, coll)) return noCollection(db, coll);
    std::optional<std::string> bytes;
    {
        auto reader = m_readers.take();
        auto id = reader->findByDocname(db, coll, doctype, fileName);
        if (id) bytes = reader->blob(db, coll, doctype, *id);
    }
    if (!bytes) return fail(NotFound, "No file " + fileName + " in " + coll + "/" + doctype, 404);
    Outcome o;
    o.body = std::move(*bytes);
    std::string ext = fs::path(fileName).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    static const std::map<std::string, std::string> types{
        {".png", "image/png"}, {".gif", "image/gif"}, {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"},
        {".svg", "image/svg+xml"}, {".pdf", "application/pdf"}, {".txt", "text/plain"}};
    auto t = types.find(ext);
    o.contentType = t == types.end() ? "application/octet-stream" : t->second;
    return o;
}

} // namespace ostreld
