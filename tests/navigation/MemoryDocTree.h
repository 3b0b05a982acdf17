#pragma once
#include <QList>
#include <stdexcept>
#include <QString>
#include <QStringList>

#include "navigation/DocTree.h"

// A keyed tree in memory, for checking what a builder wrote. It refuses what a real view
// would refuse (a repeated key, an unknown parent), so a builder bug shows up as a failure.
class MemoryDocTree : public owb::IDocTree {
public:
    struct Node {
        QString parent, key, text, image, tag;
    };
    QList<Node> nodes;
    int clears = 0;

    void clear() override
    {
        nodes.clear();
        ++clears;
    }
    bool contains(const QString &key) const override { return find(key) >= 0; }
    void addNode(const QString &parentKey, const QString &key, const QString &text,
                 const QString &image, const QString &tag) override
    {
        if (contains(key))
            throw std::runtime_error("repeated key " + key.toStdString());
        if (!parentKey.isEmpty() && !contains(parentKey))
            throw std::runtime_error("unknown parent " + parentKey.toStdString());
        nodes.append({parentKey, key, text, image, tag});
    }
    int find(const QString &key) const
    {
        for (int i = 0; i < nodes.size(); ++i)
            if (nodes[i].key == key)
                return i;
        return -1;
    }
    // "parent>key" per node, in insertion order; compact to compare in tests.
    QStringList outline() const
    {
        QStringList out;
        for (const Node &n : nodes)
            out << n.parent + QLatin1Char('>') + n.key;
        return out;
    }
};
