// Changing documents: values, attributes, children, new nodes.
#include "xml/DomDocument.h"
#include "xml/DomInternal.h"

namespace owb {

using namespace domdetail;

namespace {

void orphan(DomDocHolder &h, xmlNodePtr n)
{
    h.orphans.insert(n);
}

bool isAncestorOrSelf(xmlNodePtr candidate, xmlNodePtr node)
{
    for (xmlNodePtr n = node; n; n = n->parent)
        if (n == candidate)
            return true;
    return false;
}

void resolvePendingPrefixes(DomDocHolder &h, xmlNodePtr n)
{
    if (n->type != XML_ELEMENT_NODE)
        return;
    if (!n->ns && n->name && xmlStrchr(n->name, ':')) {
        const QByteArray q(reinterpret_cast<const char *>(n->name));
        const int colon = q.indexOf(':');
        const QByteArray prefix = q.left(colon), local = q.mid(colon + 1);
        xmlNsPtr ns = xmlSearchNs(n->doc, n, X(prefix));
        if (!ns) {
            for (const auto &p : h.ns)
                if (p.first == prefix)
                    ns = xmlNewNs(n, X(p.second), X(prefix));
        }
        if (ns) {
            xmlSetNs(n, ns);
            xmlNodeSetName(n, X(local));
        }
    }
    for (xmlNodePtr c = n->children; c; c = c->next)
        resolvePendingPrefixes(h, c);
}

void link(xmlNodePtr parent, xmlNodePtr c, xmlNodePtr ref)
{
    c->parent = parent;
    if (!ref) {
        c->prev = parent->last;
        c->next = nullptr;
        if (parent->last)
            parent->last->next = c;
        else
            parent->children = c;
        parent->last = c;
    } else {
        c->next = ref;
        c->prev = ref->prev;
        if (ref->prev)
            ref->prev->next = c;
        else
            parent->children = c;
        ref->prev = c;
    }
}

} // namespace

void DomNode::setText(const QString &text)
{
    if (!m_node)
        domFail(QStringLiteral("setText on nothing"));
    const QByteArray v = text.toUtf8();
    switch (m_node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE: {
        xmlNodePtr c = m_node->children;
        while (c) {
            xmlNodePtr next = c->next;
            xmlUnlinkNode(c);
            orphan(*m_doc, c);
            c = next;
        }
        m_node->children = m_node->last = nullptr;
        if (!v.isEmpty()) {
            xmlNodePtr t = xmlNewDocTextLen(m_node->doc, X(v), v.size());
            link(m_node, t, nullptr);
        }
        break;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        xmlNodeSetContentLen(m_node, X(v), v.size());
        break;
    default:
        domFail(QStringLiteral("Cannot set the text of a %1 node").arg(nodeName()));
    }
}

void DomNode::setNodeValue(const QString &value)
{
    if (!m_node)
        domFail(QStringLiteral("setNodeValue on nothing"));
    switch (m_node->type) {
    case XML_ATTRIBUTE_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE: setText(value); break;
    default: domFail(QStringLiteral("A %1 node has no value to set").arg(nodeName()));
    }
}

void DomNode::setAttribute(const QString &name, const QString &value)
{
    if (!m_node || m_node->type != XML_ELEMENT_NODE)
        domFail(QStringLiteral("setAttribute needs an element"));
    const auto [prefix, local] = splitQName(name);
    const QByteArray v = value.toUtf8();
    if (prefix == "xmlns" || (prefix.isEmpty() && local == "xmlns")) {
        if (xmlNsPtr ns = findNsDecl(m_node, name)) {
            xmlFree(const_cast<xmlChar *>(ns->href));
            ns->href = xmlStrdup(X(v));
        } else {
            xmlNewNs(m_node, X(v), prefix.isEmpty() ? nullptr : X(local));
        }
        return;
    }
    xmlNsPtr ns = nullptr;
    if (!prefix.isEmpty()) {
        ns = xmlSearchNs(m_node->doc, m_node, X(prefix));
        if (!ns) {
            for (const auto &p : m_doc->ns)
                if (p.first == prefix)
                    ns = xmlNewNs(m_node, X(p.second), X(prefix));
        }
        if (!ns)
            domFail(QStringLiteral("Undeclared namespace prefix in attribute name \"%1\"").arg(name));
    }
    xmlSetNsProp(m_node, ns, X(local), X(v));
}

void DomNode::removeAttribute(const QString &name)
{
    if (xmlAttrPtr a = findAttribute(m_node, name)) {
        xmlUnlinkNode(reinterpret_cast<xmlNodePtr>(a));
        orphan(*m_doc, reinterpret_cast<xmlNodePtr>(a));
    }
}

namespace {

// The node to link below parent: child itself, or a copy when it belongs to another document.
xmlNodePtr prepareChild(const std::shared_ptr<DomDocHolder> &h, xmlNodePtr parent, const DomNode &child)
{
    if (child.isNull())
        domFail(QStringLiteral("Cannot insert nothing"));
    xmlNodePtr c = DomAccess::node(child);
    if (c->type == XML_ATTRIBUTE_NODE || c->type == XML_DOCUMENT_NODE || c->type == XML_HTML_DOCUMENT_NODE)
        domFail(QStringLiteral("A %1 node cannot be a child").arg(child.nodeName()));
    if (parent->type != XML_ELEMENT_NODE && parent->type != XML_DOCUMENT_NODE
        && parent->type != XML_DOCUMENT_FRAG_NODE)
        domFail(QStringLiteral("This node cannot have children"));
    if (parent->type == XML_DOCUMENT_NODE) {
        if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE || c->type == XML_ENTITY_REF_NODE)
            domFail(QStringLiteral("Text cannot be a child of the document"));
        if (c->type == XML_ELEMENT_NODE) {
            xmlNodePtr root = xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(parent));
            if (root && root != c)
                domFail(QStringLiteral("The document already has a root element"));
        }
    }
    if (DomAccess::holder(child) != h) {
        c = xmlDocCopyNode(c, h->doc, 1);
        if (!c)
            domFail(QStringLiteral("Cannot copy a node between documents"));
        orphan(*h, c);
        return c;
    }
    if (isAncestorOrSelf(c, parent))
        domFail(QStringLiteral("A node cannot be inserted below itself"));
    xmlUnlinkNode(c);
    return c;
}

void afterLink(const std::shared_ptr<DomDocHolder> &h, xmlNodePtr c)
{
    if (c->type == XML_ELEMENT_NODE) {
        resolvePendingPrefixes(*h, c);
        xmlReconciliateNs(h->doc, c);
    }
}

} // namespace

