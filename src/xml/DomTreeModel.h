#pragma once
#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>

#include <memory>

#include "xml/DomDocument.h"
#include "xml/TreeSink.h"

namespace owb {

// The document tree as an item model over the DOM itself: one row for the document, one per
// element and one per attribute under its element (attributes first), with the same keys,
// texts, images and order as buildTV. A node's children are made the first time a view asks
// for them, so a large document costs nothing until it is looked at.
//
// The model reads the live document: elements added or moved by later edits show up where a
// node is first opened after the edit. Set the document again to show it afresh.
class DomTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role { KeyRole = Qt::UserRole + 1, ImageRole };

    explicit DomTreeModel(QObject *parent = nullptr, const QHash<QString, QIcon> &images = standardImages());
    ~DomTreeModel() override;

    // Shows node (a document or an element). Throws OstrelError (source "buildTV") when the
    // node holds no element; the model is then empty.
    void setDocument(const DomNode &node);
    void clear();

    // The node of a key, making the nodes on its way; invalid for an unknown key.
    QModelIndex indexOfKey(const QString &key) const;
    TreeNodeData nodeData(const QModelIndex &index) const;
    // NodeXPath of a node of this model.
    QString NodeXPath(const QModelIndex &index) const;
    // Nodes made so far, the document row included.
    qsizetype nodeCount() const { return m_made; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Images from the current style, for views that bring none of their own.
    static QHash<QString, QIcon> standardImages();

private:
    struct Node;
    Node *nodeOf(const QModelIndex &index) const;
    void makeChildren(Node *node) const;

    QHash<QString, QIcon> m_images;
    DomNode m_top;                       // keeps the document alive while it is shown
    std::unique_ptr<Node> m_root;
    mutable qsizetype m_made = 0;
};

} // namespace owb
