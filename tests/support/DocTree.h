#pragma once
// The document tree a window shows (tvDocument), read through its item model.
#include "xml/DomTreeModel.h"

#include <QStringList>
#include <QTreeView>

namespace owbtest {

inline owb::DomTreeModel *docTreeModel(QTreeView *tree)
{
    return tree ? qobject_cast<owb::DomTreeModel *>(tree->model()) : nullptr;
}

// The node of a key, invalid when the tree has none.
inline QModelIndex docTreeIndex(QTreeView *tree, const QString &key)
{
    owb::DomTreeModel *m = docTreeModel(tree);
    return m ? m->indexOfKey(key) : QModelIndex();
}

inline void docTreeWalk(const QAbstractItemModel *m, const QModelIndex &i, QStringList &out)
{
    out << i.data(owb::DomTreeModel::KeyRole).toString();
    for (int r = 0; r < m->rowCount(i); ++r)
        docTreeWalk(m, m->index(r, 0, i), out);
}

// Every key, parents before children, every node opened.
inline QStringList docTreeKeys(QTreeView *tree)
{
    QStringList keys;
    const QAbstractItemModel *m = tree ? tree->model() : nullptr;
    if (!m)
        return keys;
    for (int r = 0; r < m->rowCount(); ++r)
        docTreeWalk(m, m->index(r, 0), keys);
    return keys;
}

// Every node whose text is name.
inline int docTreeCount(QTreeView *tree, const QString &name)
{
    owb::DomTreeModel *m = docTreeModel(tree);
    int n = 0;
    if (!m)
        return n;
    for (const QString &key : docTreeKeys(tree))
        n += m->indexOfKey(key).data().toString() == name;
    return n;
}

} // namespace owbtest
