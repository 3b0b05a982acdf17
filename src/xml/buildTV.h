#pragma once
#include "xml/TreeNames.h"
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

#include "xml/TreeSink.h"

namespace owb {

class DomNode;

// Fills a tree with one node for the document, one per element and one per attribute.
// Keys: "/" for the document, "." for the document element, parent key + "/" + qualified
// name for other elements (made unique over the whole document with "_" + n), element key +
// "/@" + qualified name for attributes.
class buildTV {
public:
    // Rebuilds tree from node (a document or an element). Throws OstrelError (source
    // "buildTV") when the node holds no element; nodes added before an error stay.
    void BuildTree(ITreeSink &tree, const DomNode &node);

    // The two events the fill reacts to, in document order; attributes as qualified names.
    // For fills from other sources than a DOM node: call reset first, then the events.
    void reset(ITreeSink &tree);
    void startElement(const QString &qName, const QStringList &attributeNames,
                      bool defaultNamespace = false, bool hasText = true);
    void endElement();

private:
    ITreeSink *m_tree = nullptr;
    treenames::UniqueKeys m_keys;
    struct Open {
        QString key;
        QHash<QString, int> byName;        // child elements per qualified name so far
        QHash<QString, int> plainByName;   // the same, without namespace only
    };
    std::vector<Open> m_open;
};

// ITreeSink kept in memory: for callers without a widget, and for tests.
class KeyedTree : public ITreeSink {
public:
    void clear() override;
    void addNode(const QString &parentKey, const TreeNodeData &node) override;
    void expandRoot() override { m_rootExpanded = true; }

    int count() const { return int(m_nodes.size()); }
    bool contains(const QString &key) const { return m_index.contains(key); }
    const TreeNodeData *node(const QString &key) const;
    QString parentKey(const QString &key) const;
    QStringList childKeys(const QString &key) const;      // in the order added
    QStringList keys() const;                             // in the order added
    bool rootExpanded() const { return m_rootExpanded; }
    // The node and its ancestors, top-level node first; empty for an unknown key.
    QList<TreeNodeData> chain(const QString &key) const;

private:
    struct Entry {
        TreeNodeData data;
        int parent = -1;
        QList<int> children;
    };
    std::vector<Entry> m_nodes;
    QHash<QString, int> m_index;
    bool m_rootExpanded = false;
};

} // namespace owb
