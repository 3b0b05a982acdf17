#pragma once
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

#include "xml/TreeSink.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace owb {

// ITreeSink onto a QTreeWidget. Items are built detached and the top-level item joins the
// view once, at the end of a fill, so a large document does not pay for a view update per
// node. Images come from an image list keyed "Document", "Element", "Attribute".
class TreeWidgetAdapter : public ITreeSink {
public:
    enum Role { KeyRole = 0x0100 + 1, ImageRole, PositionRole, DefaultNamespaceRole, NoTextRole };

    TreeWidgetAdapter(QTreeWidget *view, const QHash<QString, QIcon> &images = standardImages());

    void clear() override;
    void addNode(const QString &parentKey, const TreeNodeData &node) override;
    void endFill() override;
    void expandRoot() override;

    QTreeWidgetItem *item(const QString &key) const;
    QTreeWidget *widget() const { return m_view; }

    static QString keyOf(const QTreeWidgetItem *item);
    static QString imageOf(const QTreeWidgetItem *item);
    static TreeNodeData nodeOf(const QTreeWidgetItem *item);
    // NodeXPath of a node of a tree this adapter filled.
    static QString NodeXPath(const QTreeWidgetItem *item);

    // Images from the current style, for views that bring none of their own.
    static QHash<QString, QIcon> standardImages();

private:
    QTreeWidget *m_view;
    QHash<QString, QIcon> m_images;
    QHash<QString, QTreeWidgetItem *> m_items;
    QList<QTreeWidgetItem *> m_pendingTop;
};

} // namespace owb
