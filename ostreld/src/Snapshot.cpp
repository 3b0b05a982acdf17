#include "Snapshot.h"

#include <stdexcept>

#include <libxml/xpath.h>

#include "Envelope.h"
#include "Names.h"
#include "Text.h"

namespace ostreld {

namespace {
// The element that stands for a non-XML document in queries and their answers.
std::string nonXmlText(const DocRow &row, bool declare)
{
    std::string t = "<" + row.doctype;
    if (declare) t += std::string(" xmlns:osl=\"") + kOslUri + "\"";
    t += " osl:id=\"" + std::to_string(row.id) + "\" osl:docname=\"" + text::escapeXml(row.docname) + "\"/>";
    return t;
}

std::string snapshotText(const DocRow &row)
{
    return row.nonXml ? nonXmlText(row, true) : row.xml;
}
} // namespace

std::string resultText(const DocRow &row)
{
    return row.nonXml ? nonXmlText(row, false) : envelope::inResult(row.xml);
}

std::string resultText(DocRow &&row)
{
    return row.nonXml ? nonXmlText(row, false) : envelope::inResult(std::move(row.xml));
}

std::shared_ptr<Snapshot> Snapshot::build(const std::vector<DocRow> &rows, const std::string &coll)
{
    std::string all = std::string("<osl:documents xmlns:osl=\"") + kOslUri + "\">";
    for (auto &r : rows) all += snapshotText(r);
    all += "</osl:documents>";
    xml::Parsed p = xml::parse(all);
    if (!p.doc) throw std::runtime_error("stored documents of " + coll + " do not parse: " + p.error);

    auto s = std::make_shared<Snapshot>();
    s->doc = std::move(p.doc);
    s->wrapper = xmlDocGetRootElement(s->doc.get());
    size_t i = 0;
    for (xmlNodePtr n = s->wrapper->children; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        if (i >= rows.size()) break;
        const DocRow &r = rows[i++];
        DocKey k{r.doctype, r.id};
        s->entries[k] = Entry{n, resultText(r)};
        s->byNode[n] = k;
    }
    // Document order numbers make node-set sorting cheap for large collections.
    xmlXPathOrderDocElems(s->doc.get());
    return s;
}

bool Snapshot::store(const DocRow &row)
{
    xml::Parsed p = xml::parse(snapshotText(row));
    xmlNodePtr copy = p.doc ? xmlDocCopyNode(xmlDocGetRootElement(p.doc.get()), doc.get(), 1) : nullptr;
    if (!copy) return false;
    DocKey k{row.doctype, row.id};
    auto e = entries.find(k);
    if (e != entries.end()) {
        xml::NodePtr old(e->second.node);
        byNode.erase(old.get());
        xmlReplaceNode(old.get(), copy);
    } else {
        xmlAddChild(wrapper, copy);
    }
    entries[k] = Entry{copy, resultText(row)};
    byNode[copy] = k;
    return true;
}

void Snapshot::remove(const DocKey &key)
{
    auto e = entries.find(key);
    if (e == entries.end()) return;
    xml::NodePtr n(e->second.node);
    byNode.erase(n.get());
    entries.erase(e);
    xmlUnlinkNode(n.get());
}

} // namespace ostreld
