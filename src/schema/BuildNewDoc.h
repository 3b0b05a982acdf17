#pragma once
#include "xml/DomDocument.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace owb {

// A filled-in sample document of a doctype, built from its XML Schema: one element per
// element declaration (depth first, optional ones included, of each choice the first
// alternative), one attribute per attribute declaration, and a fixed sample value by type.
// Failures throw OstrelError (source "BuildNewDoc"); nothing is returned then.
class BuildNewDoc {
public:
    // The root declaration is the schema element's second child (the first is the server's
    // annotation). A second child that is no element declaration gives an empty document.
    DomDocument CreateNewDoc(const QString &schemaText);
    // The root declaration is the global declaration named doctype; a schema without one falls
    // back to the second child. A schema for several doctypes needs this to start right.
    DomDocument CreateNewDoc(const QString &schemaText, const QString &doctype);

    // The sample value of an element or attribute declaration.
    static QString SampleValue(const DomNode &declaration);

    // The most elements one sample may hold; a schema whose references fan out beyond this
    // is refused rather than left to run out of memory.
    static constexpr int MaxElements = 100000;

private:
    DomDocument build(const QString &schemaText, const QString &doctype);
    void generate(const DomNode &declaration, DomNode parent, int depth);

    DomNode m_schema;
    DomDocument m_doc;
    QSet<QString> m_expanded;   // every reference followed so far
    QStringList m_path;         // references being expanded above the current declaration
    int m_elements = 0;
};

} // namespace owb
