#pragma once
#include <QList>
#include <QString>
#include <QByteArray>
#include <memory>
#include <optional>
#include <QPair>

struct _xmlNode;

namespace owb {

class DomDocument;
struct DomDocHolder;   // owns one libxml2 document; shared by the handles into it
struct DomDocState;

// Why the last load failed. errorCode 0 means the last load succeeded.
struct DomParseError {
    QString reason;    // the parser's message, trimmed
    int line = 0;      // 1-based; 0 when not tied to a position (file missing, HTTP failure)
    int column = 0;    // 1-based
    QString srcText;   // the source line holding the error
    int errorCode = 0;
    QString url;       // what load() was given; for loadXML its base URL, if any
};

enum class DomNodeType {
    None = 0,
    Element = 1,
    Attribute = 2,
    Text = 3,
    CData = 4,
    EntityReference = 5,
    Entity = 6,
    ProcessingInstruction = 7,
    Comment = 8,
    Document = 9,
    DocumentType = 10,
    DocumentFragment = 11,
    Notation = 12,
};

// What loading does with references to declared entities.
enum class DomEntities {
    Kept,          // they stay as written; text() and attribute values still read through them
    // Replaced by their text, for whatever reads values (transformation, validation). A document
    // that uses an external entity fails to load, naming it: such entities are never read.
    Substituted,
    // Replaced as well, external ones read from local files, never from the network: for
    // stylesheets, whose modules are local files anyway.
    WithLocalFiles,
};

// A light handle on a node; it keeps its document alive. A null handle stands for "nothing".
// Handles compare equal when they refer to the same node. A handle to a node that a later
// edit frees (removeAttribute, setText over children) must not be used afterwards.
class DomNode {
public:
    DomNode() = default;

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const DomNode &o) const { return m_node == o.m_node; }
    bool operator!=(const DomNode &o) const { return m_node != o.m_node; }

    DomNodeType nodeType() const;
    QString nodeName() const;       // qualified name; "#text", "#comment", "#cdata-section", "#document"
    QString baseName() const;       // local name
    QString localName() const { return baseName(); }
    QString prefix() const;
    QString namespaceURI() const;

    QString text() const;           // concatenated text content
    void setText(const QString &text);           // element: replaces the children by one text node
    QString nodeValue() const;      // attribute, text, CDATA, comment, PI data; null otherwise
    void setNodeValue(const QString &value);

    // Self-contained serialisation: an element declares the namespace prefixes it uses even
    // when they are declared on its ancestors only.
    QString xml() const;

    int lineNumber() const;         // source line of an element, 0 when unknown

    DomNode parentNode() const;     // an attribute's parent is its element
    DomNode firstChild() const;
    DomNode lastChild() const;
    DomNode nextSibling() const;
    DomNode previousSibling() const;
    QList<DomNode> childNodes() const;
    bool hasChildNodes() const;
    QList<DomNode> attributes() const;           // in document order; namespace declarations excluded
    // The prefixed namespace declarations on this element itself: prefix, URI.
    QList<QPair<QString, QString>> namespaceDeclarations() const;

    // Qualified names ("osl:id") are resolved through the prefixes in scope of the element.
    bool hasAttribute(const QString &name) const;
    QString getAttribute(const QString &name) const;   // null QString when absent
    DomNode getAttributeNode(const QString &name) const;
    void setAttribute(const QString &name, const QString &value);  // throws on an unknown prefix
    void removeAttribute(const QString &name);

    // Tree edits return the node now in the tree (a node of another document is copied in).
    // They throw OstrelError (source "DOM") on an impossible edit.
    DomNode appendChild(const DomNode &child);
    DomNode insertBefore(const DomNode &child, const DomNode &ref);   // null ref: append
    DomNode removeChild(const DomNode &child);
    DomNode replaceChild(const DomNode &newChild, const DomNode &oldChild);
    DomNode cloneNode(bool deep) const;

    DomDocument ownerDocument() const;

    // XPath with the selection prefixes of the owner document; this node is the context node.
    // An invalid expression throws OstrelError (source "XPath").
    DomNode selectSingleNode(const QString &xpath) const;
    QList<DomNode> selectNodes(const QString &xpath) const;

private:
    friend class DomDocument;
    friend struct DomAccess;
    DomNode(std::shared_ptr<DomDocHolder> doc, _xmlNode *node)
        : m_doc(std::move(doc)), m_node(node) {}
    std::shared_ptr<DomDocHolder> m_doc;
    _xmlNode *m_node = nullptr;
};

