#pragma once
// Validation while parsing, without building a tree; for XsdValidator only.
#include "schema/XsdValidator.h"

#include <QByteArray>
#include <QString>

#include <libxml/xmlschemas.h>

namespace owb::xsdstream {

// What the root start tag says about its schema.
struct RootHint {
    bool found = false;          // false: the parser stopped before the root (error in issue)
    QString ns;                  // the root's namespace URI
    QString schemaLocation;      // the xsi:schemaLocation value, as written
    QString noNamespaceSchemaLocation;
    XsdValidator::Issue issue;
};

// Reads up to the root start tag only.
RootHint scanRoot(const QByteArray &bytes, const QString &url);

// Parses bytes once, validating against schema on the way. Errors carry the line of the element
// they concern, as a validator walking a parsed tree would give it.
QList<XsdValidator::Issue> validate(const QByteArray &bytes, const QString &url, xmlSchemaPtr schema,
                                    int maxIssues);

} // namespace owb::xsdstream
