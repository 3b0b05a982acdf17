#include "xml/NodeXPath.h"

#include "xml/buildTV.h"

namespace owb {

namespace {

QString nameTest(const QString &qName, bool byName)
{
    if (byName || qName.contains(u':'))
        return QStringLiteral("*[name()='") + qName + QStringLiteral("']");
    return qName;
}

} // namespace

QString NodeXPath(const QList<TreeNodeData> &chain)
{
    if (chain.isEmpty())
        return QString();
    qsizetype first = 0;
    if (chain.first().image == QLatin1String("Document"))
        first = 1;
    if (first >= chain.size())
        return QString();

    // "./e/text()" means the first text below any e: for an element without text it would
    // find a namesake's text, so there every step names its position.
    const TreeNodeData &last = chain.last();
    const bool exact = last.image != QLatin1String("Attribute") && !last.hasText;
    QString path = QStringLiteral(".");   // the document element is the context node
    for (qsizetype i = first + 1; i < chain.size(); ++i) {
        const TreeNodeData &step = chain.at(i);
        if (step.image == QLatin1String("Attribute")) {
            path += QStringLiteral("/@");
            path += step.text.contains(u':') ? nameTest(step.text, true) : step.text;
            return path;
        }
        path += u'/';
        path += nameTest(step.text, step.defaultNamespace);
        if (step.position >= 2 || exact)
            path += u'[' + QString::number(step.position) + u']';
    }
    return path + QStringLiteral("/text()");
}

QString NodeXPath(const KeyedTree &tree, const QString &key)
{
    return NodeXPath(tree.chain(key));
}

} // namespace owb