// A handle on a document; copies refer to the same document (loading through one copy is
// seen through the others). Nodes taken before a load keep the earlier tree alive.
// Loading is synchronous and safe: no network access by the parser, no external entities or
// DTDs, no unbounded entity expansion. A failed load keeps the previous document.
// Whitespace-only text between elements is dropped after loading, so "first child" means the
// first element or other real node. Blank text is content, and stays, where it is an
// element's only content (<password> </password>), where xml:space="preserve" is in force,
// where the parent also holds non-blank text (mixed content: the blank separates words), and
// everywhere when setPreserveWhiteSpace(true).
// References to entities of the internal subset stay in the tree as written unless
// setEntities says otherwise.
class DomDocument {
public:
    DomDocument();

    // The text's own encoding declaration is ignored. baseUrl: where relative references in
    // it lead (a stylesheet's includes), when it came from there.
    bool loadXML(const QString &text, const QString &baseUrl = {});
    bool loadBytes(const QByteArray &bytes, const QString &baseUrl = {});
    // Local path or file:// URL: read from disk. An http(s):// URL fails without a request:
    // server answers are read through the server's client.
    bool load(const QString &fileOrUrl);
    const DomParseError &parseError() const;
    QString url() const;

    // "xmlns:p='uri' xmlns:q='uri'"; throws OstrelError on a malformed value.
    void setSelectionNamespaces(const QString &declarations);
    QString selectionNamespaces() const;
    void setPreserveWhiteSpace(bool preserve);   // applies to later loads
    bool preserveWhiteSpace() const;
    // Applies to later loads.
    void setEntities(DomEntities mode);
    // Documents nest at most the levels shared with the server (a deeper one fails to load,
    // naming the limit). For a server answer loaded with loadBytes, say how many levels its
    // envelope adds around the documents.
    void setEnvelopeLevels(int levels);

    DomNode documentElement() const;
    // Makes element (a node of this document) the document element in place of the current
    // one, which is dropped with whatever else it held; the prefixes the element used from its
    // old ancestors are declared on it. Nothing is copied. Throws OstrelError (source "DOM").
    DomNode setDocumentElement(const DomNode &element);
    DomNode node() const;                        // the document node itself
    QList<DomNode> childNodes() const { return node().childNodes(); }
    DomNode appendChild(const DomNode &child) { return node().appendChild(child); }

    DomNode selectSingleNode(const QString &xpath) const;
    QList<DomNode> selectNodes(const QString &xpath) const;

    // Whole document; an XML declaration (without encoding) only when the source had one.
    QString xml() const;
    // Writes UTF-8 with a declaration; throws OstrelError (source "DOM") on failure.
    void save(const QString &path) const;

    // nsUri empty: the prefix of qualifiedName (if any) is resolved when the node is inserted.
    DomNode createElement(const QString &qualifiedName, const QString &nsUri = {});
    DomNode createTextNode(const QString &text);
    DomNode createComment(const QString &text);
    DomNode createCDATASection(const QString &text);
    DomNode createProcessingInstruction(const QString &target, const QString &data);
    DomNode importNode(const DomNode &node, bool deep);

private:
    friend struct DomAccess;
    bool parseInto(const QByteArray &bytes, const QString &url, const char *encoding, int envelope);
    std::shared_ptr<DomDocState> m_s;
};

// The four selection prefixes every component relies on, as a SelectionNamespaces value.
QString selectionNamespaces();

// Why an XPath expression cannot be used; position is the 1-based character where the
// parser stopped, 0 when the fault has no place (an unknown function found on evaluation).
struct XPathFault {
    QString reason;
    int position = 0;
};
// Compiles expr and evaluates it once on an empty document with the prefixes given
// (prefix, URI), so that syntax errors, unknown prefixes and unknown functions show before
// the expression meets real documents. Nothing: it can be used.
std::optional<XPathFault> checkXPath(const QString &expr, const QList<QPair<QString, QString>> &prefixes);

// The shared document factory. All loads are synchronous whatever async says; useXPath is
// kept for callers' sake (selections are always XPath).
DomDocument NewDOMDocument(bool async, bool useXPath);

} // namespace owb
