#include "xml/NodeEdit.h"

namespace owb {

namespace {

const QString kText = QStringLiteral("/text()");

bool isTextual(const DomNode &n)
{
    const DomNodeType t = n.nodeType();
    return t == DomNodeType::Text || t == DomNodeType::CData || t == DomNodeType::EntityReference;
}

// From first on, the nodes that read as one text: text joined by the entity references
// between them (a parser that substitutes entities makes them one text node).
QList<DomNode> textRun(DomNode first)
{
    QList<DomNode> run{first};
    for (DomNode n = first.nextSibling(); n; n = n.nextSibling()) {
        const bool joined = n.nodeType() == DomNodeType::EntityReference
            || (n.nodeType() == DomNodeType::Text && run.last().nodeType() == DomNodeType::EntityReference);
        if (!joined)
            break;
        run << n;
    }
    return run;
}

} // namespace

QString nodeValueAt(const DomNode &context, const QString &path)
{
    // An element's text: what text() selects, with the text of the entities it runs into.
    if (path.endsWith(kText) && path.size() > kText.size()) {
        const DomNode el = context.selectSingleNode(path.chopped(kText.size()));
        for (DomNode c = el.firstChild(); c; c = c.nextSibling()) {
            if (!isTextual(c))
                continue;
            QString value;
            for (const DomNode &piece : textRun(c))
                value += piece.nodeType() == DomNodeType::EntityReference ? piece.text() : piece.nodeValue();
            return value;
        }
        return {};
    }
    const DomNode n = context.selectSingleNode(path);
    return n.isNull() ? QString() : n.nodeValue();
}

bool setNodeValueAt(const DomNode &context, QString path, const QString &value)
{
    path.remove(kText);
    if (path.isEmpty() || context.isNull())
        return false;
    DomNode n = context.selectSingleNode(path);
    if (n.isNull())
        return false;
    if (n.nodeType() == DomNodeType::Element) {
        const DomNode text = n.ownerDocument().createTextNode(value);
        const DomNode first = n.firstChild();
        if (first.isNull()) {
            n.appendChild(text);
        } else {
            // A value read with its entities' text is written back in place of all of it.
            const QList<DomNode> replaced = isTextual(first) ? textRun(first) : QList<DomNode>{first};
            n.replaceChild(text, first);
            for (qsizetype i = 1; i < replaced.size(); ++i)
                n.removeChild(replaced[i]);
        }
    } else {
        n.setNodeValue(value);
    }
    return true;
}

} // namespace owb
