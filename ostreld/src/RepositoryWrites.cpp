#include "Repository.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "RepositoryAnswers.h"
#include "Storing.h"
#include "Text.h"

namespace ostreld {

namespace fs = std::filesystem;
using namespace answers;

namespace {

std::string readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<fs::path> sortedEntries(const fs::path &dir, bool directories)
{
    std::vector<fs::path> out;
    if (!fs::is_directory(dir)) return out;
    for (auto &e : fs::directory_iterator(dir))
        if (directories ? e.is_directory() : e.is_regular_file()) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

// ---- writes ----

Outcome Repository::process(const std::string &db, const std::string &coll, std::string_view xmlText)
{
    xml::initialise();
    std::lock_guard lock(m_writeMutex);
    const Doctypes *types = m_schemas.doctypes(db, coll);
    if (!types) return noCollection(db, coll);
    Transaction tx(m_store);
    Stored st = storeXml(m_store, db, coll, *types, xmlText, false);
    if (st.code) return fail(st.code, st.message);
    tx.commit();
    changed(db, coll, [&](Snapshot &s) { return s.store(st.row); });
    if (coll == kSchemaCollection) reloadSchemas(db);
    return answer(envelope::object(coll, st.doctype, st.id)
                  + envelope::ok(std::string(st.inserted ? "Document inserted" : "Document replaced") + ": "
                                 + st.doctype + " osl:id=" + std::to_string(st.id)));
}

Outcome Repository::remove(const std::string &db, const std::string &coll, const std::string &xpath,
                           const ClientGone &clientGone)
{
    xml::initialise();
    std::lock_guard lock(m_writeMutex);
    if (!m_schemas.doctypes(db, coll)) return noCollection(db, coll);
    Selection sel = select(db, coll, xpath, clientGone, false);
    if (sel.code) return fail(sel.code, sel.message);
    Transaction tx(m_store);
    for (const DocKey &k : sel.keys) m_store.remove(db, coll, k.first, k.second);
    tx.commit();
    changed(db, coll, [&](Snapshot &s) {
        for (const DocKey &k : sel.keys) s.remove(k);
        return true;
    });
    if (coll == kSchemaCollection) reloadSchemas(db);
    return answer(envelope::ok(envelope::count(sel.keys.size(), "document") + " deleted"));
}

Outcome Repository::put(const std::string &db, const std::string &coll, const std::string &doctype,
                        const std::string &fileName, const std::string &bytes)
{
    xml::initialise();
    std::lock_guard lock(m_writeMutex);
    const Doctypes *types = m_schemas.doctypes(db, coll);
    if (!types) return noCollection(db, coll);
    auto t = types->find(doctype);
    if (t == types->end())
        return fail(UnknownDoctype, "The collection " + coll + " has no doctype " + doctype, 404);
    if (!t->second.nonXml)
        return fail(NonXmlRefused, "The doctype " + doctype + " holds XML documents and takes no files", 409);
    if (fileName.empty() || fileName.find('/') != std::string::npos || fileName == "." || fileName == "..")
        return fail(NoFileName, "A file needs a name: PUT " + coll + "/" + doctype + "/NAME", 400);
    if (!text::isValidUtf8(fileName)) return fail(NoFileName, "The file name is not valid UTF-8", 400);

    Transaction tx(m_store);
    Stored st = storeFile(m_store, db, coll, doctype, fileName, bytes);
    tx.commit();
    changed(db, coll, [&](Snapshot &s) { return s.store(st.row); });
    Outcome o = answer(envelope::object(coll, doctype, st.id)
                       + envelope::ok("File " + fileName + " stored: " + doctype + " osl:id=" + std::to_string(st.id)),
                       st.inserted ? 201 : 200);
    return o;
}

size_t Repository::seed(const std::string &db, const std::string &dirName)
{
    xml::initialise();
    std::lock_guard lock(m_writeMutex);
    const fs::path dir(dirName);
    if (!fs::is_directory(dir)) throw std::runtime_error("seed folder " + dirName + " does not exist");
    if (!m_store.databaseEmpty(db)) return 0;

    size_t count = 0;
    Transaction tx(m_store);
    const Doctypes &schemaTypes = *m_schemas.doctypes(db, kSchemaCollection);
    auto check = [](const Stored &st, const fs::path &p) {
        if (st.code) throw std::runtime_error(p.string() + ": " + st.message);
    };
    try {
        for (const fs::path &p : sortedEntries(dir / "schemas", false)) {
            if (p.extension() != ".xsd") continue;
            check(storeXml(m_store, db, kSchemaCollection, schemaTypes, readFile(p), true), p);
            ++count;
            // Later files of this seed are checked against the schemas read so far.
            reloadSchemas(db);
        }
        for (const fs::path &collDir : sortedEntries(dir / "collections", true)) {
            const std::string coll = collDir.filename().string();
            const Doctypes *types = m_schemas.doctypes(db, coll);
            if (!types) throw std::runtime_error(collDir.string() + ": no schema defines the collection " + coll);
            for (const fs::path &p : sortedEntries(collDir, false)) {
                if (p.extension() != ".xml") continue;
                check(storeXml(m_store, db, coll, *types, readFile(p), true), p);
                ++count;
            }
            for (const fs::path &typeDir : sortedEntries(collDir, true)) {
                const std::string doctype = typeDir.filename().string();
                auto t = types->find(doctype);
                if (t == types->end() || !t->second.nonXml)
                    throw std::runtime_error(typeDir.string() + ": " + doctype + " is no non-XML doctype of " + coll);
                for (const fs::path &p : sortedEntries(typeDir, false)) {
                    storeFile(m_store, db, coll, doctype, p.filename().string(), readFile(p));
                    ++count;
                }
            }
        }
        tx.commit();
    } catch (...) {
        reloadSchemas(db);
        throw;
    }
    {
        std::lock_guard state(m_stateMutex);
        for (auto it = m_snapshots.begin(); it != m_snapshots.end();)
            it = it->first.first == db ? m_snapshots.erase(it) : std::next(it);
        for (auto &[key, generation] : m_generations)
            if (key.first == db) ++generation;
    }
    reloadSchemas(db);
    return count;
}

} // namespace ostreld
