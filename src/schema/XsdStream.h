#pragma once
// Validation while parsing, without building a tree; for XsdValidator only.
#include "schema/XsdValidator.h"

#include <QByteArray>
#include <QString>

#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>

namespace owb::xsdstream {

// Sends libxml2's errors of this thread to fn while it lives (also those of parsers started
// inside libxml2, such as the schema parser's for included schemas).
class ErrorRoute {
public:
    ErrorRoute(void *ctx, xmlStructuredErrorFunc fn) : m_fn(xmlStructuredError), m_ctx(xmlStructuredErrorContext)
    {
        xmlSetStructuredErrorFunc(ctx, fn);
    }
    ~ErrorRoute() { xmlSetStructuredErrorFunc(m_ctx, m_fn); }
    ErrorRoute(const ErrorRoute &) = delete;
    ErrorRoute &operator=(const ErrorRoute &) = delete;

private:
    xmlStructuredErrorFunc m_fn;
    void *m_ctx;
};

// What the root start tag says about its schema.
struct RootHint {
    bool found = false;          // false: the parser stopped before the root (error in issue)
    QString ns;                  // the root's namespace URI
    QString schemaLocation;      // the xsi:schemaLocation value, as written
    QString noNamespaceSchemaLocation;
    XsdValidator::Issue issue;
};

// A schema document, parsed as every other document; null when it is not well-formed (the
// parser's errors went to the thread's error handler) or goes past a bound (why in refused).
// encoding: read the bytes in it whatever their declaration says; null: as declared.
xmlDocPtr parseDocument(const QByteArray &bytes, const QString &url, QString *refused,
                        const char *encoding = nullptr);

// Reads up to the root start tag only.
RootHint scanRoot(const QByteArray &bytes, const QString &url);

// Parses bytes once, validating against schema on the way. Errors carry the line of the element
// they concern, as a validator walking a parsed tree would give it.
QList<XsdValidator::Issue> validate(const QByteArray &bytes, const QString &url, xmlSchemaPtr schema,
                                    int maxIssues);

} // namespace owb::xsdstream
