#include "navigation/TreeWidgetDocTree.h"

#include <QTreeWidget>

namespace owb {

TreeWidgetDocTree::TreeWidgetDocTree(QTreeWidget *view, const QHash<QString, QIcon> &images)
    : m_view(view), m_images(images)
{
}

void TreeWidgetDocTree::clear()
{
    m_items.clear();
    m_view->clear();
}

bool TreeWidgetDocTree::contains(const QString &key) const
{
    return m_items.contains(key);
}

void TreeWidgetDocTree::addNode(const QString &parentKey, const QString &key, const QString &text,
                                const QString &image, const QString &tag)
{
    QTreeWidgetItem *parent = parentKey.isEmpty() ? nullptr : m_items.value(parentKey);
    auto *node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_view);
    node->setText(0, text);
    node->setData(0, KeyRole, key);
    node->setData(0, TagRole, tag);
    setImage(node, image);
    m_items.insert(key, node);
}

QTreeWidgetItem *TreeWidgetDocTree::item(const QString &key) const
{
    return m_items.value(key);
}

QString TreeWidgetDocTree::keyOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, KeyRole).toString() : QString();
}

QString TreeWidgetDocTree::tagOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, TagRole).toString() : QString();
}

QString TreeWidgetDocTree::imageOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, ImageRole).toString() : QString();
}

void TreeWidgetDocTree::setImage(QTreeWidgetItem *item, const QString &image) const
{
    item->setData(0, ImageRole, image);
    item->setIcon(0, m_images.value(image));
}

} // namespace owb
