// Reading nodes and moving between them.
#include "xml/DomDocument.h"
#include "xml/DomInternal.h"

namespace owb {

using namespace domdetail;

namespace domdetail {

xmlAttrPtr findAttribute(xmlNodePtr el, const QString &name)
{
    if (!el || el->type != XML_ELEMENT_NODE)
        return nullptr;
    const auto [prefix, local] = splitQName(name);
    if (prefix.isEmpty())
        return xmlHasNsProp(el, X(local), nullptr);
    if (xmlNsPtr ns = xmlSearchNs(el->doc, el, X(prefix)))
        return xmlHasNsProp(el, X(local), ns->href);
    return nullptr;
}

xmlNsPtr findNsDecl(xmlNodePtr el, const QString &name)
{
    if (!el || el->type != XML_ELEMENT_NODE)
        return nullptr;
    const QByteArray b = name.toUtf8();
    if (b != "xmlns" && !b.startsWith("xmlns:"))
        return nullptr;
    const QByteArray prefix = b == "xmlns" ? QByteArray() : b.mid(6);
    for (xmlNsPtr ns = el->nsDef; ns; ns = ns->next) {
        if (prefix.isEmpty() ? ns->prefix == nullptr : xmlStrEqual(ns->prefix, X(prefix)))
            return ns;
    }
    return nullptr;
}

} // namespace domdetail

DomNodeType DomNode::nodeType() const
{
    if (!m_node)
        return DomNodeType::None;
    switch (m_node->type) {
    case XML_ELEMENT_NODE: return DomNodeType::Element;
    case XML_ATTRIBUTE_NODE: return DomNodeType::Attribute;
    case XML_TEXT_NODE: return DomNodeType::Text;
    case XML_CDATA_SECTION_NODE: return DomNodeType::CData;
    case XML_ENTITY_REF_NODE: return DomNodeType::EntityReference;
    case XML_ENTITY_NODE:
    case XML_ENTITY_DECL: return DomNodeType::Entity;
    case XML_PI_NODE: return DomNodeType::ProcessingInstruction;
    case XML_COMMENT_NODE: return DomNodeType::Comment;
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE: return DomNodeType::Document;
    case XML_DOCUMENT_TYPE_NODE:
    case XML_DTD_NODE: return DomNodeType::DocumentType;
    case XML_DOCUMENT_FRAG_NODE: return DomNodeType::DocumentFragment;
    case XML_NOTATION_NODE: return DomNodeType::Notation;
    default: return DomNodeType::None;
    }
}

QString DomNode::nodeName() const
{
    if (!m_node)
        return {};
    switch (m_node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
        if (m_node->ns && m_node->ns->prefix)
            return str(m_node->ns->prefix) + QLatin1Char(':') + str(m_node->name);
        return str(m_node->name);
    case XML_TEXT_NODE: return QStringLiteral("#text");
    case XML_CDATA_SECTION_NODE: return QStringLiteral("#cdata-section");
    case XML_COMMENT_NODE: return QStringLiteral("#comment");
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE: return QStringLiteral("#document");
    case XML_DOCUMENT_FRAG_NODE: return QStringLiteral("#document-fragment");
    default: return str(m_node->name);
    }
}

QString DomNode::baseName() const
{
    if (!m_node)
        return {};
    if (m_node->type == XML_ELEMENT_NODE || m_node->type == XML_ATTRIBUTE_NODE) {
        const QString n = str(m_node->name);
        if (!m_node->ns) {   // a pending prefixed name (created, not yet inserted)
            const int colon = n.indexOf(QLatin1Char(':'));
            return colon >= 0 ? n.mid(colon + 1) : n;
        }
        return n;
    }
    return nodeName();
}

QString DomNode::prefix() const
{
    if (!m_node || (m_node->type != XML_ELEMENT_NODE && m_node->type != XML_ATTRIBUTE_NODE))
        return {};
    if (m_node->ns)
        return m_node->ns->prefix ? str(m_node->ns->prefix) : QString();
    const QString n = str(m_node->name);
    const int colon = n.indexOf(QLatin1Char(':'));
    return colon >= 0 ? n.left(colon) : QString();
}

QString DomNode::namespaceURI() const
{
    if (!m_node || (m_node->type != XML_ELEMENT_NODE && m_node->type != XML_ATTRIBUTE_NODE) || !m_node->ns)
        return {};
    return str(m_node->ns->href);
}

QString DomNode::text() const
{
    if (!m_node)
        return {};
    if (m_node->type == XML_DOCUMENT_NODE || m_node->type == XML_HTML_DOCUMENT_NODE) {
        xmlNodePtr root = xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(m_node));
        return root ? takeString(xmlNodeGetContent(root)) : QString();
    }
    return takeString(xmlNodeGetContent(m_node));
}

