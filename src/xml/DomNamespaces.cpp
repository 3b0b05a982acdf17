// Namespace declarations an element needs once it stands on its own.
#include "xml/DomDocument.h"
#include "xml/DomInternal.h"

#include <algorithm>

namespace owb {

using namespace domdetail;

namespace {

bool isXmlPrefix(const xmlChar *prefix)
{
    return xmlStrEqual(prefix, BAD_CAST "xml");
}

class Inherited {
public:
    explicit Inherited(Declarations &out) : m_out(out) {}

    bool walk(xmlNodePtr el)
    {
        const size_t mark = m_scope.size();
        for (xmlNsPtr ns = el->nsDef; ns; ns = ns->next)
            m_scope.push_back(ns->prefix);
        if (el->ns && !need(el, el->ns->prefix))
            return false;
        for (xmlAttrPtr a = el->properties; a; a = a->next) {
            // The xml prefix is bound everywhere and never declared.
            if (a->ns && !isXmlPrefix(a->ns->prefix) && !need(el, a->ns->prefix))
                return false;
        }
        for (xmlNodePtr c = el->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE && !walk(c))
                return false;
        m_scope.resize(mark);
        return true;
    }

private:
    bool declared(const xmlChar *prefix) const
    {
        for (const auto &d : m_out)
            if (xmlStrEqual(d.first, prefix))
                return true;
        for (const xmlChar *p : m_scope)
            if (xmlStrEqual(p, prefix))
                return true;
        return false;
    }

    bool need(xmlNodePtr el, const xmlChar *prefix)
    {
        if (declared(prefix))
            return true;
        const xmlNs *ns = xmlSearchNs(el->doc, el, prefix);
        if (!ns)
            return false;
        m_out.emplace_back(ns->prefix, ns->href);
        return true;
    }

    Declarations &m_out;
    std::vector<const xmlChar *> m_scope;   // prefixes declared inside top, innermost last
};

// Points the references of the subtree to declarations outside it at top's new ones.
class Rebind {
public:
    explicit Rebind(xmlNodePtr top) : m_top(top) {}

    void walk(xmlNodePtr el)
    {
        const size_t mark = m_scope.size();
        for (xmlNsPtr ns = el->nsDef; ns; ns = ns->next)
            m_scope.push_back(ns);
        el->ns = rebound(el->ns);
        for (xmlAttrPtr a = el->properties; a; a = a->next)
            a->ns = rebound(a->ns);
        for (xmlNodePtr c = el->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE)
                walk(c);
        m_scope.resize(mark);
    }

private:
    xmlNsPtr rebound(xmlNsPtr ns) const
    {
        if (!ns || isXmlPrefix(ns->prefix) || std::find(m_scope.begin(), m_scope.end(), ns) != m_scope.end())
            return ns;
        for (xmlNsPtr own = m_top->nsDef; own; own = own->next)
            if (xmlStrEqual(own->prefix, ns->prefix))
                return own;
        return ns;
    }

    xmlNodePtr m_top;
    std::vector<xmlNsPtr> m_scope;
};

} // namespace

namespace domdetail {

bool inheritedNamespaces(xmlNodePtr top, Declarations &out)
{
    out.clear();
    return Inherited(out).walk(top);
}

} // namespace domdetail

DomNode DomDocument::setDocumentElement(const DomNode &element)
{
    xmlNodePtr el = DomAccess::node(element);
    xmlDocPtr doc = m_s->cur->doc;
    if (!el || el->type != XML_ELEMENT_NODE || el->doc != doc)
        domFail(QStringLiteral("Only an element of this document can become its document element"));
    if (el->parent == reinterpret_cast<xmlNodePtr>(doc))
        return element;
    Declarations inherited;
    if (!inheritedNamespaces(el, inherited))
        domFail(QStringLiteral("Element %1 uses a prefix that is declared nowhere").arg(element.nodeName()));
    for (const auto &[prefix, href] : inherited)
        xmlNewNs(el, href, prefix);
    Rebind(el).walk(el);
    xmlUnlinkNode(el);
    m_s->cur->orphans.erase(el);
    if (xmlNodePtr old = xmlDocSetRootElement(doc, el))
        m_s->cur->orphans.insert(old);
    return element;
}

} // namespace owb
