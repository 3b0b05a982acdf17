#include "xml/DomDocument.h"
#include "xml/DomInternal.h"
#include "xml/Namespaces.h"
#include "common/HttpClient.h"
#include "common/OstrelError.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <mutex>
#include <vector>

namespace owb {

using namespace domdetail;

namespace {

const xmlChar *X(const QByteArray &b) { return reinterpret_cast<const xmlChar *>(b.constData()); }

QString takeString(xmlChar *s)
{
    QString r = str(s);
    xmlFree(s);
    return r;
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

QPair<QByteArray, QByteArray> splitQName(const QString &qname)
{
    const QByteArray b = qname.toUtf8();
    const int colon = b.indexOf(':');
    if (colon < 0)
        return {QByteArray(), b};
    return {b.left(colon), b.mid(colon + 1)};
}

[[noreturn]] void domFail(const QString &what) { throw OstrelError(QStringLiteral("DOM"), what); }

QByteArray saveTree(xmlNodePtr node, int options = XML_SAVE_NO_DECL | XML_SAVE_AS_XML)
{
    xmlBufferPtr buf = xmlBufferCreate();
    xmlSaveCtxtPtr sc = xmlSaveToBuffer(buf, "UTF-8", options);
    if (!sc) {
        xmlBufferFree(buf);
        domFail(QStringLiteral("Cannot serialise a node"));
    }
    xmlSaveTree(sc, node);
    xmlSaveClose(sc);
    QByteArray out(reinterpret_cast<const char *>(xmlBufferContent(buf)), xmlBufferLength(buf));
    xmlBufferFree(buf);
    return out;
}

// The source line of a parse error, for the message users see.
QString sourceLine(const QString &text, int line)
{
    if (line <= 0)
        return {};
    qsizetype start = 0;
    for (int l = 1; l < line; ++l) {
        start = text.indexOf(QLatin1Char('\n'), start);
        if (start < 0)
            return {};
        ++start;
    }
    qsizetype end = text.indexOf(QLatin1Char('\n'), start);
    if (end < 0)
        end = text.size();
    QString s = text.mid(start, end - start);
    if (s.endsWith(QLatin1Char('\r')))
        s.chop(1);
    return s;
}

QString sourceLine(const QByteArray &bytes, int line)
{
    if (line <= 0)
        return {};
    qsizetype start = 0;
    for (int l = 1; l < line; ++l) {
        start = bytes.indexOf('\n', start);
        if (start < 0)
            return {};
        ++start;
    }
    qsizetype end = bytes.indexOf('\n', start);
    if (end < 0)
        end = bytes.size();
    QByteArray s = bytes.mid(start, end - start);
    if (s.endsWith('\r'))
        s.chop(1);
    return QString::fromUtf8(s);
}

bool startsWithDeclaration(const QByteArray &b)
{
    qsizetype i = 0;
    if (b.startsWith("\xEF\xBB\xBF"))
        i = 3;
    return b.mid(i, 6) == "<?xml " || b.mid(i, 6) == "<?xml\t" || b.mid(i, 6) == "<?xml\n"
        || b.mid(i, 6) == "<?xml\r";
}

bool isAncestorOrSelf(xmlNodePtr candidate, xmlNodePtr node)
{
    for (xmlNodePtr n = node; n; n = n->parent)
        if (n == candidate)
            return true;
    return false;
}

} // namespace

// ---------------------------------------------------------------- internals

namespace domdetail {

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

ErrorCapture::ErrorCapture()
    : m_oldFn(xmlStructuredError), m_oldCtx(xmlStructuredErrorContext)
{
    xmlSetStructuredErrorFunc(this, &ErrorCapture::handler);
}

ErrorCapture::~ErrorCapture() { xmlSetStructuredErrorFunc(m_oldCtx, m_oldFn); }

void ErrorCapture::handler(void *ctx, xmlErrorPtr err)
{
    auto *self = static_cast<ErrorCapture *>(ctx);
    if (!err || err->level < XML_ERR_ERROR || err->domain == XML_FROM_VALID)
        return;
    const QString msg = QString::fromUtf8(err->message ? err->message : "").trimmed();
    self->m_all.append(msg);
    if (self->m_has)
        return;
    self->m_has = true;
    self->m_message = msg;
    self->m_line = err->line;
    self->m_column = err->int2;
    self->m_code = err->code;
}

// A whitespace-only text node is layout, not content, unless xml:space="preserve" is in
// force or its parent also holds non-blank text (mixed content: there a blank between two
// inline elements separates words).
void dropBlankText(xmlNodePtr node, bool preserve)
{
    for (xmlNodePtr el = node; el; el = nullptr) {
        if (el->type == XML_ELEMENT_NODE) {
            xmlChar *sp = xmlGetNsProp(el, BAD_CAST "space", XML_XML_NAMESPACE);
            if (sp) {
                if (xmlStrEqual(sp, BAD_CAST "preserve"))
                    preserve = true;
                else if (xmlStrEqual(sp, BAD_CAST "default"))
                    preserve = false;
                xmlFree(sp);
            }
        }
        bool mixed = false;
        for (xmlNodePtr c = el->children; c && !mixed; c = c->next) {
            if ((c->type == XML_TEXT_NODE && !isBlank(c->content)) || c->type == XML_CDATA_SECTION_NODE
                || c->type == XML_ENTITY_REF_NODE)
                mixed = true;
        }
        xmlNodePtr c = el->children;
        while (c) {
            xmlNodePtr next = c->next;
            if (c->type == XML_TEXT_NODE && !preserve && !mixed && isBlank(c->content)) {
                xmlUnlinkNode(c);
                xmlFreeNode(c);
            } else if (c->type == XML_ELEMENT_NODE) {
                dropBlankText(c, preserve);
            }
            c = next;
        }
    }
}

QByteArray escapeAttribute(const QByteArray &value)
{
    QByteArray out;
    out.reserve(value.size() + 8);
    for (char ch : value) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += "&#9;"; break;
        default: out += ch;
        }
    }
    return out;
}

} // namespace domdetail

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

