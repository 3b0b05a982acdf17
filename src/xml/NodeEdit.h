#pragma once
#include "xml/DomDocument.h"

#include <QString>

namespace owb {

// Reading and writing the value of the node a document tree path names, evaluated on an
// element (the tree page's value box). An invalid path throws OstrelError (source "XPath").

// The node value of the first node path selects; "" when it selects nothing. For an element's
// text() the text runs on through entity references, which give their replacement text.
QString nodeValueAt(const DomNode &context, const QString &path);

// Puts value into the node path names once every "/text()" is removed from it: an element's
// first child, whatever its kind, is replaced by a text node of value (an element without
// children gets one; a text that runs on through entity references is replaced whole); any
// other node takes value as its node value. False when the path is
// empty or selects nothing.
bool setNodeValueAt(const DomNode &context, QString path, const QString &value);

} // namespace owb