DomNode DomNode::appendChild(const DomNode &child)
{
    if (!m_node)
        domFail(QStringLiteral("appendChild on nothing"));
    xmlNodePtr c = prepareChild(m_doc, m_node, child);
    link(m_node, c, nullptr);
    afterLink(m_doc, c);
    return DomNode(m_doc, c);
}

DomNode DomNode::insertBefore(const DomNode &child, const DomNode &ref)
{
    if (ref.isNull())
        return appendChild(child);
    if (!m_node || ref.m_node->parent != m_node)
        domFail(QStringLiteral("The reference node is not a child of this node"));
    if (ref == child)
        return child;
    xmlNodePtr c = prepareChild(m_doc, m_node, child);
    link(m_node, c, ref.m_node);
    afterLink(m_doc, c);
    return DomNode(m_doc, c);
}

DomNode DomNode::removeChild(const DomNode &child)
{
    if (!m_node || child.isNull() || child.m_node->parent != m_node || child.m_node->type == XML_ATTRIBUTE_NODE)
        domFail(QStringLiteral("The node to remove is not a child of this node"));
    xmlUnlinkNode(child.m_node);
    orphan(*m_doc, child.m_node);
    return child;
}

DomNode DomNode::replaceChild(const DomNode &newChild, const DomNode &oldChild)
{
    if (!m_node || oldChild.isNull() || oldChild.m_node->parent != m_node)
        domFail(QStringLiteral("The node to replace is not a child of this node"));
    if (newChild == oldChild)
        return oldChild;
    const DomNode next(m_doc, oldChild.m_node->next);
    removeChild(oldChild);
    try {
        insertBefore(newChild, next);
    } catch (...) {
        link(m_node, oldChild.m_node, next.m_node);
        m_doc->orphans.erase(oldChild.m_node);
        throw;
    }
    return oldChild;
}

