#pragma once
#include <QString>

namespace owb {

// A tree of keyed nodes (the Navigate window's collection/doctype tree). The builder fills
// it through this; the QTreeWidget adapter sits in its own file.
class IDocTree {
public:
    virtual ~IDocTree() = default;
    virtual void clear() = 0;
    virtual bool contains(const QString &key) const = 0;
    // parentKey empty: a top-level node. The caller guarantees that key is new and that
    // parentKey exists.
    virtual void addNode(const QString &parentKey, const QString &key, const QString &text,
                         const QString &image, const QString &tag) = 0;
};

} // namespace owb
