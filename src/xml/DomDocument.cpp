// The document handle and the holder that owns the libxml2 document. Parsing, loading,
// reading, editing, XPath and serialising live in the Dom*.cpp files beside this one.
#include "xml/DomDocument.h"
#include "xml/DomInternal.h"

#include <vector>

namespace owb {

using namespace domdetail;

DomDocHolder::~DomDocHolder()
{
    // Collect first: freeing one orphan may free another that hangs below it.
    std::vector<xmlNodePtr> roots;
    for (xmlNodePtr n : orphans)
        if (!n->parent)
            roots.push_back(n);
    for (xmlNodePtr n : roots) {
        if (n->type == XML_ATTRIBUTE_NODE)
            xmlFreeProp(reinterpret_cast<xmlAttrPtr>(n));
        else
            xmlFreeNode(n);
    }
    if (doc)
        xmlFreeDoc(doc);
}

namespace domdetail {

std::shared_ptr<DomDocHolder> newHolder(xmlDocPtr doc, const NamespaceList &ns)
{
    auto h = std::make_shared<DomDocHolder>(doc);
    h->ns = ns;
    return h;
}

QString takeString(xmlChar *s)
{
    QString r = str(s);
    xmlFree(s);
    return r;
}

void domFail(const QString &what)
{
    throw OstrelError(QStringLiteral("DOM"), what);
}

QPair<QByteArray, QByteArray> splitQName(const QString &qname)
{
    const QByteArray b = qname.toUtf8();
    const int colon = b.indexOf(':');
    if (colon < 0)
        return {QByteArray(), b};
    return {b.left(colon), b.mid(colon + 1)};
}

bool isBlank(const xmlChar *s)
{
    if (!s)
        return true;
    for (; *s; ++s)
        if (*s != ' ' && *s != '\t' && *s != '\n' && *s != '\r')
            return false;
    return true;
}

} // namespace domdetail

std::shared_ptr<DomDocHolder> DomAccess::holder(const DomDocument &d) { return d.m_s->cur; }

DomDocument DomAccess::fromHolder(const std::shared_ptr<DomDocHolder> &h)
{
    DomDocument d;
    d.m_s->cur = h;
    return d;
}

xmlDocPtr DomAccess::doc(const DomDocument &d) { return d.m_s->cur->doc; }

DomDocument DomAccess::adopt(xmlDocPtr doc)
{
    DomDocument d;
    if (doc)
        d.m_s->cur = newHolder(doc, {});
    return d;
}

DomDocument::DomDocument() : m_s(std::make_shared<DomDocState>())
{
    initLibrary();
    m_s->cur = newHolder(xmlNewDoc(BAD_CAST "1.0"), {});
}

void DomDocument::setPreserveWhiteSpace(bool preserve) { m_s->preserve = preserve; }
bool DomDocument::preserveWhiteSpace() const { return m_s->preserve; }
void DomDocument::setEntities(DomEntities mode) { m_s->entities = mode; }

DomNode DomDocument::documentElement() const
{
    xmlNodePtr root = xmlDocGetRootElement(m_s->cur->doc);
    return root ? DomNode(m_s->cur, root) : DomNode();
}

DomNode DomDocument::node() const { return DomNode(m_s->cur, reinterpret_cast<xmlNodePtr>(m_s->cur->doc)); }

} // namespace owb
