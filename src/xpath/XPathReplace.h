#pragma once
#include "xml/DomDocument.h"

#include <QList>
#include <QPair>
#include <QString>

namespace owb {

using Prefixes = QList<QPair<QString, QString>>;   // prefix, URI

// What to find and what to put in its place.
struct ReplaceRequest {
    QString xpath;
    QString value;
    bool fragment = false;    // value is XML that replaces the matched nodes themselves
    bool firstOnly = false;   // only the first match of each document
    Prefixes prefixes;        // beyond the four every document knows: the schema's own
};

// One node the expression selects, as the match list shows it.
struct ReplaceMatch {
    qint32 id = 0;            // the document's osl:id; 0 for a document not stored
    QString path;             // NodeXPath of the node
    QString current;          // its value now (an element's text content)
    QString replacement;      // the value it will get (the fragment's text)
    DomNode node;
};

// XPath find & replace on documents. The expression is evaluated with the document node as
// context, so "Order/total", "/Order/total" and "//total" all reach the same nodes. A value
// goes in as text (escaped when written): an element's content becomes that one text, an
// attribute, text node, comment or instruction takes it as its value. A fragment replaces
// the matched elements, text nodes, comments or instructions themselves; it cannot stand for
// an attribute or the document element.
class XPathReplace {
public:
    // Checks the expression and, for a fragment, its well-formedness: OstrelError (source
    // "XPathReplace") says what is wrong and where, before any document is touched.
    explicit XPathReplace(ReplaceRequest request);

    const ReplaceRequest &request() const { return m_request; }
    // The four selection prefixes and the request's own, as prefix, URI pairs.
    Prefixes allPrefixes() const;

    // The matches in root's document (root: its document element), in document order; with
    // firstOnly at most one. Throws OstrelError for a match the replacement cannot take.
    QList<ReplaceMatch> find(const DomNode &root) const;
    // Changes the matches find() gives; returns how many. A document whose text is no longer
    // well-formed afterwards (a value in place of the document element, say) throws
    // OstrelError; the document is then changed but must not be kept.
    int apply(const DomNode &root) const;

    // The prefixed namespaces a schema declares on its root, for ReplaceRequest::prefixes.
    static Prefixes schemaPrefixes(const DomNode &schema);
    // The path a document tree shows for node (an element's text, an attribute).
    static QString pathOf(const DomNode &node);

private:
    QList<DomNode> fragmentNodes() const;

    ReplaceRequest m_request;
    DomDocument m_fragment;   // the parsed fragment, wrapped in one element
};

} // namespace owb
