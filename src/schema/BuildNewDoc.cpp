#include "schema/BuildNewDoc.h"

#include "common/OstrelError.h"
#include "schema/SampleBuilder.h"
#include "schema/XsdModel.h"
#include "xml/Namespaces.h"
#include "xml/xmlutil.h"

namespace owb {

namespace {

const QString kSource = QStringLiteral("BuildNewDoc");

[[noreturn]] void fail(const QString &description) { throw OstrelError(kSource, description); }

} // namespace

void BuildNewDoc::setSchemaSource(SchemaSource *source, const QString &url)
{
    m_source = source;
    m_url = url;
}

DomDocument BuildNewDoc::CreateNewDoc(const QString &schemaText) { return CreateNewDoc(schemaText, QString()); }

DomDocument BuildNewDoc::CreateNewDoc(const QString &schemaText, const QString &doctype)
{
    xsd::SchemaSet schemas;
    schemas.load(schemaText, m_url, m_source);

    xsd::Node root;
    for (const xsd::Node &e : schemas.globalElements()) {
        if (e.doc != &schemas.main())
            break;
        if (doctype.isEmpty() || e.attr("name") == doctype) {
            root = e;
            break;
        }
    }
    if (!root)
        fail(doctype.isEmpty() ? QStringLiteral("The schema declares no global element to start a document with")
                               : QStringLiteral("The schema declares no global element %1").arg(doctype));

    // Validation gives a schema without target namespace one of its own, and a document that
    // already mentions it is taken to be in it: no value may mention it then.
    const QString avoid = schemas.main().targetNs.isEmpty() ? QString::fromLatin1(ns::VALIDATION) : QString();
    xsd::SampleBuilder builder(schemas, avoid);
    const auto sample = builder.build(root);
    const QString text = builder.write(*sample);

    DomDocument doc = NewDOMDocument(false, true);
    if (!doc.loadXML(text))
        fail(QStringLiteral("The sample document does not parse: ") + doc.parseError().reason);
    if (m_checker) {
        if (const auto why = m_checker(xmlutil().FormatXML(doc)))
            fail(QStringLiteral("The sample document made from the schema is not valid: ") + *why);
    }
    return doc;
}

} // namespace owb
