#include "xml/xmlutil.h"
#include "xml/DomInternal.h"
#include "common/OstrelError.h"

#include <libxml/xmlsave.h>


namespace owb {

using namespace domdetail;

namespace {

class Writer {
public:
    explicit Writer(const xmlutil::Piece *piece = nullptr) : m_piece(piece) {}

    QByteArray out;
    qsizetype handedOn = 0;   // bytes given to the piece callback so far
    // Declared on top's start tag besides its own: what it inherits from outside.
    xmlNodePtr top = nullptr;
    Declarations inherited;

    void block(xmlNodePtr n, int depth, bool preserve)
    {
        switch (n->type) {
        case XML_ELEMENT_NODE: element(n, depth, preserve); break;
        case XML_DTD_NODE: line(depth, serialise(n)); break;
        case XML_TEXT_NODE:
            // Only where nothing else holds it (a text node on its own); blanks are layout.
            if (!isBlankText(n)) {
                indent(depth);
                text(n->content);
                out += '\n';
            }
            break;
        default:
            indent(depth);
            inlineNode(n);
            out += '\n';
        }
        handOnWhenFull();
    }

    // Hands on what is written. The line breaks at the end are kept back: the text's last
    // ones are dropped, and which are the last is known only at the end.
    void handOn(bool atEnd)
    {
        qsizetype keep = 0;
        while (keep < out.size() && out.at(out.size() - 1 - keep) == '\n')
            ++keep;
        const qsizetype ready = out.size() - keep;
        if (ready > 0)
            (*m_piece)(out.constData(), ready);
        handedOn += ready;
        out.remove(0, ready);
        if (atEnd)
            out.clear();
    }

private:
    static constexpr qsizetype kPiece = qsizetype(1) << 20;
    const xmlutil::Piece *m_piece;

    // Only between nodes, so a piece never ends inside a character.
    void handOnWhenFull()
    {
        if (m_piece && out.size() >= kPiece)
            handOn(false);
    }

    static bool isBlankText(xmlNodePtr n)
    {
        for (const xmlChar *s = n->content; s && *s; ++s)
            if (*s != ' ' && *s != '\t' && *s != '\n' && *s != '\r')
                return false;
        return true;
    }

    void indent(int depth) { out.append(depth * 2, ' '); }

    void line(int depth, const QByteArray &text)
    {
        indent(depth);
        out += text;
        out += '\n';
    }

    static bool preserveOf(xmlNodePtr el, bool inherited)
    {
        for (xmlAttrPtr a = el->properties; a; a = a->next) {
            if (a->ns && xmlStrEqual(a->ns->href, XML_XML_NAMESPACE) && xmlStrEqual(a->name, BAD_CAST "space")) {
                xmlChar *v = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
                const bool p = xmlStrEqual(v, BAD_CAST "preserve") ? true
                             : xmlStrEqual(v, BAD_CAST "default")  ? false
                                                                    : inherited;
                xmlFree(v);
                return p;
            }
        }
        return inherited;
    }

    // An element that holds text, or no element at all, is written as it stands: blanks
    // there are content when read back, so indenting inside it would change it.
    static bool writtenAsItStands(xmlNodePtr el)
    {
        bool elements = false;
        for (xmlNodePtr c = el->children; c; c = c->next) {
            if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE || c->type == XML_ENTITY_REF_NODE)
                return true;
            elements = elements || c->type == XML_ELEMENT_NODE;
        }
        return !elements;
    }

    void element(xmlNodePtr el, int depth, bool preserve)
    {
        preserve = preserveOf(el, preserve);
        indent(depth);
        startTag(el);
        if (!el->children) {
            out += "/>\n";
            return;
        }
        out += '>';
        if (preserve || writtenAsItStands(el)) {
            for (xmlNodePtr c = el->children; c; c = c->next)
                inlineNode(c);
        } else {
            out += '\n';
            for (xmlNodePtr c = el->children; c; c = c->next)
                block(c, depth + 1, preserve);
            indent(depth);
        }
        endTag(el);
        out += '\n';
    }

    void qname(xmlNodePtr n)
    {
        if (n->ns && n->ns->prefix) {
            out += reinterpret_cast<const char *>(n->ns->prefix);
            out += ':';
        }
        out += reinterpret_cast<const char *>(n->name);
    }

    void startTag(xmlNodePtr el)
    {
        out += '<';
        qname(el);
        for (xmlNsPtr ns = el->nsDef; ns; ns = ns->next) {
            out += ns->prefix ? " xmlns:" : " xmlns";
            if (ns->prefix)
                out += reinterpret_cast<const char *>(ns->prefix);
            out += "=\"";
            out += escapeNamespace(QByteArray(reinterpret_cast<const char *>(ns->href)));
            out += '"';
        }
        if (el == top) {
            for (const auto &[prefix, href] : inherited) {
                out += prefix ? " xmlns:" : " xmlns";
                if (prefix)
                    out += reinterpret_cast<const char *>(prefix);
                out += "=\"";
                out += escapeNamespace(QByteArray(reinterpret_cast<const char *>(href)));
                out += '"';
            }
        }
        for (xmlAttrPtr a = el->properties; a; a = a->next) {
            out += ' ';
            qname(reinterpret_cast<xmlNodePtr>(a));
            out += "=\"";
            xmlChar *v = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
            out += escapeAttribute(QByteArray(reinterpret_cast<const char *>(v)));
            xmlFree(v);
            out += '"';
        }
    }

    void endTag(xmlNodePtr el)
    {
        out += "</";
        qname(el);
        out += '>';
    }

