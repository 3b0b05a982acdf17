#include "SchemaRegistry.h"

#include "Names.h"
#include "Xml.h"

namespace ostreld {

namespace {

bool isElement(xmlNodePtr n, const char *ns, const char *name)
{
    return n && n->type == XML_ELEMENT_NODE && xml::localName(n) == name && xml::nsUri(n) == ns;
}

xmlNodePtr findSchemaInfo(xmlNodePtr root)
{
    for (xmlNodePtr a = root->children; a; a = a->next) {
        if (!isElement(a, kXsUri, "annotation")) continue;
        for (xmlNodePtr b = a->children; b; b = b->next) {
            if (!isElement(b, kXsUri, "appinfo")) continue;
            for (xmlNodePtr c = b->children; c; c = c->next)
                if (isElement(c, kOsdUri, "schemaInfo")) return c;
        }
    }
    return nullptr;
}

bool readDeclarations(xmlNodePtr schemaInfo, SchemaInfo &info, std::string &why)
{
    for (xmlNodePtr c = schemaInfo->children; c; c = c->next) {
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
    return true;
}

bool checkCollectionName(const std::string &collection, std::string &why)
{
    if (collection.empty()) {
        why = "The schema names no collection (osd:collection/@name)";
        return false;
    }
    if (collection == kSchemaCollection || collection.find_first_of("/?#%") != std::string::npos
        || collection.find_first_not_of(" \t\r\n") == std::string::npos) {
        why = "'" + collection + "' cannot be a collection name";
        return false;
    }
    return true;
}

} // namespace

bool readSchemaInfo(xmlNodePtr root, SchemaInfo &info, std::string &why)
{
    if (!isElement(root, kXsUri, "schema")) {
        why = "A schema document must have the root element xs:schema";
        return false;
    }
    xmlNodePtr found = findSchemaInfo(root);
    if (!found) {
        why = "The schema has no xs:annotation/xs:appinfo/osd:schemaInfo element";
        return false;
    }
    return readDeclarations(found, info, why) && checkCollectionName(info.collection, why);
}

SchemaRegistry::SchemaRegistry() : m_view(std::make_shared<Collections>()) {}

const Doctypes *SchemaRegistry::doctypes(const Collections &view, const std::string &db, const std::string &coll)
{
    static const Doctypes schemaDoctypes{{"schema", DoctypeInfo{}}};
    if (coll == kSchemaCollection) return &schemaDoctypes;
    auto d = view.find(db);
    if (d == view.end()) return nullptr;
    auto c = d->second.find(coll);
    return c == d->second.end() ? nullptr : &c->second;
}

std::shared_ptr<const SchemaRegistry::Collections> SchemaRegistry::view() const
{
    std::lock_guard lock(m_mutex);
    return m_view;
}

const Doctypes *SchemaRegistry::doctypes(const std::string &db, const std::string &coll) const
{
    return doctypes(*m_view, db, coll);
}

void SchemaRegistry::reload(const std::string &db, const std::vector<DocRow> &schemaRows)
{
    auto next = std::make_shared<Collections>(*m_view);
    auto &collections = (*next)[db];
    collections.clear();
    for (const DocRow &row : schemaRows) {
        xml::Parsed p = xml::parse(row.xml);
        SchemaInfo info;
        std::string why;
        if (!p.doc || !readSchemaInfo(xmlDocGetRootElement(p.doc.get()), info, why)) continue;
        auto &types = collections[info.collection];
        for (auto &[name, nonXml] : info.doctypes) types[name].nonXml = nonXml;
    }
    std::lock_guard lock(m_mutex);
    m_view = std::move(next);
}

} // namespace ostreld
