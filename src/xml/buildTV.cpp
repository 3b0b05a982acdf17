#include "xml/buildTV.h"

#include "common/OstrelError.h"
#include "xml/DomDocument.h"
#include "xml/DomInternal.h"
#include "xml/TreeNames.h"

#include <libxml/tree.h>

namespace owb {

using namespace treenames;

void buildTV::reset(ITreeSink &tree)
{
    m_tree = &tree;
    m_keys = {};
    m_open.clear();
    tree.clear();
    TreeNodeData root;
    root.key = QStringLiteral("/");
    root.text = kDocument;
    root.image = kDocument;
    tree.addNode(QString(), root);
}


void buildTV::startElement(const QString &qName, const QStringList &attributeNames,
                           bool defaultNamespace, bool hasText)
{
    if (!m_tree)
        throw OstrelError(QStringLiteral("buildTV"), QStringLiteral("No tree to fill"));
    const QString parentKey = m_open.empty() ? QStringLiteral("/") : m_open.back().key;
    const QString key = m_keys.unique(m_open.empty() ? QStringLiteral(".")
                                                 : parentKey + u'/' + qName);
    TreeNodeData element;
    element.key = key;
    element.text = qName;
    element.image = kElement;
    element.defaultNamespace = defaultNamespace;
    element.hasText = hasText;
    if (!m_open.empty()) {
        // A plain name test skips namespaced namesakes; a name() test does not.
        Open &parent = m_open.back();
        const int all = ++parent.byName[qName];
        const bool plain = !defaultNamespace && !qName.contains(u':');
        element.position = plain ? ++parent.plainByName[qName] : all;
    }
    m_tree->addNode(parentKey, element);

    for (const QString &name : attributeNames) {
        TreeNodeData attribute;
        attribute.key = key + QStringLiteral("/@") + name;
        attribute.text = name;
        attribute.image = kAttribute;
        m_tree->addNode(key, attribute);
    }
    m_open.push_back(Open{key, {}, {}});
}

void buildTV::endElement()
{
    // The document element stays the current path once it ends.
    if (m_open.size() > 1)
        m_open.pop_back();
}

void buildTV::BuildTree(ITreeSink &tree, const DomNode &node)
{
    struct EndFill {
        ITreeSink &t;
        ~EndFill() { t.endFill(); }
    } endFill{tree};

    reset(tree);

    xmlNode *top = DomAccess::node(node);
    if (top && (top->type == XML_DOCUMENT_NODE || top->type == XML_HTML_DOCUMENT_NODE))
        top = xmlDocGetRootElement(reinterpret_cast<xmlDoc *>(top));
    if (!top || top->type != XML_ELEMENT_NODE)
        throw OstrelError(QStringLiteral("buildTV"), QStringLiteral("No element to show as a tree"));

    NameCache names;
    QStringList attributeNames;
    xmlNode *cur = top;
    while (cur) {
        attributeNames.clear();
        for (xmlAttr *a = cur->properties; a; a = a->next)
            attributeNames.append(names.qName(a->ns, a->name));
        const bool defaultNs = cur->ns && !cur->ns->prefix && cur->ns->href && *cur->ns->href;
        bool hasText = false;
        for (xmlNode *c = cur->children; c && !hasText; c = c->next)
            hasText = c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE;
        startElement(names.qName(cur->ns, cur->name), attributeNames, defaultNs, hasText);

        // Next element in document order, closing the ones left behind.
        xmlNode *next = cur->children;
        while (next && next->type != XML_ELEMENT_NODE)
            next = next->next;
        if (next) {
            cur = next;
            continue;
        }
        while (cur) {
            endElement();
            if (cur == top) {
                cur = nullptr;
                break;
            }
            xmlNode *sibling = cur->next;
            while (sibling && sibling->type != XML_ELEMENT_NODE)
                sibling = sibling->next;
            if (sibling) {
                cur = sibling;
                break;
            }
            cur = cur->parent;
        }
    }
    tree.expandRoot();
}

void KeyedTree::clear()
{
    m_nodes.clear();
    m_index.clear();
    m_rootExpanded = false;
}

void KeyedTree::addNode(const QString &parentKey, const TreeNodeData &node)
{
    const int index = int(m_nodes.size());
    Entry entry;
    entry.data = node;
    if (!parentKey.isEmpty()) {
        entry.parent = m_index.value(parentKey, -1);
        if (entry.parent >= 0)
            m_nodes[size_t(entry.parent)].children.append(index);
    }
    m_nodes.push_back(std::move(entry));
    m_index.insert(node.key, index);
}

const TreeNodeData *KeyedTree::node(const QString &key) const
{
    const int i = m_index.value(key, -1);
    return i < 0 ? nullptr : &m_nodes[size_t(i)].data;
}

QString KeyedTree::parentKey(const QString &key) const
{
    const int i = m_index.value(key, -1);
    if (i < 0 || m_nodes[size_t(i)].parent < 0)
        return QString();
    return m_nodes[size_t(m_nodes[size_t(i)].parent)].data.key;
}

QStringList KeyedTree::childKeys(const QString &key) const
{
    QStringList out;
    const int i = m_index.value(key, -1);
    if (i >= 0) {
        for (int c : m_nodes[size_t(i)].children)
            out.append(m_nodes[size_t(c)].data.key);
    }
    return out;
}

QStringList KeyedTree::keys() const
{
    QStringList out;
    out.reserve(qsizetype(m_nodes.size()));
    for (const Entry &e : m_nodes)
        out.append(e.data.key);
    return out;
}

QList<TreeNodeData> KeyedTree::chain(const QString &key) const
{
    QList<TreeNodeData> out;
    for (int i = m_index.value(key, -1); i >= 0; i = m_nodes[size_t(i)].parent)
        out.prepend(m_nodes[size_t(i)].data);
    return out;
}

} // namespace owb