struct DomDocState {
    std::shared_ptr<DomDocHolder> cur;
    QList<QPair<QByteArray, QByteArray>> ns;
    DomParseError error;
    QString url;
    bool preserve = false;
    const HttpClient *http = nullptr;
};

std::shared_ptr<DomDocHolder> DomAccess::holder(const DomDocument &d) { return d.m_s->cur; }

namespace {

std::shared_ptr<DomDocHolder> newHolder(xmlDocPtr doc, const QList<QPair<QByteArray, QByteArray>> &ns)
{
    auto h = std::make_shared<DomDocHolder>(doc);
    h->ns = ns;
    return h;
}

QList<xmlNodePtr> evalXPath(const std::shared_ptr<DomDocHolder> &h, xmlNodePtr context, const QString &expr)
{
    initLibrary();
    const QByteArray e = expr.toUtf8();
    ErrorCapture cap;
    xmlXPathContextPtr xc = xmlXPathNewContext(h->doc);
    if (!xc)
        throw OstrelError(QStringLiteral("XPath"), QStringLiteral("Out of memory evaluating \"%1\"").arg(expr));
    for (const auto &p : h->ns)
        xmlXPathRegisterNs(xc, X(p.first), X(p.second));
    xc->node = context;
    QList<xmlNodePtr> out;
    xmlXPathCompExprPtr comp = xmlXPathCtxtCompile(xc, X(e));
    xmlXPathObjectPtr res = comp ? xmlXPathCompiledEval(comp, xc) : nullptr;
    QString failure;
    if (!res) {
        failure = cap.hasError() ? cap.message() : QStringLiteral("Invalid expression");
    } else if (res->type != XPATH_NODESET) {
        failure = QStringLiteral("Expression does not return a node set");
    } else if (res->nodesetval) {
        for (int i = 0; i < res->nodesetval->nodeNr; ++i) {
            xmlNodePtr n = res->nodesetval->nodeTab[i];
            if (n && n->type != XML_NAMESPACE_DECL)
                out.append(n);
        }
    }
    if (res)
        xmlXPathFreeObject(res);
    if (comp)
        xmlXPathFreeCompExpr(comp);
    xmlXPathFreeContext(xc);
    if (!failure.isEmpty())
        throw OstrelError(QStringLiteral("XPath"),
                          QStringLiteral("Invalid XPath expression \"%1\": %2").arg(expr, failure));
    return out;
}

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

void orphan(DomDocHolder &h, xmlNodePtr n)
{
    h.orphans.insert(n);
}

// An element created with a prefixed name but no namespace takes the namespace of that
// prefix where it is inserted (or of the selection prefixes when none is in scope).
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

// ---------------------------------------------------------------- DomNode

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

QString DomNode::xml() const
{
    if (!m_node)
        return {};
    switch (m_node->type) {
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE: {
        QByteArray out;
        if (m_doc && m_doc->hadDeclaration && m_node == reinterpret_cast<xmlNodePtr>(m_doc->doc))
            out = "<?xml version=\"1.0\"?>\n";
        for (xmlNodePtr c = m_node->children; c; c = c->next) {
            out += saveTree(c);
            if (c->next)
                out += '\n';
        }
        return QString::fromUtf8(out);
    }
    case XML_ATTRIBUTE_NODE: {
        const QByteArray v = text().toUtf8();
        return nodeName() + QStringLiteral("=\"") + QString::fromUtf8(escapeAttribute(v)) + QLatin1Char('"');
    }
    case XML_ELEMENT_NODE: {
        if (!m_node->parent || m_node->parent->type != XML_ELEMENT_NODE)
            return QString::fromUtf8(saveTree(m_node));
        // A copy on its own declares the prefixes that came from its ancestors.
        xmlDocPtr tmp = xmlNewDoc(BAD_CAST "1.0");
        xmlNodePtr copy = xmlDocCopyNode(m_node, tmp, 1);
        if (!copy) {
            xmlFreeDoc(tmp);
            domFail(QStringLiteral("Cannot serialise element %1").arg(nodeName()));
        }
        xmlDocSetRootElement(tmp, copy);
        const QByteArray out = saveTree(copy);
        xmlFreeDoc(tmp);
        return QString::fromUtf8(out);
    }
    default:
        return QString::fromUtf8(saveTree(m_node));
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
    xmlNodePtr c = child.raw();
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

DomDocument DomNode::ownerDocument() const
{
    return m_doc ? DomAccess::fromHolder(m_doc) : DomDocument();
}

DomNode DomNode::selectSingleNode(const QString &xpath) const
{
    if (!m_node)
        return {};
    const QList<xmlNodePtr> r = evalXPath(m_doc, m_node, xpath);
    return r.isEmpty() ? DomNode() : DomNode(m_doc, r.first());
}

QList<DomNode> DomNode::selectNodes(const QString &xpath) const
{
    QList<DomNode> out;
    if (!m_node)
        return out;
    for (xmlNodePtr n : evalXPath(m_doc, m_node, xpath))
        out.append(DomNode(m_doc, n));
    return out;
}

// ---------------------------------------------------------------- DomDocument

DomDocument DomAccess::fromHolder(const std::shared_ptr<DomDocHolder> &h)
{
    DomDocument d;
    d.m_s->cur = h;
    d.m_s->ns = h->ns;
    return d;
}

DomDocument::DomDocument() : m_s(std::make_shared<DomDocState>())
{
    initLibrary();
    m_s->cur = newHolder(xmlNewDoc(BAD_CAST "1.0"), {});
}

namespace {

struct LineTrack {
    startElementNsSAX2Func original = nullptr;
};

// libxml2 keeps lines above 65535 on text nodes only; an element's unused psvi slot holds
// them here.
void startElementTracked(void *ctx, const xmlChar *localname, const xmlChar *prefix, const xmlChar *URI,
                         int nb_namespaces, const xmlChar **namespaces, int nb_attributes, int nb_defaulted,
                         const xmlChar **attributes)
{
    auto *ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto *track = static_cast<LineTrack *>(ctxt->_private);
    track->original(ctx, localname, prefix, URI, nb_namespaces, namespaces, nb_attributes, nb_defaulted, attributes);
    if (ctxt->node && ctxt->input && ctxt->input->line >= 65535)
        ctxt->node->psvi = reinterpret_cast<void *>(static_cast<intptr_t>(ctxt->input->line));
}

} // namespace

bool DomDocument::parseInto(const QByteArray &bytes, const QString &url, const char *encoding,
                            const std::function<QString(int)> &lineText)
{
    m_s->error = DomParseError();
    m_s->error.url = url;
    const QByteArray base = url.toUtf8();
    ErrorCapture cap;
    LineTrack track;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    xmlDocPtr doc = nullptr;
    bool ok = false;
    if (ctxt) {
        track.original = ctxt->sax->startElementNs;
        ctxt->sax->startElementNs = &startElementTracked;
        ctxt->_private = &track;
        doc = xmlCtxtReadMemory(ctxt, bytes.constData(), int(bytes.size()),
                                base.isEmpty() ? nullptr : base.constData(), encoding,
                                XML_PARSE_NONET | XML_PARSE_BIG_LINES);
        ok = doc && ctxt->wellFormed && ctxt->nsWellFormed;
        xmlFreeParserCtxt(ctxt);
    }
    if (!ok) {
        if (doc)
            xmlFreeDoc(doc);
        m_s->error.reason = cap.hasError() ? cap.message() : QStringLiteral("The document is not well-formed");
        m_s->error.line = cap.line();
        m_s->error.column = cap.column();
        m_s->error.errorCode = cap.code() ? cap.code() : -1;
        m_s->error.srcText = lineText(cap.line());
        return false;
    }
    m_s->cur = newHolder(doc, m_s->ns);
    m_s->cur->hadDeclaration = startsWithDeclaration(bytes);
    if (!m_s->preserve)
        for (xmlNodePtr c = doc->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE)
                dropBlankText(c, false);
    return true;
}

bool DomDocument::loadXML(const QString &text)
{
    m_s->url.clear();
    // The text is Unicode already: a declared encoding does not apply to it.
    return parseInto(text.toUtf8(), QString(), "UTF-8", [&](int line) { return sourceLine(text, line); });
}

bool DomDocument::loadBytes(const QByteArray &bytes, const QString &baseUrl)
{
    m_s->url = baseUrl;
    return parseInto(bytes, baseUrl, nullptr, [&](int line) { return sourceLine(bytes, line); });
}

bool DomDocument::load(const QString &fileOrUrl)
{
    const auto fail = [&](const QString &reason, int code) {
        m_s->error = DomParseError();
        m_s->error.reason = reason;
        m_s->error.errorCode = code;
        m_s->error.url = fileOrUrl;
        m_s->url = fileOrUrl;
        return false;
    };
    const QString lower = fileOrUrl.left(8).toLower();
    if (lower.startsWith(QLatin1String("http://")) || lower.startsWith(QLatin1String("https://"))) {
        HttpResponse r;
        try {
            if (m_s->http) {
                r = m_s->http->get(fileOrUrl);
            } else {
                const HttpClient client;
                r = client.get(fileOrUrl);
            }
        } catch (const OstrelError &e) {
            return fail(e.description(), -1);
        }
        if (r.status >= 400 || r.status < 100)
            return fail(QStringLiteral("HTTP status %1 %2").arg(r.status).arg(r.statusText).trimmed(), r.status);
        return loadBytes(r.body, fileOrUrl);
    }
    QString path = fileOrUrl;
    if (lower.startsWith(QLatin1String("file:")))
        path = QUrl(fileOrUrl).toLocalFile();
    QFile f(path);
    if (!f.exists())
        return fail(QStringLiteral("File not found: %1").arg(path), -1);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read %1: %2").arg(path, f.errorString()), -1);
    const QByteArray bytes = f.readAll();
    const bool ok = loadBytes(bytes, path);
    m_s->url = fileOrUrl;
    m_s->error.url = fileOrUrl;
    return ok;
}

const DomParseError &DomDocument::parseError() const { return m_s->error; }
QString DomDocument::url() const { return m_s->url; }

void DomDocument::setSelectionNamespaces(const QString &declarations)
{
    static const QRegularExpression one(
        QStringLiteral(R"re(^\s*xmlns:([A-Za-z_][\w.\-]*)\s*=\s*(?:'([^']*)'|"([^"]*)"))re"));
    QList<QPair<QByteArray, QByteArray>> ns;
    QString rest = declarations;
    while (!rest.trimmed().isEmpty()) {
        const auto m = one.match(rest);
        if (!m.hasMatch())
            throw OstrelError(QStringLiteral("DOM"),
                              QStringLiteral("Malformed SelectionNamespaces value: %1").arg(declarations));
        const QString uri = m.capturedStart(2) >= 0 ? m.captured(2) : m.captured(3);
        ns.append({m.captured(1).toUtf8(), uri.toUtf8()});
        rest = rest.mid(m.capturedEnd(0));
    }
    m_s->ns = ns;
    m_s->cur->ns = ns;
}

QString DomDocument::selectionNamespaces() const
{
    QStringList parts;
    for (const auto &p : m_s->ns)
        parts.append(QStringLiteral("xmlns:%1='%2'").arg(QString::fromUtf8(p.first), QString::fromUtf8(p.second)));
    return parts.join(QLatin1Char(' '));
}

void DomDocument::setPreserveWhiteSpace(bool preserve) { m_s->preserve = preserve; }
bool DomDocument::preserveWhiteSpace() const { return m_s->preserve; }
void DomDocument::setHttpClient(const HttpClient *client) { m_s->http = client; }

DomNode DomDocument::documentElement() const
{
    xmlNodePtr root = xmlDocGetRootElement(m_s->cur->doc);
    return root ? DomNode(m_s->cur, root) : DomNode();
}

DomNode DomDocument::node() const { return DomNode(m_s->cur, reinterpret_cast<xmlNodePtr>(m_s->cur->doc)); }

DomNode DomDocument::selectSingleNode(const QString &xpath) const { return node().selectSingleNode(xpath); }
QList<DomNode> DomDocument::selectNodes(const QString &xpath) const { return node().selectNodes(xpath); }

QString DomDocument::xml() const { return node().xml(); }

void DomDocument::save(const QString &path) const
{
    xmlBufferPtr buf = xmlBufferCreate();
    xmlSaveCtxtPtr sc = xmlSaveToBuffer(buf, "UTF-8", XML_SAVE_AS_XML);
    if (!sc) {
        xmlBufferFree(buf);
        domFail(QStringLiteral("Cannot serialise the document"));
    }
    xmlSaveDoc(sc, m_s->cur->doc);
    xmlSaveClose(sc);
    const QByteArray out(reinterpret_cast<const char *>(xmlBufferContent(buf)), xmlBufferLength(buf));
    xmlBufferFree(buf);
    QSaveFile f(path);
    f.setDirectWriteFallback(true);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size() || !f.commit())
        domFail(QStringLiteral("Cannot save %1: %2").arg(path, f.errorString()));
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
    xmlNodePtr src = node.raw();
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

_xmlDoc *DomDocument::raw() const { return m_s->cur->doc; }

DomDocument DomDocument::adopt(_xmlDoc *doc)
{
    DomDocument d;
    if (doc)
        d.m_s->cur = newHolder(doc, {});
    return d;
}

QString selectionNamespaces()
{
    return QStringLiteral("xmlns:osd='%1' xmlns:xs='%2' xmlns:osl='%3' xmlns:xql='%4'")
        .arg(QLatin1String(ns::OSD), QLatin1String(ns::XS), QLatin1String(ns::OSL), QLatin1String(ns::XQL));
}

DomDocument NewDOMDocument(bool async, bool useXPath)
{
    Q_UNUSED(async);
    Q_UNUSED(useXPath);
    DomDocument d;
    d.setSelectionNamespaces(selectionNamespaces());
    return d;
}

} // namespace owb
