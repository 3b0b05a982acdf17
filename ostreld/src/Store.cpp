#include "Store.h"

#include <sqlite3.h>

namespace ostreld {

namespace {
class Stmt {
public:
    Stmt(sqlite3 *db, const char *sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_s, nullptr) != SQLITE_OK)
            throw StoreError(std::string("prepare: ") + sqlite3_errmsg(db));
    }
    ~Stmt() { sqlite3_finalize(m_s); }
    Stmt &text(int i, const std::string &v)
    {
        sqlite3_bind_text(m_s, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt &blob(int i, const std::string &v)
    {
        sqlite3_bind_blob(m_s, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt &integer(int i, long long v)
    {
        sqlite3_bind_int64(m_s, i, v);
        return *this;
    }
    bool step()
    {
        int rc = sqlite3_step(m_s);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw StoreError(std::string("step: ") + sqlite3_errmsg(sqlite3_db_handle(m_s)));
    }
    std::string col(int i) const
    {
        auto p = static_cast<const char *>(sqlite3_column_blob(m_s, i));
        return p ? std::string(p, size_t(sqlite3_column_bytes(m_s, i))) : std::string();
    }
    long long num(int i) const { return sqlite3_column_int64(m_s, i); }

private:
    sqlite3_stmt *m_s = nullptr;
};

DocRow rowFrom(const Stmt &s)
{
    DocRow r;
    r.doctype = s.col(0);
    r.id = s.num(1);
    r.ns = s.col(2);
    r.xml = s.col(3);
    r.docname = s.col(4);
    r.nonXml = s.num(5) != 0;
    return r;
}
} // namespace

Store::Store(const std::string &path, bool readOnly)
{
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        std::string msg = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError("cannot open " + path + ": " + msg);
    }
    sqlite3_busy_timeout(m_db, 5000);
    // Lookups by id should not pay a system call per page once the file outgrows the default cache.
    exec("PRAGMA cache_size=-65536");
    exec("PRAGMA mmap_size=268435456");
    if (readOnly) return;
    exec("PRAGMA journal_mode=WAL");
    // An acknowledged write must survive a kill or a power cut: sync every commit.
    exec("PRAGMA synchronous=FULL");
    exec("CREATE TABLE IF NOT EXISTS docs ("
         " db TEXT NOT NULL, coll TEXT NOT NULL, doctype TEXT NOT NULL, id INTEGER NOT NULL,"
         " ns TEXT NOT NULL DEFAULT '', xml TEXT, docname TEXT, nonxml INTEGER NOT NULL DEFAULT 0, data BLOB,"
         " PRIMARY KEY (db, coll, doctype, id))");
    exec("CREATE INDEX IF NOT EXISTS docs_by_name ON docs (db, coll, doctype, docname) WHERE docname IS NOT NULL");
    exec("CREATE TABLE IF NOT EXISTS counters ("
         " db TEXT NOT NULL, coll TEXT NOT NULL, doctype TEXT NOT NULL, last INTEGER NOT NULL,"
         " PRIMARY KEY (db, coll, doctype))");
}

Store::~Store() { sqlite3_close(m_db); }

void Store::exec(const char *sql)
{
    char *err = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        throw StoreError(std::string(sql) + ": " + msg);
    }
}

void Store::begin() { exec("BEGIN IMMEDIATE"); }
void Store::commit() { exec("COMMIT"); }
void Store::rollback() { exec("ROLLBACK"); }

bool Store::databaseEmpty(const std::string &db)
{
    Stmt s(m_db, "SELECT 1 FROM counters WHERE db=?1 LIMIT 1");
    s.text(1, db);
    return !s.step();
}

std::vector<DocRow> Store::collection(const std::string &db, const std::string &coll)
{
    Stmt s(m_db, "SELECT doctype, id, ns, xml, docname, nonxml FROM docs WHERE db=?1 AND coll=?2 ORDER BY doctype, id");
    s.text(1, db).text(2, coll);
    std::vector<DocRow> out;
    while (s.step()) out.push_back(rowFrom(s));
    return out;
}

std::vector<DocRow> Store::ofDoctype(const std::string &db, const std::string &coll, const std::string &doctype)
{
    Stmt s(m_db, "SELECT doctype, id, ns, xml, docname, nonxml FROM docs WHERE db=?1 AND coll=?2 AND doctype=?3 ORDER BY id");
    s.text(1, db).text(2, coll).text(3, doctype);
    std::vector<DocRow> out;
    while (s.step()) out.push_back(rowFrom(s));
    return out;
}

std::optional<DocRow> Store::fetch(const std::string &db, const std::string &coll, const std::string &doctype, long long id)
{
    Stmt s(m_db, "SELECT doctype, id, ns, xml, docname, nonxml FROM docs WHERE db=?1 AND coll=?2 AND doctype=?3 AND id=?4");
    s.text(1, db).text(2, coll).text(3, doctype).integer(4, id);
    if (!s.step()) return std::nullopt;
    return rowFrom(s);
}

std::optional<long long> Store::findByDocname(const std::string &db, const std::string &coll, const std::string &doctype,
                                              const std::string &docname)
{
    Stmt s(m_db, "SELECT id FROM docs WHERE db=?1 AND coll=?2 AND doctype=?3 AND docname=?4 ORDER BY id LIMIT 1");
    s.text(1, db).text(2, coll).text(3, doctype).text(4, docname);
    if (!s.step()) return std::nullopt;
    return s.num(0);
}

std::optional<std::string> Store::blob(const std::string &db, const std::string &coll, const std::string &doctype, long long id)
{
    Stmt s(m_db, "SELECT data FROM docs WHERE db=?1 AND coll=?2 AND doctype=?3 AND id=?4 AND nonxml=1");
    s.text(1, db).text(2, coll).text(3, doctype).integer(4, id);
    if (!s.step()) return std::nullopt;
    return s.col(0);
}

long long Store::nextId(const std::string &db, const std::string &coll, const std::string &doctype)
{
    Stmt up(m_db, "INSERT INTO counters (db, coll, doctype, last) VALUES (?1, ?2, ?3, 1)"
                  " ON CONFLICT (db, coll, doctype) DO UPDATE SET last = last + 1 RETURNING last");
    up.text(1, db).text(2, coll).text(3, doctype);
    if (!up.step()) throw StoreError("no id");
    long long id = up.num(0);
    while (up.step()) {}
    return id;
}

void Store::insert(const std::string &db, const std::string &coll, const DocRow &row, const std::string &data)
{
    Stmt s(m_db, "INSERT INTO docs (db, coll, doctype, id, ns, xml, docname, nonxml, data)"
                 " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    s.text(1, db).text(2, coll).text(3, row.doctype).integer(4, row.id).text(5, row.ns);
    if (row.nonXml) {
        s.text(7, row.docname).integer(8, 1).blob(9, data);
    } else {
        s.text(6, row.xml).integer(8, 0);
    }
    s.step();
}

void Store::replace(const std::string &db, const std::string &coll, const DocRow &row, const std::string &data)
{
    remove(db, coll, row.doctype, row.id);
    insert(db, coll, row, data);
}

void Store::remove(const std::string &db, const std::string &coll, const std::string &doctype, long long id)
{
    Stmt s(m_db, "DELETE FROM docs WHERE db=?1 AND coll=?2 AND doctype=?3 AND id=?4");
    s.text(1, db).text(2, coll).text(3, doctype).integer(4, id);
    s.step();
}

ReaderPool::Lease ReaderPool::take()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_free.empty()) {
            std::unique_ptr<Store> s = std::move(m_free.back());
            m_free.pop_back();
            return Lease(*this, std::move(s));
        }
    }
    return Lease(*this, std::make_unique<Store>(m_path, true));
}

void ReaderPool::giveBack(std::unique_ptr<Store> store)
{
    if (!store) return;
    std::lock_guard lock(m_mutex);
    m_free.push_back(std::move(store));
}

} // namespace ostreld
