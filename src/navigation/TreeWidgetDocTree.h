#pragma once
#include <QHash>
#include <QIcon>
#include <QString>

#include "navigation/DocTree.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace owb {

// IDocTree onto a QTreeWidget; images come from an image list keyed like the nodes' images.
class TreeWidgetDocTree : public IDocTree {
public:
    enum Role { KeyRole = 0x0100 + 1, TagRole, ImageRole };

    TreeWidgetDocTree(QTreeWidget *view, const QHash<QString, QIcon> &images);

    void clear() override;
    bool contains(const QString &key) const override;
    void addNode(const QString &parentKey, const QString &key, const QString &text,
                 const QString &image, const QString &tag) override;

    QTreeWidgetItem *item(const QString &key) const;
    static QString keyOf(const QTreeWidgetItem *item);
    static QString tagOf(const QTreeWidgetItem *item);
    static QString imageOf(const QTreeWidgetItem *item);
    void setImage(QTreeWidgetItem *item, const QString &image) const;

private:
    QTreeWidget *m_view;
    QHash<QString, QIcon> m_images;
    QHash<QString, QTreeWidgetItem *> m_items;
};

} // namespace owb
