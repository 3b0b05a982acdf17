#pragma once
#include <QString>

namespace owb {

// One node of the document tree: key, text and image as the tree shows them, plus what
// turning the node back into a path needs beyond its key.
struct TreeNodeData {
    QString key;
    QString text;               // qualified name; "Document" for the root
    QString image;              // "Document", "Element" or "Attribute"
    // 1-based, among the parent's child elements that the node's name test matches: all of
    // the same qualified name, or for a name without prefix and namespace, those alike.
    int position = 1;
    bool defaultNamespace = false;  // unprefixed element in a default namespace
    bool hasText = true;            // element with a text child
};

// The tree the document tree builder fills. The QTreeWidget adapter sits in its own file.
class ITreeSink {
public:
    virtual ~ITreeSink() = default;
    virtual void clear() = 0;
    // parentKey empty: a top-level node. The builder guarantees that the key is new and that
    // the parent was added before.
    virtual void addNode(const QString &parentKey, const TreeNodeData &node) = 0;
    // Called once after the last addNode of a fill, also when the fill failed.
    virtual void endFill() {}
    virtual void expandRoot() = 0;
};

} // namespace owb
