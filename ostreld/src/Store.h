#pragma once
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

// SQLite persistence. Not thread-safe: the caller serialises access.
class Store {
public:
    explicit Store(const std::string &path);
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    void begin();
    void commit();
    void rollback();

    bool databaseEmpty(const std::string &db);
    std::vector<DocRow> collection(const std::string &db, const std::string &coll);
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
