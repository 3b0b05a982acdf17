#include "xml/DomTreeModel.h"

#include "common/OstrelError.h"
#include "xml/DomInternal.h"
#include "xml/TreeNames.h"
#include "xml/NodeXPath.h"

#include <QApplication>
#include <QSet>
#include <QStyle>

#include <vector>

namespace owb {

namespace {

using namespace treenames;

xmlNodePtr firstElement(xmlNodePtr n)
{
    while (n && n->type != XML_ELEMENT_NODE)
        n = n->next;
    return n;
}


} // namespace

struct DomTreeModel::Node {
    Node *parent = nullptr;
    int row = 0;
    xmlNodePtr element = nullptr;   // null for the document row and for attributes
    TreeNodeData data;
    bool made = false;
    std::vector<std::unique_ptr<Node>> children;
};

DomTreeModel::DomTreeModel(QObject *parent, const QHash<QString, QIcon> &images)
    : QAbstractItemModel(parent), m_images(images)
{
}

DomTreeModel::~DomTreeModel() = default;

QHash<QString, QIcon> DomTreeModel::standardImages()
{
    QHash<QString, QIcon> images;
    if (QStyle *style = QApplication::style()) {
        images.insert(kDocument, style->standardIcon(QStyle::SP_FileIcon));
        images.insert(kElement, style->standardIcon(QStyle::SP_DirIcon));
        images.insert(kAttribute, style->standardIcon(QStyle::SP_FileDialogDetailedView));
    }
    return images;
}

void DomTreeModel::clear()
{
    beginResetModel();
    m_root.reset();
    m_top = DomNode();
    m_made = 0;
    endResetModel();
}

void DomTreeModel::setDocument(const DomNode &node)
{
    beginResetModel();
    m_root.reset();
    m_top = DomNode();
    m_made = 0;
    xmlNodePtr top = DomAccess::node(node);
    if (top && (top->type == XML_DOCUMENT_NODE || top->type == XML_HTML_DOCUMENT_NODE))
        top = xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(top));
    if (!top || top->type != XML_ELEMENT_NODE) {
        endResetModel();
        throw OstrelError(QStringLiteral("buildTV"), QStringLiteral("No element to show as a tree"));
    }
    m_top = node;
    m_root = std::make_unique<Node>();
    m_root->data.key = QStringLiteral("/");
    m_root->data.text = kDocument;
    m_root->data.image = kDocument;
    m_root->made = true;
    auto element = std::make_unique<Node>();
    element->parent = m_root.get();
    element->element = top;
    element->data.key = QStringLiteral(".");
    element->data.text = NameCache().qName(top->ns, top->name);
    element->data.image = kElement;
    element->data.defaultNamespace = top->ns && !top->ns->prefix && top->ns->href && *top->ns->href;
    element->data.hasText = false;
    for (xmlNodePtr c = top->children; c && !element->data.hasText; c = c->next)
        element->data.hasText = c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE;
    m_root->children.push_back(std::move(element));
    m_made = 2;
    endResetModel();
}