    void text(const xmlChar *s)
    {
        if (!s)
            return;
        const char *p = reinterpret_cast<const char *>(s);
        const char *run = p;
        for (; *p; ++p) {
            const char *rep = nullptr;
            switch (*p) {
            case '&': rep = "&amp;"; break;
            case '<': rep = "&lt;"; break;
            case '>': rep = "&gt;"; break;
            case '\r': rep = "&#13;"; break;
            default: continue;
            }
            out.append(run, p - run);
            out += rep;
            run = p + 1;
        }
        out.append(run, p - run);
    }

    void inlineNode(xmlNodePtr n)
    {
        switch (n->type) {
        case XML_ELEMENT_NODE:
            startTag(n);
            if (!n->children) {
                out += "/>";
                return;
            }
            out += '>';
            for (xmlNodePtr c = n->children; c; c = c->next)
                inlineNode(c);
            endTag(n);
            break;
        case XML_TEXT_NODE: text(n->content); break;
        case XML_CDATA_SECTION_NODE: {
            QByteArray c(reinterpret_cast<const char *>(n->content ? n->content : BAD_CAST ""));
            c.replace("]]>", "]]]]><![CDATA[>");
            out += "<![CDATA[" + c + "]]>";
            break;
        }
        case XML_COMMENT_NODE:
            out += "<!--";
            out += reinterpret_cast<const char *>(n->content ? n->content : BAD_CAST "");
            out += "-->";
            break;
        case XML_PI_NODE:
            out += "<?";
            out += reinterpret_cast<const char *>(n->name);
            if (n->content && *n->content) {
                out += ' ';
                out += reinterpret_cast<const char *>(n->content);
            }
            out += "?>";
            break;
        case XML_ENTITY_REF_NODE:
            out += '&';
            out += reinterpret_cast<const char *>(n->name);
            out += ';';
            break;
        case XML_DTD_NODE: out += serialise(n); break;
        default: break;
        }
        handOnWhenFull();
    }
};

QByteArray finish(QByteArray &out)
{
    while (out.endsWith('\n'))
        out.chop(1);
    return std::move(out);
}

// Room for the source text and its indentation, so that the text is written without moving.
// Pages reserved and never written cost no memory.
qsizetype sizeHint(const DomNode &node)
{
    const auto &holder = DomAccess::holder(node);
    const qsizetype source = holder ? holder->sourceBytes : 0;
    return source > 0 ? source + source / 4 + 4096 : 0;
}

} // namespace

QString xmlutil::FormatXML(const DomNode &node) const
{
    xmlNodePtr n = DomAccess::node(node);
    if (n && n->type != XML_ELEMENT_NODE && n->type != XML_DOCUMENT_NODE && n->type != XML_HTML_DOCUMENT_NODE)
        return node.xml();
    return QString::fromUtf8(FormatXMLUtf8(node));
}

namespace {

// Writes an element or a document; other nodes are the callers' business.
void write(const DomNode &node, Writer &w)
{
    xmlNodePtr n = DomAccess::node(node);
    if (n->type == XML_DOCUMENT_NODE || n->type == XML_HTML_DOCUMENT_NODE) {
        for (xmlNodePtr c = n->children; c; c = c->next)
            w.block(c, 0, false);
        return;
    }
    if (!n->parent || n->parent->type != XML_ELEMENT_NODE) {
        w.block(n, 0, false);
        return;
    }
    // Below another element: the prefixes inherited from the ancestors are declared on it,
    // as a copy on its own would declare them.
    w.top = n;
    if (inheritedNamespaces(n, w.inherited)) {
        w.block(n, 0, xmlNodeGetSpacePreserve(n) == 1);
        return;
    }
    w.top = nullptr;
    w.inherited.clear();
    xmlDocPtr tmp = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr copy = xmlDocCopyNode(n, tmp, 1);
    if (!copy) {
        xmlFreeDoc(tmp);
        throw OstrelError(QStringLiteral("xmlutil"), QStringLiteral("Cannot copy element %1").arg(node.nodeName()));
    }
    xmlDocSetRootElement(tmp, copy);
    try {
        w.block(copy, 0, xmlNodeGetSpacePreserve(n) == 1);
    } catch (...) {
        xmlFreeDoc(tmp);
        throw;
    }
    xmlFreeDoc(tmp);
}

bool isTreeNode(xmlNodePtr n)
{
    return n->type == XML_ELEMENT_NODE || n->type == XML_DOCUMENT_NODE || n->type == XML_HTML_DOCUMENT_NODE;
}

} // namespace

QByteArray xmlutil::FormatXMLUtf8(const DomNode &node) const
{
    if (node.isNull())
        return {};
    if (!isTreeNode(DomAccess::node(node)))
        return node.xml().toUtf8();
    Writer w;
    w.out.reserve(sizeHint(node));
    write(node, w);
    return finish(w.out);
}

qsizetype xmlutil::FormatXMLUtf8(const DomNode &node, const Piece &piece) const
{
    if (node.isNull())
        return 0;
    if (!isTreeNode(DomAccess::node(node))) {
        const QByteArray text = node.xml().toUtf8();
        if (!text.isEmpty())
            piece(text.constData(), text.size());
        return text.size();
    }
    Writer w(&piece);
    write(node, w);
    w.handOn(true);
    return w.handedOn;
}

QString xmlutil::FormatXML(const QString &text) const
{
    DomDocument doc;
    if (!doc.loadXML(text)) {
        const DomParseError &e = doc.parseError();
        throw OstrelError(QStringLiteral("xmlutil"),
                          QStringLiteral("%1 (line %2, column %3)").arg(e.reason).arg(e.line).arg(e.column));
    }
    return FormatXML(doc.node());
}

} // namespace owb