DomNode DomNode::cloneNode(bool deep) const
{
    if (!m_node)
        return {};
    xmlNodePtr c;
    if (m_node->type == XML_ATTRIBUTE_NODE)
        c = reinterpret_cast<xmlNodePtr>(xmlCopyProp(nullptr, reinterpret_cast<xmlAttrPtr>(m_node)));
    else if (m_node->type == XML_DOCUMENT_NODE)
        domFail(QStringLiteral("Clone a document through its root element"));
    else
        c = xmlDocCopyNode(m_node, m_node->doc, deep ? 1 : 2);
    if (!c)
        domFail(QStringLiteral("Cannot copy node %1").arg(nodeName()));
    orphan(*m_doc, c);
    return DomNode(m_doc, c);
}

DomNode DomDocument::createElement(const QString &qualifiedName, const QString &nsUri)
{
    const auto [prefix, local] = splitQName(qualifiedName);
    if (local.isEmpty())
        domFail(QStringLiteral("Invalid element name \"%1\"").arg(qualifiedName));
    xmlNodePtr n;
    if (nsUri.isEmpty()) {
        n = xmlNewDocNode(m_s->cur->doc, nullptr, X(qualifiedName.toUtf8()), nullptr);
    } else {
        n = xmlNewDocNode(m_s->cur->doc, nullptr, X(local), nullptr);
        xmlNsPtr ns = xmlNewNs(n, X(nsUri.toUtf8()), prefix.isEmpty() ? nullptr : X(prefix));
        xmlSetNs(n, ns);
    }
    orphan(*m_s->cur, n);
    return DomNode(m_s->cur, n);
}

DomNode DomDocument::createTextNode(const QString &text)
{
    const QByteArray v = text.toUtf8();
    xmlNodePtr n = xmlNewDocTextLen(m_s->cur->doc, X(v), int(v.size()));
    orphan(*m_s->cur, n);
    return DomNode(m_s->cur, n);
}

DomNode DomDocument::createComment(const QString &text)
{
    xmlNodePtr n = xmlNewDocComment(m_s->cur->doc, X(text.toUtf8()));
    orphan(*m_s->cur, n);
    return DomNode(m_s->cur, n);
}

DomNode DomDocument::createCDATASection(const QString &text)
{
    const QByteArray v = text.toUtf8();
    xmlNodePtr n = xmlNewCDataBlock(m_s->cur->doc, X(v), int(v.size()));
    orphan(*m_s->cur, n);
    return DomNode(m_s->cur, n);
}

DomNode DomDocument::createProcessingInstruction(const QString &target, const QString &data)
{
    xmlNodePtr n = xmlNewDocPI(m_s->cur->doc, X(target.toUtf8()), data.isEmpty() ? nullptr : X(data.toUtf8()));
    orphan(*m_s->cur, n);
    return DomNode(m_s->cur, n);
}

DomNode DomDocument::importNode(const DomNode &node, bool deep)
{
    if (node.isNull())
        return {};
    xmlNodePtr src = DomAccess::node(node);
    if (src->type == XML_DOCUMENT_NODE || src->type == XML_HTML_DOCUMENT_NODE)
        domFail(QStringLiteral("Import a document through its root element"));
    xmlNodePtr n = src->type == XML_ATTRIBUTE_NODE
        ? reinterpret_cast<xmlNodePtr>(xmlCopyProp(nullptr, reinterpret_cast<xmlAttrPtr>(src)))
        : xmlDocCopyNode(src, m_s->cur->doc, deep ? 1 : 2);
    if (!n)
        domFail(QStringLiteral("Cannot import node %1").arg(node.nodeName()));
    if (n->type == XML_ATTRIBUTE_NODE)
        n->doc = m_s->cur->doc;
    orphan(*m_s->cur, n);
    return DomNode(m_s->cur, n);
}

} // namespace owb
