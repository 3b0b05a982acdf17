#pragma once
#include <QList>
#include <QString>

#include "xml/TreeSink.h"

namespace owb {

class KeyedTree;

// The XPath of a document tree node, relative to the document element: an element's text
// node ("./item[2]/text()"), an attribute itself ("./item/@no"), "" for the document node.
// Positions come from the tree, not from parsing the key, so names holding "_" and suffixes on
// any step are exact; prefixed names and elements in a default namespace are matched by
// name() so that the path does not depend on which prefixes the evaluating side binds.
//
// chain: the node and its ancestors, top-level node first (the document node may be left out).
QString NodeXPath(const QList<TreeNodeData> &chain);
QString NodeXPath(const KeyedTree &tree, const QString &key);

} // namespace owb
