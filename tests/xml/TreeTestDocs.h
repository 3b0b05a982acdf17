#pragma once
// Test documents for the tree builders, and the trees they build written out as text.
#include "xml/DomDocument.h"
#include "xml/buildTV.h"

#include <QStringList>

namespace owbtest {

// A test document that does not load stops the test program: every case after it would fail
// for that reason alone.
inline owb::DomDocument loadTestXml(const QString &xml, owb::DomDocument doc = owb::NewDOMDocument(false, true))
{
    if (!doc.loadXML(xml))
        qFatal("test document does not load: %s", qPrintable(doc.parseError().reason));
    return doc;
}

// "key|text|image|parent key" per node, in the order the tree received them.
inline QStringList describeTree(const owb::KeyedTree &tree)
{
    QStringList out;
    for (const QString &key : tree.keys()) {
        const owb::TreeNodeData *n = tree.node(key);
        out << QStringList{n->key, n->text, n->image, tree.parentKey(key)}.join('|');
    }
    return out;
}

} // namespace owbtest
