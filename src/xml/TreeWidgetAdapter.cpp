#include "xml/TreeWidgetAdapter.h"

#include "xml/NodeXPath.h"

#include <QApplication>
#include <QStyle>
#include <QTreeWidget>

namespace owb {

TreeWidgetAdapter::TreeWidgetAdapter(QTreeWidget *view, const QHash<QString, QIcon> &images)
    : m_view(view), m_images(images)
{
}

QHash<QString, QIcon> TreeWidgetAdapter::standardImages()
{
    QHash<QString, QIcon> images;
    if (QStyle *style = QApplication::style()) {
        images.insert(QStringLiteral("Document"), style->standardIcon(QStyle::SP_FileIcon));
        images.insert(QStringLiteral("Element"), style->standardIcon(QStyle::SP_DirIcon));
        images.insert(QStringLiteral("Attribute"),
                      style->standardIcon(QStyle::SP_FileDialogDetailedView));
    }
    return images;
}

void TreeWidgetAdapter::clear()
{
    qDeleteAll(m_pendingTop);
    m_pendingTop.clear();
    m_items.clear();
    m_view->clear();
}

void TreeWidgetAdapter::addNode(const QString &parentKey, const TreeNodeData &node)
{
    auto *item = new QTreeWidgetItem;
    item->setText(0, node.text);
    item->setData(0, KeyRole, node.key);
    item->setData(0, ImageRole, node.image);
    if (node.position != 1)
        item->setData(0, PositionRole, node.position);
    if (node.defaultNamespace)
        item->setData(0, DefaultNamespaceRole, true);
    if (!node.hasText)
        item->setData(0, NoTextRole, true);
    const auto icon = m_images.constFind(node.image);
    if (icon != m_images.constEnd())
        item->setIcon(0, *icon);

    QTreeWidgetItem *parent = parentKey.isEmpty() ? nullptr : m_items.value(parentKey);
    if (parent)
        parent->addChild(item);
    else
        m_pendingTop.append(item);
    m_items.insert(node.key, item);
}

void TreeWidgetAdapter::endFill()
{
    if (m_pendingTop.isEmpty())
        return;
    const bool updates = m_view->updatesEnabled();
    m_view->setUpdatesEnabled(false);
    m_view->addTopLevelItems(m_pendingTop);
    m_pendingTop.clear();
    m_view->setUpdatesEnabled(updates);
}

void TreeWidgetAdapter::expandRoot()
{
    endFill();
    if (QTreeWidgetItem *first = m_view->topLevelItem(0))
        first->setExpanded(true);
}

QTreeWidgetItem *TreeWidgetAdapter::item(const QString &key) const
{
    return m_items.value(key);
}

QString TreeWidgetAdapter::keyOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, KeyRole).toString() : QString();
}

QString TreeWidgetAdapter::imageOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, ImageRole).toString() : QString();
}

TreeNodeData TreeWidgetAdapter::nodeOf(const QTreeWidgetItem *item)
{
    TreeNodeData node;
    if (!item)
        return node;
    node.key = keyOf(item);
    node.text = item->text(0);
    node.image = imageOf(item);
    const QVariant position = item->data(0, PositionRole);
    node.position = position.isValid() ? position.toInt() : 1;
    node.defaultNamespace = item->data(0, DefaultNamespaceRole).toBool();
    node.hasText = !item->data(0, NoTextRole).toBool();
    return node;
}

QString TreeWidgetAdapter::NodeXPath(const QTreeWidgetItem *item)
{
    QList<TreeNodeData> chain;
    for (; item; item = item->parent())
        chain.prepend(nodeOf(item));
    return owb::NodeXPath(chain);
}

} // namespace owb
