#include "xml/NodeEdit.h"

namespace owb {

QString nodeValueAt(const DomNode &context, const QString &path)
{
    const DomNode n = context.selectSingleNode(path);
    return n.isNull() ? QString() : n.nodeValue();
}

bool setNodeValueAt(const DomNode &context, QString path, const QString &value)
{
    path.remove(QStringLiteral("/text()"));
    if (path.isEmpty() || context.isNull())
        return false;
    DomNode n = context.selectSingleNode(path);
    if (n.isNull())
        return false;
    if (n.nodeType() == DomNodeType::Element) {
        const DomNode text = n.ownerDocument().createTextNode(value);
        const DomNode first = n.firstChild();
        if (!first.isNull())
            n.replaceChild(text, first);
        else
            n.appendChild(text);
    } else {
        n.setNodeValue(value);
    }
    return true;
}

} // namespace owb