void DomTreeModel::makeChildren(Node *node) const
{
    if (node->made)
        return;
    node->made = true;
    xmlNodePtr el = node->element;
    if (!el)
        return;
    NameCache names;
    const QString &parentKey = node->data.key;
    size_t count = 0;
    for (xmlAttrPtr a = el->properties; a; a = a->next)
        ++count;
    for (xmlNodePtr c = firstElement(el->children); c; c = firstElement(c->next))
        ++count;
    node->children.reserve(count);

    const auto add = [&](std::unique_ptr<Node> child) {
        child->parent = node;
        child->row = int(node->children.size());
        node->children.push_back(std::move(child));
    };
    for (xmlAttrPtr a = el->properties; a; a = a->next) {
        auto child = std::make_unique<Node>();
        child->made = true;
        child->data.text = names.qName(a->ns, a->name);
        child->data.key = parentKey + QStringLiteral("/@") + child->data.text;
        child->data.image = kAttribute;
        add(std::move(child));
    }
    // Keys only collide among siblings: a key is its parent's key, "/" and a name, and names
    // hold no "/".
    UniqueKeys keys;
    QHash<QString, int> byName, plainByName;
    for (xmlNodePtr c = firstElement(el->children); c; c = firstElement(c->next)) {
        auto child = std::make_unique<Node>();
        child->element = c;
        TreeNodeData &d = child->data;
        d.text = names.qName(c->ns, c->name);
        d.key = keys.unique(parentKey + u'/' + d.text);
        d.image = kElement;
        d.defaultNamespace = c->ns && !c->ns->prefix && c->ns->href && *c->ns->href;
        d.hasText = false;
        for (xmlNodePtr t = c->children; t && !d.hasText; t = t->next)
            d.hasText = t->type == XML_TEXT_NODE || t->type == XML_CDATA_SECTION_NODE;
        // A plain name test skips namespaced namesakes; a name() test does not.
        const int all = ++byName[d.text];
        const bool plain = !d.defaultNamespace && !d.text.contains(u':');
        d.position = plain ? ++plainByName[d.text] : all;
        add(std::move(child));
    }
    m_made += qsizetype(node->children.size());
}

DomTreeModel::Node *DomTreeModel::nodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : nullptr;
}

QModelIndex DomTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return m_root && row == 0 ? createIndex(0, 0, m_root.get()) : QModelIndex();
    Node *p = nodeOf(parent);
    makeChildren(p);
    if (size_t(row) >= p->children.size())
        return {};
    return createIndex(row, 0, p->children[size_t(row)].get());
}

QModelIndex DomTreeModel::parent(const QModelIndex &child) const
{
    Node *n = nodeOf(child);
    if (!n || !n->parent)
        return {};
    return createIndex(n->parent->row, 0, n->parent);
}

int DomTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_root ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    Node *p = nodeOf(parent);
    makeChildren(p);
    return int(p->children.size());
}

int DomTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool DomTreeModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return bool(m_root);
    const Node *p = nodeOf(parent);
    if (p->made)
        return !p->children.empty();
    return p->element && (p->element->properties || firstElement(p->element->children));
}

QVariant DomTreeModel::data(const QModelIndex &index, int role) const
{
    const Node *n = nodeOf(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole: return n->data.text;
    case Qt::DecorationRole: {
        const auto icon = m_images.constFind(n->data.image);
        return icon == m_images.constEnd() ? QVariant() : QVariant(*icon);
    }
    case KeyRole: return n->data.key;
    case ImageRole: return n->data.image;
    default: return {};
    }
}

TreeNodeData DomTreeModel::nodeData(const QModelIndex &index) const
{
    const Node *n = nodeOf(index);
    return n ? n->data : TreeNodeData{};
}

QString DomTreeModel::NodeXPath(const QModelIndex &index) const
{
    QList<TreeNodeData> chain;
    for (const Node *n = nodeOf(index); n; n = n->parent)
        chain.prepend(n->data);
    return owb::NodeXPath(chain);
}

QModelIndex DomTreeModel::indexOfKey(const QString &key) const
{
    if (!m_root)
        return {};
    if (key == QLatin1String("/"))
        return createIndex(0, 0, m_root.get());
    if (key != QLatin1String(".") && !key.startsWith(QLatin1String("./")))
        return {};
    Node *n = m_root->children.front().get();
    // Each step of the key is one level down: the child whose key is the key so far.
    qsizetype at = 1;
    while (at < key.size()) {
        const qsizetype next = key.indexOf(u'/', at + 1);
        const QStringView prefix = QStringView(key).left(next < 0 ? key.size() : next);
        makeChildren(n);
        Node *found = nullptr;
        for (const auto &c : n->children)
            if (c->data.key == prefix) {
                found = c.get();
                break;
            }
        if (!found)
            return {};
        n = found;
        at = next < 0 ? key.size() : next;
    }
    return createIndex(n->row, 0, n);
}

} // namespace owb
