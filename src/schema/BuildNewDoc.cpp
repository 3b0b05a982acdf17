#include "schema/BuildNewDoc.h"

#include "common/OstrelError.h"
#include "common/XmlLimits.h"
#include "schema/clsSchema.h"
#include "xml/Namespaces.h"

#include <QHash>

namespace owb {

namespace {

const QString kSource = QStringLiteral("BuildNewDoc");

[[noreturn]] void fail(const QString &description) { throw OstrelError(kSource, description); }

const QHash<QString, QString> &sampleTable()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("xs:string"), QStringLiteral("test")},
        {QStringLiteral("xs:boolean"), QStringLiteral("false")},
        {QStringLiteral("xs:decimal"), QStringLiteral("126.45")},
        {QStringLiteral("xs:double"), QStringLiteral("12.78e-2")},
        {QStringLiteral("xs:time"), QStringLiteral("12:00:00")},
        {QStringLiteral("xs:date"), QStringLiteral("2002-01-01")},
        {QStringLiteral("xs:dateTime"), QStringLiteral("2002-01-0112:00:00")},
        {QStringLiteral("xs:hexBinary"), QStringLiteral("9a7f")},
        {QStringLiteral("xs:base64Binary"), QStringLiteral("9a7fcca3")},
        {QStringLiteral("xs:anyURI"), QString::fromLatin1(ns::VALIDATION)},
        {QStringLiteral("xs:QName"), QStringLiteral("xml:qualified")},
        {QStringLiteral("xs:normalizedString"), QStringLiteral("Normalized string")},
        {QStringLiteral("xs:token"), QStringLiteral("token")},
        {QStringLiteral("xs:NMTOKEN"), QStringLiteral("nmtoken")},
        {QStringLiteral("xs:NMTOKENS"), QStringLiteral("nmtoken1 nmtoken2")},
        {QStringLiteral("xs:integer"), QStringLiteral("1")},
        {QStringLiteral("xs:nonPositiveInteger"), QStringLiteral("0")},
        {QStringLiteral("xs:positiveInteger"), QStringLiteral("123")},
        {QStringLiteral("xs:negativeInteger"), QStringLiteral("-1")},
        {QStringLiteral("xs:long"), QStringLiteral("1234567")},
        {QStringLiteral("xs:short"), QStringLiteral("12345")},
        {QStringLiteral("xs:int"), QStringLiteral("123")},
        {QStringLiteral("xs:byte"), QStringLiteral("1")},
        {QStringLiteral("xs:nonNegativeInteger"), QStringLiteral("123")},
        {QStringLiteral("xs:unsignedLong"), QStringLiteral("1234567")},
        {QStringLiteral("xs:unsignedShort"), QStringLiteral("123")},
        {QStringLiteral("xs:unsignedInt"), QStringLiteral("12345")},
    };
    return table;
}

QString refKey(const QString &name) { return QStringLiteral("xs:element[@name='") + name + QStringLiteral("']"); }

} // namespace

QString BuildNewDoc::SampleValue(const DomNode &declaration)
{
    if (declaration.hasAttribute(QStringLiteral("type"))) {
        const QString type = declaration.getAttribute(QStringLiteral("type"));
        return sampleTable().value(type, type);
    }
    if (declaration.hasAttribute(QStringLiteral("default")))
        return declaration.getAttribute(QStringLiteral("default"));
    const DomNode first =
        declaration.selectSingleNode(QStringLiteral("xs:simpleType/xs:restriction/xs:enumeration"));
    if (first)
        return first.getAttribute(QStringLiteral("value"));
    return QString();
}

DomDocument BuildNewDoc::CreateNewDoc(const QString &schemaText) { return build(schemaText, QString()); }

DomDocument BuildNewDoc::CreateNewDoc(const QString &schemaText, const QString &doctype)
{
    return build(schemaText, doctype);
}

DomDocument BuildNewDoc::build(const QString &schemaText, const QString &doctype)
{
    DomDocument schemaDoc = NewDOMDocument(false, true);
    if (!schemaDoc.loadXML(schemaText))
        fail(QStringLiteral("Failed to load schema\r\n") + schemaDoc.parseError().reason);

    m_schema = schemaDoc.node().firstChild();
    if (!m_schema || m_schema.nodeType() != DomNodeType::Element)
        fail(QStringLiteral("The schema text does not begin with the schema element"));

    DomNode root;
    if (!doctype.isEmpty())
        root = m_schema.selectSingleNode(QStringLiteral("xs:element[@name=")
                                         + clsSchema::xpathLiteral(doctype) + QLatin1Char(']'));
    if (!root) {
        const QList<DomNode> children = m_schema.childNodes();
        if (children.size() < 2)
            fail(QStringLiteral("The schema holds no declaration after its annotation"));
        root = children.at(1);
    }

    m_doc = NewDOMDocument(false, true);
    m_expanded.clear();
    m_path.clear();
    m_elements = 0;
    generate(root, DomNode(), 1);
    DomDocument result = m_doc;
    m_doc = DomDocument();
    m_schema = DomNode();
    return result;
}

void BuildNewDoc::generate(const DomNode &declaration, DomNode parent, int depth)
{
    if (declaration.nodeName() != QLatin1String("xs:element"))
        return;

    if (!declaration.hasAttribute(QStringLiteral("name"))) {
        const QString ref = declaration.getAttribute(QStringLiteral("ref"));
        const QString key = refKey(ref);
        // An element does not get a child of its own name through a repeated reference.
        if (m_expanded.contains(key) && parent && parent.nodeName() == ref)
            return;
        // A longer cycle (A refers to B, B to A) stops where it would come round again.
        if (m_path.contains(key))
            return;
        m_expanded.insert(key);
        const DomNode global = m_schema.selectSingleNode(
            QStringLiteral("xs:element[@name=") + clsSchema::xpathLiteral(ref) + QLatin1Char(']'));
        if (!global)
            fail(QStringLiteral("The schema has no global declaration of the element \"%1\"").arg(ref));
        m_path.append(key);
        generate(global, parent, depth);
        m_path.removeLast();
        return;
    }

    if (++m_elements > MaxElements)
        fail(QStringLiteral("The sample document would hold more than %1 elements").arg(MaxElements));
    if (depth > xmllimits::MaxDepth)
        fail(QStringLiteral("The sample document would nest deeper than %1 levels").arg(xmllimits::MaxDepth));

    const QString name = declaration.getAttribute(QStringLiteral("name"));
    DomNode element = m_doc.createElement(name);
    element = parent ? parent.appendChild(element) : m_doc.appendChild(element);

    for (const DomNode &attribute : declaration.selectNodes(QStringLiteral("xs:complexType/xs:attribute"))) {
        const QString attributeName = attribute.getAttribute(QStringLiteral("name"));
        if (attributeName.isEmpty())
            fail(QStringLiteral("An attribute declaration of the element \"%1\" has no name").arg(name));
        element.setAttribute(attributeName, SampleValue(attribute));
    }
    if (declaration.hasAttribute(QStringLiteral("type")))
        element.setText(SampleValue(declaration));

    const QList<DomNode> children = declaration.selectNodes(
        QStringLiteral("xs:complexType/xs:sequence/xs:element"
                       " | xs:complexType/xs:sequence/xs:choice/xs:element[1]"));
    for (const DomNode &child : children)
        generate(child, element, depth + 1);
}

} // namespace owb
