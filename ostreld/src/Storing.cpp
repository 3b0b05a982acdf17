#include "Storing.h"

#include "common/XmlLimits.h"

#include "Names.h"
#include "Text.h"
#include "Xml.h"

namespace ostreld {

namespace {

const char *const kEntityRefused = "The document refers to entities of a document type declaration; only the "
                                   "predefined entities and character references are accepted";

bool refuse(Stored &st, int code, std::string message)
{
    st.code = code;
    st.message = std::move(message);
    return false;
}

bool hasEntityReference(xmlNodePtr n)
{
    for (; n; n = n->next) {
        if (n->type == XML_ENTITY_REF_NODE) return true;
        if (n->type == XML_ELEMENT_NODE && hasEntityReference(n->children)) return true;
    }
    return false;
}

// The document as it is to be stored, or nothing and st says why.
xml::DocPtr readDocument(std::string_view text, bool fromFile, Stored &st)
{
    xml::Parsed p = xml::parse(text, !fromFile, owb::xmllimits::MaxDepth);
    if (p.tooDeep) {
        refuse(st, TooDeep,
               "The document nests elements deeper than " + std::to_string(owb::xmllimits::MaxDepth)
                   + " levels, the most that is accepted");
        return nullptr;
    }
    if (p.entityUsed) {
        refuse(st, EntityRefused, kEntityRefused);
        return nullptr;
    }
    if (!p.doc) {
        refuse(st, NotWellFormed, "The document is not well-formed: " + p.error);
        return nullptr;
    }
    if (hasEntityReference(xmlDocGetRootElement(p.doc.get()))) {
        refuse(st, EntityRefused, kEntityRefused);
        return nullptr;
    }
    // Only the root element is stored: a document type declaration would have no place in an answer.
    if (xmlDtdPtr dtd = xmlGetIntSubset(p.doc.get())) {
        xmlUnlinkNode(reinterpret_cast<xmlNodePtr>(dtd));
        xml::DtdPtr unlinked(dtd);
    }
    return std::move(p.doc);
}

bool acceptDoctype(const std::string &coll, const Doctypes &types, xmlNodePtr root, Stored &st)
{
    const std::string name = xml::localName(root);
    if (coll == kSchemaCollection) {
        SchemaInfo info;
        std::string why;
        return readSchemaInfo(root, info, why) || refuse(st, BadSchema, why);
    }
    auto t = types.find(name);
    if (t == types.end()) return refuse(st, UnknownDoctype, "The collection " + coll + " has no doctype " + name);
    if (t->second.nonXml)
        return refuse(st, NonXmlRefused, "The doctype " + name + " holds non-XML files; store them with PUT");
    return true;
}

// The root's osl:id names the document to replace, which must be stored.
bool acceptReplace(Store &store, const std::string &db, const std::string &coll, xmlNodePtr root, Stored &st)
{
    const std::string name = xml::localName(root);
    std::string value;
    xml::attribute(root, "id", kOslUri, value);
    auto parsed = text::parseId(value);
    if (!parsed)
        return refuse(st, BadId, "osl:id=\"" + value + "\" is not a document id (a whole number from 1 up)");
    auto existing = store.fetch(db, coll, name, *parsed);
    if (!existing || existing->nonXml)
        return refuse(st, IdNotStored, "There is no document " + name + " with osl:id=" + value + " to replace");
    st.id = *parsed;
    return true;
}

// Takes the doctype's next id and writes it into the root as osl:id.
void assignNewId(Store &store, const std::string &db, const std::string &coll, xmlDocPtr doc, xmlNodePtr root,
                 Stored &st)
{
    st.id = store.nextId(db, coll, xml::localName(root));
    st.inserted = true;
    xmlNsPtr ns = xmlSearchNsByHref(doc, root, BAD_CAST kOslUri);
    for (int i = 0; !ns && i < 100; ++i) {
        std::string prefix = i == 0 ? "osl" : "osl" + std::to_string(i);
        ns = xmlNewNs(root, BAD_CAST kOslUri, BAD_CAST prefix.c_str());
    }
    xmlSetNsProp(root, ns, BAD_CAST "id", BAD_CAST std::to_string(st.id).c_str());
}

} // namespace

Stored storeXml(Store &store, const std::string &db, const std::string &coll, const Doctypes &types,
                std::string_view text, bool fromFile)
{
    Stored st;
    xml::DocPtr doc = readDocument(text, fromFile, st);
    if (!doc) return st;
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    if (!acceptDoctype(coll, types, root, st)) return st;

    xmlAttrPtr idAttr = xmlHasNsProp(root, BAD_CAST "id", BAD_CAST kOslUri);
    if (idAttr && fromFile) {
        // Seed files are always new documents.
        xmlRemoveProp(idAttr);
        idAttr = nullptr;
    }
    if (idAttr) {
        if (!acceptReplace(store, db, coll, root, st)) return st;
    } else {
        assignNewId(store, db, coll, doc.get(), root, st);
    }

    st.doctype = xml::localName(root);
    st.row.doctype = st.doctype;
    st.row.id = st.id;
    st.row.ns = xml::nsUri(root);
    st.row.xml = xml::serialize(root);
    if (st.inserted)
        store.insert(db, coll, st.row);
    else
        store.replace(db, coll, st.row);
    return st;
}

Stored storeFile(Store &store, const std::string &db, const std::string &coll, const std::string &doctype,
                 const std::string &fileName, const std::string &bytes)
{
    Stored st;
    st.doctype = doctype;
    st.row.doctype = doctype;
    st.row.nonXml = true;
    st.row.docname = fileName;
    // Storing a file under a name it already has replaces it and keeps its id.
    if (auto existing = store.findByDocname(db, coll, doctype, fileName)) {
        st.id = *existing;
        st.row.id = st.id;
        store.replace(db, coll, st.row, bytes);
    } else {
        st.id = store.nextId(db, coll, doctype);
        st.row.id = st.id;
        st.inserted = true;
        store.insert(db, coll, st.row, bytes);
    }
    return st;
}

} // namespace ostreld
