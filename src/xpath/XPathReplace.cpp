#include "xpath/XPathReplace.h"

#include "common/OstrelError.h"
#include "xml/Namespaces.h"
#include "xml/NodeXPath.h"
#include "xml/TreeNames.h"

#include <algorithm>

namespace owb {

namespace {

const QString kSource = QStringLiteral("XPathReplace");
const QString kWrapper = QStringLiteral("fragment");

[[noreturn]] void fail(const QString &description, OstrelError::Kind kind = OstrelError::Kind::Other)
{
    throw OstrelError(kind, kSource, description);
}

bool isDefaultNamespaced(const DomNode &element)
{
    return element.prefix().isEmpty() && !element.namespaceURI().isEmpty();
}

// The element as the document tree builder describes it.
TreeNodeData treeData(const DomNode &element)
{
    TreeNodeData data;
    data.text = element.nodeName();
    data.image = treenames::kElement;
    data.defaultNamespace = isDefaultNamespaced(element);
    data.hasText = false;
    for (DomNode c = element.firstChild(); c && !data.hasText; c = c.nextSibling())
        data.hasText = c.nodeType() == DomNodeType::Text || c.nodeType() == DomNodeType::CData;
    // A plain name test skips namespaced namesakes; a name() test does not.
    const bool plain = !data.defaultNamespace && !data.text.contains(u':');
    for (DomNode s = element.previousSibling(); s; s = s.previousSibling())
        if (s.nodeType() == DomNodeType::Element && s.nodeName() == data.text && (!plain || !isDefaultNamespaced(s)))
            ++data.position;
    return data;
}

QList<TreeNodeData> chainOf(DomNode element)
{
    QList<TreeNodeData> chain;
    for (; element && element.nodeType() == DomNodeType::Element; element = element.parentNode())
        chain.prepend(treeData(element));
    TreeNodeData document;
    document.text = document.image = treenames::kDocument;
    chain.prepend(document);
    return chain;
}

QString describe(const DomNode &node)
{
    return node.nodeType() == DomNodeType::Attribute ? u'@' + node.nodeName() : node.nodeName();
}

} // namespace

XPathReplace::XPathReplace(ReplaceRequest request) : m_request(std::move(request))
{
    if (const auto fault = checkXPath(m_request.xpath, allPrefixes())) {
        const QString where = fault->position > 0 ? QStringLiteral(" at position %1").arg(fault->position) : QString();
        fail(QStringLiteral("Invalid XPath expression \"%1\"%2: %3").arg(m_request.xpath, where, fault->reason),
             OstrelError::Kind::Parse);
    }
    if (!m_request.fragment)
        return;
    // The fragment may use the prefixes the expression may use.
    QString open = u'<' + kWrapper;
    for (const auto &[prefix, uri] : allPrefixes())
        open += QStringLiteral(" xmlns:%1=\"%2\"").arg(prefix, uri.toHtmlEscaped());
    open += u'>';
    m_fragment = NewDOMDocument(false, true);
    if (!m_fragment.loadXML(open + m_request.value + QStringLiteral("</") + kWrapper + u'>')) {
        const DomParseError &e = m_fragment.parseError();
        const int column = e.line == 1 ? std::max(1, e.column - int(open.size())) : e.column;
        fail(QStringLiteral("The XML fragment is not well-formed: %1 (line %2, column %3)")
                 .arg(e.reason).arg(e.line).arg(column),
             OstrelError::Kind::Parse);
    }
}

Prefixes XPathReplace::allPrefixes() const
{
    Prefixes all{{QStringLiteral("osd"), QLatin1String(ns::OSD)},
                 {QStringLiteral("xs"), QLatin1String(ns::XS)},
                 {QStringLiteral("osl"), QLatin1String(ns::OSL)},
                 {QStringLiteral("xql"), QLatin1String(ns::XQL)}};
    for (const auto &p : m_request.prefixes)
        if (std::none_of(all.cbegin(), all.cend(), [&p](const auto &known) { return known.first == p.first; }))
            all.append(p);
    return all;
}

QList<ReplaceMatch> XPathReplace::find(const DomNode &root) const
{
    DomDocument doc = root.ownerDocument();
    QStringList declarations;
    for (const auto &[prefix, uri] : allPrefixes())
        declarations << QStringLiteral("xmlns:%1='%2'").arg(prefix, uri);
    doc.setSelectionNamespaces(declarations.join(u' '));

    const qint32 id = root.getAttribute(QStringLiteral("osl:id")).toInt();
    const DomNode top = doc.documentElement();
    QList<ReplaceMatch> out;
    for (const DomNode &node : doc.node().selectNodes(m_request.xpath)) {
        const DomNodeType type = node.nodeType();
        if (type == DomNodeType::Document || type == DomNodeType::DocumentType)
            fail(QStringLiteral("The expression selects the document itself, not a node of it"));
        if (m_request.fragment && (type == DomNodeType::Attribute || node == top))
            fail(QStringLiteral("An XML fragment cannot replace %1: select the nodes below it")
                     .arg(type == DomNodeType::Attribute ? QStringLiteral("the attribute ") + describe(node)
                                                         : QStringLiteral("the document element")));
        ReplaceMatch m;
        m.id = id;
        m.path = pathOf(node);
        m.current = type == DomNodeType::Element ? node.text() : node.nodeValue();
        m.replacement = m_request.value;
        m.node = node;
        out.append(m);
        if (m_request.firstOnly)
            break;
    }
    return out;
}

QList<DomNode> XPathReplace::fragmentNodes() const
{
    return m_fragment.documentElement().childNodes();
}

int XPathReplace::apply(const DomNode &root) const
{
    const QList<ReplaceMatch> matches = find(root);
    // Last first: a match inside another is changed before its ancestor replaces it.
    for (auto it = matches.crbegin(); it != matches.crend(); ++it) {
        DomNode node = it->node;
        if (!m_request.fragment) {
            if (node.nodeType() == DomNodeType::Element)
                node.setText(m_request.value);
            else
                node.setNodeValue(m_request.value);
            continue;
        }
        DomNode parent = node.parentNode();
        for (const DomNode &piece : fragmentNodes())
            parent.insertBefore(piece.cloneNode(true), node);
        parent.removeChild(node);
    }
    // A value can hold what XML cannot carry (a control character, "]]>" in a CDATA section).
    DomDocument check = NewDOMDocument(false, true);
    if (!matches.isEmpty() && !check.loadXML(root.ownerDocument().xml()))
        fail(QStringLiteral("The document is not well-formed after the replacement: %1").arg(check.parseError().reason),
             OstrelError::Kind::Parse);
    return int(matches.size());
}

Prefixes XPathReplace::schemaPrefixes(const DomNode &schema)
{
    return schema ? schema.namespaceDeclarations() : Prefixes();
}

QString XPathReplace::pathOf(const DomNode &node)
{
    switch (node.nodeType()) {
    case DomNodeType::Element:
        return NodeXPath(chainOf(node));
    case DomNodeType::Attribute: {
        QList<TreeNodeData> chain = chainOf(node.parentNode());
        TreeNodeData attribute;
        attribute.text = node.nodeName();
        attribute.image = treenames::kAttribute;
        chain.append(attribute);
        return NodeXPath(chain);
    }
    case DomNodeType::Text:
    case DomNodeType::CData:
        return NodeXPath(chainOf(node.parentNode()));
    default: {
        // Comments and instructions: the parent's path, ending in their own node test.
        QString path = NodeXPath(chainOf(node.parentNode()));
        path.chop(int(QStringLiteral("text()").size()));
        return path + (node.nodeType() == DomNodeType::Comment ? QStringLiteral("comment()")
                                                                : QStringLiteral("processing-instruction()"));
    }
    }
}

} // namespace owb
