#include "Repository.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include "common/XmlLimits.h"

#include "Envelope.h"
#include "Names.h"
#include "Text.h"

namespace ostreld {

namespace fs = std::filesystem;

namespace {

const std::pair<const char *, const char *> kPrefixes[] = {
    {"osl", kOslUri}, {"osd", kOsdUri}, {"xql", kXqlUri}, {"xs", kXsUri}};

const char *prefixUri(const std::string &prefix)
{
    for (auto &[p, uri] : kPrefixes)
        if (prefix == p) return uri;
    return nullptr;
}

bool isElement(xmlNodePtr n, const char *ns, const char *name)
{
    return n && n->type == XML_ELEMENT_NODE && xml::localName(n) == name && xml::nsUri(n) == ns;
}

struct SchemaInfo {
    std::string collection;
    std::map<std::string, bool> doctypes; // name -> non-XML
};

// Finds xs:annotation/xs:appinfo/osd:schemaInfo below an xs:schema root.
bool readSchemaInfo(xmlNodePtr root, SchemaInfo &info, std::string &why)
{
    if (!isElement(root, kXsUri, "schema")) {
        why = "A schema document must have the root element xs:schema";
        return false;
    }
    xmlNodePtr found = nullptr;
    for (xmlNodePtr a = root->children; a && !found; a = a->next) {
        if (!isElement(a, kXsUri, "annotation")) continue;
        for (xmlNodePtr b = a->children; b && !found; b = b->next) {
            if (!isElement(b, kXsUri, "appinfo")) continue;
            for (xmlNodePtr c = b->children; c && !found; c = c->next)
                if (isElement(c, kOsdUri, "schemaInfo")) found = c;
        }
    }
    if (!found) {
        why = "The schema has no xs:annotation/xs:appinfo/osd:schemaInfo element";
        return false;
    }
    for (xmlNodePtr c = found->children; c; c = c->next) {
        std::string name;
        if (isElement(c, kOsdUri, "collection")) {
            xml::attribute(c, "name", nullptr, name);
            info.collection = name;
        } else if (isElement(c, kOsdUri, "doctype")) {
            xml::attribute(c, "name", nullptr, name);
            if (!xml::isNCName(name)) {
                why = "The doctype name '" + name + "' is not a valid element name";
                return false;
            }
            bool nonXml = false;
            for (xmlNodePtr d = c->children; d; d = d->next)
                if (isElement(d, kOsdUri, "nonXML")) nonXml = true;
            info.doctypes[name] = nonXml;
        }
    }
    if (info.collection.empty()) {
        why = "The schema names no collection (osd:collection/@name)";
        return false;
    }
    if (info.collection == kSchemaCollection || info.collection.find_first_of("/?#%") != std::string::npos
        || info.collection.find_first_not_of(" \t\r\n") == std::string::npos) {
        why = "'" + info.collection + "' cannot be a collection name";
        return false;
    }
    return true;
}

bool hasEntityReference(xmlNodePtr n)
{
    for (; n; n = n->next) {
        if (n->type == XML_ENTITY_REF_NODE) return true;
        if (n->type == XML_ELEMENT_NODE && hasEntityReference(n->children)) return true;
    }
    return false;
}

Outcome answer(std::string_view children, int status = 200)
{
    Outcome o;
    o.status = status;
    o.body = envelope::wrap(children);
    return o;
}

Outcome fail(int code, std::string_view reason, int status = 200)
{
    return answer(envelope::failure(code, reason), status);
}

Outcome noCollection(const std::string &db, const std::string &coll)
{
    return fail(NotFound, "Collection " + coll + " does not exist in database " + db, 404);
}

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

Repository::Repository(const std::string &dataFile, const std::vector<std::string> &databases,
                       std::chrono::milliseconds queryLimit)
    : m_store(dataFile), m_readers(dataFile), m_databases(databases.begin(), databases.end()), m_budget(queryLimit),
      m_schemas(std::make_shared<Schemas>())
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

const Repository::Doctypes *Repository::doctypes(const Schemas &schemas, const std::string &db, const std::string &coll)
{
    static const Doctypes schemaDoctypes{{"schema", DoctypeInfo{}}};
    if (coll == kSchemaCollection) return &schemaDoctypes;
    auto d = schemas.find(db);
    if (d == schemas.end()) return nullptr;
    auto c = d->second.find(coll);
    return c == d->second.end() ? nullptr : &c->second;
}

const Repository::Doctypes *Repository::doctypes(const std::string &db, const std::string &coll) const
{
    return doctypes(*m_schemas, db, coll);
}

std::shared_ptr<const Repository::Schemas> Repository::schemas() const
{
    std::lock_guard lock(m_stateMutex);
    return m_schemas;
}

void Repository::reloadSchemas(const std::string &db)
{
    auto next = std::make_shared<Schemas>(*m_schemas);
    auto &collections = (*next)[db];
    collections.clear();
    for (const DocRow &row : m_store.collection(db, kSchemaCollection)) {
        xml::Parsed p = xml::parse(row.xml);
        SchemaInfo info;
        std::string why;
        if (!p.doc || !readSchemaInfo(xmlDocGetRootElement(p.doc.get()), info, why)) continue;
        auto &types = collections[info.collection];
        for (auto &[name, nonXml] : info.doctypes) types[name].nonXml = nonXml;
    }
    std::lock_guard lock(m_stateMutex);
    m_schemas = std::move(next);
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

Repository::Selection Repository::select(const std::string &db, const std::string &coll, const std::string &xpath,
                                         const ClientGone &clientGone, bool wantTexts)
{
    Selection sel;
    if (xpath.find('\0') != std::string::npos || !text::isValidUtf8(xpath)) {
        sel.code = BadXPath;
        sel.message = "The XPath expression is not valid text";
        return sel;
    }

    // Doctype[@osl:id=N]: straight to the primary key instead of scanning the collection.
    static const std::regex byId(
        R"re(^\s*(?:([A-Za-z_][A-Za-z0-9_.\-]*):)?([A-Za-z_][A-Za-z0-9_.\-]*)\s*\[\s*@osl:id\s*=\s*(?:([0-9]{1,10})|'([0-9]{1,10})'|"([0-9]{1,10})")\s*\]\s*$)re");
    std::smatch m;
    if (std::regex_match(xpath, m, byId)) {
        const char *uri = m[1].matched ? prefixUri(m[1].str()) : "";
        std::string digits = m[3].matched ? m[3].str() : m[4].matched ? m[4].str() : m[5].str();
        // A quoted value compares as a string: only the canonical spelling can match.
        bool canonical = m[3].matched || digits[0] != '0';
        auto id = text::parseId(digits);
        if (uri && canonical) {
            if (id) {
                auto row = m_readers.take()->fetch(db, coll, m[2].str(), *id);
                if (row && row->ns == uri) {
                    sel.keys.emplace_back(row->doctype, row->id);
                    if (wantTexts) sel.texts.push_back(resultText(std::move(*row)));
                }
            }
            return sel;
        }
    }
    // A bare doctype name lists every document of it: the rows are all it needs, and a
    // collection of big documents need not be parsed for it.
    static const std::regex byName(R"re(^\s*(?:([A-Za-z_][A-Za-z0-9_.\-]*):)?([A-Za-z_][A-Za-z0-9_.\-]*)\s*$)re");
    if (std::regex_match(xpath, m, byName)) {
        if (const char *uri = m[1].matched ? prefixUri(m[1].str()) : "") {
            for (DocRow &row : m_readers.take()->ofDoctype(db, coll, m[2].str())) {
                if (row.ns != uri) continue;
                sel.keys.emplace_back(row.doctype, row.id);
                if (wantTexts) sel.texts.push_back(resultText(std::move(row)));
            }
            return sel;
        }
    }

    std::shared_ptr<Snapshot> c = snapshot(db, coll);
    xmlXPathContextPtr ctx = xmlXPathNewContext(c->doc.get());
    for (auto &[p, uri] : kPrefixes) xmlXPathRegisterNs(ctx, BAD_CAST p, BAD_CAST uri);
    ctx->node = c->wrapper;
    // libxml2 keeps the message only in the thread's last error; the context has the offset.
    auto reason = [&](const char *fallback) {
        const xmlError *e = xmlGetLastError();
        std::string r = e && e->message ? e->message : fallback;
        while (!r.empty() && (r.back() == '\n' || r.back() == ' ')) r.pop_back();
        if (ctx->lastError.str1) r += " at character " + std::to_string(ctx->lastError.int1 + 1);
        return r;
    };
    xmlResetLastError();
    xmlXPathCompExprPtr comp = xmlXPathCtxtCompile(ctx, BAD_CAST xpath.c_str());
    if (!comp) {
        sel.code = BadXPath;
        sel.message = "Invalid XPath expression " + xpath + ": " + reason("syntax error");
        xmlXPathFreeContext(ctx);
        return sel;
    }
    xmlXPathObjectPtr obj = nullptr;
    StopReason stopped = StopReason::None;
    {
        QueryBudget::Watch watch(m_budget, ctx, clientGone);
        obj = xmlXPathCompiledEval(comp, ctx);
        stopped = watch.reason();
    }
    if (stopped != StopReason::None) {
        const auto ms = m_budget.limit().count();
        sel.code = QueryLimit;
        sel.message = stopped == StopReason::TimeUp
                          ? "The query was stopped: it ran longer than the query limit of "
                                + (ms % 1000 ? std::to_string(ms) + " ms" : std::to_string(ms / 1000) + " s")
                          : std::string("The query was stopped: the server is shutting down or its client has gone");
    } else if (!obj) {
        if (ctx->lastError.code == XML_XPATH_UNDEF_PREFIX_ERROR) {
            sel.code = UnknownPrefix;
            sel.message = "Unknown namespace prefix in " + xpath + " (bound prefixes: osl, osd, xql, xs)";
        } else {
            sel.code = BadXPath;
            sel.message = "Invalid XPath expression " + xpath + ": " + reason("evaluation failed");
        }
    } else if (obj->type != XPATH_NODESET) {
        sel.code = NotNodeSet;
        sel.message = "The expression " + xpath + " gives a value, not a set of nodes";
    } else if (obj->nodesetval) {
        std::set<DocKey> seen;
        for (int i = 0; i < obj->nodesetval->nodeNr; ++i) {
            xmlNodePtr n = obj->nodesetval->nodeTab[i];
            if (n->type == XML_NAMESPACE_DECL) n = reinterpret_cast<xmlNodePtr>(reinterpret_cast<xmlNsPtr>(n)->next);
            while (n && n->parent != c->wrapper) n = n->parent;
            if (!n) continue;
            auto k = c->byNode.find(n);
            if (k != c->byNode.end() && seen.insert(k->second).second) sel.keys.push_back(k->second);
        }
        std::sort(sel.keys.begin(), sel.keys.end());
        if (wantTexts)
            for (const DocKey &k : sel.keys) sel.texts.push_back(c->entries.at(k).text);
    }
    if (obj) xmlXPathFreeObject(obj);
    xmlXPathFreeCompExpr(comp);
    xmlXPathFreeContext(ctx);
    return sel;
}

// ---- requests ----

Outcome Repository::query(const std::string &db, const std::string &coll, const std::string &xpath,
                          const ClientGone &clientGone)
{
    xml::initialise();
    if (!doctypes(*schemas(), db, coll)) return noCollection(db, coll);
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

Repository::Stored Repository::storeXml(const std::string &db, const std::string &coll, std::string_view textIn,
                                        bool fromFile)
{
    Stored st;
    const Doctypes *types = doctypes(db, coll);
    xml::Parsed p = xml::parse(textIn, !fromFile, owb::xmllimits::MaxDepth);
    if (p.tooDeep) {
        st.code = TooDeep;
        st.message = "The document nests elements deeper than " + std::to_string(owb::xmllimits::MaxDepth)
                     + " levels, the most that is accepted";
        return st;
    }
    if (p.entityUsed) {
        st.code = EntityRefused;
        st.message = "The document refers to entities of a document type declaration; only the predefined "
                     "entities and character references are accepted";
        return st;
    }
    if (!p.doc) {
        st.code = NotWellFormed;
        st.message = "The document is not well-formed: " + p.error;
        return st;
    }
    xmlDocPtr doc = p.doc.get();
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (hasEntityReference(root)) {
        st.code = EntityRefused;
        st.message = "The document refers to entities of a document type declaration; only the predefined "
                     "entities and character references are accepted";
        return st;
    }
    // Only the root element is stored: a document type declaration would have no place in an answer.
    if (xmlDtdPtr dtd = xmlGetIntSubset(doc)) {
        xmlUnlinkNode(reinterpret_cast<xmlNodePtr>(dtd));
        xmlFreeDtd(dtd);
    }

    const std::string name = xml::localName(root);
    if (coll == kSchemaCollection) {
        SchemaInfo info;
        std::string why;
        if (!readSchemaInfo(root, info, why)) {
            st.code = BadSchema;
            st.message = why;
            return st;
        }
    } else {
        auto t = types->find(name);
        if (t == types->end()) {
            st.code = UnknownDoctype;
            st.message = "The collection " + coll + " has no doctype " + name;
            return st;
        }
        if (t->second.nonXml) {
            st.code = NonXmlRefused;
            st.message = "The doctype " + name + " holds non-XML files; store them with PUT";
            return st;
        }
    }

    long long id = 0;
    xmlAttrPtr idAttr = xmlHasNsProp(root, BAD_CAST "id", BAD_CAST kOslUri);
    if (idAttr && fromFile) {
        // Seed files are always new documents.
        xmlRemoveProp(idAttr);
        idAttr = nullptr;
    }
    if (idAttr) {
        std::string value;
        xml::attribute(root, "id", kOslUri, value);
        auto parsed = text::parseId(value);
        if (!parsed) {
            st.code = BadId;
            st.message = "osl:id=\"" + value + "\" is not a document id (a whole number from 1 up)";
            return st;
        }
        auto existing = m_store.fetch(db, coll, name, *parsed);
        if (!existing || existing->nonXml) {
            st.code = IdNotStored;
            st.message = "There is no document " + name + " with osl:id=" + value + " to replace";
            return st;
        }
        id = *parsed;
    } else {
        id = m_store.nextId(db, coll, name);
        st.inserted = true;
        xmlNsPtr ns = xmlSearchNsByHref(doc, root, BAD_CAST kOslUri);
        for (int i = 0; !ns && i < 100; ++i) {
            std::string prefix = i == 0 ? "osl" : "osl" + std::to_string(i);
            ns = xmlNewNs(root, BAD_CAST kOslUri, BAD_CAST prefix.c_str());
        }
        xmlSetNsProp(root, ns, BAD_CAST "id", BAD_CAST std::to_string(id).c_str());
    }

    st.doctype = name;
    st.id = id;
    st.row.doctype = name;
    st.row.id = id;
    st.row.ns = xml::nsUri(root);
    st.row.xml = xml::serialize(root);
    if (st.inserted)
        m_store.insert(db, coll, st.row);
    else
        m_store.replace(db, coll, st.row);
    return st;
}

Repository::Stored Repository::storeFile(const std::string &db, const std::string &coll, const std::string &doctype,
                                         const std::string &fileName, const std::string &bytes)
{
    Stored st;
    st.doctype = doctype;
    st.row.doctype = doctype;
    st.row.nonXml = true;
    st.row.docname = fileName;
    // Storing a file under a name it already has replaces it and keeps its id.
    if (auto existing = m_store.findByDocname(db, coll, doctype, fileName)) {
        st.id = *existing;
        st.row.id = st.id;
        m_store.replace(db, coll, st.row, bytes);
    } else {
        st.id = m_store.nextId(db, coll, doctype);
        st.row.id = st.id;
        st.inserted = true;
        m_store.insert(db, coll, st.row, bytes);
    }
    return st;
}

Outcome Repository::process(const std::string &db, const std::string &coll, std::string_view xmlText)
{
    xml::initialise();
    std::lock_guard lock(m_writeMutex);
    if (!doctypes(db, coll)) return noCollection(db, coll);
    Transaction tx(m_store);
    Stored st = storeXml(db, coll, xmlText, false);
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
    if (!doctypes(db, coll)) return noCollection(db, coll);
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
    const Doctypes *types = doctypes(db, coll);
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
    Stored st = storeFile(db, coll, doctype, fileName, bytes);
    tx.commit();
    changed(db, coll, [&](Snapshot &s) { return s.store(st.row); });
    Outcome o = answer(envelope::object(coll, doctype, st.id)
                       + envelope::ok("File " + fileName + " stored: " + doctype + " osl:id=" + std::to_string(st.id)),
                       st.inserted ? 201 : 200);
    return o;
}

Outcome Repository::file(const std::string &db, const std::string &coll, const std::string &doctype,
                         const std::string &fileName)
{
    if (!doctypes(*schemas(), db, coll)) return noCollection(db, coll);
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

size_t Repository::seed(const std::string &db, const std::string &dirName)
{
    xml::initialise();
    std::lock_guard lock(m_writeMutex);
    const fs::path dir(dirName);
    if (!fs::is_directory(dir)) throw std::runtime_error("seed folder " + dirName + " does not exist");
    if (!m_store.databaseEmpty(db)) return 0;

    size_t count = 0;
    Transaction tx(m_store);
    auto check = [](const Stored &st, const fs::path &p) {
        if (st.code) throw std::runtime_error(p.string() + ": " + st.message);
    };
    try {
        for (const fs::path &p : sortedEntries(dir / "schemas", false)) {
            if (p.extension() != ".xsd") continue;
            check(storeXml(db, kSchemaCollection, readFile(p), true), p);
            ++count;
            // Later files of this seed are checked against the schemas read so far.
            reloadSchemas(db);
        }
        for (const fs::path &collDir : sortedEntries(dir / "collections", true)) {
            const std::string coll = collDir.filename().string();
            const Doctypes *types = doctypes(db, coll);
            if (!types) throw std::runtime_error(collDir.string() + ": no schema defines the collection " + coll);
            for (const fs::path &p : sortedEntries(collDir, false)) {
                if (p.extension() != ".xml") continue;
                check(storeXml(db, coll, readFile(p), true), p);
                ++count;
            }
            for (const fs::path &typeDir : sortedEntries(collDir, true)) {
                const std::string doctype = typeDir.filename().string();
                auto t = types->find(doctype);
                if (t == types->end() || !t->second.nonXml)
                    throw std::runtime_error(typeDir.string() + ": " + doctype + " is no non-XML doctype of " + coll);
                for (const fs::path &p : sortedEntries(typeDir, false)) {
                    storeFile(db, coll, doctype, p.filename().string(), readFile(p));
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
