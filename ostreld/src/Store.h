#pragma once
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace ostreld {

struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct DocRow {
    std::string doctype;  // local name of the root element
    long long id = 0;
    std::string ns;       // namespace URI of the root element, empty for none
    std::string xml;      // root element text, self-contained; empty for non-XML
    std::string docname;  // file name of a non-XML document
    bool nonXml = false;
};

// SQLite persistence. One connection: one thread at a time uses it.
class Store {
public:
    // A read-only connection expects the file to be set up by a writing one.
    explicit Store(const std::string &path, bool readOnly = false);
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    void begin();
    void commit();
    void rollback();

    bool databaseEmpty(const std::string &db);
    std::vector<DocRow> collection(const std::string &db, const std::string &coll);
    // The documents of one doctype, in id order.
    std::vector<DocRow> ofDoctype(const std::string &db, const std::string &coll, const std::string &doctype);
    std::optional<DocRow> fetch(const std::string &db, const std::string &coll, const std::string &doctype, long long id);
    std::optional<long long> findByDocname(const std::string &db, const std::string &coll, const std::string &doctype,
                                           const std::string &docname);
    std::optional<std::string> blob(const std::string &db, const std::string &coll, const std::string &doctype, long long id);

    // Takes the next id of a doctype; ids are never handed out twice, even after a delete.
    long long nextId(const std::string &db, const std::string &coll, const std::string &doctype);
    void insert(const std::string &db, const std::string &coll, const DocRow &row, const std::string &blob = {});
    void replace(const std::string &db, const std::string &coll, const DocRow &row, const std::string &blob = {});
    void remove(const std::string &db, const std::string &coll, const std::string &doctype, long long id);

private:
    void exec(const char *sql);
    sqlite3 *m_db = nullptr;
};

// Read-only connections for queries, so that they neither wait for the writer nor see its
// uncommitted changes (the file is in WAL mode).
class ReaderPool {
public:
    explicit ReaderPool(std::string path) : m_path(std::move(path)) {}

    class Lease {
    public:
        Lease(ReaderPool &pool, std::unique_ptr<Store> store) : m_pool(pool), m_store(std::move(store)) {}
        ~Lease() { m_pool.giveBack(std::move(m_store)); }
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        Store *operator->() const { return m_store.get(); }

    private:
        ReaderPool &m_pool;
        std::unique_ptr<Store> m_store;
    };
    Lease take();

private:
    void giveBack(std::unique_ptr<Store> store);
    const std::string m_path;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Store>> m_free;
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Store &s) : m_store(s) { m_store.begin(); }
    ~Transaction()
    {
        if (!m_done) {
            try { m_store.rollback(); } catch (...) {}
        }
    }
    void commit()
    {
        m_store.commit();
        m_done = true;
    }

private:
    Store &m_store;
    bool m_done = false;
};

} // namespace ostreld