QString DomNode::nodeValue() const
{
    if (!m_node)
        return {};
    switch (m_node->type) {
    case XML_ATTRIBUTE_NODE: return text();
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE: {
        QString s = str(m_node->content);
        return s.isNull() ? QLatin1String("") : s;
    }
    default: return {};
    }
}

int DomNode::lineNumber() const
{
    if (!m_node || m_node->type == XML_ATTRIBUTE_NODE || m_node->type == XML_DOCUMENT_NODE)
        return 0;
    if (m_node->type == XML_ELEMENT_NODE && m_node->line == 65535 && m_node->psvi)
        return int(reinterpret_cast<intptr_t>(m_node->psvi));
    const long l = xmlGetLineNo(m_node);
    return l > 0 ? int(l) : 0;
}

DomNode DomNode::parentNode() const
{
    if (!m_node || !m_node->parent)
        return {};
    return DomNode(m_doc, m_node->parent);
}

namespace {
bool visibleChild(xmlNodePtr n)
{
    // Namespace and DTD declarations are no DOM children.
    return n->type != XML_NAMESPACE_DECL && n->type != XML_ENTITY_DECL && n->type != XML_ELEMENT_DECL
        && n->type != XML_ATTRIBUTE_DECL && n->type != XML_XINCLUDE_START && n->type != XML_XINCLUDE_END;
}
bool hasChildren(xmlNodePtr n)
{
    return n->type != XML_DTD_NODE;
}
} // namespace

DomNode DomNode::firstChild() const
{
    if (!m_node || !hasChildren(m_node))
        return {};
    for (xmlNodePtr c = m_node->children; c; c = c->next)
        if (visibleChild(c))
            return DomNode(m_doc, c);
    return {};
}

DomNode DomNode::lastChild() const
{
    if (!m_node || !hasChildren(m_node))
        return {};
    for (xmlNodePtr c = m_node->last; c; c = c->prev)
        if (visibleChild(c))
            return DomNode(m_doc, c);
    return {};
}

DomNode DomNode::nextSibling() const
{
    if (!m_node || m_node->type == XML_ATTRIBUTE_NODE)
        return {};
    for (xmlNodePtr c = m_node->next; c; c = c->next)
        if (visibleChild(c))
            return DomNode(m_doc, c);
    return {};
}

DomNode DomNode::previousSibling() const
{
    if (!m_node || m_node->type == XML_ATTRIBUTE_NODE)
        return {};
    for (xmlNodePtr c = m_node->prev; c; c = c->prev)
        if (visibleChild(c))
            return DomNode(m_doc, c);
    return {};
}

QList<DomNode> DomNode::childNodes() const
{
    QList<DomNode> out;
    if (!m_node || !hasChildren(m_node))
        return out;
    for (xmlNodePtr c = m_node->children; c; c = c->next)
        if (visibleChild(c))
            out.append(DomNode(m_doc, c));
    return out;
}

bool DomNode::hasChildNodes() const { return !firstChild().isNull(); }

QList<DomNode> DomNode::attributes() const
{
    QList<DomNode> out;
    if (!m_node || m_node->type != XML_ELEMENT_NODE)
        return out;
    for (xmlAttrPtr a = m_node->properties; a; a = a->next)
        out.append(DomNode(m_doc, reinterpret_cast<xmlNodePtr>(a)));
    return out;
}

QList<QPair<QString, QString>> DomNode::namespaceDeclarations() const
{
    QList<QPair<QString, QString>> out;
    if (!m_node || m_node->type != XML_ELEMENT_NODE)
        return out;
    for (xmlNsPtr ns = m_node->nsDef; ns; ns = ns->next)
        if (ns->prefix)
            out.append({str(ns->prefix), str(ns->href)});
    return out;
}

bool DomNode::hasAttribute(const QString &name) const
{
    return findAttribute(m_node, name) || findNsDecl(m_node, name);
}

QString DomNode::getAttribute(const QString &name) const
{
    if (xmlAttrPtr a = findAttribute(m_node, name))
        return DomNode(m_doc, reinterpret_cast<xmlNodePtr>(a)).text();
    if (xmlNsPtr ns = findNsDecl(m_node, name))
        return str(ns->href);
    return {};
}

DomNode DomNode::getAttributeNode(const QString &name) const
{
    if (xmlAttrPtr a = findAttribute(m_node, name))
        return DomNode(m_doc, reinterpret_cast<xmlNodePtr>(a));
    return {};
}

DomDocument DomNode::ownerDocument() const
{
    return m_doc ? DomAccess::fromHolder(m_doc) : DomDocument();
}

} // namespace owb
